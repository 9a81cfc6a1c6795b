#include "comms_log_test_support.h"
#include "resources/string_table.h"
#include "tests/support/texts.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

namespace {

class UtcEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};
const bool utcRegistered = (::testing::AddGlobalTestEnvironment(new UtcEnvironment), true);

struct Fixture {
    std::atomic<std::int32_t> logEnabled{1};
    CCraftedLog log{&logEnabled};
    CRecordingLogWindow window;
    CCommsLogDlg dlg{log, logEnabled, window, twelveHourFormat(), "/opt/vantrel/VNTLSettings.dat"};

    void fill(int records) {
        for (int i = 0; i < records; ++i)
            log.add(2, kMorning + i / 10, static_cast<unsigned>(i % 10) * 100, {0x01, 0x03});
    }
    // Opens the window and delivers ticks until the list is complete (at most `ticks`).
    int listAll(int ticks = 100) {
        dlg.onOpen();
        int delivered = 0;
        while (window.timerRunning && delivered < ticks) {
            dlg.onTimer();
            ++delivered;
        }
        return delivered;
    }
    std::vector<int> order() const {
        std::vector<int> records;
        for (int row = 0; row < dlg.rowCount(); ++row)
            records.push_back(dlg.recordOfRow(row));
        return records;
    }
};

// ---- Row texts ----

struct CellCase {
    const char* name;
    unsigned type;
    std::vector<std::uint8_t> data;
    std::string typeText;
    std::string sizeText;
    std::string message;
};

void PrintTo(const CellCase& row, std::ostream* out) {
    *out << row.name;
}

class LogCellTexts : public ::testing::TestWithParam<CellCase> {};

TEST_P(LogCellTexts, TypeSizeAndMessage) {
    const CellCase& c = GetParam();
    Fixture f;
    f.log.add(c.type, kMorning, 45, c.data);
    f.listAll();
    ASSERT_EQ(f.dlg.rowCount(), 1);
    EXPECT_EQ(f.dlg.cellText(0, 0), "0");
    EXPECT_EQ(f.dlg.cellText(0, 1), "10:15:30:045 AM 12/06/2006");
    EXPECT_EQ(f.dlg.cellText(0, 2), c.typeText);
    EXPECT_EQ(f.dlg.cellText(0, 3), c.sizeText);
    EXPECT_EQ(f.dlg.cellText(0, 4), c.message);
}

std::vector<std::uint8_t> bytes(std::size_t count) {
    std::vector<std::uint8_t> data(count);
    for (std::size_t i = 0; i < count; ++i)
        data[i] = static_cast<std::uint8_t>(i);
    return data;
}

std::string hexOf(std::size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (std::size_t i = 0; i < count; ++i) {
        hex += digits[(i & 0xFF) >> 4];
        hex += digits[i & 0x0F];
        hex += ' ';
    }
    return hex;
}

// Rows: name, type, data bytes, type text, size text, message.
INSTANTIATE_TEST_SUITE_P(
    Records, LogCellTexts,
    ::testing::Values(
        CellCase{"Connected", 1, {}, "CONNECTED", "0", ""},
        CellCase{"TxFrame",
                 2,
                 {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD},
                 "TX: ",
                 "8",
                 "01 03 00 00 00 0A C5 CD "},
        CellCase{"RxOfNoBytes", 3, {}, "RX: ", "0", ""},
        CellCase{"Disconnected", 4, {}, "DISCONNECTED", "0", ""},
        CellCase{"ErrorTimeout",
                 5,
                 {0x8E, 0x13, 0x00, 0x00},
                 "ERROR:",
                 "0",
                 "Timed out waiting for a response."},
        CellCase{"ErrorUnknownCode", 5, {0x9F, 0x86, 0x01, 0x00}, "ERROR:", "0", ""},
        // Bytes the record lacks count as zero: 8E 13 is still 5006.
        CellCase{
            "ErrorShortCode", 5, {0x8E, 0x13}, "ERROR:", "0", "Timed out waiting for a response."},
        CellCase{"ErrorWithoutBytes", 5, {}, "ERROR:", "0", ""},
        CellCase{"Reconnected", 6, {}, "RECONNECTED", "0", ""},
        CellCase{"RxFlush", 7, {0xFF}, "RX FLUSH:", "1", "FF "},
        CellCase{"Finding",
                 8,
                 {0x48, 0x33, 0x00, 0x00},
                 "FINDING:",
                 "0",
                 "Nothing at all came back on the serial line."},
        CellCase{"UnknownType", 9, {0xAB, 0x01}, "UNKNOWN LOG: ", "2", "AB 01 "},
        CellCase{"Largest", 3, bytes(640), "RX: ", "640", hexOf(640)}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Time texts ----

struct TimeCase {
    const char* name;
    LogTimeFormat format;
    unsigned milliseconds;
    std::string expected;
};

void PrintTo(const TimeCase& row, std::ostream* out) {
    *out << row.name;
}

class LogTimeTexts : public ::testing::TestWithParam<TimeCase> {};

TEST_P(LogTimeTexts, MillisecondsGoWhereTheRuleSays) {
    const TimeCase& c = GetParam();
    CCommsLogText formatter(c.format);
    EXPECT_EQ(formatter.timeText(kMorning, c.milliseconds), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LogTimeTexts,
    ::testing::Values(
        TimeCase{
            "BeforeDesignator", {":", "%I:%M:%S %p", "%m/%d/%Y"}, 45, "10:15:30:045 AM 12/06/2006"},
        TimeCase{
            "TwentyFourHourAppended", {":", "%H:%M:%S", "%d.%m.%y"}, 7, "10:15:30:007 06.12.06"},
        TimeCase{"LocaleSeparator", {".", "%H.%M.%S", "%Y-%m-%d"}, 999, "10.15.30.999 2006-12-06"},
        // A designator in front of the time has no character before it: the milliseconds go
        // after the seconds.
        TimeCase{
            "DesignatorFirst", {":", "%p %I:%M:%S", "%Y/%m/%d"}, 45, "AM 10:15:30:045 2006/12/06"},
        TimeCase{"DesignatorWithoutBlank",
                 {":", "%I:%M:%S%p", "%m/%d/%Y"},
                 45,
                 "10:15:30:045AM 12/06/2006"}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Listing in batches ----

TEST(CommsLogListing, EmptyLogIsCompleteAfterTheFirstTick) {
    Fixture f;
    f.dlg.onOpen();
    EXPECT_FALSE(f.window.buttonsEnabled);
    EXPECT_TRUE(f.window.timerRunning);
    EXPECT_EQ(f.window.status, text(10519));
    f.dlg.onTimer();
    EXPECT_EQ(f.dlg.rowCount(), 0);
    EXPECT_EQ(f.window.status, text(10524));
    EXPECT_FALSE(f.window.timerRunning);
    EXPECT_TRUE(f.window.buttonsEnabled);
}

TEST(CommsLogListing, ThousandRecordsComeInBatchesOf400) {
    Fixture f;
    f.fill(1000);
    EXPECT_EQ(f.listAll(), 3);
    EXPECT_EQ(f.window.added, (std::vector<std::pair<int, int>>{{0, 399}, {400, 799}, {800, 999}}));
    EXPECT_EQ(f.dlg.nextRecord, 1000);
    EXPECT_EQ(f.window.status, "Display Complete");
}

TEST(CommsLogListing, FollowsTheNewestRowOnlyFromTheLastRow) {
    for (const bool atLastRow : {true, false}) {
        Fixture f;
        f.window.atLastRow = atLastRow;
        f.fill(1000);
        f.listAll();
        f.log.add(2, kMorning, 0);
        f.dlg.onRefresh();
        EXPECT_EQ(f.window.scrolledToLastRow, atLastRow ? 4 : 0) << atLastRow;
    }
}

TEST(CommsLogListing, ProgressTextTurnsAtBothEnds) {
    Fixture f;
    f.fill(400 * 6);
    f.listAll();
    std::vector<unsigned> shown;
    for (const std::string& status : f.window.statusTexts)
        for (unsigned id = 10519; id <= 10524; ++id)
            if (status == text(id))
                shown.push_back(id);
    // Opening shows 10519; each unfinished tick advances twice.
    const std::vector<unsigned> expected = {10519, 10520, 10521, 10522, 10523, 10522, 10521,
                                            10520, 10519, 10520, 10521, 10522, 10524};
    EXPECT_EQ(shown, expected);
}

TEST(CommsLogListing, UnfetchableRecordIsSkippedAndRefreshAddsOnlyNewRecords) {
    Fixture f;
    f.fill(5);
    f.log.unfetchable = {2};
    f.listAll();
    EXPECT_EQ(f.order(), (std::vector<int>{0, 1, 3, 4}));
    f.log.add(3, kMorning + 9, 0);
    f.dlg.onRefresh();
    EXPECT_EQ(f.order(), (std::vector<int>{0, 1, 3, 4, 5}));
    EXPECT_EQ(f.window.status, "Display Complete");
}

TEST(CommsLogListing, ClearSwitchesLoggingOffWhileClearing) {
    Fixture f;
    f.fill(10);
    f.listAll();
    f.dlg.onClearLog();
    EXPECT_EQ(f.log.logEnabledDuringClear, 0);
    EXPECT_EQ(f.logEnabled.load(), 1);
    EXPECT_EQ(f.dlg.rowCount(), 0);
    EXPECT_EQ(f.dlg.nextRecord, 0);
    EXPECT_EQ(f.window.status, "Display Complete");
    EXPECT_TRUE(f.window.buttonsEnabled);
}

// ---- Time difference ----

struct DifferenceCase {
    const char* name;
    std::vector<std::pair<int, int>> selection;
    std::string expected; // empty: the status is hidden
};

void PrintTo(const DifferenceCase& row, std::ostream* out) {
    *out << row.name;
}

class LogTimeDifference : public ::testing::TestWithParam<DifferenceCase> {};

TEST_P(LogTimeDifference, OfTheFirstTwoSelectedRows) {
    Fixture f;
    const std::int32_t times[] = {0, 0, 0, 10, 10, 11, 11, 11, 100010, 9};
    const unsigned milliseconds[] = {0, 0, 0, 100, 900, 100, 100, 350, 223, 100};
    for (int i = 0; i < 10; ++i)
        f.log.add(2, kMorning + times[i], milliseconds[i]);
    f.listAll();
    f.dlg.onListClick(GetParam().selection);
    EXPECT_EQ(f.window.statusVisible, !GetParam().expected.empty());
    if (!GetParam().expected.empty()) {
        EXPECT_EQ(f.window.status, GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Selections, LogTimeDifference,
    ::testing::Values(DifferenceCase{"OneSecondAnd250ms",
                                     {{3, 3}, {7, 7}},
                                     "Item 003 and 007 time difference is 1.250 seconds."},
                      DifferenceCase{"AcrossASecondBoundary",
                                     {{4, 5}},
                                     "Item 004 and 005 time difference is 0.200 seconds."},
                      DifferenceCase{"RangesInAnyOrder",
                                     {{7, 9}, {3, 3}},
                                     "Item 003 and 007 time difference is 1.250 seconds."},
                      DifferenceCase{"EarlierSecondRow",
                                     {{8, 9}},
                                     "Item 008 and 009 time difference is -100001.123 seconds."},
                      DifferenceCase{"LongSpanKeepsItsMilliseconds",
                                     {{7, 8}},
                                     "Item 007 and 008 time difference is 99998.873 seconds."},
                      DifferenceCase{"OneRow", {{5, 5}}, ""}, DifferenceCase{"NoRows", {}, ""}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Sorting ----

struct SortCase {
    const char* name;
    LogTimeFormat format;
    int column;
};

void PrintTo(const SortCase& row, std::ostream* out) {
    *out << row.name;
}

class LogSorting : public ::testing::TestWithParam<SortCase> {};

// Every column sorts as its texts compare: numbers for Index and Size, characters for the rest
// (so the Time column follows its text, not the clock).
TEST_P(LogSorting, RowsFollowTheirTexts) {
    const SortCase& c = GetParam();
    std::atomic<std::int32_t> enabled{1};
    CCraftedLog log;
    CRecordingLogWindow window;
    CCommsLogDlg dlg(log, enabled, window, c.format, "");
    const std::int32_t offsets[] = {0, 3600 * 3, 3600 * 15, 5, 3600 * 24 * 40, 3600 * 14, 61, 9};
    for (int i = 0; i < 40; ++i) {
        const auto pick = static_cast<std::size_t>(i * 7 % 8);
        const std::vector<std::uint8_t> data(static_cast<std::size_t>(i * 5 % 13),
                                             static_cast<std::uint8_t>(i * 37));
        if (i % 6 == 0)
            log.addError(i % 12 == 0 ? 5006u : 5008u, kMorning + offsets[pick], 0);
        else
            log.add(static_cast<unsigned>(i % 9), kMorning + offsets[pick],
                    static_cast<unsigned>(i * 97 % 1000), data);
    }
    dlg.onOpen();
    dlg.onTimer();
    const auto textOf = [&dlg, &c](int row) { return dlg.cellText(row, c.column); };
    const auto numeric = c.column == 0 || c.column == 3;
    const auto before = [&](const std::string& l, const std::string& r) {
        return numeric ? std::atoi(l.c_str()) < std::atoi(r.c_str()) : l < r;
    };
    for (const bool ascending : {true, false}) {
        CCommsLogDlg::lastSort = {c.column, !ascending};
        dlg.onColumnClick(c.column);
        ASSERT_EQ(CCommsLogDlg::lastSort.ascending, ascending);
        for (int row = 1; row < dlg.rowCount(); ++row) {
            const std::string earlier = textOf(row - 1);
            const std::string later = textOf(row);
            EXPECT_FALSE(ascending ? before(later, earlier) : before(earlier, later))
                << "row " << row << ": " << earlier << " / " << later;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Columns, LogSorting,
                         ::testing::Values(SortCase{"Index", twelveHourFormat(), 0},
                                           SortCase{"Time", twelveHourFormat(), 1},
                                           // Hours without a leading zero: "1" is a prefix of "10".
                                           SortCase{"TimeUnpaddedHours", {":", "%-H", "%d"}, 1},
                                           SortCase{"Type", twelveHourFormat(), 2},
                                           SortCase{"Size", twelveHourFormat(), 3},
                                           SortCase{"Message", twelveHourFormat(), 4}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(CommsLogSorting, DirectionIsRememberedAcrossOpenings) {
    CCommsLogDlg::lastSort = {};
    Fixture first;
    first.fill(3);
    first.listAll();
    first.dlg.onColumnClick(0);
    EXPECT_EQ(first.order(), (std::vector<int>{0, 1, 2}));
    first.dlg.onColumnClick(0);
    EXPECT_EQ(first.order(), (std::vector<int>{2, 1, 0}));
    first.dlg.onColumnClick(3);
    EXPECT_TRUE(CCommsLogDlg::lastSort.ascending);

    Fixture second;
    second.fill(3);
    second.listAll();
    second.dlg.onColumnClick(3);
    EXPECT_FALSE(CCommsLogDlg::lastSort.ascending);
    CCommsLogDlg::lastSort = {};
}

// ---- Column widths ----

TEST(CommsLogLayout, FirstColumnsKeepTheirTextsAndTheMessageTakesTheRest) {
    Fixture f;
    using Widths = std::array<int, 5>;
    const CCommsLogDlg::TextWidths texts{{60, 170, 40, 30}, 250};
    EXPECT_EQ(CCommsLogDlg::columnWidths(600, false), (Widths{50, 150, 50, 50, 1800}));
    // Resizes alternate the narrower and the opening set, each widened to its texts.
    EXPECT_EQ(f.dlg.resizeWidths(600, texts), (Widths{60, 170, 40, 30, 300}));
    EXPECT_EQ(f.dlg.resizeWidths(600, texts), (Widths{60, 170, 50, 50, 270}));
    // A list too narrow still keeps a whole frame in the Message column.
    EXPECT_EQ(f.dlg.resizeWidths(400, texts), (Widths{60, 170, 40, 30, 250}));
    EXPECT_EQ(f.dlg.resizeWidths(2400, texts), (Widths{200, 600, 200, 200, 1200}));
    // A longer Message listed keeps its whole width: the list scrolls sideways instead.
    CCommsLogDlg::TextWidths longFrame = texts;
    longFrame.widestMessage = 900;
    EXPECT_EQ(CCommsLogDlg::fittedWidths(600, false, longFrame).back(), 900);

    const auto leftForMessage = [&texts](int width) {
        const Widths widths = CCommsLogDlg::fittedWidths(width, false, texts);
        return width - (widths[0] + widths[1] + widths[2] + widths[3]);
    };
    const int opening = CCommsLogDlg::openingListWidth(texts);
    EXPECT_GE(leftForMessage(opening), 250);
    EXPECT_LT(leftForMessage(opening - 1), 250) << "not the narrowest";
    EXPECT_EQ(CCommsLogDlg::wholeFrameSample('D').size(), 36u);
    EXPECT_EQ(CCommsLogDlg::wholeFrameSample('D').substr(30), "DD DD ");
}

} // namespace
