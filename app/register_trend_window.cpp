#include "app/register_trend_window.h"

#include "app/qt_form.h"
#include "app/qt_text.h"
#include "platform/clock.h"
#include "resources/string_ids.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QLineSeries>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <limits>

namespace {

constexpr int kRedrawMs = 500;
constexpr int kMinimumWidth = 720;
constexpr int kMinimumHeight = 420;
constexpr double kMillisecondsPerSecond = 1000.0;

} // namespace

CRegisterTrendWindow::CRegisterTrendWindow(const CRegisterTableDlg& table,
                                           std::vector<std::size_t> rows, QWidget* parent)
    : QDialog(parent), table_(table), startTick_(tickCount()) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(qText(kIdsRegTableTitle) + QStringLiteral(" - ") +
                   qText(kIdsRegTableTrendTitle));
    trend_.setRows(std::move(rows));
    chart_ = new QChart;
    timeAxis_ = new QValueAxis;
    timeAxis_->setTitleText(qText(kIdsRegTableTimeAxis));
    valueAxis_ = new QValueAxis;
    responseAxis_ = new QValueAxis;
    responseAxis_->setTitleText(qText(kIdsRegTableResponseAxis));
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    chart_->addAxis(responseAxis_, Qt::AlignRight);
    for (std::size_t line = 0; line < trend_.lineCount(); ++line) {
        auto* series = new QLineSeries;
        series->setName(qText(trend_.lineTitle(table_, line)));
        chart_->addSeries(series);
        series->attachAxis(timeAxis_);
        series->attachAxis(line == trend_.responseLine() ? responseAxis_ : valueAxis_);
        lines_.push_back(series);
    }
    auto* view = named(new QChartView(chart_, this), "chart");
    view->setRenderHint(QPainter::Antialiasing);
    showResponse_ = named(new QCheckBox(qText(kIdsRegTableResponseAxis), this), "showResponse");
    showResponse_->setChecked(true);
    connect(showResponse_, &QCheckBox::toggled, this, [this](bool shown) {
        lines_.back()->setVisible(shown);
        responseAxis_->setVisible(shown);
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view, 1);
    layout->addWidget(showResponse_);
    setMinimumSize(kMinimumWidth, kMinimumHeight);

    redrawTimer_ = new QTimer(this);
    redrawTimer_->setInterval(kRedrawMs);
    connect(redrawTimer_, &QTimer::timeout, this, [this] {
        if (std::exchange(dirty_, false))
            redraw();
    });
    redrawTimer_->start();
}

void CRegisterTrendWindow::onResult(const ReadOutcome& outcome) {
    if (!outcome.passed)
        return;
    restartIfRenamed();
    const double seconds = (tickCount() - startTick_) / kMillisecondsPerSecond;
    trend_.add(table_, seconds, outcome.responseMs);
    dirty_ = true;
}

// Another read or a pin makes a line stand for another value: what was kept belongs to the old
// one, so the trend starts again under the new names.
void CRegisterTrendWindow::restartIfRenamed() {
    bool renamed = false;
    for (std::size_t line = 0; line < lines_.size(); ++line)
        renamed = renamed || lines_[line]->name() != qText(trend_.lineTitle(table_, line));
    if (!renamed)
        return;
    trend_.setRows(trend_.rows());
    for (std::size_t line = 0; line < lines_.size(); ++line)
        lines_[line]->setName(qText(trend_.lineTitle(table_, line)));
}

void CRegisterTrendWindow::redraw() {
    double first = std::numeric_limits<double>::max();
    double last = 0;
    for (std::size_t line = 0; line < lines_.size(); ++line) {
        QList<QPointF> points;
        for (const TrendPoint& point : trend_.plotted(line, kPlotPoints)) {
            points.append(QPointF(point.seconds, point.value));
            first = std::min(first, point.seconds);
            last = std::max(last, point.seconds);
        }
        lines_[line]->replace(points);
    }
    if (last > 0)
        timeAxis_->setRange(first, std::max(last, first + 1));
    fitAxis(valueAxis_, {lines_.begin(), lines_.end() - 1});
    fitAxis(responseAxis_, {lines_.back()});
}

void CRegisterTrendWindow::fitAxis(QValueAxis* axis, const std::vector<QLineSeries*>& lines) {
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    for (const QLineSeries* series : lines) {
        for (const QPointF& point : series->points()) {
            low = std::min(low, point.y());
            high = std::max(high, point.y());
        }
    }
    if (low > high)
        return;
    const double margin = std::max((high - low) * 0.05, 1.0);
    axis->setRange(low - margin, high + margin);
    axis->applyNiceNumbers();
}
