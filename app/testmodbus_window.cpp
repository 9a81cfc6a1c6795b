#include "app/testmodbus_window.h"

#include "app/app_dialogs.h"
#include "app/likely_cause_line.h"
#include "app/qt_form.h"
#include "app/qt_message_box.h"
#include "app/qt_message_target.h"
#include "app/qt_text.h"
#include "app/qt_tool_window.h"
#include "comms/comms_context.h"
#include "platform/clock.h"
#include "platform/system_errors.h"
#include "protocol/data_types.h"
#include "protocol/field_text.h"
#include "protocol/modbus_limits.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "runner/sequence_writer.h"
#include "windows/vantrel_doc.h"
#include "windows/view_commands.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int kCheckModeCount = 3;
constexpr int kAddressingCount = 3;
constexpr int kFrameBoxLines = 6;
constexpr int kValuesBoxLines = 3;

std::string stdText(const QString& text) {
    return text.toStdString();
}

// A frame box shows line breaks of the frame text as plain new lines.
QString frameText(const std::string& text) {
    QString shown = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

void setBoxHeight(QPlainTextEdit* box, int lines) {
    const int line = box->fontMetrics().lineSpacing();
    box->setFixedHeight(line * lines + 2 * box->frameWidth() +
                        static_cast<int>(2 * box->document()->documentMargin()));
}

void setTextIfChanged(QLineEdit* edit, const std::string& text) {
    const QString value = qText(text);
    if (edit->text() != value)
        edit->setText(value);
}

void setTextIfChanged(QPlainTextEdit* edit, const QString& value) {
    if (edit->toPlainText() != value)
        edit->setPlainText(value);
}

QPushButton* makeButton(unsigned id, const char* name, QWidget* parent) {
    auto* button = new QPushButton(qText(id), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

CTestModbusWindow::CTestModbusWindow(CVantrelDoc& document, IAppDialogs& dialogs,
                                     CTestModbusDlg::Setup setup, IMessageBox* messageBox,
                                     QWidget* parent)
    : QDialog(parent), document_(document), dialogs_(dialogs), messageBox_(messageBox, this),
      mediaType_(setup.mediaType), logic_(document.message(), *this, std::move(setup)) {
    setWindowTitle(qText(kIdsTestTitle));
    buildWidgets();
    buildLayout();
    logic_.onInitDialog();
    modbusId_->setValue(readWholeNumber(logic_.form.modbusId).value_or(0));
    applyForm();
    connectSignals();
    target_ = std::make_unique<CQtMessageTarget>(
        [this](unsigned message, WParam wParam, LParam lParam) {
            return onWindowMessage(message, wParam, lParam);
        },
        this);
}

CTestModbusWindow::~CTestModbusWindow() {
    if (!logic_.closing())
        logic_.onCancel();
    target_.reset();
    // The tool windows opened from here close with the dialog, each through its own Cancel.
    if (convertorWindow_)
        convertorWindow_->close();
    if (commsLogWindow_)
        commsLogWindow_->close();
    if (registerTableWindow_)
        registerTableWindow_->close();
}

WindowHandle CTestModbusWindow::handle() const {
    return target_ ? target_->handle() : 0;
}

void CTestModbusWindow::buildWidgets() {
    rtu_ = new QRadioButton(qText(kIdsModbusTypeFirst), this);
    ascii_ = new QRadioButton(qText(kIdsModbusTypeFirst + 1), this);
    tcp_ = new QRadioButton(qText(kIdsModbusTypeFirst + 2), this);
    rtu_->setObjectName(QStringLiteral("modbusTypeRtu"));
    ascii_->setObjectName(QStringLiteral("modbusTypeAscii"));
    tcp_->setObjectName(QStringLiteral("modbusTypeTcp"));
    modbusType_ = new QButtonGroup(this);
    modbusType_->addButton(rtu_, 0);
    modbusType_->addButton(ascii_, 1);
    modbusType_->addButton(tcp_, 2);

    addressing_ = new QComboBox(this);
    addressing_->setObjectName(QStringLiteral("addressing"));
    for (int i = 0; i < kAddressingCount; ++i)
        addressing_->addItem(qText(kIdsAddressingFirst + static_cast<unsigned>(i)));
    modbusId_ = new QSpinBox(this);
    modbusId_->setObjectName(QStringLiteral("modbusId"));
    modbusId_->setRange(kModbusIdMin, kModbusIdMax);
    function_ = new QComboBox(this);
    function_->setObjectName(QStringLiteral("functionCode"));
    for (int i = 0; i < kFunctionCount; ++i)
        function_->addItem(qText(kIdsFunctionFirst + static_cast<unsigned>(i)));
    const auto lineEdit = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        return edit;
    };
    userFunction_ = lineEdit("userFunction");
    dataType_ = new QComboBox(this);
    dataType_->setObjectName(QStringLiteral("dataType"));
    start_ = lineEdit("startAddress");
    quantity_ = lineEdit("quantity");
    stringSize_ = lineEdit("stringSize");
    dataValues_ = new QPlainTextEdit(this);
    dataValues_->setObjectName(QStringLiteral("dataValues"));
    checkMode_ = new QComboBox(this);
    checkMode_->setObjectName(QStringLiteral("checkMode"));
    for (int i = 0; i < kCheckModeCount; ++i)
        checkMode_->addItem(qText(kIdsCheckModeFirst + static_cast<unsigned>(i)));
    checkValue_ = lineEdit("checkValue");

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const auto frameBox = [this, &fixed](const char* name) {
        auto* box = new QPlainTextEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setReadOnly(true);
        box->setFont(fixed);
        setBoxHeight(box, kFrameBoxLines);
        return box;
    };
    transmitFrame_ = frameBox("transmitFrame");
    receiveFrame_ = frameBox("receiveFrame");
    dataValues_->setFont(fixed);
    setBoxHeight(dataValues_, kValuesBoxLines);

    transmit_ = makeButton(kIdsTestTransmit, "transmit", this);
    repeat_ = makeButton(kIdsTestRepeat, "repeat", this);
    convertor_ = makeButton(kIdsTestConvertor, "convertor", this);
    commsLog_ = makeButton(kIdsTestCommsLog, "commsLog", this);
    temporarySettings_ = makeButton(kIdsTestChangeTemporarySettings, "temporarySettings", this);
    cancel_ = makeButton(kIdsDialogCancel, "cancel", this);
    saveStep_ = makeButton(kIdsTestSaveStep, "saveStep", this);
    statistics_ = new QLabel(this);
    statistics_->setObjectName(QStringLiteral("statistics"));
    // The line's room is kept while it is hidden, so the dialog does not grow on the first send.
    QSizePolicy keepRoom = statistics_->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    statistics_->setSizePolicy(keepRoom);
    buildSoakWidgets();
    likelyCause_ = new CLikelyCauseLine(this);
}

void CTestModbusWindow::buildLayout() {
    auto* grid = new QGridLayout;
    int row = 0;
    const auto label = [this](unsigned id, QWidget* buddy) {
        auto* l = new QLabel(qText(id), this);
        l->setBuddy(buddy);
        return l;
    };
    auto* types = new QHBoxLayout;
    types->addWidget(rtu_);
    types->addWidget(ascii_);
    types->addWidget(tcp_);
    types->addStretch();
    types->addWidget(addressing_);
    grid->addWidget(label(kIdsTestModbusTypeLabel, rtu_), row, 0);
    grid->addLayout(types, row++, 1);
    grid->addWidget(label(kIdsCommsModbusId, modbusId_), row, 0);
    auto* idRow = new QHBoxLayout;
    idRow->addWidget(modbusId_);
    idRow->addStretch();
    addSoakControls(idRow);
    grid->addLayout(idRow, row++, 1);
    grid->addWidget(label(kIdsTestFunctionCodeLabel, function_), row, 0);
    auto* functionRow = new QHBoxLayout;
    functionRow->addWidget(function_, 1);
    functionRow->addWidget(userFunction_);
    userFunction_->setMaximumWidth(60);
    grid->addLayout(functionRow, row++, 1);
    dataTypeLabel_ = label(kIdsTestDataTypeLabel, dataType_);
    grid->addWidget(dataTypeLabel_, row, 0);
    grid->addWidget(dataType_, row++, 1);

    auto* numbers = new QHBoxLayout;
    startLabel_ = label(kIdsTestDataRegisterLabel, start_);
    quantityLabel_ = label(kIdsTestNoOfValuesLabel, quantity_);
    stringSizeLabel_ = label(kIdsTestStringSizeLabel, stringSize_);
    for (QWidget* w : {static_cast<QWidget*>(startLabel_), static_cast<QWidget*>(start_),
                       static_cast<QWidget*>(quantityLabel_), static_cast<QWidget*>(quantity_),
                       static_cast<QWidget*>(stringSizeLabel_), static_cast<QWidget*>(stringSize_)})
        numbers->addWidget(w);
    numbers->addStretch();
    numbers->addWidget(registers_);
    for (QLineEdit* edit : {start_, quantity_, stringSize_})
        edit->setMaximumWidth(80);
    grid->addLayout(numbers, row++, 0, 1, 2);

    dataValuesLabel_ = new QLabel(this);
    dataValuesLabel_->setBuddy(dataValues_);
    grid->addWidget(dataValuesLabel_, row++, 0, 1, 2);
    grid->addWidget(dataValues_, row++, 0, 1, 2);
    checkLabel_ = label(kIdsTestCrcLabel, checkMode_);
    grid->addWidget(checkLabel_, row, 0);
    auto* checkRow = new QHBoxLayout;
    checkRow->addWidget(checkMode_);
    checkRow->addWidget(checkValue_);
    checkValue_->setMaximumWidth(80);
    checkRow->addStretch();
    // Save Step sits in the room right of the check value, so the window keeps its size.
    checkRow->addWidget(saveStep_);
    grid->addLayout(checkRow, row++, 1);
    grid->addWidget(new QLabel(qText(kIdsTestTransmitMessageLabel), this), row++, 0, 1, 2);
    grid->addWidget(transmitFrame_, row++, 0, 1, 2);
    grid->addWidget(new QLabel(qText(kIdsTestReceiveMessageLabel), this), row++, 0, 1, 2);
    grid->addWidget(receiveFrame_, row++, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {transmit_, repeat_, convertor_, commsLog_, temporarySettings_, cancel_})
        buttons->addWidget(b);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addLayout(buttons);
    outer->addWidget(statistics_);
    outer->addWidget(likelyCause_);
    setMinimumWidth(640);
}

void CTestModbusWindow::connectSignals() {
    connect(function_, &QComboBox::currentIndexChanged, this,
            [this] { runEvent(&CTestModbusDlg::onFunctionChanged); });
    connect(dataType_, &QComboBox::currentIndexChanged, this,
            [this] { runEvent(&CTestModbusDlg::onDataTypeChanged); });
    connect(checkMode_, &QComboBox::currentIndexChanged, this,
            [this] { runEvent(&CTestModbusDlg::onCheckModeChanged); });
    connect(modbusType_, &QButtonGroup::idClicked, this,
            [this] { runEvent(&CTestModbusDlg::onModbusTypeChanged); });
    connect(transmit_, &QPushButton::clicked, this,
            [this] { runEvent(&CTestModbusDlg::onTransmit); });
    connect(repeat_, &QPushButton::clicked, this, [this] { runEvent(&CTestModbusDlg::onRepeat); });
    connect(convertor_, &QPushButton::clicked, this, [this] { openConvertor(); });
    connect(commsLog_, &QPushButton::clicked, this, [this] { openCommsLog(); });
    connect(registers_, &QPushButton::clicked, this, [this] { openRegisterTable(); });
    connect(temporarySettings_, &QPushButton::clicked, this, [this] { changeTemporarySettings(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
    connect(saveStep_, &QPushButton::clicked, this, [this] { saveStep(); });
}

void CTestModbusWindow::runEvent(void (CTestModbusDlg::*handler)()) {
    if (applying_)
        return;
    collectForm();
    (logic_.*handler)();
    applyForm();
}

void CTestModbusWindow::collectForm() {
    TestModbusForm& f = logic_.form;
    f.modbusType = std::max(0, modbusType_->checkedId());
    f.addressingIndex = addressing_->currentIndex();
    f.modbusId = stdText(modbusId_->text());
    f.functionIndex = function_->currentIndex();
    f.userFunction = stdText(userFunction_->text());
    f.dataType = dataType_->currentIndex() >= 0 ? dataType_->currentData().toInt() : 0;
    f.startAddress = stdText(start_->text());
    f.quantity = stdText(quantity_->text());
    f.stringSize = stdText(stringSize_->text());
    f.dataValues = stdText(dataValues_->toPlainText());
    f.checkMode = checkMode_->currentIndex();
    f.checkValue = stdText(checkValue_->text());
    collectSoakOptions();
}

void CTestModbusWindow::applyForm() {
    applying_ = true;
    const TestModbusForm& f = logic_.form;
    if (QAbstractButton* b = modbusType_->button(f.modbusType))
        b->setChecked(true);
    addressing_->setCurrentIndex(f.addressingIndex);
    function_->setCurrentIndex(f.functionIndex);
    setTextIfChanged(userFunction_, f.userFunction);
    setTextIfChanged(start_, f.startAddress);
    setTextIfChanged(quantity_, f.quantity);
    setTextIfChanged(stringSize_, f.stringSize);
    setTextIfChanged(dataValues_, qText(f.dataValues));
    checkMode_->setCurrentIndex(f.checkMode);
    setTextIfChanged(checkValue_, f.checkValue);
    setTextIfChanged(transmitFrame_, frameText(f.transmitText));
    setTextIfChanged(receiveFrame_, frameText(f.receiveText));
    applyLayoutState();
    applyButtons();
    applying_ = false;
}

void CTestModbusWindow::applyLayoutState() {
    const TestModbusForm& f = logic_.form;
    std::vector<int> listed;
    for (int i = 0; i < dataType_->count(); ++i)
        listed.push_back(dataType_->itemData(i).toInt());
    if (listed != f.dataTypes) {
        dataType_->clear();
        for (int type : f.dataTypes)
            dataType_->addItem(qText(static_cast<unsigned>(type)), type);
    }
    dataType_->setCurrentIndex(dataType_->findData(f.dataType));
    rtu_->setEnabled(f.rtuEnabled);
    ascii_->setEnabled(f.asciiEnabled);
    tcp_->setEnabled(f.tcpEnabled);
    tcp_->setVisible(f.tcpVisible);
    userFunction_->setVisible(f.userFunctionVisible);
    dataTypeLabel_->setVisible(f.dataTypeVisible);
    dataType_->setVisible(f.dataTypeVisible);
    dataType_->setEnabled(f.dataTypeEnabled);
    startLabel_->setVisible(f.startVisible);
    start_->setVisible(f.startVisible);
    startLabel_->setText(qText(f.startLabel));
    quantityLabel_->setVisible(f.quantityVisible);
    quantity_->setVisible(f.quantityVisible);
    quantityLabel_->setText(qText(f.quantityLabel));
    quantityLabel_->setEnabled(f.quantityEnabled);
    quantity_->setEnabled(f.quantityEnabled);
    stringSizeLabel_->setVisible(f.stringSizeVisible);
    stringSize_->setVisible(f.stringSizeVisible);
    dataValuesLabel_->setText(qText(f.dataValuesLabel));
    dataValues_->setReadOnly(f.dataValuesReadOnly);
    checkLabel_->setText(qText(f.checkLabel));
    checkMode_->setEnabled(f.checkModeEnabled);
    checkValue_->setVisible(f.checkValueVisible);
}

void CTestModbusWindow::applyButtons() {
    const TestModbusForm& f = logic_.form;
    transmit_->setEnabled(f.transmitEnabled);
    repeat_->setText(qText(f.repeatLabel));
    cancel_->setEnabled(f.cancelEnabled);
    statistics_->setText(qText(f.statistics));
    statistics_->setVisible(!f.statistics.empty());
    applySoakOptions();
    likelyCause_->setTexts(f.likelyCause, f.causeDetails);
}

void CTestModbusWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        runEvent(&CTestModbusDlg::onEnterKey);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CTestModbusWindow::reject() {
    if (!logic_.closing()) {
        collectForm();
        logic_.onCancel();
        applyForm();
    }
    QDialog::reject();
}

LParam CTestModbusWindow::onWindowMessage(unsigned message, WParam wParam, LParam lParam) {
    if (message == WM_COMMS_RESULT) {
        collectForm();
        logic_.onCommsResult(static_cast<unsigned>(wParam), static_cast<int>(lParam));
        applyForm();
        publishReadOutcome();
    } else if (message == WM_CONVERTOR_CLOSED) {
        convertorWindow_ = nullptr;
    } else if (message == WM_COMMSLOG_CLOSED) {
        commsLogWindow_ = nullptr;
    }
    return 0;
}

void CTestModbusWindow::openConvertor() {
    showToolWindow(convertorWindow_, [this] { return dialogs_.createConvertor(handle()); });
}

void CTestModbusWindow::openCommsLog() {
    showToolWindow(commsLogWindow_, [this] { return dialogs_.createCommsLog(handle()); });
}

void CTestModbusWindow::changeTemporarySettings() {
    if (::changeTemporarySettings(document_.message(), mediaType_, dialogs_))
        postStatusRefresh();
}

void CTestModbusWindow::showMessage(const std::string& text) {
    applyForm();
    // The register tables learn of the failure before the box holds the window.
    publishReadOutcome();
    messageBox_->showWarning(text);
}

void CTestModbusWindow::setFocus(TestField field) {
    // The logic may enable the field in the same event (Transmit after Stop): a disabled widget
    // takes no focus.
    applyForm();
    QWidget* widget = nullptr;
    switch (field) {
    case TestField::ModbusId:
        widget = modbusId_;
        break;
    case TestField::FunctionCode:
        widget = function_;
        break;
    case TestField::UserFunction:
        widget = userFunction_;
        break;
    case TestField::StartAddress:
        widget = start_;
        break;
    case TestField::Quantity:
        widget = quantity_;
        break;
    case TestField::StringSize:
        widget = stringSize_;
        break;
    case TestField::DataValues:
        widget = dataValues_;
        break;
    case TestField::CheckValue:
        widget = checkValue_;
        break;
    case TestField::Transmit:
        widget = transmit_;
        break;
    case TestField::Repeat:
        widget = repeat_;
        break;
    default:
        return;
    }
    focusField(widget);
}

int CTestModbusWindow::queueRequest(std::uint8_t* request, const std::uint16_t* requestLength,
                                    std::uint8_t* response, std::uint16_t* responseLength) {
    return document_.context().engine.queueJob(JobType::ModbusRequest, request, requestLength,
                                               response, responseLength, handle());
}

void CTestModbusWindow::postStatusRefresh() {
    const WindowHandle main = document_.context().mainWindow;
    if (main != 0)
        postMessage(main, WM_STATUS_REFRESH);
}

void CTestModbusWindow::abortCurrentJob() {
    document_.abortCurrentJob();
}

void CTestModbusWindow::dropQueuedJobs() {
    document_.context().engine.cancelJobs(handle());
}

std::string CTestModbusWindow::unknownErrorText() {
    return document_.context().socket.unknownErrorText();
}

std::uint32_t CTestModbusWindow::tickCount() {
    return ::tickCount();
}

CCommsLogStore* CTestModbusWindow::commsLog() {
    return &document_.context().engine.logRecords;
}

int CTestModbusWindow::baudRate() {
    return baudRateOfIndex(document_.currentLocation.baudIndex);
}

void CTestModbusWindow::saveStep() {
    QFileDialog dialog(this, qText(kIdsTestSaveStepTitle));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("toml"));
    dialog.setNameFilter(qText(kIdsTestSaveStepFilter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The step is appended: an existing file is not replaced.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        saveStepTo(dialog.selectedFiles().constFirst().toStdString());
}

bool CTestModbusWindow::saveStepTo(const std::string& path) {
    collectForm();
    const std::optional<TestStepEntries> entries = logic_.stepEntries();
    applyForm();
    if (!entries)
        return false;
    const std::string name = substituteArgs(
        loadString(kIdsTestSaveStepName),
        {loadString(kIdsFunctionFirst + static_cast<unsigned>(entries->functionIndex)),
         std::to_string(entries->startAddress)});
    const int error = appendStepToFile(path, stepOfEntries(*entries, name));
    if (error != 0)
        showMessage(
            substituteArgs(loadString(kIdsTestSaveStepFailed), {path, systemErrorText(error)}));
    return error == 0;
}
