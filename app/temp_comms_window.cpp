#include "app/temp_comms_window.h"

#include "app/qt_form.h"
#include "app/qt_message_box.h"
#include "app/qt_text.h"
#include "resources/string_ids.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kEditWidth = 80;

QLineEdit* makeEdit(int value, QWidget* parent) {
    auto* edit = new QLineEdit(QString::number(value), parent);
    edit->setFixedWidth(kEditWidth);
    edit->setAlignment(Qt::AlignRight);
    return edit;
}

} // namespace

CTempCommsWindow::CTempCommsWindow(MediaType mediaType, int retries, int time1, int time2,
                                   IMessageBox* messageBox, QWidget* parent)
    : QDialog(parent), logic_(mediaType, retries, time1, time2), messageBox_(messageBox, this) {
    setWindowTitle(qText(kIdsTempCommsTitle));
    time1Label_ = new QLabel(qText(logic_.time1LabelId()), this);
    time2Label_ = new QLabel(qText(logic_.time2LabelId()), this);
    time1_ = named(makeEdit(time1, this), "time1");
    time2_ = named(makeEdit(time2, this), "time2");
    retries_ = named(makeEdit(retries, this), "retries");
    time1Label_->setBuddy(time1_);
    time2Label_->setBuddy(time2_);

    auto* grid = new QGridLayout;
    grid->addWidget(time1Label_, 0, 0);
    grid->addWidget(time1_, 0, 1);
    grid->addWidget(new QLabel(qText(kIdsMilliseconds), this), 0, 2);
    grid->addWidget(time2Label_, 1, 0);
    grid->addWidget(time2_, 1, 1);
    grid->addWidget(new QLabel(qText(kIdsMilliseconds), this), 1, 2);
    auto* retriesLabel = new QLabel(qText(kIdsCommsRetries), this);
    retriesLabel->setBuddy(retries_);
    grid->addWidget(retriesLabel, 2, 0);
    grid->addWidget(retries_, 2, 1);
    grid->setColumnStretch(3, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(qText(kIdsDialogOk), QDialogButtonBox::AcceptRole);
    buttons->addButton(qText(kIdsDialogCancel), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTempCommsWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTempCommsWindow::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

CTempCommsWindow::~CTempCommsWindow() = default;

QString CTempCommsWindow::time1Label() const {
    return time1Label_->text();
}
QString CTempCommsWindow::time2Label() const {
    return time2Label_->text();
}

void CTempCommsWindow::accept() {
    const FieldCheck check = logic_.readFields(
        retries_->text().toStdString(), time1_->text().toStdString(), time2_->text().toStdString());
    acceptOrRefuse(*this, check, fieldWidget(check.focus),
                   [this](const std::string& text) { messageBox_->showWarning(text); });
}

QLineEdit* CTempCommsWindow::fieldWidget(CTempCommsDlg::Field field) const {
    switch (field) {
    case CTempCommsDlg::Field::Retries:
        return retries_;
    case CTempCommsDlg::Field::Time1:
        return time1_;
    case CTempCommsDlg::Field::Time2:
        return time2_;
    default:
        return nullptr;
    }
}
