#include "app/register_table_window.h"

#include "app/qt_form.h"
#include "app/qt_text.h"
#include "app/register_trend_window.h"
#include "app/widgets/register_table_model.h"
#include "app/widgets/word_orders_grid.h"
#include "platform/clock.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {

// How often the change marks are looked at while any is shown.
constexpr int kMarkTickMs = 250;
constexpr int kTableMinimumHeight = 260;
constexpr int kCellMargin = 16;
constexpr int kHeaderMargin = 12;

} // namespace

CRegisterTableWindow::CRegisterTableWindow(CReadFeed& feed, IMessageBox* messageBox,
                                           QWidget* parent)
    : QDialog(parent), feed_(feed), logic_(feed), messageBox_(messageBox, this) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(qText(kIdsRegTableTitle));
    buildWidgets();
    buildLayout();
    subscription_ = feed_.subscribe([this](const ReadOutcome& outcome) { onResult(outcome); });
    refresh();
}

CRegisterTableWindow::~CRegisterTableWindow() {
    feed_.unsubscribe(subscription_);
}

void CRegisterTableWindow::buildWidgets() {
    status_ = named(new QLabel(this), "status");
    model_ = std::make_unique<CRegisterTableModel>(logic_, nullptr);
    table_ = named(new QTableView(this), "table");
    table_->setModel(model_.get());
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    setColumnWidths();
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { refreshOrders(); });

    ordersLabel_ = named(new QLabel(this), "ordersLabel");
    orders_ = named(new CWordOrdersGrid(this), "orders");
    connect(orders_, &QTableWidget::cellDoubleClicked, this, [this] { pinSelected(); });
    note_ = named(new QLabel(qText(kIdsRegTableModiconNote), this), "note");
    note_->setWordWrap(true);

    pin_ = named(new QPushButton(qText(kIdsRegTablePin), this), "pin");
    unpin_ = named(new QPushButton(qText(kIdsRegTableUnpin), this), "unpin");
    export_ = named(new QPushButton(qText(kIdsRegTableExport), this), "export");
    seriesButton_ = named(new QPushButton(qText(kIdsRegTableSeriesStart), this), "series");
    trendButton_ = named(new QPushButton(qText(kIdsRegTableTrend), this), "trend");
    close_ = named(new QPushButton(qText(kIdsDialogCancel), this), "cancel");
    connect(trendButton_, &QPushButton::clicked, this, [this] { openTrend(); });
    connect(pin_, &QPushButton::clicked, this, [this] { pinSelected(); });
    connect(unpin_, &QPushButton::clicked, this, [this] { unpinSelected(); });
    connect(export_, &QPushButton::clicked, this, [this] { exportTable(); });
    connect(seriesButton_, &QPushButton::clicked, this, [this] { toggleSeries(); });
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);

    markTimer_ = new QTimer(this);
    markTimer_->setInterval(kMarkTickMs);
    connect(markTimer_, &QTimer::timeout, this, [this] { onMarkTick(); });
}

void CRegisterTableWindow::setColumnWidths() {
    // Fixed from the widest text each column can hold: the view never measures its rows.
    static const char* const kWidest[CRegisterTableDlg::kColumnCount] = {"65535",
                                                                         "65535",
                                                                         "FFFF",
                                                                         "65535",
                                                                         "-32768",
                                                                         "11111111 11111111",
                                                                         "WW",
                                                                         "-1.2345679e+38",
                                                                         "-1.2345679e+38",
                                                                         "-1.2345679e+38",
                                                                         "999999"};
    const QFontMetrics metrics = table_->fontMetrics();
    const QFontMetrics header = table_->horizontalHeader()->fontMetrics();
    int total = 0;
    for (int column = 0; column < CRegisterTableDlg::kColumnCount; ++column) {
        const int text = metrics.horizontalAdvance(QLatin1String(kWidest[column]));
        const int title =
            header.horizontalAdvance(qText(CRegisterTableDlg::columnTitle(column))) + kHeaderMargin;
        table_->setColumnWidth(column, std::max(text, title) + kCellMargin);
        total += table_->columnWidth(column);
    }
    const int scrollBar = table_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    table_->setMinimumSize(total + scrollBar + 2 * table_->frameWidth(), kTableMinimumHeight);
}

void CRegisterTableWindow::buildLayout() {
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {pin_, unpin_, export_, seriesButton_, trendButton_})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(table_, 1);
    layout->addWidget(ordersLabel_);
    layout->addWidget(orders_);
    layout->addWidget(note_);
    layout->addLayout(buttons);
}

void CRegisterTableWindow::onResult(const ReadOutcome& outcome) {
    logic_.onResult(outcome, tickCount());
    refresh();
    if (series_.isOpen() && outcome.passed)
        writeSeriesLine();
    if (trend_)
        trend_->onResult(outcome);
}

void CRegisterTableWindow::refresh() {
    model_->refresh(tickCount());
    status_->setText(qText(logic_.statusText()));
    if (logic_.rowCount() > 0 && !table_->currentIndex().isValid())
        table_->selectRow(0);
    refreshOrders();
    if (!markTimer_->isActive())
        markTimer_->start();
}

void CRegisterTableWindow::onMarkTick() {
    const std::uint32_t now = tickCount();
    bool marked = false;
    for (std::size_t row = 0; row < logic_.rowCount() && !marked; ++row)
        marked = logic_.changedAt(row, now - kMarkTickMs);
    model_->refresh(now);
    if (!marked)
        markTimer_->stop();
}

std::size_t CRegisterTableWindow::selectedRow() const {
    const QModelIndex current = table_->currentIndex();
    return current.isValid() ? static_cast<std::size_t>(current.row()) : 0;
}

void CRegisterTableWindow::refreshOrders() {
    const std::size_t row = selectedRow();
    ordersLabel_->setText(qText(substituteArgs(
        loadString(kIdsRegTableOrdersOf), {logic_.cellText(row, CRegisterTableDlg::kColAddress)})));
    orders_->showReadings(logic_.allOrders(row), logic_.pinOf(row));
}

void CRegisterTableWindow::pinSelected() {
    const int type = orders_->currentRow();
    const int order = orders_->currentColumn();
    if (type < 0 || order < 0 || logic_.rowCount() == 0)
        return;
    logic_.setPin(selectedRow(), RowPin{kWideTypes[static_cast<std::size_t>(type)],
                                        kWordOrders[static_cast<std::size_t>(order)]});
    refresh();
}

void CRegisterTableWindow::openTrend() {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows.push_back(static_cast<std::size_t>(index.row()));
    std::sort(rows.begin(), rows.end());
    if (rows.empty() && logic_.rowCount() > 0)
        rows.push_back(selectedRow());
    if (trend_)
        trend_->close();
    trend_ = new CRegisterTrendWindow(logic_, std::move(rows), this);
    trend_->show();
}

void CRegisterTableWindow::unpinSelected() {
    logic_.setPin(selectedRow(), std::nullopt);
    refresh();
}

QString CRegisterTableWindow::chooseFile() {
    if (chooseFile_)
        return chooseFile_();
    return QFileDialog::getSaveFileName(this, qText(kIdsRegTableTitle), QString(),
                                        qText(kIdsRegTableCsvFilter));
}

void CRegisterTableWindow::exportTable() {
    const QString path = chooseFile();
    if (path.isEmpty())
        return;
    const std::string message = writeCsvFile(path.toStdString(), logic_.tableCsv());
    if (!message.empty())
        messageBox_->showWarning(message);
}

void CRegisterTableWindow::toggleSeries() {
    if (series_.isOpen()) {
        series_.close();
        seriesButton_->setText(qText(kIdsRegTableSeriesStart));
        return;
    }
    const QString path = chooseFile();
    if (path.isEmpty())
        return;
    seriesPath_ = path.toStdString();
    const std::string reason = series_.open(seriesPath_);
    // The header names the rows of the first read the series takes.
    seriesHeader_.clear();
    if (!reason.empty()) {
        messageBox_->showWarning(
            substituteArgs(loadString(kIdsRegTableWriteFailed), {seriesPath_, reason}));
        return;
    }
    seriesButton_->setText(qText(kIdsRegTableSeriesStop));
}

void CRegisterTableWindow::writeSeriesLine() {
    std::string reason;
    // Another read or a pin changes the columns: the lines that follow get a header of their own.
    if (std::string header = logic_.seriesHeader(); header != seriesHeader_) {
        reason = series_.write(header);
        seriesHeader_ = std::move(header);
    }
    if (reason.empty())
        reason = series_.write(logic_.seriesLine());
    if (reason.empty())
        return;
    seriesButton_->setText(qText(kIdsRegTableSeriesStart));
    // Told after the result has been handled: the repeat goes on behind the message.
    const std::string message =
        substituteArgs(loadString(kIdsRegTableSeriesFailed), {seriesPath_, reason});
    QTimer::singleShot(0, this, [this, message] { messageBox_->showWarning(message); });
}
