#include "windows/register_trend.h"

#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <algorithm>
#include <variant>

namespace {

double toDouble(const WideNumber& number) {
    return std::visit([](auto value) { return static_cast<double>(value); }, number);
}

void keepLastHour(std::deque<TrendPoint>& line, double now) {
    while (!line.empty() && now - line.front().seconds > CRegisterTrend::kKeptSeconds)
        line.pop_front();
}

// Appends the lowest and highest point of [begin, end) in the order they came.
void appendExtremes(std::vector<TrendPoint>& out, std::deque<TrendPoint>::const_iterator begin,
                    std::deque<TrendPoint>::const_iterator end) {
    if (begin == end)
        return;
    const auto [low, high] = std::minmax_element(
        begin, end, [](const TrendPoint& a, const TrendPoint& b) { return a.value < b.value; });
    if (low == high) {
        out.push_back(*low);
        return;
    }
    out.push_back(low < high ? *low : *high);
    out.push_back(low < high ? *high : *low);
}

} // namespace

void CRegisterTrend::setRows(std::vector<std::size_t> rows) {
    if (rows.size() > kMaxRows)
        rows.resize(kMaxRows);
    rows_ = std::move(rows);
    lines_.assign(rows_.size() + 1, {});
}

void CRegisterTrend::add(const CRegisterTableDlg& table, double seconds, std::uint32_t responseMs) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (const std::optional<WideNumber> value = table.trackedNumber(rows_[i]))
            lines_[i].push_back({seconds, toDouble(*value)});
    }
    lines_[responseLine()].push_back({seconds, static_cast<double>(responseMs)});
    for (auto& line : lines_)
        keepLastHour(line, seconds);
}

std::vector<TrendPoint> CRegisterTrend::plotted(std::size_t line, std::size_t maxPoints) const {
    if (line >= lines_.size())
        return {};
    const std::deque<TrendPoint>& points = lines_[line];
    if (points.size() <= maxPoints || maxPoints < 2)
        return {points.begin(), points.end()};
    const std::size_t buckets = maxPoints / 2;
    const double first = points.front().seconds;
    const double width = (points.back().seconds - first) / static_cast<double>(buckets);
    std::vector<TrendPoint> out;
    out.reserve(maxPoints);
    auto begin = points.begin();
    for (std::size_t bucket = 1; bucket <= buckets && begin != points.end(); ++bucket) {
        const double limit = first + width * static_cast<double>(bucket);
        auto end = bucket == buckets ? points.end()
                                     : std::find_if(begin, points.end(), [limit](const auto& p) {
                                           return p.seconds > limit;
                                       });
        appendExtremes(out, begin, end);
        begin = end;
    }
    return out;
}

std::string CRegisterTrend::lineTitle(const CRegisterTableDlg& table, std::size_t line) const {
    if (line >= rows_.size())
        return std::string(loadString(kIdsRegTableResponseTime));
    const std::size_t row = rows_[line];
    std::string title = table.cellText(row, CRegisterTableDlg::kColAddress);
    if (const std::optional<RowPin> pin = table.pinOf(row))
        return title + " " + CRegisterTableDlg::typeTitle(pin->type) + " " +
               CRegisterTableDlg::orderTitle(pin->order);
    return title + " " + CRegisterTableDlg::columnTitle(CRegisterTableDlg::kColUnsigned);
}
