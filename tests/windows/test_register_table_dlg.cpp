#include "platform/system_errors.h"
#include "protocol/value_codecs.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "tests/support/row_names.h"
#include "windows/register_table_dlg.h"
#include "windows/register_trend.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using vantrel_test::PrintTo;
using Bytes = std::vector<std::uint8_t>;
using Col = CRegisterTableDlg::Column;

ReadOutcome passed(Bytes data, int function = 3, int entered = 40001, int wire = 0,
                   std::uint32_t run = 1) {
    ReadOutcome outcome;
    outcome.passed = true;
    outcome.read = {function, entered, wire, std::move(data)};
    outcome.at = {1796733000, 7}; // 2026-12-08T12:30:00.007Z
    outcome.run = run;
    return outcome;
}

// One value laid out in the four orders, one after the other, and read back from each start.
struct OrderRow {
    const char* name;
    WideType type;
    Bytes motorola; // the value's bytes most significant first
    std::string text;
};

class EveryOrder : public ::testing::TestWithParam<OrderRow> {};

TEST_P(EveryOrder, ReadsTheValueWhereItWasLaidOutAndMarksThatOrderAlone) {
    const OrderRow& row = GetParam();
    Bytes data;
    for (const WordOrder order : kWordOrders) {
        Bytes laid = row.motorola;
        toMotorolaOrder(laid, order);
        data.insert(data.end(), laid.begin(), laid.end());
    }
    CReadFeed feed;
    CRegisterTableDlg table(feed);
    table.onResult(passed(data), 0);
    const std::size_t registers = row.motorola.size() / 2;
    for (std::size_t i = 0; i < kWordOrders.size(); ++i) {
        const WordOrder order = kWordOrders[i];
        EXPECT_EQ(table.wideText(i * registers, row.type, order), row.text)
            << CRegisterTableDlg::orderTitle(order);
        std::array<bool, 4> only{};
        only[i] = true;
        EXPECT_EQ(table.plausible(i * registers, row.type), only)
            << CRegisterTableDlg::orderTitle(order);
    }
    // The last value's tail: the read ends before a value starting there does.
    EXPECT_EQ(table.wideText(table.rowCount() - 1, row.type, WordOrder::ABCD), "");
}

// Values whose bytes read in any other order leave the range a unit reports: only the order they
// were laid out in is marked.
INSTANTIATE_TEST_SUITE_P(
    Layouts, EveryOrder,
    ::testing::Values(OrderRow{"float_230_7", WideType::Float32, {0x43, 0x66, 0xB3, 0x33}, "230.7"},
                      OrderRow{"int32_200", WideType::Int32, {0x00, 0x00, 0x00, 0xC8}, "200"},
                      OrderRow{"uint32_250", WideType::UInt32, {0x00, 0x00, 0x00, 0xFA}, "250"},
                      OrderRow{"double_0_1",
                               WideType::Float64,
                               {0x3F, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A},
                               "0.1"},
                      OrderRow{"int64_42", WideType::Int64, {0, 0, 0, 0, 0, 0, 0, 0x2A}, "42"}),
    [](const auto& row) { return std::string(row.param.name); });

// The cells of one register, with the addresses as entered and on the wire.
struct CellRow {
    const char* name;
    ReadOutcome outcome;
    std::size_t row;
    std::vector<std::pair<int, std::string>> cells;
};

class Cells : public ::testing::TestWithParam<CellRow> {};

TEST_P(Cells, ShowTheRegisterInEveryForm) {
    CReadFeed feed;
    CRegisterTableDlg table(feed);
    table.onResult(GetParam().outcome, 0);
    for (const auto& [column, text] : GetParam().cells)
        EXPECT_EQ(table.cellText(GetParam().row, column), text)
            << CRegisterTableDlg::columnTitle(column);
}

INSTANTIATE_TEST_SUITE_P(
    Registers, Cells,
    ::testing::Values(
        CellRow{"holding_register",
                passed({0x00, 0x01, 0xFF, 0x41}),
                1,
                {{Col::kColAddress, "40002"},
                 {Col::kColWire, "1"},
                 {Col::kColHex, "FF41"},
                 {Col::kColUnsigned, "65345"},
                 {Col::kColSigned, "-191"},
                 {Col::kColBinary, "11111111 01000001"},
                 {Col::kColAscii, ".A"},
                 {Col::kColChanges, "0"}}},
        CellRow{"wire_address_wraps",
                passed({0, 0, 0, 0}, 4, 0, 65535),
                1,
                {{Col::kColAddress, "1"}, {Col::kColWire, "0"}}},
        CellRow{"coil", passed({1, 0, 1}, 1, 5, 5), 2, {{Col::kColHex, "1"}, {Col::kColAscii, ""}}},
        // A byte beyond the last whole register is no row.
        CellRow{"odd_byte", passed({0, 7, 9}), 1, {{Col::kColUnsigned, ""}}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(RegisterTable, FollowsRepeatInPlaceAndMarksItselfStaleAfterAFailure) {
    CReadFeed feed;
    CRegisterTableDlg table(feed);
    EXPECT_EQ(table.statusText(), loadString(kIdsRegTableNoRead));
    table.onResult(passed({0, 5, 0, 9}), 0);
    table.onResult(passed({0, 7, 0, 9}), 100);
    table.onResult(passed({0, 3, 0, 9}), 200);
    EXPECT_EQ(table.cellText(0, Col::kColMinimum), "3");
    EXPECT_EQ(table.cellText(0, Col::kColMaximum), "7");
    EXPECT_EQ(table.cellText(0, Col::kColChanges), "2");
    EXPECT_EQ(table.cellText(1, Col::kColChanges), "0");
    EXPECT_TRUE(table.changedAt(0, 200 + CRegisterTableDlg::kChangeMarkMs - 1));
    EXPECT_FALSE(table.changedAt(0, 200 + CRegisterTableDlg::kChangeMarkMs));
    EXPECT_FALSE(table.changedAt(1, 200));

    ReadOutcome failed;
    table.onResult(failed, 300);
    EXPECT_TRUE(table.stale());
    EXPECT_EQ(table.cellText(0, Col::kColUnsigned), "3");
    EXPECT_EQ(table.statusText(),
              substituteArgs(loadString(kIdsRegTableStale), {"2026-12-08T12:30:00.007Z"}));
    table.onResult(passed({0, 3, 0, 9}), 400);
    EXPECT_FALSE(table.stale());

    // A new Repeat run starts the minimum, maximum and changes again.
    table.onResult(passed({0, 4, 0, 9}, 3, 40001, 0, 2), 500);
    EXPECT_EQ(table.cellText(0, Col::kColMinimum), "4");
    EXPECT_EQ(table.cellText(0, Col::kColChanges), "0");
}

TEST(RegisterTable, APinFollowsTheWireAddressIntoTheSeriesAndNewTables) {
    CReadFeed feed;
    Bytes data{0, 0, 0x00, 0x00, 0x3F, 0x80, 0, 0};
    feed.publish(passed(data));
    {
        CRegisterTableDlg table(feed);
        table.setPin(1, RowPin{WideType::Float32, WordOrder::CDAB});
    }
    CRegisterTableDlg table(feed); // opened later: starts from the last read, keeps the pin
    EXPECT_EQ(table.cellText(1, Col::kColPinned), "1");
    data[5] = 0xA0; // 1.25
    table.onResult(passed(data), 10);
    EXPECT_EQ(table.cellText(1, Col::kColMaximum), "1.25");
    EXPECT_EQ(table.cellText(1, Col::kColMinimum), "1");
    EXPECT_EQ(table.cellText(1, Col::kColChanges), "1");
    EXPECT_EQ(table.seriesHeader(), "Time (UTC),40002 Float CDAB\r\n");
    EXPECT_EQ(table.seriesLine(), "2026-12-08T12:30:00.007Z,1.25\r\n");
    table.setPin(1, std::nullopt);
    EXPECT_EQ(table.seriesHeader(), "Time (UTC),40001,40002,40003,40004\r\n");
}

// The pins are the feed's: another table that pins the row anew restarts this table's
// minimum and maximum too, which then hold readings of the new pin only.
TEST(RegisterTable, APinChangedInAnotherTableRestartsTheMinimumAndMaximum) {
    CReadFeed feed;
    CRegisterTableDlg table(feed);
    CRegisterTableDlg other(feed);
    table.onResult(passed({0x3F, 0x80, 0, 0}), 0);
    other.onResult(passed({0x3F, 0x80, 0, 0}), 0);
    table.setPin(0, RowPin{WideType::Float32, WordOrder::ABCD});
    other.setPin(0, RowPin{WideType::Int32, WordOrder::ABCD});
    table.onResult(passed({0x3F, 0xA0, 0, 0}), 10);
    EXPECT_EQ(table.cellText(0, Col::kColMinimum), "1067450368");
    EXPECT_EQ(table.cellText(0, Col::kColMaximum), "1067450368");
    EXPECT_EQ(table.cellText(0, Col::kColChanges), "0");
}

// A unit that reports NaN until it has measured: the minimum and maximum are of the numbers,
// and a NaN that stays is no change.
TEST(RegisterTable, ANotANumberReadingGivesWayToTheNumbersThatFollow) {
    CReadFeed feed;
    CRegisterTableDlg table(feed);
    table.onResult(passed({0x7F, 0xC0, 0, 0}), 0);
    table.setPin(0, RowPin{WideType::Float32, WordOrder::ABCD});
    table.onResult(passed({0x3F, 0xC0, 0, 0}), 10); // 1.5
    table.onResult(passed({0x40, 0x20, 0, 0}), 20); // 2.5
    table.onResult(passed({0x7F, 0xC0, 0, 0}), 30);
    table.onResult(passed({0x7F, 0xC0, 0, 0}), 40); // the same NaN again: no change
    EXPECT_EQ(table.cellText(0, Col::kColMinimum), "1.5");
    EXPECT_EQ(table.cellText(0, Col::kColMaximum), "2.5");
    EXPECT_EQ(table.cellText(0, Col::kColChanges), "3");
}

struct CsvRow {
    const char* name;
    std::string text;
    std::string field;
};

class CsvFields : public ::testing::TestWithParam<CsvRow> {};

TEST_P(CsvFields, AreQuotedOnlyWhenTheyMustBe) {
    EXPECT_EQ(csvField(GetParam().text), GetParam().field);
}

INSTANTIATE_TEST_SUITE_P(Rfc4180, CsvFields,
                         ::testing::Values(CsvRow{"plain", "1234.5", "1234.5"},
                                           CsvRow{"comma", "a,b", "\"a,b\""},
                                           CsvRow{"quote", "say \"hi\"", "\"say \"\"hi\"\"\""},
                                           CsvRow{"line_break", "a\nb", "\"a\nb\""}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(RegisterTable, TheTableFileHasALinePerRowAndType) {
    CReadFeed feed;
    CRegisterTableDlg table(feed);
    table.onResult(passed({0x2C, 0x22, 0x00, 0x00}), 0);
    const std::string csv = table.tableCsv();
    EXPECT_EQ(csv.rfind(std::string(loadString(kIdsRegTableCsvHeader)) + "\r\n", 0), 0u);
    EXPECT_NE(csv.find("40001,0,ASCII,,\",\"\"\",\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("40001,0,Float,ABCD,2.3021585e-12,\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("40002,1,Float,ABCD,,\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("40001,0,32-bit unsigned,CDAB,11298,1\r\n"), std::string::npos) << csv;
}

TEST(RegisterTable, AFileThatCannotBeWrittenGivesTheSystemsReason) {
    const std::string missing = "/nonexistent-folder/table.csv";
    EXPECT_EQ(writeCsvFile(missing, "x\r\n"), substituteArgs(loadString(kIdsRegTableWriteFailed),
                                                             {missing, systemErrorText(ENOENT)}));
    CCsvFile full;
    ASSERT_EQ(full.open("/dev/full"), "");
    EXPECT_EQ(full.write("2026-12-08T12:30:00.007Z,1\r\n"), systemErrorText(ENOSPC));
    EXPECT_FALSE(full.isOpen());
}

// An hour and more of a fast repeat: the plot keeps the last hour, within its points, with
// every low and high.
TEST(RegisterTrend, PlotsTheLastHourWithinItsPointsKeepingTheExtremes) {
    CReadFeed feed;
    CRegisterTableDlg table(feed);
    CRegisterTrend trend;
    trend.setRows({1, 0, 2, 3, 4});
    ASSERT_EQ(trend.rows().size(), CRegisterTrend::kMaxRows);
    constexpr int kSamples = 40000; // one every 0.1 s
    for (int i = 0; i < kSamples; ++i) {
        const auto value = static_cast<std::uint8_t>(i == 39000 ? 250 : i % 100);
        table.onResult(passed({0, 0, 0, value, 0, 0, 0, 0}), 0);
        trend.add(table, i / 10.0, 7);
    }
    const std::vector<TrendPoint> points = trend.plotted(0, 2000);
    EXPECT_LE(points.size(), 2000u);
    EXPECT_GE(points.front().seconds, kSamples / 10.0 - 1 - CRegisterTrend::kKeptSeconds);
    EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                               [](const auto& a, const auto& b) { return a.seconds < b.seconds; }));
    const auto [low, high] =
        std::minmax_element(points.begin(), points.end(),
                            [](const auto& a, const auto& b) { return a.value < b.value; });
    EXPECT_EQ(low->value, 0);
    EXPECT_EQ(high->value, 250);
    EXPECT_EQ(trend.plotted(trend.responseLine(), 10).back().value, 7);
    EXPECT_EQ(trend.lineTitle(table, 0), "40002 Unsigned");
}

} // namespace
