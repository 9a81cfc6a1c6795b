#include "comms/comms_context.h"
#include "comms/modem_commands.h"
#include "config/settings_file.h"
#include "platform/message_queue.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/pty_line_unit.h"
#include "tests/support/row_names.h"
#include "windows/connect_dlg.h"
#include "windows/find_unit_dlg.h"
#include "windows/vantrel_doc.h"

#include <functional>
#include <gtest/gtest.h>
#include <set>

namespace {

using vantrel_test::PrintTo;

constexpr int kBaud9600 = 5;
constexpr int kBaud19200 = 6;
constexpr const char* kPort = "COM3";

// The finder with the real document and engine behind it; the test delivers the engine's results
// and the connect ticks as the window would.
class CFindHarness : public IFindUnitView {
public:
    void sweepChanged() override { ++changes; }
    void messageBox(const std::string& text) override { boxes.push_back(text); }
    void startConnectTicks() override { ticking = true; }
    void stopConnectTicks() override { ticking = false; }

    // Delivers events until `until` holds or the sweep has ended; false when nothing more came.
    bool runUntil(const std::function<bool()>& until) {
        while (!until()) {
            const FindState state = logic.state();
            if (state == FindState::Done || state == FindState::Idle)
                return until();
            if (ticking) {
                sleepMs(1);
                logic.onConnectTick();
            } else if (const auto m = notify.waitFor(WM_COMMS_RESULT, 5000)) {
                logic.onCommsResult(m->wParam, m->lParam);
            } else {
                return false;
            }
        }
        return true;
    }
    bool runToEnd() {
        return runUntil([this] { return logic.state() == FindState::Done; });
    }

    int changes = 0;
    bool ticking = false;
    std::vector<std::string> boxes;
    CVantrelDoc document;
    CMessageQueue notify;
    CFindUnitDlg logic{document, *this, notify.handle()};
};

// The Connect dialog's window, for the connection to a location the finder offers.
class CRecordingConnectWindow : public IConnectWindow {
public:
    void setLocationText(const std::string&) override {}
    void setStatusText(const std::string& text) override { status = text; }
    void setModemResponse(const std::string&) override {}
    void enableButtons(bool) override {}
    void showAbort(bool) override {}
    void messageBox(const std::string& text) override { status = text; }
    void startTimer(int) override {}
    void stopTimer(int) override {}
    void runHangUp() override {}
    void closeDialog() override {}
    std::string status;
};

// A narrow serial form: 9600 and 19200, every parity and both stop bits, IDs 1 to 10.
void narrowSerialForm(FindForm& form) {
    form.portName = kPort;
    form.baudRates.fill(false);
    form.baudRates[kBaud9600] = form.baudRates[kBaud19200] = true;
    form.parities = {true, true, true};
    form.stopBits = {true, true};
    form.lastIdText = "10";
    form.timeoutText = "60";
}

TEST(FindPlan, TriesTheLikelySettingsAndIdsFirst) {
    FindForm form;
    form.portName = kPort;
    const FindCheck checked = checkFindForm(form);
    ASSERT_TRUE(checked.check.accepted);
    const FindPlan& plan = checked.plan;
    EXPECT_EQ(plan.probeCount(), 5 * 2 * 247);
    EXPECT_EQ(sweepLengthText(plan), "2470 probes \u00d7 100 ms = 4 min 7 s if no unit answers.");
    std::vector<std::string> first;
    for (int i = 0; i < 7; ++i)
        first.push_back(settingText(plan, plan.probe(i).setting) + " #" +
                        std::to_string(plan.probe(i).unitId));
    EXPECT_EQ(first, (std::vector<std::string>{"COM3  9600 8N1  RTU #1", "COM3  9600 8N1  RTU #2",
                                               "COM3  9600 8N1  RTU #247", "COM3  9600 8E1  RTU #1",
                                               "COM3  9600 8E1  RTU #2", "COM3  9600 8E1  RTU #247",
                                               "COM3  19200 8N1  RTU #1"}));
    // The second pass takes the other IDs in order, from the most likely setting again.
    EXPECT_EQ(plan.probe(5 * 2 * 3).unitId, 3);
    EXPECT_EQ(plan.probe(5 * 2 * 3).setting.baudIndex, kBaud9600);
    EXPECT_EQ(plan.probe(plan.probeCount() - 1).unitId, 246);
}

struct RefusalRow {
    const char* name;
    std::function<void(FindForm&)> change;
    FindField focus;
};

class FindFormRefusal : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(FindFormRefusal, NamesTheFieldAndStartsNothing) {
    CFindHarness harness;
    narrowSerialForm(harness.logic.form);
    harness.logic.form.ipAddress = kLoopback;
    GetParam().change(harness.logic.form);
    const FieldCheck<FindField> check = harness.logic.start();
    EXPECT_FALSE(check.accepted);
    EXPECT_FALSE(check.message.empty());
    EXPECT_EQ(check.focus, GetParam().focus);
    EXPECT_EQ(harness.logic.state(), FindState::Idle);
}

void tcp(FindForm& form) {
    setFindMedium(form, FindMedium::Tcp);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FindFormRefusal,
    ::testing::Values(
        RefusalRow{"NoPort", [](FindForm& f) { f.portName.clear(); }, FindField::Port},
        RefusalRow{"NoBaudRate", [](FindForm& f) { f.baudRates.fill(false); },
                   FindField::BaudRates},
        RefusalRow{"IdZeroOnALine", [](FindForm& f) { f.firstIdText = "0"; }, FindField::FirstId},
        RefusalRow{"IdsReversed",
                   [](FindForm& f) {
                       f.firstIdText = "9";
                       f.lastIdText = "8";
                   },
                   FindField::LastId},
        RefusalRow{"TimeoutTooShort", [](FindForm& f) { f.timeoutText = "5"; }, FindField::Timeout},
        RefusalRow{"TcpIdBeyond255",
                   [](FindForm& f) {
                       tcp(f);
                       f.lastIdText = "256";
                   },
                   FindField::LastId},
        RefusalRow{"TcpNoAddress",
                   [](FindForm& f) {
                       tcp(f);
                       f.ipAddress = 0;
                   },
                   FindField::Address},
        RefusalRow{"TcpBadOtherPort",
                   [](FindForm& f) {
                       tcp(f);
                       f.otherPortsText = "503, 70000";
                   },
                   FindField::OtherPorts},
        RefusalRow{"TcpNoFraming",
                   [](FindForm& f) {
                       tcp(f);
                       f.modbusTcp = false;
                   },
                   FindField::Framings}),
    [](const ::testing::TestParamInfo<RefusalRow>& row) { return std::string(row.param.name); });

// Units planted at their own line settings; the sweep stops at the first.
struct SerialRow {
    const char* name;
    LineUnitSettings unit;
    // Where the sweep must find it, and what it says about itself.
    int baudIndex;
    int parityIndex;
    int stopBitsIndex;
    std::string identification;
};

class SerialSweep : public ::testing::TestWithParam<SerialRow> {};

TEST_P(SerialSweep, FindsTheUnitAtItsOwnLineAndCreatesAWorkingLocation) {
    const SerialRow& row = GetParam();
    CPtyPair line;
    ASSERT_TRUE(line.valid());
    CTempPortsDir ports;
    ports.link(kPort, line.slavePath());
    CPtyLineUnit unit(line, row.unit);
    CFindHarness harness;
    narrowSerialForm(harness.logic.form);
    ASSERT_TRUE(harness.logic.start().accepted);
    ASSERT_TRUE(harness.runToEnd());

    ASSERT_EQ(harness.logic.results().size(), 1U) << harness.logic.endText();
    const FindResult& found = harness.logic.results().front();
    EXPECT_EQ(found.unitId, row.unit.id);
    EXPECT_EQ(found.setting, (FindSetting{FindFraming::Rtu, row.baudIndex, row.parityIndex,
                                          row.stopBitsIndex, 0}));
    EXPECT_EQ(harness.logic.resultRow(0).at(2), row.identification);
    // Likely first: every probe before the find went to a setting or ID tried earlier in order.
    const FindPlan& plan = harness.logic.plan();
    int index = 0;
    while (
        !(plan.probe(index).setting == found.setting && plan.probe(index).unitId == found.unitId))
        ++index;
    EXPECT_EQ(harness.logic.probesDone(), index + 1);
    EXPECT_EQ(harness.logic.progressText(),
              formatString(kIdsFindProgressEnded, index + 1, plan.probeCount()));
    EXPECT_FALSE(harness.document.context().serialPort.isOpen());

    // The location offered for it connects and reaches the unit.
    CSettingsFile settings;
    settings.append(harness.logic.locationFor(0));
    CRecordingConnectWindow window;
    CEngineModemJobs jobs(harness.document.context().engine);
    CConnectDlg connect(harness.document, settings, window, jobs, 0, ".");
    ASSERT_TRUE(connect.initialise());
    connect.connect();
    ASSERT_EQ(harness.document.online, 1) << window.status;
    CSubmitter submitter;
    ASSERT_EQ(
        submitter.submit(harness.document.context().engine, rtuFrame({row.unit.id, 3, 0, 0, 0, 1})),
        0);
    const auto result = submitter.result();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->lParam == 0 || row.unit.refusesReads);
    harness.document.closeSerialPort();
}

INSTANTIATE_TEST_SUITE_P(Rows, SerialSweep,
                         ::testing::Values(SerialRow{"On19200OddTwoStopBits",
                                                     {.id = 2,
                                                      .speed = B19200,
                                                      .twoStopBits = true,
                                                      .oddParity = true,
                                                      .vendor = "Plant Unit"},
                                                     kBaud19200,
                                                     kParityOdd,
                                                     1,
                                                     "Plant Unit"},
                                           SerialRow{"RefusingReadsTellsItsServerId",
                                                     {.id = 2,
                                                      .speed = B9600,
                                                      .refusesReads = true,
                                                      .serverId = {0x2A, 0xFF, 'P', 'U', '1'}},
                                                     kBaud9600,
                                                     kParityNone,
                                                     0,
                                                     "server ID 0x2A, run indicator on, PU1"},
                                           SerialRow{"SilentAboutItself",
                                                     {.id = 1, .speed = B19200},
                                                     kBaud19200,
                                                     kParityNone,
                                                     0,
                                                     "(no identification)"}),
                         [](const ::testing::TestParamInfo<SerialRow>& row) {
                             return std::string(row.param.name);
                         });

TEST(SerialSweep, PausesAndCancelsWithinOneProbe) {
    CPtyPair line;
    ASSERT_TRUE(line.valid());
    CTempPortsDir ports;
    ports.link(kPort, line.slavePath());
    CPtyLineUnit nobody(line, {.id = 200});
    CFindHarness harness;
    narrowSerialForm(harness.logic.form);
    ASSERT_TRUE(harness.logic.start().accepted);
    ASSERT_TRUE(harness.runUntil([&] { return harness.logic.probesDone() >= 3; }));

    harness.logic.pause();
    // The probe in flight ends; none follows it while paused.
    const auto m = harness.notify.waitFor(WM_COMMS_RESULT, 2000);
    ASSERT_TRUE(m);
    harness.logic.onCommsResult(m->wParam, m->lParam);
    const int heard = nobody.requests();
    EXPECT_FALSE(harness.notify.waitFor(WM_COMMS_RESULT, 100));
    EXPECT_EQ(nobody.requests(), heard);
    EXPECT_EQ(harness.logic.state(), FindState::Paused);

    harness.logic.resume();
    ASSERT_TRUE(harness.runUntil([&] { return harness.logic.probesDone() >= 8; }));
    harness.logic.cancel();
    EXPECT_EQ(harness.logic.state(), FindState::Cancelling);
    ASSERT_TRUE(harness.runToEnd());
    EXPECT_EQ(harness.logic.probesDone(), 9);
    EXPECT_EQ(harness.logic.endText(), loadString(kIdsFindCancelled));
    EXPECT_FALSE(harness.document.context().serialPort.isOpen());
    EXPECT_EQ(harness.document.online, 0);
}

TEST(SerialSweep, APortThatDisappearsEndsItWithThePortsMessage) {
    CPtyPair line;
    ASSERT_TRUE(line.valid());
    CTempPortsDir ports;
    ports.link(kPort, line.slavePath());
    CFindHarness harness;
    narrowSerialForm(harness.logic.form);
    ASSERT_TRUE(harness.logic.start().accepted);
    ASSERT_TRUE(harness.runUntil([&] { return harness.logic.probesDone() >= 2; }));
    line.closeMaster();
    ASSERT_TRUE(harness.runToEnd());
    EXPECT_LT(harness.logic.probesDone(), harness.logic.plan().probeCount());
    ASSERT_EQ(harness.boxes.size(), 1U);
    EXPECT_EQ(harness.logic.endText().rfind(harness.boxes.front(), 0), 0U);
    EXPECT_FALSE(harness.document.context().serialPort.isOpen());
}

TEST(FindUnit, RefusesToSweepWhileOnline) {
    CFindHarness harness;
    narrowSerialForm(harness.logic.form);
    harness.document.online = 1;
    EXPECT_TRUE(harness.logic.start().accepted);
    EXPECT_EQ(harness.logic.state(), FindState::Idle);
    EXPECT_EQ(harness.boxes, std::vector<std::string>{std::string(loadString(kIdsFindOnline))});
}

// Gateways on 127.0.0.1: one that answers only for some IDs, one that answers for all.
struct TcpRow {
    const char* name;
    std::set<int> answering; // empty: every ID
    bool stopAtFirst;
    std::vector<int> found;
};

class TcpSweep : public ::testing::TestWithParam<TcpRow> {};

TEST_P(TcpSweep, FindsTheIdsTheGatewayAnswers) {
    const TcpRow& row = GetParam();
    CFakeUnit gateway([&](CUnitLink& link) {
        link.answerEach([&](const Bytes& request) {
            const int id = request.at(6);
            if (!row.answering.empty() && row.answering.count(id) == 0)
                return Bytes{};
            return tcpAnswer(request, {3, 2, 0, static_cast<std::uint8_t>(id)});
        });
    });
    // A port where nothing listens comes first: it is passed over with its reason.
    const CLoopbackListener closed(-1);
    const std::uint16_t deadPort = closed.port();
    CFindHarness harness;
    FindForm& form = harness.logic.form;
    setFindMedium(form, FindMedium::Tcp);
    form.ipAddress = kLoopback;
    form.tcpPortText = std::to_string(deadPort);
    form.otherPortsText = std::to_string(gateway.port());
    form.lastIdText = "12";
    form.timeoutText = "60";
    form.stopAtFirst = row.stopAtFirst;
    ASSERT_TRUE(harness.logic.start().accepted);
    ASSERT_TRUE(harness.runToEnd());
    std::vector<int> found;
    for (const FindResult& result : harness.logic.results())
        found.push_back(result.unitId);
    EXPECT_EQ(found, row.found);
    EXPECT_NE(harness.logic.endText().find(std::to_string(deadPort)), std::string::npos);
    EXPECT_FALSE(harness.document.context().socket.isOpen());
    const CLocation location = harness.logic.locationFor(0);
    EXPECT_EQ(location.tcpPort, gateway.port());
    EXPECT_EQ(location.modbusId, row.found.front());
    EXPECT_EQ(location.modbusType, ModbusType::ModbusTcp);
}

INSTANTIATE_TEST_SUITE_P(Rows, TcpSweep,
                         ::testing::Values(TcpRow{"SomeIds", {5, 9}, false, {5, 9}},
                                           TcpRow{"EveryIdStopsAtTheFirst", {}, true, {1}}),
                         [](const ::testing::TestParamInfo<TcpRow>& row) {
                             return std::string(row.param.name);
                         });

} // namespace
