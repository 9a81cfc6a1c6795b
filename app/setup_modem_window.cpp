#include "app/setup_modem_window.h"

#include "app/qt_form.h"
#include "app/qt_message_box.h"
#include "app/qt_text.h"
#include "app/widgets/number_edit.h"
#include "resources/string_ids.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CSetupModemWindow::CSetupModemWindow(const ModemValues& values, QWidget* parent)
    : QDialog(parent), logic_(values) {
    setWindowTitle(qText(kIdsModemTitle));
    initStringEdit = new QLineEdit(this);
    initStringEdit->setMinimumWidth(260);
    connectTimeoutEdit = shortNumberEdit(this);
    redialWaitEdit = shortNumberEdit(this);
    disconnectAfterEdit = shortNumberEdit(this);
    defaultsButton = new QPushButton(qText(kIdsDialogDefaults), this);
    okButton = new QPushButton(qText(kIdsDialogOk), this);
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(qText(kIdsDialogCancel), this);

    auto* grid = new QGridLayout;
    auto addLine = [&](int line, unsigned labelId, QLineEdit* edit, unsigned unitId) {
        auto* label = new QLabel(qText(labelId), this);
        label->setBuddy(edit);
        grid->addWidget(label, line, 0);
        grid->addWidget(edit, line, 1);
        grid->addWidget(new QLabel(qText(unitId), this), line, 2);
    };
    auto* initLabel = new QLabel(qText(kIdsModemInitString), this);
    initLabel->setBuddy(initStringEdit);
    grid->addWidget(initLabel, 0, 0);
    grid->addWidget(initStringEdit, 0, 1, 1, 3);
    addLine(1, kIdsModemConnectWithin, connectTimeoutEdit, kIdsModemConnectSeconds);
    addLine(2, kIdsModemRedialWait, redialWaitEdit, kIdsModemRedialSeconds);
    addLine(3, kIdsModemDisconnectAfter, disconnectAfterEdit, kIdsModemDisconnectMinutes);
    grid->setColumnStretch(3, 1);

    layOutForm(*this, grid, {defaultsButton}, {okButton, cancelButton});

    connect(defaultsButton, &QPushButton::clicked, this, [this] {
        logic_.setDefaults();
        showValues();
    });
    connect(okButton, &QPushButton::clicked, this, &CSetupModemWindow::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    showValues();
}

void CSetupModemWindow::showValues() {
    initStringEdit->setText(qText(logic_.initString));
    connectTimeoutEdit->setText(qText(logic_.connectTimeoutText));
    redialWaitEdit->setText(qText(logic_.redialWaitText));
    disconnectAfterEdit->setText(qText(logic_.disconnectAfterText));
}

void CSetupModemWindow::readValues() {
    logic_.initString = editedBytes(logic_.initString, initStringEdit->text());
    logic_.connectTimeoutText = connectTimeoutEdit->text().toStdString();
    logic_.redialWaitText = redialWaitEdit->text().toStdString();
    logic_.disconnectAfterText = disconnectAfterEdit->text().toStdString();
}

void CSetupModemWindow::accept() {
    readValues();
    const FieldCheck check = logic_.accept();
    acceptOrRefuse(*this, check, fieldWidget(check.focus));
}

QLineEdit* CSetupModemWindow::fieldWidget(EditorField field) const {
    switch (field) {
    case EditorField::ConnectTimeout:
        return connectTimeoutEdit;
    case EditorField::RedialWait:
        return redialWaitEdit;
    default:
        return disconnectAfterEdit;
    }
}
