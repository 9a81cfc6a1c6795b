#include "comms_log_test_support.h"
#include "platform/file_output.h"
#include "resources/string_table.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class UtcEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};
const bool utcRegistered = (::testing::AddGlobalTestEnvironment(new UtcEnvironment), true);

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempFolder {
public:
    CTempFolder folder{"vantrel_report"};
    fs::path path = folder.path();
};

struct ReportFixture {
    std::atomic<std::int32_t> logEnabled{1};
    CCraftedLog log;
    CRecordingLogWindow window;
    CCommsLogDlg dlg;

    explicit ReportFixture(LogTimeFormat format = twelveHourFormat())
        : dlg(log, logEnabled, window, std::move(format), "/opt/vantrel/VNTLSettings.dat") {}

    void listAll() {
        dlg.onOpen();
        for (int tick = 0; tick < 100 && window.timerRunning; ++tick)
            dlg.onTimer();
    }
};

// The report of a small log, compared with the file written out by hand: a wrapped error text,
// a wrapped frame, an empty message, a type text wider than its field, and a frame that runs
// over the page break.
TEST(CommsLogReport, MatchesTheHandWrittenFile) {
    ReportFixture f;
    std::vector<std::uint8_t> twenty(20);
    for (std::size_t i = 0; i < twenty.size(); ++i)
        twenty[i] = static_cast<std::uint8_t>(i + 1);
    std::vector<std::uint8_t> long360(360);
    for (std::size_t i = 0; i < long360.size(); ++i)
        long360[i] = static_cast<std::uint8_t>(i);
    f.log.add(1, kMorning, 45);
    f.log.add(2, kMorning, 50, {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD});
    f.log.addError(5006, kMorning + 1, 60);
    f.log.add(3, kMorning + 1, 999, twenty);
    f.log.addError(99999, kMorning + 2, 0);
    f.log.add(7, kMorning + 2, 7);
    f.log.add(9, kMorning + 2, 7, {0xAB, 0x01});
    f.log.add(3, kMorning + 6270, 500, long360);
    f.log.add(6, kMorning + 10802, 999);
    f.log.add(4, kMorning + 135869, 1);
    f.listAll();

    TempFolder folder;
    const fs::path report = folder.path / "VantrelLog.txt";
    ASSERT_EQ(f.dlg.saveReport(report), "");
    const std::string expected =
        readFile(fs::path(VANTREL_SOURCE_DIR) / "tests/windows/data/comms_log_report.txt");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(readFile(report), expected);
}

TEST(CommsLogReport, PrefixWiderThanThePageKeepsTheMessageOnItsLine) {
    ReportFixture f({":", "%H:%M:%S", "%Y-%m-%d, week %V, day %j of the year"});
    f.log.add(2, kMorning, 45, std::vector<std::uint8_t>(12, 0x11));
    f.listAll();
    std::string report;
    f.dlg.writeReport(report);
    const std::string entry =
        "   0  10:15:30:045 2006-12-06, week 49, day 340 of the year  TX:            12   "
        "11 11 11 11 11 11 11 11 11 11 11 11 \r\n";
    EXPECT_NE(report.find("\r\n" + entry), std::string::npos) << report;
}

// Indexes of the report's entries (lines that start with one), in the report's order.
std::vector<int> reportedIndexes(const std::string& report) {
    std::vector<int> indexes;
    std::size_t at = 0;
    while (at < report.size()) {
        const std::size_t end = std::min(report.find("\r\n", at), report.size());
        const std::string line = report.substr(at, end - at);
        const std::size_t digit = line.find_first_not_of(" \f");
        if (digit != std::string::npos && digit < 4 && std::isdigit(line[digit]) != 0)
            indexes.push_back(std::atoi(line.c_str() + digit));
        at = end + 2;
    }
    return indexes;
}

// With the store's bound, the list drops what went to the journal (at the top in log order,
// anywhere once sorted), and the report still holds every record once: the journal first, then
// the list in its order. Clearing empties the journal as well.
TEST(CommsLogReport, HoldsTheJournalBeforeTheListedRows) {
    TempFolder folder;
    CCommsLogStore store;
    store.setMemoryBound(4);
    store.setJournalPath((folder.path / "log.journal").string());
    CCommsLogStoreRecords records(store);
    std::atomic<std::int32_t> logEnabled{1};
    CRecordingLogWindow window;
    CCommsLogDlg dlg(records, logEnabled, window, twelveHourFormat(),
                     (folder.path / "VNTLSettings.dat").string());
    const auto addRecords = [&store](int count) {
        for (int i = 0; i < count; ++i)
            store.addLogRecord(2, 1, &i);
    };

    addRecords(10);
    dlg.onOpen();
    dlg.onTimer();
    EXPECT_EQ(dlg.recordOfRow(0), store.firstInMemory());
    addRecords(10);
    dlg.onRefresh();
    ASSERT_FALSE(window.removed.empty());
    EXPECT_EQ(window.removed.front().first, 0);
    EXPECT_EQ(dlg.recordOfRow(0), store.firstInMemory());
    EXPECT_NE(window.journalNote.find("log.journal"), std::string::npos) << window.journalNote;

    dlg.onColumnClick(0); // newest first
    addRecords(7);
    dlg.onRefresh();
    std::string report;
    EXPECT_EQ(dlg.writeReport(report), 0);
    std::vector<int> indexes = reportedIndexes(report);
    const int journaled = store.firstInMemory();
    ASSERT_GE(indexes.size(), static_cast<std::size_t>(journaled));
    EXPECT_TRUE(std::is_sorted(indexes.begin(), indexes.begin() + journaled));
    std::sort(indexes.begin(), indexes.end());
    std::vector<int> every(static_cast<std::size_t>(store.count()));
    std::iota(every.begin(), every.end(), 0);
    EXPECT_EQ(indexes, every);

    dlg.onClearLog();
    EXPECT_FALSE(fs::exists(folder.path / "log.journal"));
    EXPECT_EQ(window.journalNote, formatString(kIdsLogBoundNote, 4));
}

// ---- Save failures: a message, and nothing lost ----

struct FailureCase {
    const char* name;
    // Prepares the target in `folder` and returns its path.
    std::string (*target)(const fs::path& folder, int& lockHolder);
    std::string expected; // "%s" stands for the path
};

void PrintTo(const FailureCase& row, std::ostream* out) {
    *out << row.name;
}

class CommsLogSaveFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CommsLogSaveFailure, ShowsTheMessageAndKeepsTheFile) {
    const FailureCase& c = GetParam();
    TempFolder folder;
    int lockHolder = -1;
    const std::string path = c.target(folder.path, lockHolder);
    const std::string before = fs::is_regular_file(path) ? readFile(path) : "";
    ReportFixture f;
    f.log.add(1, kMorning, 0);
    f.listAll();
    f.window.reportPath = path;
    f.dlg.onSaveToFile();

    std::string expected = c.expected;
    if (const std::size_t at = expected.find("%s"); at != std::string::npos)
        expected.replace(at, 2, path);
    EXPECT_EQ(f.window.messages, std::vector<std::string>{expected});
    EXPECT_EQ(f.window.viewedPath, "");
    EXPECT_TRUE(f.window.buttonsEnabled);
    EXPECT_FALSE(f.dlg.busy);
    if (fs::is_regular_file(path)) {
        EXPECT_EQ(readFile(path), before);
    }
    if (lockHolder >= 0)
        close(lockHolder);
}

std::string missingFolder(const fs::path& folder, int&) {
    return folder / "missing" / "VantrelLog.txt";
}

std::string readOnlyFolder(const fs::path& folder, int&) {
    fs::create_directory(folder / "locked");
    fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    // The superuser writes anywhere; a read-only file system stands in then.
    if (access((folder / "locked").c_str(), W_OK) == 0)
        return "/sys/VantrelLog.txt";
    return folder / "locked" / "VantrelLog.txt";
}

std::string fileInUse(const fs::path& folder, int& lockHolder) {
    const fs::path path = folder / "VantrelLog.txt";
    std::ofstream(path) << "kept";
    lockHolder = open(path.c_str(), O_RDWR | O_CLOEXEC);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    EXPECT_EQ(fcntl(lockHolder, F_OFD_SETLK, &lock), 0);
    return path;
}

std::string fullDevice(const fs::path&, int&) {
    return "/dev/full";
}

INSTANTIATE_TEST_SUITE_P(
    Targets, CommsLogSaveFailure,
    ::testing::Values(
        FailureCase{"MissingFolder", missingFolder,
                    "File Error on Write: No such file or directory"},
        FailureCase{"ReadOnlyFolder", readOnlyFolder, "File Error on Write: Permission denied"},
        FailureCase{"HeldByAnotherWriter", fileInUse,
                    "File error on open: %s is currently in use."},
        FailureCase{"DeviceFull", fullDevice, "File Error on Write: No space left on device"}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- The Save to File steps ----

TEST(CommsLogSave, RefreshBeforeSavingListsEveryRecordLoggedSoFar) {
    ReportFixture f;
    for (int i = 0; i < 1000; ++i)
        f.log.add(2, kMorning, 0, {0x01});
    f.dlg.onOpen();
    f.dlg.onTimer();
    ASSERT_EQ(f.dlg.rowCount(), 400);
    TempFolder folder;
    f.window.refreshAnswer = true;
    f.window.reportPath = folder.path / "VantrelLog.txt";
    f.dlg.onSaveToFile();

    EXPECT_EQ(f.window.offeredPath, "/opt/vantrel/VantrelLog");
    EXPECT_EQ(f.dlg.rowCount(), 1000);
    EXPECT_EQ(f.window.status, "Display Complete");
    EXPECT_NE(readFile(f.window.reportPath).find("\r\n 999  "), std::string::npos);
    // The viewer runs: the buttons wait for it.
    EXPECT_EQ(f.window.viewedPath, f.window.reportPath);
    EXPECT_TRUE(f.dlg.busy);
    EXPECT_FALSE(f.window.buttonsEnabled);
    f.dlg.onTimer(); // a late tick does not free the buttons
    EXPECT_FALSE(f.window.buttonsEnabled);
    f.dlg.viewerClosed();
    EXPECT_TRUE(f.window.buttonsEnabled);
}

TEST(CommsLogSave, CancelAndAViewerThatCannotStartReturnToIdle) {
    ReportFixture f;
    f.log.add(1, kMorning, 0);
    f.listAll();
    f.dlg.onSaveToFile(); // the Save As dialog is cancelled
    EXPECT_TRUE(f.window.buttonsEnabled);
    EXPECT_FALSE(f.dlg.busy);
    EXPECT_EQ(f.window.viewedPath, "");

    TempFolder folder;
    f.window.reportPath = folder.path / "VantrelLog.txt";
    f.window.viewerStarts = false;
    f.dlg.onSaveToFile();
    EXPECT_EQ(f.window.viewedPath, f.window.reportPath);
    EXPECT_TRUE(f.window.buttonsEnabled);
    EXPECT_FALSE(f.dlg.busy);
    EXPECT_TRUE(f.window.messages.empty());
}

TEST(CommsLogSave, DefaultNameLiesBesideTheSettingsFile) {
    EXPECT_EQ(CCommsLogDlg::defaultReportPath("/opt/vantrel/VNTLSettings.dat"),
              "/opt/vantrel/VantrelLog");
    // A settings file named by the environment is never offered for overwriting.
    EXPECT_EQ(CCommsLogDlg::defaultReportPath("/home/tech/site.dat"), "/home/tech/VantrelLog");
    EXPECT_EQ(CCommsLogDlg::defaultReportPath("VNTLSettings.dat"), "VantrelLog");
}

} // namespace
