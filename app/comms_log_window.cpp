#include "app/comms_log_window.h"

#include "app/qt_form.h"
#include "app/qt_message_box.h"
#include "app/qt_message_target.h"
#include "app/qt_text.h"
#include "app/widgets/comms_log_model.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "windows/view_commands.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Posted by the thread that waits for the viewer when the viewer has ended.
constexpr unsigned WM_LOG_VIEWER_CLOSED = WM_USER + 300;
// The window's size in dialog units, and the list's margins in pixels.
constexpr int kWidthDialogUnits = 359;
constexpr int kHeightDialogUnits = 210;
constexpr int kListSideMargin = 10;
constexpr int kListTop = 11;
// Room under the list, in button heights: the status text, then the row of buttons.
constexpr int kButtonHeightsBelowList = 4;
constexpr double kStatusOffset = 0.5;
constexpr double kButtonsOffset = 2.25;
constexpr int kButtonGap = 8;
constexpr int kButtonMinimumDialogUnits = 50;
// The status text is as wide as the widest time difference it shows.
// Samples of the widest texts of the first four columns, and the room around a cell's text.
constexpr const char* kWidestIndexSample = "000000";
constexpr unsigned kWidestMilliseconds = 888;
constexpr unsigned kLastLogType = 7;
constexpr const char* kWidestSizeSample = "000";
constexpr int kCellPadding = 16;
// The note on the list's bound and the journal: two lines under the list, whatever it says.
constexpr int kJournalNoteLines = 2;
constexpr const char* kWidestStatusSample = "Item 000000 and 000000 time difference is "
                                            "-0000000.000 seconds.";

} // namespace

CCommsLogWindow::CCommsLogWindow(CCommsLogStore& store, std::atomic<std::int32_t>& logEnabled,
                                 WindowHandle opener, LogTimeFormat format,
                                 std::string settingsPath, QWidget* parent)
    : QDialog(parent), records_(std::make_unique<CCommsLogStoreRecords>(store)),
      logic_(*records_, logEnabled, *this, std::move(format), std::move(settingsPath)),
      opener_(opener) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(qText(kIdsLogWindowTitle));

    model_ = new CCommsLogModel(logic_, this);
    list_ = named(new QTableView(this), "list");
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setShowGrid(false);
    list_->setWordWrap(false);
    list_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    list_->horizontalHeader()->setStretchLastSection(false);
    list_->horizontalHeader()->setSectionsClickable(true);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->viewport()->installEventFilter(this);
    connect(list_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &CCommsLogWindow::columnClicked);

    status_ = named(new QLabel(qText(kIdsLogTimeDifference), this), "status");
    status_->setAlignment(Qt::AlignCenter);
    status_->setFixedSize(fontMetrics().horizontalAdvance(QLatin1String(kWidestStatusSample)) + 8,
                          fontMetrics().height() + 4);
    // Hidden, it keeps its room: the list never grows or shrinks as the text comes and goes.
    QSizePolicy statusPolicy = status_->sizePolicy();
    statusPolicy.setRetainSizeWhenHidden(true);
    status_->setSizePolicy(statusPolicy);

    createJournalNote();

    const unsigned buttonTexts[ButtonCount] = {kIdsLogRefresh, kIdsLogSaveToFile, kIdsLogClearLog,
                                               kIdsDialogCancel};
    const char* const buttonNames[ButtonCount] = {"refresh", "saveToFile", "clearLog", "cancel"};
    const int buttonMinimum = kButtonMinimumDialogUnits * fontMetrics().averageCharWidth() / 4;
    for (int which = 0; which < ButtonCount; ++which) {
        auto* button = named(new QPushButton(qText(buttonTexts[which]), this), buttonNames[which]);
        button->setAutoDefault(false);
        button->setMinimumWidth(std::max(button->sizeHint().width(), buttonMinimum));
        buttons_[static_cast<std::size_t>(which)] = button;
    }
    connect(buttons_[Refresh], &QPushButton::clicked, this, [this] { logic_.onRefresh(); });
    connect(buttons_[SaveToFile], &QPushButton::clicked, this, [this] { logic_.onSaveToFile(); });
    connect(buttons_[ClearLog], &QPushButton::clicked, this, [this] { logic_.onClearLog(); });
    connect(buttons_[Cancel], &QPushButton::clicked, this, &QWidget::close);

    batchTimer_ = named(new QTimer(this), "batchTimer");
    batchTimer_->setSingleShot(true);
    batchTimer_->setInterval(CCommsLogDlg::kBatchTimerMs);
    connect(batchTimer_, &QTimer::timeout, this, [this] { logic_.onTimer(); });

    messageTarget_ = std::make_unique<CQtMessageTarget>([this](unsigned message, WParam, LParam) {
        if (message == WM_LOG_VIEWER_CLOSED)
            logic_.viewerClosed();
        return LParam{0};
    });

    buildLayout();
    int buttonsWidth = kButtonGap * (ButtonCount + 1);
    for (const QPushButton* button : buttons_)
        buttonsWidth += button->minimumWidth();
    setMinimumSize(std::max(buttonsWidth, status_->width() + 2 * kListSideMargin),
                   kListTop + kButtonHeightsBelowList * buttonHeight() * 2 + kListSideMargin / 2 +
                       journalNote_->height());
    measureTexts();
    // Wide enough that the columns show a whole frame.
    const int openingWidth =
        CCommsLogDlg::openingListWidth(textWidths_) + listChrome() + 2 * kListSideMargin;
    resize(std::max({minimumWidth(), kWidthDialogUnits * fontMetrics().averageCharWidth() / 4,
                     openingWidth}),
           kHeightDialogUnits * fontMetrics().height() / 8);
    // Places the list now: the opening column widths follow from its width.
    layout()->activate();
    setColumnWidths(CCommsLogDlg::fittedWidths(columnsWidth(), false, textWidths_));
    logic_.onOpen();
}

// The same height whatever it says, so that the list never moves when the note changes.
void CCommsLogWindow::createJournalNote() {
    journalNote_ = named(new QLabel(this), "journalNote");
    journalNote_->setWordWrap(true);
    journalNote_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    journalNote_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    journalNote_->setFixedHeight(kJournalNoteLines * fontMetrics().lineSpacing());
    journalNote_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

CCommsLogWindow::~CCommsLogWindow() {
    // Nothing the viewer's thread posts may reach the window from here on.
    messageTarget_.reset();
    batchTimer_->stop();
    sendMessage(opener_, WM_COMMSLOG_CLOSED);
}

int CCommsLogWindow::buttonHeight() const {
    return buttons_[Cancel]->sizeHint().height();
}

// The list takes the window's width within its margins and all the height the status text and
// the centred row of buttons leave.
void CCommsLogWindow::buildLayout() {
    const int buttonHeight = this->buttonHeight();
    const int statusTop = static_cast<int>(kStatusOffset * buttonHeight);
    const int buttonsTop = static_cast<int>(kButtonsOffset * buttonHeight);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(kButtonGap);
    for (QPushButton* button : buttons_)
        buttonRow->addWidget(button);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kListSideMargin, kListTop, kListSideMargin,
                               kButtonHeightsBelowList * buttonHeight - buttonsTop - buttonHeight);
    column->setSpacing(0);
    column->addWidget(list_, 1);
    column->addSpacing(kListSideMargin / 2);
    column->addWidget(journalNote_);
    column->addSpacing(statusTop);
    column->addWidget(status_, 0, Qt::AlignHCenter);
    column->addSpacing(buttonsTop - statusTop - status_->height());
    column->addLayout(buttonRow);
    column->setAlignment(buttonRow, Qt::AlignHCenter);
}

void CCommsLogWindow::measureTexts() {
    const QFontMetrics metrics = list_->fontMetrics();
    const auto widthOf = [&metrics](const std::string& text) {
        return metrics.horizontalAdvance(qText(text)) + kCellPadding;
    };
    for (int column = 0; column < CCommsLogDlg::kColumnCount - 1; ++column)
        textWidths_.columns[static_cast<std::size_t>(column)] =
            widthOf(CCommsLogDlg::columnTitle(column));
    CCommsLogText sample(logic_.timeFormat());
    const auto widen = [&](int column, const std::string& text) {
        int& minimum = textWidths_.columns[static_cast<std::size_t>(column)];
        minimum = std::max(minimum, widthOf(text));
    };
    widen(0, kWidestIndexSample);
    widen(1, sample.timeText(static_cast<std::int32_t>(utcNow().seconds), kWidestMilliseconds));
    for (unsigned type = 0; type <= kLastLogType; ++type)
        widen(2, std::string(CCommsLogText::typeText(type)));
    widen(3, kWidestSizeSample);
    // Every frame of that many bytes fits where one made of the font's widest digit does.
    char widestDigit = '0';
    for (const char digit : std::string_view("0123456789ABCDEF"))
        if (metrics.horizontalAdvance(QLatin1Char(digit)) >
            metrics.horizontalAdvance(QLatin1Char(widestDigit)))
            widestDigit = digit;
    textWidths_.wholeFrame = widthOf(CCommsLogDlg::wholeFrameSample(widestDigit));
}

int CCommsLogWindow::listChrome() const {
    return 2 * list_->frameWidth() +
           list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list_);
}

int CCommsLogWindow::columnsWidth() const {
    return list_->width() - listChrome();
}

void CCommsLogWindow::setColumnWidths(const std::array<int, CCommsLogDlg::kColumnCount>& widths) {
    for (std::size_t column = 0; column < widths.size(); ++column)
        list_->horizontalHeader()->resizeSection(static_cast<int>(column), widths[column]);
}

void CCommsLogWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    opened_ = true;
}

void CCommsLogWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // Resizes before the window is first shown belong to its opening.
    if (opened_)
        setColumnWidths(logic_.resizeWidths(columnsWidth(), textWidths_));
}

bool CCommsLogWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && (event->type() == QEvent::MouseButtonRelease ||
                                         event->type() == QEvent::MouseButtonDblClick)) {
        // The selection is updated on the press; the release sees it complete.
        QTimer::singleShot(0, this, [this] { listClicked(); });
    }
    return QDialog::eventFilter(watched, event);
}

void CCommsLogWindow::listClicked() {
    std::vector<std::pair<int, int>> ranges;
    for (const QItemSelectionRange& range : list_->selectionModel()->selection())
        ranges.emplace_back(range.top(), range.bottom());
    logic_.onListClick(ranges);
}

void CCommsLogWindow::columnClicked(int column) {
    logic_.onColumnClick(column);
    list_->horizontalHeader()->setSortIndicatorShown(true);
    list_->horizontalHeader()->setSortIndicator(
        CCommsLogDlg::lastSort.column,
        CCommsLogDlg::lastSort.ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CCommsLogWindow::beginAddRows(int first, int last) {
    model_->beginAdd(first, last);
    addedFirst_ = first;
    addedLast_ = last;
}

void CCommsLogWindow::endAddRows() {
    model_->endAdd();
    widenForMessages(addedFirst_, addedLast_);
}

// Only a text longer than the longest so far can be wider: the rest are not measured.
void CCommsLogWindow::widenForMessages(int first, int last) {
    const QFontMetrics metrics = list_->fontMetrics();
    bool widened = false;
    for (int row = first; row <= last; ++row) {
        const std::string text = logic_.cellText(row, CCommsLogDlg::kColumnCount - 1);
        if (text.size() <= longestMessageChars_)
            continue;
        longestMessageChars_ = text.size();
        const int width = metrics.horizontalAdvance(qText(text)) + kCellPadding;
        if (width > textWidths_.widestMessage) {
            textWidths_.widestMessage = width;
            widened = true;
        }
    }
    constexpr int kMessageColumn = CCommsLogDlg::kColumnCount - 1;
    QHeaderView* header = list_->horizontalHeader();
    if (widened && header->sectionSize(kMessageColumn) < textWidths_.widestMessage)
        header->resizeSection(kMessageColumn, textWidths_.widestMessage);
}

void CCommsLogWindow::beginResetRows() {
    model_->beginReset();
}

void CCommsLogWindow::endResetRows() {
    model_->endReset();
}

void CCommsLogWindow::beginRemoveRows(int first, int last) {
    model_->beginRemove(first, last);
}

void CCommsLogWindow::endRemoveRows() {
    model_->endRemove();
}

// The whole text is the tip too, in case a long journal path does not fit the two lines.
void CCommsLogWindow::showJournalNote(const std::string& text) {
    journalNote_->setText(qText(text));
    journalNote_->setToolTip(journalNote_->text());
}

void CCommsLogWindow::showStatus(const std::string& text) {
    status_->setText(qText(text));
    status_->show();
}

void CCommsLogWindow::hideStatus() {
    status_->hide();
}

void CCommsLogWindow::enableButtons(bool enabled) {
    for (QPushButton* button : {buttons_[Refresh], buttons_[SaveToFile], buttons_[ClearLog]})
        button->setEnabled(enabled);
}

void CCommsLogWindow::startBatchTimer() {
    batchTimer_->start();
}

void CCommsLogWindow::stopBatchTimer() {
    batchTimer_->stop();
}

bool CCommsLogWindow::askRefreshBeforeSave() {
    return askYesNo(this, std::string(loadString(kIdsLogRefreshBeforeSave)));
}

std::string CCommsLogWindow::askReportPath(const std::string& defaultPath) {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setNameFilter(qText(kIdsLogFileFilter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectFile(qText(defaultPath));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst().toStdString();
}

void CCommsLogWindow::showMessage(const std::string& text) {
    tellUser(this, text, true);
}

bool CCommsLogWindow::startViewer(const std::string& path) {
    const WindowHandle self = messageTarget_->handle();
    const ShowResult result =
        showFileThen(path, [self] { postMessage(self, WM_LOG_VIEWER_CLOSED); });
    if (!result.shown())
        showMessage(fileNotShownText(result, path));
    return result.kind == ShowResult::ViewerStarted;
}

bool CCommsLogWindow::showsLastRow() const {
    const QScrollBar* bar = list_->verticalScrollBar();
    return bar->value() >= bar->maximum();
}

void CCommsLogWindow::showLastRow() {
    list_->scrollToBottom();
}
