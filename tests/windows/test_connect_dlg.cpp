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
#include "windows/modem_hang_up_dlg.h"
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
    // Every answer ends after time2 of silence: the satellite's own 3 s would slow the rows.
    location.time2 = 150;
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

// Modem jobs of the engine that the test knows to be in flight, and whether the fake modem has
// heard the one in flight and keeps silent: only then can a timer tick move the call on, so the
// ticks come at once instead of once a second.
class CTrackedModemJobs : public IModemJobQueue {
public:
    CTrackedModemJobs(CCommsEngine& engine, const CFakeModem& modem)
        : jobs_(engine), modem_(modem) {}
    int queueModemCommand(std::uint8_t* command, std::uint16_t* length, std::uint8_t* response,
                          std::uint16_t* responseLength, WindowHandle notifyWindow) override {
        silencesBefore_ = modem_.silences();
        const int result =
            jobs_.queueModemCommand(command, length, response, responseLength, notifyWindow);
        inFlight = result == 0;
        return result;
    }
    void abortCurrentJob() override { jobs_.abortCurrentJob(); }
    bool waitingOnSilence() const { return inFlight && modem_.silences() > silencesBefore_; }
    bool inFlight = false;

private:
    CEngineModemJobs jobs_;
    const CFakeModem& modem_;
    int silencesBefore_ = 0;
};

class CSilentBox : public IMessageBox {
public:
    void showMessage(const std::string&) override {}
};

// The modem hang-up window without widgets: it closes when the logic is done.
class CHangUpWindow : public IModemHangUpWindow {
public:
    void setStatusText(const std::string&) override {}
    void setModemResponse(const std::string&) override {}
    void startTimer() override {}
    void stopTimer() override {}
    void closeDialog() override { closed = true; }
    bool closed = false;
};

// A modem call of the Connect logic on the real engine and the fake modem, with the timer ticks
// given by the test; the hang-up runs as the modal window would, the Connect logic still
// receiving the results of its own jobs meanwhile.
class CModemCall : public CRecordingWindow {
public:
    CModemCall(CVantrelDoc& document, CSettingsFile& settings, const CFakeModem& modem)
        : document_(document), jobs_(document.context().engine, modem),
          logic_(document, settings, *this, jobs_, notify_.handle(), ".") {
        logic_.setConnectSettleMs(0);
        logic_.setDialAnswerMarginMs(kDialAnswerMarginMs);
    }

    // Connects and runs the call until it has ended, connected or not.
    void run() {
        ASSERT_TRUE(logic_.initialise());
        logic_.connect();
        for (int step = 0; step < kMostSteps && logic_.connecting(); ++step) {
            if (const auto m = notify_.waitFor(WM_COMMS_RESULT, jobs_.inFlight ? kPollMs : 0)) {
                jobs_.inFlight = m->wParam == static_cast<WParam>(JobType::Retrying);
                logic_.onCommsResult(m->wParam, m->lParam);
            } else if (!jobs_.inFlight || jobs_.waitingOnSilence()) {
                ASSERT_TRUE(timers.count(kTimerDialing)) << "nothing left to move the call on";
                logic_.onTimer(kTimerDialing);
            }
        }
        ASSERT_FALSE(logic_.connecting()) << "the call did not end";
    }

    void runHangUp() override {
        CHangUpWindow window;
        CEngineModemJobs jobs(document_.context().engine);
        CMessageQueue results;
        CModemHangUpDlg hangUp(document_, window, jobs, results.handle());
        hangUp.open();
        hangUp.onTimer();
        for (int step = 0; step < kMostSteps && !window.closed; ++step) {
            if (const auto m = results.waitFor(WM_COMMS_RESULT, kPollMs))
                hangUp.onCommsResult(m->wParam, m->lParam);
            else if (const auto own = notify_.waitFor(WM_COMMS_RESULT, 0))
                logic_.onCommsResult(own->wParam, own->lParam);
        }
        EXPECT_TRUE(window.closed) << "the hang-up did not end";
    }

private:
    static constexpr int kPollMs = 10;
    static constexpr int kMostSteps = 3000;
    static constexpr int kDialAnswerMarginMs = 1000;

    CVantrelDoc& document_;
    CMessageQueue notify_;
    CTrackedModemJobs jobs_;
    CConnectDlg logic_;
};

struct ModemTickRow {
    const char* name;
    int mediaCode = kMediaCodeModem;
    std::string initAnswer = "OK";
    std::deque<std::string> dialAnswers{};
    std::int32_t retries = 2;
    std::int32_t connectTimeout = 2;
    std::int32_t time1 = 1000;
    bool connects = false;
    int dials = 1;
    bool hangsUp = true;
    std::vector<std::string> boxes{};
    // The redial countdowns shown, one a tick.
    int redialStatuses = 0;
};

class ModemOnTicks : public ::testing::TestWithParam<ModemTickRow> {};

TEST_P(ModemOnTicks, EndsConnectedOrStoppedAndHungUp) {
    const ModemTickRow& row = GetParam();
    CPtyPair line;
    ASSERT_TRUE(line.valid());
    CTempPortsDir ports;
    ports.link("COM4", line.slavePath());
    CFakeModem modem(line, {.initAnswer = row.initAnswer, .dialAnswers = row.dialAnswers});
    CVantrelDoc document;
    CSilentBox box;
    ASSERT_TRUE(document.onNewDocument(box));
    CSettingsFile settings;
    CLocation location(row.mediaCode);
    location.name = "Pump";
    location.portName = "COM4";
    location.number = "5551234";
    location.retries = row.retries;
    location.connectTimeout = row.connectTimeout;
    location.time1 = row.time1;
    // Every answer ends after time2 of silence: the satellite's own 3 s would slow the rows.
    location.time2 = 150;
    settings.append(location);
    CModemCall call(document, settings, modem);
    call.run();
    EXPECT_EQ(modem.dials(), row.dials);
    EXPECT_EQ(call.boxes, row.boxes);
    const std::vector<std::string> commands = modem.commands();
    const bool hungUp =
        commands.size() >= 2 && commands[commands.size() - 2] == "+++" && commands.back() == "ATH";
    EXPECT_EQ(hungUp, row.hangsUp);
    EXPECT_EQ(call.closed, row.connects);
    EXPECT_EQ(document.online, row.connects ? 1 : 0);
    EXPECT_EQ(document.modemConnected(), row.connects);
    EXPECT_EQ(document.context().serialPort.isOpen(), row.connects);
    const auto redials =
        std::count_if(call.statuses.begin(), call.statuses.end(), [](const std::string& text) {
            return text.rfind("Waiting for redial", 0) == 0;
        });
    EXPECT_EQ(redials, row.redialStatuses);
    document.closeSerialPort();
}

// The location's own redial wait of 10 seconds passes in ticks the test gives; so do the connect
// limits. A silent dial ends at the limit: its hang-up waits for the dial's answer time to end,
// and the box of that time-out comes first.
INSTANTIATE_TEST_SUITE_P(
    Rows, ModemOnTicks,
    ::testing::Values(
        ModemTickRow{
            .name = "AtOnce", .dialAnswers = {"CONNECT 9600"}, .connects = true, .hangsUp = false},
        ModemTickRow{.name = "AfterBusyAndNoAnswer",
                     .dialAnswers = {"BUSY", "NO ANSWER", "CONNECT 9600"},
                     .connects = true,
                     .dials = 3,
                     .hangsUp = false,
                     .redialStatuses = 20},
        ModemTickRow{.name = "SatelliteRedialsAfterBusy",
                     .mediaCode = kMediaCodeSatellite,
                     .dialAnswers = {"BUSY", "CONNECT 9600"},
                     .connects = true,
                     .dials = 2,
                     .hangsUp = false,
                     .redialStatuses = 10},
        ModemTickRow{.name = "NoAnswerWithoutRedials", .dialAnswers = {"NO ANSWER"}, .retries = 0},
        ModemTickRow{.name = "BusyBeyondTheRedials",
                     .dialAnswers = {"BUSY"},
                     .retries = 1,
                     .dials = 2,
                     .redialStatuses = 10},
        ModemTickRow{.name = "NoCarrier", .dialAnswers = {"NO CARRIER"}},
        ModemTickRow{.name = "SilentModem",
                     .initAnswer = "",
                     .retries = 1,
                     .time1 = 100,
                     .dials = 0,
                     .hangsUp = false,
                     .boxes = {"Timed out waiting for a response."}},
        ModemTickRow{
            .name = "ConnectLimit",
            .dialAnswers = {""},
            .retries = 0,
            .connectTimeout = 0,
            .boxes = {"Timed out waiting for a response.", "Failed to connect to modem."}}),
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
