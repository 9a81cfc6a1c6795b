#pragma once

#include "windows/register_table_dlg.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// One sample of a trend line: seconds since the trend started and the value.
struct TrendPoint {
    double seconds = 0;
    double value = 0;
};

// The values of up to four rows of the Register Table and the response time, against time, for
// the last hour; and the points a plot draws, few enough to stay responsive however fast the
// repeat runs.
class CRegisterTrend {
public:
    static constexpr std::size_t kMaxRows = 4;
    static constexpr double kKeptSeconds = 3600;

    // Follows `rows` (the first kMaxRows of them) from now on; what was kept goes.
    void setRows(std::vector<std::size_t> rows);
    const std::vector<std::size_t>& rows() const { return rows_; }
    // Lines: one per row, then the response time.
    std::size_t lineCount() const { return lines_.size(); }
    std::size_t responseLine() const { return rows_.size(); }

    // Takes the rows' values (the pinned value, else the register) after a passing read.
    void add(const CRegisterTableDlg& table, double seconds, std::uint32_t responseMs);
    // The line's points in time order: all of them when there are at most `maxPoints`, else the
    // lowest and highest of each of maxPoints / 2 equal stretches of time.
    std::vector<TrendPoint> plotted(std::size_t line, std::size_t maxPoints) const;
    // What the line is: the row's address with its pinned type and order, or the response time.
    std::string lineTitle(const CRegisterTableDlg& table, std::size_t line) const;

private:
    std::vector<std::size_t> rows_;
    std::vector<std::deque<TrendPoint>> lines_{1};
};
