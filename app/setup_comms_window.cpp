#include "app/setup_comms_window.h"

#include "app/qt_form.h"
#include "app/qt_message_box.h"
#include "app/qt_text.h"
#include "app/setup_modem_window.h"
#include "app/widgets/ip_address_edit.h"
#include "app/widgets/modbus_id_spin.h"
#include "app/widgets/number_edit.h"
#include "resources/string_ids.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

constexpr int kMediaCount = 4;
constexpr int kParityCount = 3;
constexpr int kFieldMinWidth = 150;
constexpr int kRowSpacing = 8;

void setIndex(QButtonGroup* group, int index) {
    if (QAbstractButton* button = group->button(index))
        button->setChecked(true);
}

// Hidden media-dependent controls keep their place, so the window does not jump when the
// media type changes.
void keepPlaceWhenHidden(QWidget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets) {
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kRowSpacing);
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    layout->addStretch(1);
    return layout;
}

} // namespace

CSetupCommsWindow::CSetupCommsWindow(const CLocation& location, std::vector<std::string> names,
                                     bool isNewLocation, IPortSource& ports, QWidget* parent)
    : QDialog(parent), logic_(location, std::move(names), isNewLocation) {
    setWindowTitle(qText(kIdsCommsTitle));
    createControls();
    layOutControls();
    openingMessages_ = logic_.open(ports);
    showForm();
    connectEvents();
}

void CSetupCommsWindow::createControls() {
    mediaList = new QComboBox(this);
    for (unsigned i = 0; i < kMediaCount; ++i)
        mediaList->addItem(qText(kMediaTextBase + i));
    modbusTypeGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        auto* button =
            new QRadioButton(qText(kModbusTypeTextBase + static_cast<unsigned>(i)), this);
        modbusTypeGroup_->addButton(button, i);
        modbusTypeButtons[static_cast<std::size_t>(i)] = button;
    }
    keepPlaceWhenHidden(modbusTypeButtons[2]);
    modbusIdSpin = new CModbusIdSpin(this);
    modiconCheck = new QCheckBox(qText(kIdsCommsModiconCompatible), this);
    nameEdit = new QLineEdit(this);
    numberLabel = new QLabel(this);
    numberEdit = new QLineEdit(this);
    addressEdit = new CIpAddressEdit(this);
    portLabel = new QLabel(this);
    portList = new QComboBox(this);
    deviceLabel = new QLabel(this);
    deviceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    deviceLabel->setTextFormat(Qt::PlainText);
    tcpPortEdit = shortNumberEdit(this);
    baudList = new QComboBox(this);
    for (unsigned i = 0; i < kBaudIndexCount; ++i)
        baudList->addItem(qText(kBaudTextBase + i));
    time1Label = new QLabel(this);
    time1Edit = shortNumberEdit(this);
    time2Label = new QLabel(this);
    time2Edit = shortNumberEdit(this);
    retriesEdit = shortNumberEdit(this);
    dataBitsGroup_ = new QButtonGroup(this);
    stopBitsGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 2; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const auto offset = static_cast<unsigned>(i);
        dataBitsButtons[index] = new QRadioButton(qText(kIdsDataBits7 + offset), this);
        dataBitsGroup_->addButton(dataBitsButtons[index], i);
        stopBitsButtons[index] = new QRadioButton(qText(kIdsStopBits1 + offset), this);
        stopBitsGroup_->addButton(stopBitsButtons[index], i);
    }
    parityList = new QComboBox(this);
    for (unsigned i = 0; i < kParityCount; ++i)
        parityList->addItem(qText(kParityTextBase + i));
    modemButton = new QPushButton(qText(kIdsModemSettingsButton), this);
    rs485Check = new QCheckBox(qText(kIdsRs485TwoWire), this);
    okButton = new QPushButton(qText(kIdsDialogOk), this);
    okButton->setDefault(true);
    for (QWidget* widget : {static_cast<QWidget*>(mediaList), static_cast<QWidget*>(nameEdit),
                            static_cast<QWidget*>(numberEdit), static_cast<QWidget*>(portList),
                            static_cast<QWidget*>(baudList), static_cast<QWidget*>(parityList)})
        widget->setMinimumWidth(kFieldMinWidth);
}

void CSetupCommsWindow::layOutControls() {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    auto label = [this](unsigned id, QWidget* buddy) {
        auto* created = new QLabel(qText(id), this);
        created->setBuddy(buddy);
        return created;
    };
    auto* baudLabel = label(kIdsCommsBaudRate, baudList);
    auto* parityLabel = label(kIdsCommsParity, parityList);
    auto* dataBitsLabel = label(kIdsCommsDataBits, dataBitsButtons[0]);
    auto* stopBitsLabel = label(kIdsCommsStopBits, stopBitsButtons[0]);
    auto* dataBitsRow = new QWidget(this);
    dataBitsRow->setLayout(row({dataBitsButtons[0], dataBitsButtons[1]}));
    auto* stopBitsRow = new QWidget(this);
    stopBitsRow->setLayout(row({stopBitsButtons[0], stopBitsButtons[1]}));
    serialLineWidgets_ = {baudLabel,     baudList,    parityLabel,   parityList,
                          dataBitsLabel, dataBitsRow, stopBitsLabel, stopBitsRow};

    grid->addWidget(label(kIdsCommsMediaType, mediaList), 0, 0);
    grid->addWidget(mediaList, 0, 1);
    grid->addWidget(label(kIdsCommsModbusType, modbusTypeButtons[0]), 0, 2);
    grid->addLayout(row({modbusTypeButtons[0], modbusTypeButtons[1], modbusTypeButtons[2]}), 0, 3);
    grid->addWidget(label(kIdsCommsLocationName, nameEdit), 1, 0);
    grid->addWidget(nameEdit, 1, 1);
    grid->addWidget(label(kIdsCommsModbusId, modbusIdSpin), 1, 2);
    grid->addWidget(modbusIdSpin, 1, 3, Qt::AlignLeft);
    grid->addWidget(numberLabel, 2, 0);
    grid->addWidget(numberEdit, 2, 1);
    grid->addWidget(addressEdit, 2, 1);
    grid->addWidget(modiconCheck, 2, 3);
    grid->addWidget(portLabel, 3, 0);
    grid->addWidget(portList, 3, 1);
    grid->addWidget(tcpPortEdit, 3, 1, Qt::AlignLeft);
    grid->addWidget(label(kIdsCommsRetries, retriesEdit), 3, 2);
    grid->addWidget(retriesEdit, 3, 3, Qt::AlignLeft);
    grid->addWidget(deviceLabel, 4, 1, 1, 3);
    grid->addWidget(baudLabel, 5, 0);
    grid->addWidget(baudList, 5, 1);
    grid->addWidget(dataBitsLabel, 5, 2);
    grid->addWidget(dataBitsRow, 5, 3);
    grid->addWidget(parityLabel, 6, 0);
    grid->addWidget(parityList, 6, 1);
    grid->addWidget(stopBitsLabel, 6, 2);
    grid->addWidget(stopBitsRow, 6, 3);
    grid->addWidget(time1Label, 7, 0);
    grid->addLayout(row({time1Edit, new QLabel(qText(kIdsCommsMs), this)}), 7, 1);
    grid->addWidget(time2Label, 8, 0);
    grid->addLayout(row({time2Edit, new QLabel(qText(kIdsCommsMs), this)}), 8, 1);
    grid->addWidget(rs485Check, 7, 3);
    grid->addWidget(modemButton, 7, 3, Qt::AlignLeft);
    grid->setColumnStretch(3, 1);
    for (QWidget* widget : {static_cast<QWidget*>(numberLabel), static_cast<QWidget*>(numberEdit),
                            static_cast<QWidget*>(addressEdit), static_cast<QWidget*>(portList),
                            static_cast<QWidget*>(tcpPortEdit), static_cast<QWidget*>(deviceLabel),
                            static_cast<QWidget*>(modemButton), static_cast<QWidget*>(rs485Check)})
        keepPlaceWhenHidden(widget);
    for (QWidget* widget : serialLineWidgets_)
        keepPlaceWhenHidden(widget);

    auto* cancelButton = new QPushButton(qText(kIdsDialogCancel), this);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    layOutForm(*this, grid, {}, {okButton, cancelButton});
}

void CSetupCommsWindow::connectEvents() {
    connect(mediaList, &QComboBox::activated, this, [this] {
        readForm();
        logic_.mediaTypeChanged();
        showForm();
    });
    connect(baudList, &QComboBox::activated, this, [this] {
        readForm();
        logic_.baudChanged();
        showForm();
    });
    connect(portList, &QComboBox::activated, this, [this] {
        readForm();
        logic_.portChanged();
        showForm();
    });
    connect(modbusTypeGroup_, &QButtonGroup::idClicked, this, [this] {
        readForm();
        logic_.modbusTypeClicked();
        showForm();
    });
    connect(modemButton, &QPushButton::clicked, this, &CSetupCommsWindow::runSetupModem);
    connect(okButton, &QPushButton::clicked, this, &CSetupCommsWindow::accept);
}

void CSetupCommsWindow::readForm() {
    CommsForm& form = logic_.form;
    form.mediaIndex = mediaList->currentIndex();
    form.modbusTypeIndex = modbusTypeGroup_->checkedId();
    form.modbusIdText = modbusIdSpin->text().toStdString();
    form.modiconCompatible = modiconCheck->isChecked();
    form.name = editedBytes(form.name, nameEdit->text());
    form.number = editedBytes(form.number, numberEdit->text());
    form.ipAddress = addressEdit->address();
    form.portIndex = portList->currentIndex();
    form.tcpPortText = tcpPortEdit->text().toStdString();
    form.baudIndex = baudList->currentIndex();
    form.time1Text = time1Edit->text().toStdString();
    form.time2Text = time2Edit->text().toStdString();
    form.retriesText = retriesEdit->text().toStdString();
    form.dataBitsIndex = dataBitsGroup_->checkedId();
    form.stopBitsIndex = stopBitsGroup_->checkedId();
    form.parityIndex = parityList->currentIndex();
    form.rs485TwoWire = rs485Check->isChecked();
}

void CSetupCommsWindow::showForm() {
    const CommsForm& form = logic_.form;
    mediaList->setCurrentIndex(form.mediaIndex);
    setIndex(modbusTypeGroup_, form.modbusTypeIndex);
    modbusIdSpin->setText(qText(form.modbusIdText));
    modiconCheck->setChecked(form.modiconCompatible);
    nameEdit->setText(qText(form.name));
    numberEdit->setText(qText(form.number));
    addressEdit->setAddress(form.ipAddress);
    portList->clear();
    for (const std::string& entry : logic_.portEntries())
        portList->addItem(qText(entry));
    portList->setCurrentIndex(form.portIndex);
    tcpPortEdit->setText(qText(form.tcpPortText));
    baudList->setCurrentIndex(form.baudIndex);
    time1Edit->setText(qText(form.time1Text));
    time2Edit->setText(qText(form.time2Text));
    retriesEdit->setText(qText(form.retriesText));
    setIndex(dataBitsGroup_, form.dataBitsIndex);
    setIndex(stopBitsGroup_, form.stopBitsIndex);
    parityList->setCurrentIndex(form.parityIndex);
    rs485Check->setChecked(form.rs485TwoWire);
    applyLayout();
}

void CSetupCommsWindow::applyLayout() {
    const CommsLayout layout = logic_.layout();
    modbusTypeButtons[2]->setVisible(layout.modbusTcpButton);
    numberLabel->setVisible(layout.numberLabelId != 0);
    numberLabel->setText(qText(layout.numberLabelId));
    numberEdit->setVisible(layout.numberEdit);
    addressEdit->setVisible(layout.addressField);
    numberLabel->setBuddy(layout.addressField ? static_cast<QWidget*>(addressEdit) : numberEdit);
    portLabel->setText(qText(layout.portLabelId));
    portLabel->setBuddy(layout.portList ? static_cast<QWidget*>(portList) : tcpPortEdit);
    portList->setVisible(layout.portList);
    tcpPortEdit->setVisible(layout.tcpPortEdit);
    deviceLabel->setVisible(layout.portList);
    deviceLabel->setText(qText(logic_.deviceText()));
    for (QWidget* widget : serialLineWidgets_)
        widget->setVisible(layout.serialLine);
    modemButton->setVisible(layout.modemButton);
    rs485Check->setVisible(layout.rs485TwoWire);
    time1Label->setText(qText(layout.time1LabelId));
    time1Label->setBuddy(time1Edit);
    time2Label->setText(qText(layout.time2LabelId));
    time2Label->setBuddy(time2Edit);
}

void CSetupCommsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (opened_)
        return;
    opened_ = true;
    // The port messages come once the window stands behind them.
    QTimer::singleShot(0, this, &CSetupCommsWindow::showOpeningMessages);
}

void CSetupCommsWindow::showOpeningMessages() {
    const std::vector<EditorMessage> messages = std::move(openingMessages_);
    openingMessages_.clear();
    for (const EditorMessage& message : messages)
        tellUser(this, message.text, message.warning);
}

void CSetupCommsWindow::runSetupModem() {
    CSetupModemWindow modem(logic_.modemValues(), this);
    if (modem.exec() == QDialog::Accepted)
        logic_.setModemValues(modem.values());
}

QWidget* CSetupCommsWindow::fieldWidget(EditorField field) const {
    switch (field) {
    case EditorField::Name:
        return nameEdit;
    case EditorField::Retries:
        return retriesEdit;
    case EditorField::TcpPort:
        return tcpPortEdit;
    case EditorField::Time1:
        return time1Edit;
    case EditorField::Time2:
        return time2Edit;
    case EditorField::ModbusId:
        return modbusIdSpin;
    default:
        return nullptr;
    }
}

void CSetupCommsWindow::accept() {
    readForm();
    const FieldCheck check = logic_.accept();
    acceptOrRefuse(*this, check, fieldWidget(check.focus));
}
