#include "app/find_unit_window.h"

#include "app/qt_form.h"
#include "app/qt_message_target.h"
#include "app/qt_text.h"
#include "app/setup_comms_window.h"
#include "app/widgets/ip_address_edit.h"
#include "config/settings_file.h"
#include "resources/string_ids.h"
#include "windows/setup_comms_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kBaudColumns = 5;
constexpr int kResultColumns = 4;
constexpr int kResultListHeight = 140;
// The sunken frame and margins around a line's text, and the lines kept for the activity line.
constexpr int kLineFrame = 6;
constexpr int kActivityLines = 3;
constexpr int kIdEditWidth = 60;
constexpr std::array<int, kResultColumns> kResultColumnWidths = {210, 40, 230, 100};

QCheckBox* checkBox(const QString& text, QWidget* parent, const char* name) {
    return named(new QCheckBox(text, parent), name);
}

QLabel* sunkenLine(QWidget* parent, const char* name) {
    auto* line = named(new QLabel(parent), name);
    line->setTextFormat(Qt::PlainText);
    line->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Room for the line before there is text in it: the window never grows when it comes.
    line->setMinimumHeight(line->fontMetrics().height() + kLineFrame);
    return line;
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets) {
    auto* layout = new QHBoxLayout;
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    layout->addStretch(1);
    return layout;
}

} // namespace

CFindUnitWindow::CFindUnitWindow(CVantrelDoc& document, CSettingsFile& settings, IPortSource& ports,
                                 IMessageBox* messageBox, QWidget* parent)
    : QDialog(parent), settings_(settings), ports_(ports), messageBox_(messageBox, this) {
    target_ =
        std::make_unique<CQtMessageTarget>([this](unsigned message, WParam wParam, LParam lParam) {
            if (message == WM_COMMS_RESULT && logic_)
                logic_->onCommsResult(wParam, lParam);
            return LParam{0};
        });
    IFindUnitView& view = *this;
    logic_ = std::make_unique<CFindUnitDlg>(document, view, target_->handle());
    setWindowTitle(qText(kIdsFindTitle));

    serialButton = named(new QRadioButton(qText(kIdsFindSerialMedium), this), "serial");
    tcpButton = named(new QRadioButton(qText(kIdsFindTcpMedium), this), "tcp");
    pages_ = new QStackedWidget(this);
    pages_->addWidget(buildSerialPage());
    pages_->addWidget(buildTcpPage());
    QWidget* common = buildCommonFields();
    QWidget* progress = buildProgress();
    buildButtons();

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {startButton, pauseButton, cancelButton, createButton, closeButton})
        buttons->addWidget(button);
    buttons->addStretch(1);
    auto* left = new QVBoxLayout;
    left->addLayout(row({serialButton, tcpButton}));
    left->addWidget(pages_);
    left->addWidget(common);
    left->addWidget(progress, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connectTimer_ = new QTimer(this);
    connectTimer_->setInterval(kFindConnectTickMs);
    connect(connectTimer_, &QTimer::timeout, this, [this] { logic_->onConnectTick(); });
    // Filled before its changes are followed: the form is not read until it has been shown.
    fillPorts();
    connect(serialButton, &QRadioButton::toggled, this, [this] { mediumChanged(); });
    connect(portList, &QComboBox::currentIndexChanged, this, [this] { formChanged(); });
    for (int octet = 0; octet < 4; ++octet)
        connect(addressEdit->octet(octet), &QLineEdit::textChanged, this,
                [this] { formChanged(); });
    for (QCheckBox* box : findChildren<QCheckBox*>())
        connect(box, &QCheckBox::toggled, this, [this] { formChanged(); });
    showForm();
    sweepChanged();
}

CFindUnitWindow::~CFindUnitWindow() {
    logic_->shutdown();
    target_.reset();
}

QWidget* CFindUnitWindow::buildSerialPage() {
    auto* page = new QGroupBox(qText(kIdsFindSerialMedium).remove(QLatin1Char('&')), this);
    portList = named(new QComboBox(page), "port");
    rtuCheck = checkBox(qText(kModbusTypeTextBase), page, "rtu");
    asciiCheck = checkBox(qText(kModbusTypeTextBase + 1), page, "ascii");
    auto* bauds = new QGridLayout;
    for (int i = 0; i < kBaudIndexCount; ++i) {
        auto*& box = baudChecks[static_cast<std::size_t>(i)];
        box = checkBox(qText(kBaudTextBase + static_cast<unsigned>(i)), page, "baud");
        bauds->addWidget(box, i / kBaudColumns, i % kBaudColumns);
    }
    auto* parities = new QHBoxLayout;
    for (int i = 0; i < kParityIndexCount; ++i) {
        auto*& box = parityChecks[static_cast<std::size_t>(i)];
        box = checkBox(qText(kParityTextBase + static_cast<unsigned>(i)), page, "parity");
        parities->addWidget(box);
    }
    parities->addStretch(1);
    auto* stops = new QHBoxLayout;
    for (int i = 0; i < kStopBitsIndexCount; ++i) {
        auto*& box = stopBitsChecks[static_cast<std::size_t>(i)];
        box = checkBox(qText(kIdsFindStopBitsText + static_cast<unsigned>(i)), page, "stopBits");
        stops->addWidget(box);
    }
    stops->addStretch(1);
    auto* form = new QFormLayout(page);
    form->addRow(qText(kIdsFindPortLabel), portList);
    form->addRow(qText(kIdsFindFramingsLabel), row({rtuCheck, asciiCheck}));
    form->addRow(qText(kIdsFindBaudLabel), bauds);
    form->addRow(qText(kIdsFindParityLabel), parities);
    form->addRow(qText(kIdsFindStopBitsLabel), stops);
    return page;
}

QWidget* CFindUnitWindow::buildTcpPage() {
    auto* page = new QGroupBox(qText(kIdsFindTcpMedium).remove(QLatin1Char('&')), this);
    addressEdit = named(new CIpAddressEdit(page), "address");
    tcpPortEdit = named(new QLineEdit(page), "tcpPort");
    otherPortsEdit = named(new QLineEdit(page), "otherPorts");
    modbusTcpCheck = checkBox(qText(kModbusTypeTextBase + 2), page, "modbusTcp");
    rtuOverTcpCheck = checkBox(qText(kIdsFindRtuOverTcp), page, "rtuOverTcp");
    tcpPortEdit->setMaximumWidth(kIdEditWidth * 2);
    auto* form = new QFormLayout(page);
    form->addRow(qText(kIdsFindAddressLabel), row({addressEdit}));
    form->addRow(qText(kIdsFindTcpPortLabel), row({tcpPortEdit}));
    form->addRow(qText(kIdsFindOtherPortsLabel), otherPortsEdit);
    form->addRow(qText(kIdsFindFramingsLabel), row({modbusTcpCheck, rtuOverTcpCheck}));
    return page;
}

QWidget* CFindUnitWindow::buildCommonFields() {
    auto* box = new QWidget(this);
    firstIdEdit = named(new QLineEdit(box), "firstId");
    lastIdEdit = named(new QLineEdit(box), "lastId");
    timeoutEdit = named(new QLineEdit(box), "timeout");
    for (QLineEdit* edit : {firstIdEdit, lastIdEdit, timeoutEdit})
        edit->setMaximumWidth(kIdEditWidth);
    stopAtFirstCheck = checkBox(qText(kIdsFindStopAtFirst), box, "stopAtFirst");
    lengthLabel = sunkenLine(box, "length");
    auto* to = new QLabel(qText(kIdsFindIdTo), box);
    auto* form = new QFormLayout(box);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(qText(kIdsFindIdRangeLabel), row({firstIdEdit, to, lastIdEdit}));
    form->addRow(qText(kIdsFindTimeoutLabel), row({timeoutEdit}));
    form->addRow(stopAtFirstCheck);
    form->addRow(lengthLabel);
    for (QLineEdit* edit : {firstIdEdit, lastIdEdit, timeoutEdit, tcpPortEdit, otherPortsEdit})
        connect(edit, &QLineEdit::textChanged, this, [this] { formChanged(); });
    return box;
}

QWidget* CFindUnitWindow::buildProgress() {
    auto* box = new QWidget(this);
    progressBar = named(new QProgressBar(box), "progress");
    progressLabel = sunkenLine(box, "progressText");
    activityLabel = sunkenLine(box, "activity");
    // How the sweep ended may be long (a port passed over and why, a refused port's hint): it
    // wraps within room kept for it from the start, so that the window never widens for it.
    activityLabel->setWordWrap(true);
    activityLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    activityLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    activityLabel->setFixedHeight(kActivityLines * activityLabel->fontMetrics().lineSpacing() +
                                  kLineFrame);
    resultList = named(new QTreeWidget(box), "results");
    resultList->setColumnCount(kResultColumns);
    QStringList headers;
    for (int column = 0; column < kResultColumns; ++column)
        headers << qText(kIdsFindColumnSettings + static_cast<unsigned>(column));
    resultList->setHeaderLabels(headers);
    resultList->setRootIsDecorated(false);
    resultList->setSelectionMode(QAbstractItemView::SingleSelection);
    resultList->setMinimumHeight(kResultListHeight);
    int listWidth = 2 * resultList->frameWidth();
    for (int column = 0; column < kResultColumns; ++column) {
        const int width = kResultColumnWidths[static_cast<std::size_t>(column)];
        resultList->setColumnWidth(column, width);
        listWidth += width;
    }
    // Every column in view without scrolling; a long identification shows in full as a tip.
    resultList->setMinimumWidth(listWidth);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(progressBar);
    layout->addWidget(progressLabel);
    layout->addWidget(activityLabel);
    layout->addWidget(new QLabel(qText(kIdsFindResultsLabel), box));
    layout->addWidget(resultList, 1);
    connect(resultList, &QTreeWidget::itemDoubleClicked, this, [this] { createLocation(); });
    return box;
}

void CFindUnitWindow::buildButtons() {
    startButton = named(new QPushButton(qText(kIdsFindStart), this), "start");
    pauseButton = named(new QPushButton(qText(kIdsFindPause), this), "pause");
    cancelButton = named(new QPushButton(qText(kIdsFindCancel), this), "cancel");
    createButton = named(new QPushButton(qText(kIdsFindCreateLocation), this), "createLocation");
    closeButton = named(new QPushButton(qText(kIdsFindClose), this), "close");
    startButton->setDefault(true);
    // Pause and Resume take turns on one button, as wide as the wider text.
    pauseButton->setMinimumWidth(std::max(pauseButton->sizeHint().width(),
                                          QPushButton(qText(kIdsFindResume)).sizeHint().width()));
    connect(startButton, &QPushButton::clicked, this, [this] { start(); });
    connect(pauseButton, &QPushButton::clicked, this, [this] { pauseOrResume(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { logic_->cancel(); });
    connect(createButton, &QPushButton::clicked, this, [this] { createLocation(); });
    connect(closeButton, &QPushButton::clicked, this, &CFindUnitWindow::reject);
}

void CFindUnitWindow::fillPorts() {
    std::vector<int> numbers;
    ports_.enumerate(numbers);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (const int number : numbers) {
        const QString name = QStringLiteral("COM%1").arg(number);
        const std::string device = ports_.devicePath(number);
        const QString shown = device.empty() ? name : name + QStringLiteral("  ") + qText(device);
        portList->addItem(shown, name);
    }
}

void CFindUnitWindow::showForm() {
    showing_ = true;
    const FindForm& form = logic_->form;
    serialButton->setChecked(form.medium == FindMedium::Serial);
    tcpButton->setChecked(form.medium == FindMedium::Tcp);
    pages_->setCurrentIndex(form.medium == FindMedium::Serial ? 0 : 1);
    rtuCheck->setChecked(form.rtu);
    asciiCheck->setChecked(form.ascii);
    for (std::size_t i = 0; i < baudChecks.size(); ++i)
        baudChecks[i]->setChecked(form.baudRates[i]);
    for (std::size_t i = 0; i < parityChecks.size(); ++i)
        parityChecks[i]->setChecked(form.parities[i]);
    for (std::size_t i = 0; i < stopBitsChecks.size(); ++i)
        stopBitsChecks[i]->setChecked(form.stopBits[i]);
    firstIdEdit->setText(qText(form.firstIdText));
    lastIdEdit->setText(qText(form.lastIdText));
    timeoutEdit->setText(qText(form.timeoutText));
    stopAtFirstCheck->setChecked(form.stopAtFirst);
    addressEdit->setAddress(form.ipAddress);
    tcpPortEdit->setText(qText(form.tcpPortText));
    otherPortsEdit->setText(qText(form.otherPortsText));
    modbusTcpCheck->setChecked(form.modbusTcp);
    rtuOverTcpCheck->setChecked(form.rtuOverTcp);
    showing_ = false;
}

void CFindUnitWindow::readForm() {
    FindForm& form = logic_->form;
    form.medium = tcpButton->isChecked() ? FindMedium::Tcp : FindMedium::Serial;
    form.portName = portList->currentData().toString().toStdString();
    form.rtu = rtuCheck->isChecked();
    form.ascii = asciiCheck->isChecked();
    for (std::size_t i = 0; i < baudChecks.size(); ++i)
        form.baudRates[i] = baudChecks[i]->isChecked();
    for (std::size_t i = 0; i < parityChecks.size(); ++i)
        form.parities[i] = parityChecks[i]->isChecked();
    for (std::size_t i = 0; i < stopBitsChecks.size(); ++i)
        form.stopBits[i] = stopBitsChecks[i]->isChecked();
    form.firstIdText = editedBytes(form.firstIdText, firstIdEdit->text());
    form.lastIdText = editedBytes(form.lastIdText, lastIdEdit->text());
    form.timeoutText = editedBytes(form.timeoutText, timeoutEdit->text());
    form.stopAtFirst = stopAtFirstCheck->isChecked();
    form.ipAddress = addressEdit->address();
    form.tcpPortText = editedBytes(form.tcpPortText, tcpPortEdit->text());
    form.otherPortsText = editedBytes(form.otherPortsText, otherPortsEdit->text());
    form.modbusTcp = modbusTcpCheck->isChecked();
    form.rtuOverTcp = rtuOverTcpCheck->isChecked();
}

void CFindUnitWindow::mediumChanged() {
    if (showing_)
        return;
    readForm();
    FindForm& form = logic_->form;
    const FindMedium medium = form.medium;
    form.medium = medium == FindMedium::Serial ? FindMedium::Tcp : FindMedium::Serial;
    setFindMedium(form, medium);
    showForm();
    sweepChanged();
}

void CFindUnitWindow::formChanged() {
    if (showing_)
        return;
    readForm();
    sweepChanged();
}

QWidget* CFindUnitWindow::fieldWidget(FindField field) const {
    const std::map<FindField, QWidget*> widgets = {
        {FindField::Port, portList},
        {FindField::Framings, logic_->form.medium == FindMedium::Serial
                                  ? static_cast<QWidget*>(rtuCheck)
                                  : modbusTcpCheck},
        {FindField::BaudRates, baudChecks[kBaudIndexCount / 2]},
        {FindField::Parities, parityChecks[kParityNone]},
        {FindField::StopBits, stopBitsChecks[0]},
        {FindField::FirstId, firstIdEdit},
        {FindField::LastId, lastIdEdit},
        {FindField::Timeout, timeoutEdit},
        {FindField::Address, addressEdit->octet(0)},
        {FindField::TcpPort, tcpPortEdit},
        {FindField::OtherPorts, otherPortsEdit}};
    return widgets.at(field);
}

void CFindUnitWindow::start() {
    readForm();
    const FieldCheck<FindField> check = logic_->start();
    if (check.accepted)
        return;
    messageBox_->showWarning(check.message);
    focusField(fieldWidget(check.focus));
}

void CFindUnitWindow::pauseOrResume() {
    if (logic_->state() == FindState::Paused)
        logic_->resume();
    else
        logic_->pause();
}

void CFindUnitWindow::createLocation() {
    const auto& results = logic_->results();
    if (results.empty())
        return;
    const QList<QTreeWidgetItem*> selected = resultList->selectedItems();
    const int row = selected.isEmpty() ? 0 : resultList->indexOfTopLevelItem(selected.front());
    std::vector<std::string> names;
    for (int index = 0; index < settings_.count(); ++index) {
        if (const CLocation* location = settings_.getLocation(index))
            names.push_back(location->name);
    }
    CSetupCommsWindow editor(logic_->locationFor(row), names, true, ports_, this);
    if (editor.exec() != QDialog::Accepted)
        return;
    settings_.append(editor.values());
    // A failed save has been reported by the settings file; it must not be called saved.
    if (!settings_.save())
        return;
    messageBox_->showMessage(formatString(kIdsFindLocationSaved, editor.values().name));
}

void CFindUnitWindow::reject() {
    logic_->shutdown();
    QDialog::reject();
}

void CFindUnitWindow::sweepChanged() {
    const FindState state = logic_->state();
    const bool sweeping =
        state == FindState::Running || state == FindState::Paused || state == FindState::Cancelling;
    const std::initializer_list<QWidget*> fields = {
        pages_, serialButton, tcpButton, firstIdEdit, lastIdEdit, timeoutEdit, stopAtFirstCheck};
    for (QWidget* field : fields)
        field->setEnabled(!sweeping);
    startButton->setEnabled(!sweeping);
    pauseButton->setEnabled(state == FindState::Running || state == FindState::Paused);
    pauseButton->setText(qText(state == FindState::Paused ? kIdsFindResume : kIdsFindPause));
    cancelButton->setEnabled(state == FindState::Running || state == FindState::Paused);
    createButton->setEnabled(!logic_->results().empty());
    closeButton->setEnabled(state != FindState::Cancelling);

    const FindCheck checked = logic_->checkForm();
    lengthLabel->setText(checked.check.accepted ? qText(sweepLengthText(checked.plan)) : QString());
    const bool started = state != FindState::Idle;
    progressBar->setRange(0, std::max(1, started ? logic_->plan().probeCount() : 1));
    progressBar->setValue(started ? logic_->probesDone() : 0);
    progressLabel->setText(started ? qText(logic_->progressText()) : QString());
    activityLabel->setText(started ? qText(logic_->activityText()) : QString());
    if (logic_->results().size() < static_cast<std::size_t>(shownResults_)) {
        resultList->clear();
        shownResults_ = 0;
    }
    for (; shownResults_ < static_cast<int>(logic_->results().size()); ++shownResults_) {
        auto* item = new QTreeWidgetItem(resultList);
        const std::vector<std::string> texts = logic_->resultRow(shownResults_);
        for (int column = 0; column < kResultColumns; ++column) {
            item->setText(column, qText(texts[static_cast<std::size_t>(column)]));
            item->setToolTip(column, item->text(column));
        }
    }
}

void CFindUnitWindow::messageBox(const std::string& text) {
    messageBox_->showWarning(text);
}

void CFindUnitWindow::startConnectTicks() {
    connectTimer_->start();
}

void CFindUnitWindow::stopConnectTicks() {
    connectTimer_->stop();
}
