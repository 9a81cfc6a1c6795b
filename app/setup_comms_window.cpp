#include "app/setup_comms_window.h"

#include "comms/port_enum.h"
#include "config/settings_file.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kMediaCount = 4;
constexpr int kParityCount = 3;
constexpr int kOctetCount = 4;
constexpr int kOctetBits = 8;
constexpr int kFieldMinWidth = 150;
constexpr int kNumberFieldWidth = 80;
// The drop point is measured this far below the pointer.
constexpr int kDropPointOffset = 10;
constexpr int kListMinWidth = 720;
constexpr int kListMinHeight = 220;
constexpr int kRowSpacing = 8;
constexpr const char* kRowMimeType = "application/x-vantrel-location-row";

QString text(unsigned id) {
    const std::string_view view = loadString(id);
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

QString qtext(const std::string& value) {
    return QString::fromStdString(value);
}

std::string stdtext(const QString& value) {
    return value.toStdString();
}

// The bytes of an edit: those held before when the user left the text as shown, so a stored text
// that is not UTF-8 (a file from another system) survives the dialog unchanged.
std::string editedBytes(const std::string& held, const QString& shown) {
    return qtext(held) == shown ? held : stdtext(shown);
}

// A message box with the program's title; the text is never taken as markup.
QMessageBox::StandardButton ask(QWidget* parent, QMessageBox::Icon icon, const std::string& message,
                                QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, text(kIdsMainTitle), qtext(message), buttons, parent);
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void tell(QWidget* parent, const std::string& message, bool warning = false) {
    ask(parent, warning ? QMessageBox::Warning : QMessageBox::Information, message,
        QMessageBox::Ok);
}

// Focus on a field and select its whole text, as after a refused entry.
void focusField(QWidget* field) {
    if (!field)
        return;
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->selectAll();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(field))
        spin->selectAll();
}

QLineEdit* shortNumberEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setFixedWidth(kNumberFieldWidth);
    return edit;
}

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

CMachinePorts::CMachinePorts(int osClass, std::string byIdDirectory)
    : osClass_(osClass), byIdDirectory_(std::move(byIdDirectory)) {}

bool CMachinePorts::enumerate(std::vector<int>& ports) {
    return enumeratePorts(osClass_, ports);
}

std::string CMachinePorts::devicePath(int port) {
    return comPortDevice(port);
}

std::string CMachinePorts::stableName(int port) {
    return stableDeviceName(comPortDevice(port), byIdDirectory_);
}

CModbusIdSpin::CModbusIdSpin(QWidget* parent) : QAbstractSpinBox(parent) {
    setWrapping(true);
    setAccelerated(false);
}

QString CModbusIdSpin::text() const {
    return lineEdit()->text();
}

void CModbusIdSpin::setText(const QString& value) {
    lineEdit()->setText(value);
}

void CModbusIdSpin::stepBy(int steps) {
    lineEdit()->setText(QString::number(stepModbusId(stdtext(text()), steps)));
    selectAll();
}

QValidator::State CModbusIdSpin::validate(QString& input, int&) const {
    for (const QChar c : input) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

QSize CModbusIdSpin::sizeHint() const {
    QSize hint = QAbstractSpinBox::sizeHint();
    hint.setWidth(kNumberFieldWidth);
    return hint;
}

QAbstractSpinBox::StepEnabled CModbusIdSpin::stepEnabled() const {
    return StepUpEnabled | StepDownEnabled;
}

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const QRegularExpression octetPattern(QStringLiteral("25[0-5]|2[0-4][0-9]|1?[0-9]?[0-9]"));
    for (int i = 0; i < kOctetCount; ++i) {
        auto* octet = new QLineEdit(this);
        octet->setValidator(new QRegularExpressionValidator(octetPattern, octet));
        octet->setAlignment(Qt::AlignCenter);
        octet->setFixedWidth(40);
        octet->installEventFilter(this);
        if (i > 0)
            layout->addWidget(new QLabel(QStringLiteral("."), this));
        layout->addWidget(octet);
        octets_[static_cast<std::size_t>(i)] = octet;
    }
    layout->addStretch(1);
    setFocusProxy(octets_[0]);
}

std::uint32_t CIpAddressEdit::address() const {
    std::uint32_t value = 0;
    for (const QLineEdit* octet : octets_)
        value = (value << kOctetBits) | (octet->text().toUInt() & 0xFFu);
    return value;
}

void CIpAddressEdit::setAddress(std::uint32_t address) {
    for (int i = 0; i < kOctetCount; ++i) {
        const auto shift = static_cast<unsigned>((kOctetCount - 1 - i) * kOctetBits);
        octets_[static_cast<std::size_t>(i)]->setText(QString::number((address >> shift) & 0xFFu));
    }
}

bool CIpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    // A point moves on to the next octet, as in an address field.
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Period) {
        for (std::size_t i = 0; i + 1 < octets_.size(); ++i) {
            if (watched == octets_[i]) {
                octets_[i + 1]->setFocus();
                octets_[i + 1]->selectAll();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

CSetupModemWindow::CSetupModemWindow(const ModemValues& values, QWidget* parent)
    : QDialog(parent), logic_(values) {
    setWindowTitle(text(kIdsModemTitle));
    initStringEdit = new QLineEdit(this);
    initStringEdit->setMinimumWidth(260);
    connectTimeoutEdit = shortNumberEdit(this);
    redialWaitEdit = shortNumberEdit(this);
    disconnectAfterEdit = shortNumberEdit(this);
    defaultsButton = new QPushButton(text(kIdsDialogDefaults), this);
    okButton = new QPushButton(text(kIdsDialogOk), this);
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(text(kIdsDialogCancel), this);

    auto* grid = new QGridLayout;
    auto addLine = [&](int line, unsigned labelId, QLineEdit* edit, unsigned unitId) {
        auto* label = new QLabel(text(labelId), this);
        label->setBuddy(edit);
        grid->addWidget(label, line, 0);
        grid->addWidget(edit, line, 1);
        grid->addWidget(new QLabel(text(unitId), this), line, 2);
    };
    auto* initLabel = new QLabel(text(kIdsModemInitString), this);
    initLabel->setBuddy(initStringEdit);
    grid->addWidget(initLabel, 0, 0);
    grid->addWidget(initStringEdit, 0, 1, 1, 3);
    addLine(1, kIdsModemConnectWithin, connectTimeoutEdit, kIdsModemConnectSeconds);
    addLine(2, kIdsModemRedialWait, redialWaitEdit, kIdsModemRedialSeconds);
    addLine(3, kIdsModemDisconnectAfter, disconnectAfterEdit, kIdsModemDisconnectMinutes);
    grid->setColumnStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(defaultsButton);
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    connect(defaultsButton, &QPushButton::clicked, this, [this] {
        logic_.setDefaults();
        showValues();
    });
    connect(okButton, &QPushButton::clicked, this, &CSetupModemWindow::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    showValues();
}

void CSetupModemWindow::showValues() {
    initStringEdit->setText(qtext(logic_.initString));
    connectTimeoutEdit->setText(qtext(logic_.connectTimeoutText));
    redialWaitEdit->setText(qtext(logic_.redialWaitText));
    disconnectAfterEdit->setText(qtext(logic_.disconnectAfterText));
}

void CSetupModemWindow::readValues() {
    logic_.initString = editedBytes(logic_.initString, initStringEdit->text());
    logic_.connectTimeoutText = stdtext(connectTimeoutEdit->text());
    logic_.redialWaitText = stdtext(redialWaitEdit->text());
    logic_.disconnectAfterText = stdtext(disconnectAfterEdit->text());
}

void CSetupModemWindow::accept() {
    readValues();
    const FieldCheck check = logic_.accept();
    if (check.accepted) {
        QDialog::accept();
        return;
    }
    tell(this, check.message);
    switch (check.focus) {
    case EditorField::ConnectTimeout:
        focusField(connectTimeoutEdit);
        break;
    case EditorField::RedialWait:
        focusField(redialWaitEdit);
        break;
    default:
        focusField(disconnectAfterEdit);
        break;
    }
}

CSetupCommsWindow::CSetupCommsWindow(const CLocation& location, std::vector<std::string> names,
                                     bool isNewLocation, IPortSource& ports, QWidget* parent)
    : QDialog(parent), logic_(location, std::move(names), isNewLocation) {
    setWindowTitle(text(kIdsCommsTitle));
    createControls();
    layOutControls();
    openingMessages_ = logic_.open(ports);
    showForm();
    connectEvents();
}

void CSetupCommsWindow::createControls() {
    mediaList = new QComboBox(this);
    for (unsigned i = 0; i < kMediaCount; ++i)
        mediaList->addItem(text(kMediaTextBase + i));
    modbusTypeGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        auto* button = new QRadioButton(text(kModbusTypeTextBase + static_cast<unsigned>(i)), this);
        modbusTypeGroup_->addButton(button, i);
        modbusTypeButtons[static_cast<std::size_t>(i)] = button;
    }
    keepPlaceWhenHidden(modbusTypeButtons[2]);
    modbusIdSpin = new CModbusIdSpin(this);
    modiconCheck = new QCheckBox(text(kIdsCommsModiconCompatible), this);
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
        baudList->addItem(text(kBaudTextBase + i));
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
        dataBitsButtons[index] = new QRadioButton(text(kIdsDataBits7 + offset), this);
        dataBitsGroup_->addButton(dataBitsButtons[index], i);
        stopBitsButtons[index] = new QRadioButton(text(kIdsStopBits1 + offset), this);
        stopBitsGroup_->addButton(stopBitsButtons[index], i);
    }
    parityList = new QComboBox(this);
    for (unsigned i = 0; i < kParityCount; ++i)
        parityList->addItem(text(kParityTextBase + i));
    modemButton = new QPushButton(text(kIdsModemSettingsButton), this);
    rs485Check = new QCheckBox(text(kIdsRs485TwoWire), this);
    okButton = new QPushButton(text(kIdsDialogOk), this);
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
        auto* created = new QLabel(text(id), this);
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
    grid->addLayout(row({time1Edit, new QLabel(text(kIdsCommsMs), this)}), 7, 1);
    grid->addWidget(time2Label, 8, 0);
    grid->addLayout(row({time2Edit, new QLabel(text(kIdsCommsMs), this)}), 8, 1);
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

    auto* cancelButton = new QPushButton(text(kIdsDialogCancel), this);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
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
    form.modbusIdText = stdtext(modbusIdSpin->text());
    form.modiconCompatible = modiconCheck->isChecked();
    form.name = editedBytes(form.name, nameEdit->text());
    form.number = editedBytes(form.number, numberEdit->text());
    form.ipAddress = addressEdit->address();
    form.portIndex = portList->currentIndex();
    form.tcpPortText = stdtext(tcpPortEdit->text());
    form.baudIndex = baudList->currentIndex();
    form.time1Text = stdtext(time1Edit->text());
    form.time2Text = stdtext(time2Edit->text());
    form.retriesText = stdtext(retriesEdit->text());
    form.dataBitsIndex = dataBitsGroup_->checkedId();
    form.stopBitsIndex = stopBitsGroup_->checkedId();
    form.parityIndex = parityList->currentIndex();
    form.rs485TwoWire = rs485Check->isChecked();
}

void CSetupCommsWindow::showForm() {
    const CommsForm& form = logic_.form;
    mediaList->setCurrentIndex(form.mediaIndex);
    setIndex(modbusTypeGroup_, form.modbusTypeIndex);
    modbusIdSpin->setText(qtext(form.modbusIdText));
    modiconCheck->setChecked(form.modiconCompatible);
    nameEdit->setText(qtext(form.name));
    numberEdit->setText(qtext(form.number));
    addressEdit->setAddress(form.ipAddress);
    portList->clear();
    for (const std::string& entry : logic_.portEntries())
        portList->addItem(qtext(entry));
    portList->setCurrentIndex(form.portIndex);
    tcpPortEdit->setText(qtext(form.tcpPortText));
    baudList->setCurrentIndex(form.baudIndex);
    time1Edit->setText(qtext(form.time1Text));
    time2Edit->setText(qtext(form.time2Text));
    retriesEdit->setText(qtext(form.retriesText));
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
    numberLabel->setText(text(layout.numberLabelId));
    numberEdit->setVisible(layout.numberEdit);
    addressEdit->setVisible(layout.addressField);
    numberLabel->setBuddy(layout.addressField ? static_cast<QWidget*>(addressEdit) : numberEdit);
    portLabel->setText(text(layout.portLabelId));
    portLabel->setBuddy(layout.portList ? static_cast<QWidget*>(portList) : tcpPortEdit);
    portList->setVisible(layout.portList);
    tcpPortEdit->setVisible(layout.tcpPortEdit);
    deviceLabel->setVisible(layout.portList);
    deviceLabel->setText(qtext(logic_.deviceText()));
    for (QWidget* widget : serialLineWidgets_)
        widget->setVisible(layout.serialLine);
    modemButton->setVisible(layout.modemButton);
    rs485Check->setVisible(layout.rs485TwoWire);
    time1Label->setText(text(layout.time1LabelId));
    time1Label->setBuddy(time1Edit);
    time2Label->setText(text(layout.time2LabelId));
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
        tell(this, message.text, message.warning);
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
    if (check.accepted) {
        QDialog::accept();
        return;
    }
    tell(this, check.message);
    focusField(fieldWidget(check.focus));
}

int CLocationsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.rowCount();
}

int CLocationsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kLocationColumnCount;
}

QVariant CLocationsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return qtext(list_.cellText(index.row(), index.column()));
}

QVariant CLocationsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static constexpr std::array<unsigned, kLocationColumnCount> kHeaders = {
        kIdsLocationsColumnLocation, kIdsLocationsColumnNumber, kIdsLocationsColumnMedia,
        kIdsLocationsColumnDetails};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kLocationColumnCount)
        return {};
    return text(kHeaders[static_cast<std::size_t>(section)]);
}

Qt::ItemFlags CLocationsModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

void CLocationsModel::refresh() {
    beginResetModel();
    endResetModel();
}

CLocationsView::CLocationsView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setTextElideMode(Qt::ElideRight);
}

QMimeData* CLocationsView::createRowMimeData(int row) const {
    auto* mime = new QMimeData;
    const auto self = reinterpret_cast<quintptr>(this);
    mime->setData(kRowMimeType, QByteArray::number(self) + ':' + QByteArray::number(row));
    return mime;
}

int CLocationsView::draggedRow(const QMimeData* mime) const {
    const QList<QByteArray> parts = mime->data(kRowMimeType).split(':');
    bool viewValid = false;
    bool rowValid = false;
    if (parts.size() != 2 || parts[0].toULongLong(&viewValid) != reinterpret_cast<quintptr>(this) ||
        !viewValid)
        return -1;
    const int row = parts[1].toInt(&rowValid);
    return rowValid && row >= 0 ? row : -1;
}

void CLocationsView::startDrag(Qt::DropActions) {
    const QModelIndex index = currentIndex();
    if (!index.isValid())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(createRowMimeData(index.row()));
    const QRect rowRect(0, visualRect(index).top(), viewport()->width(),
                        visualRect(index).height());
    drag->setPixmap(viewport()->grab(rowRect));
    drag->exec(Qt::MoveAction);
}

void CLocationsView::dragEnterEvent(QDragEnterEvent* event) {
    if (draggedRow(event->mimeData()) >= 0)
        event->acceptProposedAction();
    else
        event->ignore();
}

void CLocationsView::dragMoveEvent(QDragMoveEvent* event) {
    if (draggedRow(event->mimeData()) >= 0)
        event->acceptProposedAction();
    else
        event->ignore();
}

void CLocationsView::dropEvent(QDropEvent* event) {
    const int dragged = draggedRow(event->mimeData());
    if (dragged < 0) {
        event->ignore();
        return;
    }
    const QPoint point = event->position().toPoint() + QPoint(0, kDropPointOffset);
    emit rowDropped(dragged, indexAt(point).row());
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void CLocationsView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    emit doubleClickedAnywhere();
}

CSetupLocationsWindow::CSetupLocationsWindow(const CSettingsFile& settings, IPortSource& ports,
                                             std::string decimalSeparator, QWidget* parent)
    : QDialog(parent), logic_(std::move(decimalSeparator)), ports_(ports) {
    setWindowTitle(text(kIdsLocationsTitle));
    logic_.load(settings);
    model_ = new CLocationsModel(logic_, this);
    list = new CLocationsView(this);
    list->setModel(model_);
    list->setMinimumSize(kListMinWidth, kListMinHeight);
    list->header()->setStretchLastSection(false);
    list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    addButton = new QPushButton(text(kIdsDialogAdd), this);
    editButton = new QPushButton(text(kIdsDialogEdit), this);
    deleteButton = new QPushButton(text(kIdsDialogDelete), this);
    okButton = new QPushButton(text(kIdsDialogOk), this);
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(text(kIdsDialogCancel), this);

    contextMenu = new QMenu(this);
    connect(contextMenu->addAction(text(kIdsDialogAdd)), &QAction::triggered, this,
            &CSetupLocationsWindow::add);
    connect(contextMenu->addAction(text(kIdsDialogEdit)), &QAction::triggered, this,
            &CSetupLocationsWindow::edit);
    connect(contextMenu->addAction(text(kIdsDialogDelete)), &QAction::triggered, this,
            &CSetupLocationsWindow::remove);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {addButton, editButton, deleteButton})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);

    connect(addButton, &QPushButton::clicked, this, &CSetupLocationsWindow::add);
    connect(editButton, &QPushButton::clicked, this, &CSetupLocationsWindow::edit);
    connect(deleteButton, &QPushButton::clicked, this, &CSetupLocationsWindow::remove);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(list, &CLocationsView::doubleClickedAnywhere, this, &CSetupLocationsWindow::edit);
    connect(list, &CLocationsView::rowDropped, this, &CSetupLocationsWindow::moveRow);
    connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& point) {
        contextMenu->exec(list->viewport()->mapToGlobal(point));
    });
    refresh(-1);
}

int CSetupLocationsWindow::selectedRow() const {
    const QModelIndexList rows = list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void CSetupLocationsWindow::selectRow(int row) {
    list->selectionModel()->clearSelection();
    const QModelIndex index = model_->index(row, 0);
    if (!index.isValid())
        return;
    list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
}

void CSetupLocationsWindow::refresh(int selectedRow) {
    model_->refresh();
    selectRow(selectedRow);
    const bool enabled = logic_.editAndDeleteEnabled();
    editButton->setEnabled(enabled);
    deleteButton->setEnabled(enabled);
}

void CSetupLocationsWindow::add() {
    const int selected = selectedRow();
    logic_.add(*this, selected);
    // The new row is not selected; the selection stays where it was.
    refresh(selected);
}

void CSetupLocationsWindow::edit() {
    const int selected = selectedRow();
    logic_.edit(*this, selected);
    refresh(selected);
}

void CSetupLocationsWindow::remove() {
    const int selected = selectedRow();
    const int before = logic_.rowCount();
    logic_.remove(*this, selected);
    refresh(logic_.rowCount() == before ? selected : -1);
}

void CSetupLocationsWindow::moveRow(int dragged, int target) {
    refresh(logic_.moveRow(dragged, target));
}

bool CSetupLocationsWindow::editLocation(CLocation& values, const std::vector<std::string>& names,
                                         bool isNewLocation) {
    CSetupCommsWindow editor(values, names, isNewLocation, ports_, this);
    if (editor.exec() != QDialog::Accepted)
        return false;
    values = editor.values();
    return true;
}

void CSetupLocationsWindow::showMessage(const std::string& message) {
    tell(this, message);
}

bool CSetupLocationsWindow::askYesNo(const std::string& question) {
    return ask(this, QMessageBox::Question, question, QMessageBox::Yes | QMessageBox::No) !=
           QMessageBox::No;
}

void CSetupLocationsWindow::fitColumns() {
    const auto widths = CSetupLocationsDlg::columnWidths(list->width());
    for (int column = 0; column < kLocationColumnCount; ++column)
        list->header()->resizeSection(column, widths[static_cast<std::size_t>(column)]);
}

void CSetupLocationsWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    fitColumns();
}

void CSetupLocationsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    fitColumns();
}
