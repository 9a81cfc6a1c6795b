#include "app/connect_window.h"

#include "app/find_unit_window.h"
#include "app/modem_hang_up_window.h"
#include "app/qt_form.h"
#include "app/qt_message_box.h"
#include "app/qt_message_target.h"
#include "app/qt_text.h"
#include "app/vantrel_app.h"
#include "comms/comms_context.h"
#include "resources/string_ids.h"
#include "windows/machine_ports.h"
#include "windows/vantrel_doc.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr unsigned kColumnHeaders[4] = {10401, 10403, 10402, 10404};
constexpr int kListWidth = 720;
constexpr int kListHeight = 180;
constexpr int kStatusLines = 3;

QLabel* makeLine(QWidget* parent) {
    auto* line = new QLabel(parent);
    line->setTextFormat(Qt::PlainText);
    line->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    line->setWordWrap(true);
    line->setMinimumHeight(line->fontMetrics().height() + 6);
    return line;
}

} // namespace

CConnectWindow::CConnectWindow(CVantrelDoc& document, CSettingsFile& settings,
                               IMessageBox* messageBox, QWidget* parent)
    : QDialog(parent), document_(document), settings_(settings), messageBox_(messageBox, this),
      jobs_(document.context().engine) {
    buildWidgets();
    target_ =
        std::make_unique<CQtMessageTarget>([this](unsigned message, WParam wParam, LParam lParam) {
            if (message == WM_COMMS_RESULT && logic_)
                logic_->onCommsResult(wParam, lParam);
            return LParam{0};
        });
    IConnectWindow& window = *this;
    logic_ = std::make_unique<CConnectDlg>(document, settings, window, jobs_, target_->handle(),
                                           decimalSeparator);
}

CConnectWindow::~CConnectWindow() {
    target_.reset();
}

void CConnectWindow::buildWidgets() {
    setWindowTitle(qText(kIdsConnectTitle));
    list_ = named(new QTreeWidget(this), "locationList");
    list_->setColumnCount(4);
    QStringList headers;
    for (const unsigned id : kColumnHeaders)
        headers << qText(id);
    list_->setHeaderLabels(headers);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setMinimumSize(kListWidth, kListHeight);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionsMovable(false);
    location_ = named(makeLine(this), "location");
    QFont bold = location_->font();
    bold.setBold(true);
    location_->setFont(bold);
    status_ = named(makeLine(this), "status");
    // Room for the longest report (a port refused, with the hint) without squeezing the list.
    status_->setMinimumHeight(kStatusLines * status_->fontMetrics().lineSpacing() + 6);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    response_ = named(makeLine(this), "modemResponse");

    connectButton_ = named(new QPushButton(qText(kIdsConnectButton), this), "connect");
    cancelButton_ = named(new QPushButton(qText(kIdsDialogCancel), this), "cancel");
    abortButton_ = named(new QPushButton(qText(kIdsAbortButton), this), "abort");
    connectButton_->setDefault(true);
    abortButton_->setVisible(false);
    findUnitButton_ = named(new QPushButton(qText(kIdsFindButton), this), "findUnit");
    connect(findUnitButton_, &QPushButton::clicked, this, [this] { findUnit(); });
    connect(connectButton_, &QPushButton::clicked, this, [this] { logic_->connect(); });
    connect(cancelButton_, &QPushButton::clicked, this, &CConnectWindow::reject);
    connect(abortButton_, &QPushButton::clicked, this, [this] { logic_->abort(); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = list_->selectedItems();
        logic_->selectedRow =
            selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.front());
    });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { logic_->connect(); });

    auto* left = new QVBoxLayout;
    left->addWidget(list_, 1);
    left->addWidget(location_);
    left->addWidget(status_);
    left->addWidget(response_);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(connectButton_);
    buttons->addWidget(cancelButton_);
    buttons->addSpacing(12);
    buttons->addWidget(abortButton_);
    buttons->addStretch(1);
    buttons->addWidget(findUnitButton_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    dialingTimer_ = named(new QTimer(this), "dialingTimer");
    dialingTimer_->setInterval(kTimerDialingMs);
    connect(dialingTimer_, &QTimer::timeout, this, [this] { logic_->onTimer(kTimerDialing); });
    tcpTimer_ = named(new QTimer(this), "tcpTimer");
    tcpTimer_->setInterval(kTimerTcpConnectMs);
    connect(tcpTimer_, &QTimer::timeout, this, [this] { logic_->onTimer(kTimerTcpConnect); });
}

void CConnectWindow::fillList() {
    list_->clear();
    for (const ConnectRow& row : logic_->rows()) {
        auto* item = new QTreeWidgetItem(list_);
        const QString texts[4] = {qText(row.name), qText(row.number), qText(row.media),
                                  qText(row.details)};
        for (int column = 0; column < 4; ++column) {
            item->setText(column, texts[column]);
            // The full text of a cell too narrow for it.
            item->setToolTip(column, texts[column]);
        }
    }
    if (QTreeWidgetItem* selected = list_->topLevelItem(logic_->selectedRow)) {
        const int row = logic_->selectedRow;
        list_->setCurrentItem(selected);
        logic_->selectedRow = row;
    }
    list_->setFocus();
}

bool CConnectWindow::initialise() {
    const bool open = logic_->initialise();
    fillList();
    return open && !closed_;
}

int CConnectWindow::run() {
    if (!initialise())
        return QDialog::Rejected;
    return exec();
}

void CConnectWindow::findUnit() {
    if (logic_->connecting())
        return;
    CMachinePorts ports(OsClass);
    CFindUnitWindow finder(document_, settings_, ports, nullptr, this);
    finder.exec();
    const int selected = logic_->selectedRow;
    logic_->initialise();
    if (selected >= 0 && selected < static_cast<int>(logic_->rows().size()))
        logic_->selectedRow = selected;
    fillList();
}

void CConnectWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const std::array<int, 4> widths = connectColumnWidths(list_->viewport()->width());
    for (int column = 0; column < 4; ++column)
        list_->setColumnWidth(column, widths[static_cast<std::size_t>(column)]);
}

QTimer* CConnectWindow::timer(int id) const {
    return id == kTimerDialing ? dialingTimer_ : tcpTimer_;
}

void CConnectWindow::reject() {
    if (!logic_->connecting())
        closeDialog();
}

void CConnectWindow::setLocationText(const std::string& text) {
    location_->setText(qText(text));
}
void CConnectWindow::setStatusText(const std::string& text) {
    status_->setText(qText(text));
}
void CConnectWindow::setModemResponse(const std::string& text) {
    response_->setText(qText(text));
}

void CConnectWindow::enableButtons(bool enabled) {
    connectButton_->setEnabled(enabled);
    cancelButton_->setEnabled(enabled);
}

void CConnectWindow::showAbort(bool visible) {
    abortButton_->setVisible(visible);
}

void CConnectWindow::messageBox(const std::string& text) {
    messageBox_->showWarning(text);
}

void CConnectWindow::startTimer(int id) {
    timer(id)->start();
}
void CConnectWindow::stopTimer(int id) {
    timer(id)->stop();
}

void CConnectWindow::runHangUp() {
    CModemHangUpWindow hangUp(document_, this);
    hangUp.exec();
}

void CConnectWindow::closeDialog() {
    closed_ = true;
    QDialog::done(QDialog::Rejected);
}
