#pragma once

#include "windows/register_trend.h"

#include <QDialog>

class QCheckBox;
class QChart;
class QLineSeries;
class QTimer;
class QValueAxis;

// The trend of up to four rows of a Register Table: their values and, on a second axis, the
// response time, against the seconds since the trend started. Redrawn on a timer, not per
// result, from at most kPlotPoints points a line, so a long fast repeat stays responsive.
class CRegisterTrendWindow : public QDialog {
public:
    static constexpr std::size_t kPlotPoints = 2000;

    CRegisterTrendWindow(const CRegisterTableDlg& table, std::vector<std::size_t> rows,
                         QWidget* parent);

    // A passing read: the rows' values and the response time are sampled.
    void onResult(const ReadOutcome& outcome);
    void redraw();
    const CRegisterTrend& trend() const { return trend_; }

private:
    void fitAxis(QValueAxis* axis, const std::vector<QLineSeries*>& lines);
    void restartIfRenamed();

    const CRegisterTableDlg& table_;
    CRegisterTrend trend_;
    std::uint32_t startTick_ = 0;
    QChart* chart_ = nullptr;
    std::vector<QLineSeries*> lines_;
    QValueAxis* timeAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
    QValueAxis* responseAxis_ = nullptr;
    QCheckBox* showResponse_ = nullptr;
    QTimer* redrawTimer_ = nullptr;
    bool dirty_ = false;
};
