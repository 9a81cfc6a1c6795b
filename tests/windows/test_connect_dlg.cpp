#include "comms/comms_context.h"
#include "comms/serial_port.h"
#include "config/settings_file.h"
#include "platform/message_queue.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "tests/support/fake_modem.h"
#include "tests/support/loopback.h"
#include "tests/support/row_names.h"
#include "tests/support/test_serial_support.h"
#include "windows/connect_dlg.h"
#include "windows/message_box.h"
#include "windows/port_line_settings.h"
#include "windows/vantrel_doc.h"

#include <algorithm>
#include <deque>
#include <grp.h>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using vantrel_test::PrintTo;

std::string text5028() {
    return std::string(loadString(5028));
}

struct LineRow {
    const char* name;
    std::int32_t baudIndex = 5;
    std::int32_t parityIndex = kParityNone;
    std::int32_t dataBitsIndex = 1;
    std::int32_t stopBitsIndex = 0;
    // Expected port codes; baudRate 0: the mapping refuses the location.
    std::uint32_t baudRate = 9600;
    int parity = Parity::None;
    int dataBits = 8;
    int stopBits = StopBits::One;
};

class PortLineSettingsRow : public ::testing::TestWithParam<LineRow> {};

TEST_P(PortLineSettingsRow, MapsTheLocationToThePortCodes) {
    const LineRow& row = GetParam();
    CLocation location;
    location.baudIndex = row.baudIndex;
    location.parityIndex = row.parityIndex;
    location.dataBitsIndex = row.dataBitsIndex;
    location.stopBitsIndex = row.stopBitsIndex;
    const std::optional<PortLineSettings> settings = portLineSettings(location);
    if (row.baudRate == 0) {
        EXPECT_FALSE(settings);
        return;
    }
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->baudRate, row.baudRate);
    EXPECT_EQ(settings->parity, row.parity);
    EXPECT_EQ(settings->dataBits, row.dataBits);
    EXPECT_EQ(settings->stopBits, row.stopBits);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PortLineSettingsRow,
    ::testing::Values(LineRow{.name = "Even", .parityIndex = kParityEven, .parity = Parity::Even},
                      // The port's code 1 is Mark: Odd must come out as its 3.
                      LineRow{.name = "Odd", .parityIndex = kParityOdd, .parity = Parity::Odd},
                      LineRow{.name = "None", .parityIndex = kParityNone, .parity = Parity::None},
                      LineRow{.name = "SevenDataBits", .dataBitsIndex = 0, .dataBits = 7},
                      LineRow{.name = "TwoStopBits", .stopBitsIndex = 1, .stopBits = StopBits::Two},
                      LineRow{.name = "Slowest", .baudIndex = 0, .baudRate = 300},
                      LineRow{.name = "Fastest", .baudIndex = 9, .baudRate = 115200},
                      LineRow{.name = "DamagedParity", .parityIndex = 3, .baudRate = 0},
                      LineRow{.name = "DamagedStopBits", .stopBitsIndex = 2, .baudRate = 0},
                      LineRow{.name = "DamagedDataBits", .dataBitsIndex = -1, .baudRate = 0},
                      LineRow{.name = "DamagedBaud", .baudIndex = 10, .baudRate = 0}),
    [](const ::testing::TestParamInfo<LineRow>& row) { return std::string(row.param.name); });

TEST(ConnectColumns, ShareTheListWidth) {
    EXPECT_EQ(connectColumnWidths(800), (std::array<int, 4>{200, 240, 80, 300}));
}

// Records what the logic shows; a logic test needs no widgets.
class CRecordingWindow : public IConnectWindow {
public:
    void setLocationText(const std::string&) override {}
    void setStatusText(const std::string& text) override {
        status = text;
        statuses.push_back(text);
    }
    void setModemResponse(const std::string&) override {}
    void enableButtons(bool) override {}
    void showAbort(bool) override {}
    void messageBox(const std::string& text) override { boxes.push_back(text); }
    void startTimer(int id) override { timers.insert(id); }
    void stopTimer(int id) override { timers.erase(id); }
    void runHangUp() override {}
    void closeDialog() override { closed = true; }
    std::string status;
    std::vector<std::string> statuses;
    bool closed = false;
    std::vector<std::string> boxes;
    std::set<int> timers;
};

// The TCP/IP connect on ticks the test gives: a connect that the unit's full backlog leaves
// pending counts its seconds and ends at the location's time limit, without waiting for a clock.
struct TimeLimitRow {
    const char* name;
    std::int32_t time1;
    // Ticks of kTimerTcpConnect until the connect ends, and the seconds the status counted.
    int ticks;
    std::vector<std::string> counted{};
};

class TcpTimeLimit : public ::testing::TestWithParam<TimeLimitRow> {};

TEST_P(TcpTimeLimit, EndsAtTheTimeLimitCountingSeconds) {
    const TimeLimitRow& row = GetParam();
    CFullListener listener;
    CVantrelDoc document;
    CSettingsFile settings;
    CLocation location(kMediaCodeTcpIp);
    location.name = "Plant";
    location.ipAddress = INADDR_LOOPBACK;
    location.tcpPort = listener.port();
    location.time1 = row.time1;
    settings.append(location);
    CRecordingWindow window;
    CEngineModemJobs jobs(document.context().engine);
    CConnectDlg logic(document, settings, window, jobs, 0, ".");
    ASSERT_TRUE(logic.initialise());
    logic.connect();
    ASSERT_TRUE(logic.connecting());
    ASSERT_EQ(window.timers, std::set<int>{kTimerTcpConnect});
    std::vector<std::string> counted;
    int ticks = 0;
    while (logic.connecting() && ticks < 10000) {
        logic.onTimer(kTimerTcpConnect);
        ++ticks;
        if (window.status.rfind("Waiting for Connect", 0) == 0 &&
            (counted.empty() || counted.back() != window.status))
            counted.push_back(window.status);
    }
    EXPECT_EQ(ticks, row.ticks);
    EXPECT_EQ(counted, row.counted);
    const std::string expected = "Unable to connect via TCP/IP.  " + std::string(loadString(5502));
    EXPECT_EQ(window.boxes, std::vector<std::string>{expected});
    EXPECT_EQ(window.status, expected);
    EXPECT_TRUE(window.timers.empty());
    EXPECT_FALSE(document.context().socket.isOpen());
    EXPECT_EQ(document.online, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TcpTimeLimit,
    ::testing::Values(
        TimeLimitRow{.name = "TwoSeconds",
                     .time1 = 2000,
                     .ticks = 2000 / kTimerTcpConnectMs + 1,
                     .counted = {"Waiting for Connect - time elapsed 1 seconds...",
                                 "Waiting for Connect - time elapsed 2 seconds..."}},
        // Under a second: the limit ends the connect before the first whole second is shown.
        TimeLimitRow{.name = "UnderASecond", .time1 = 500, .ticks = 500 / kTimerTcpConnectMs + 1},
        TimeLimitRow{.name = "Zero", .time1 = 0, .ticks = 1}),
    [](const ::testing::TestParamInfo<TimeLimitRow>& row) { return std::string(row.param.name); });

// Modem jobs of the engine that the test knows to be in flight: while none is, nothing but the
// dialing timer can move the logic on, so its ticks come at once instead of once a second.
class CTrackedModemJobs : public IModemJobQueue {
public:
    explicit CTrackedModemJobs(CCommsEngine& engine) : jobs_(engine) {}
    int queueModemCommand(std::uint8_t* command, std::uint16_t* length, std::uint8_t* response,
                          std::uint16_t* responseLength, WindowHandle notifyWindow) override {
        const int result =
            jobs_.queueModemCommand(command, length, response, responseLength, notifyWindow);
        inFlight = result == 0;
        return result;
    }
    void abortCurrentJob() override { jobs_.abortCurrentJob(); }
    bool inFlight = false;

private:
    CEngineModemJobs jobs_;
};

class CSilentBox : public IMessageBox {
public:
    void showMessage(const std::string&) override {}
};

struct ModemTickRow {
    const char* name;
    std::deque<std::string> dialAnswers;
    int dials;
    // The redial countdowns shown, one a tick.
    int redialStatuses;
};

class ModemOnTicks : public ::testing::TestWithParam<ModemTickRow> {};

TEST_P(ModemOnTicks, RedialsAfterTheWaitAndConnects) {
    const ModemTickRow& row = GetParam();
    CPtyPair line;
    ASSERT_TRUE(line.valid());
    CTempPortsDir ports;
    ports.link("COM4", line.slavePath());
    CFakeModem modem(line, {.dialAnswers = row.dialAnswers});
    CVantrelDoc document;
    CSilentBox box;
    ASSERT_TRUE(document.onNewDocument(box));
    CSettingsFile settings;
    CLocation location(kMediaCodeModem);
    location.name = "Pump";
    location.portName = "COM4";
    location.number = "5551234";
    settings.append(location);
    CRecordingWindow window;
    CTrackedModemJobs jobs(document.context().engine);
    CMessageQueue notify;
    CConnectDlg logic(document, settings, window, jobs, notify.handle(), ".");
    logic.setConnectSettleMs(0);
    ASSERT_TRUE(logic.initialise());
    logic.connect();
    for (int step = 0; step < 1000 && logic.connecting(); ++step) {
        if (!jobs.inFlight) {
            ASSERT_TRUE(window.timers.count(kTimerDialing)) << "nothing left to move the call on";
            logic.onTimer(kTimerDialing);
        } else if (const auto m = notify.waitFor(WM_COMMS_RESULT, 10000)) {
            jobs.inFlight = m->wParam == static_cast<WParam>(JobType::Retrying);
            logic.onCommsResult(m->wParam, m->lParam);
        } else {
            FAIL() << "a modem command got no result";
        }
    }
    EXPECT_TRUE(window.closed);
    EXPECT_EQ(document.online, 1);
    EXPECT_TRUE(document.modemConnected());
    EXPECT_EQ(modem.dials(), row.dials);
    EXPECT_TRUE(window.boxes.empty()) << window.boxes.front();
    const auto redials =
        std::count_if(window.statuses.begin(), window.statuses.end(), [](const std::string& text) {
            return text.rfind("Waiting for redial", 0) == 0;
        });
    EXPECT_EQ(redials, row.redialStatuses);
    document.closeSerialPort();
}

// The location's own redial wait of 10 seconds passes in ticks the test gives.
INSTANTIATE_TEST_SUITE_P(
    Rows, ModemOnTicks,
    ::testing::Values(ModemTickRow{.name = "AtOnce",
                                   .dialAnswers = {"CONNECT 9600"},
                                   .dials = 1,
                                   .redialStatuses = 0},
                      ModemTickRow{.name = "AfterBusyAndNoAnswer",
                                   .dialAnswers = {"BUSY", "NO ANSWER", "CONNECT 9600"},
                                   .dials = 3,
                                   .redialStatuses = 20}),
    [](const ::testing::TestParamInfo<ModemTickRow>& row) { return std::string(row.param.name); });

// The user may not open the device: the status line says how to get it, the box stays as it is.
TEST(ConnectSerial, APortThatRefusesTheUserGetsTheGroupHint) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "taking an ordinary user's place needs root";
    CPtyPair line;
    ASSERT_TRUE(line.valid());
    CTempPortsDir ports;
    ASSERT_EQ(::chmod(ports.path().c_str(), 0755), 0);
    ports.link("COM7", line.slavePath());
    ASSERT_EQ(::chmod(line.slavePath().c_str(), 0660), 0);
    struct stat info {};
    ASSERT_EQ(::stat(line.slavePath().c_str(), &info), 0);
    const group* owner = ::getgrgid(info.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string groupName = owner->gr_name;
    const std::string expected = text5028() + "  " +
                                 formatString(kIdsSerialPermissionHint, resolveComPort(7).c_str(),
                                              groupName.c_str(), groupName.c_str());

    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // As an ordinary user (nobody), who is in no group.
        std::string report = "no privileges to drop";
        if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) {
            CVantrelDoc document;
            CSettingsFile settings;
            CLocation location;
            location.name = "Bench";
            location.portName = "COM7";
            settings.append(location);
            CRecordingWindow window;
            CEngineModemJobs jobs(document.context().engine);
            CConnectDlg logic(document, settings, window, jobs, 0, ".");
            logic.initialise();
            logic.connect();
            report = window.status + "\n" + (window.boxes.empty() ? "" : window.boxes.back());
        }
        const ssize_t written = ::write(pipeFds[1], report.data(), report.size());
        ::_exit(written < 0 ? 1 : 0);
    }
    ::close(pipeFds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(report, expected + "\n" + text5028());
}

} // namespace
