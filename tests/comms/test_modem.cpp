#include "comms/comms_context.h"
#include "comms/modem_dialer.h"
#include "comms/modem_hangup.h"
#include "platform/message_queue.h"
#include "resources/string_table.h"
#include "tests/support/fake_modem.h"
#include "tests/support/test_serial_support.h"

#include <atomic>
#include <deque>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

TEST(ModemCommands, Formats) {
    const std::pair<const char*, const char*> inits[] = {{"", "AT\r"},
                                                         {"AT &F E0 M1", "AT &F E0 M1\r"},
                                                         {"&F", "AT &F\r"},
                                                         {"ATZ", "ATZ\r"},
                                                         {"at&f", "AT at&f\r"}};
    for (const auto& [in, out] : inits)
        EXPECT_EQ(modemInitCommand(in), out) << in;
    EXPECT_EQ(modemDialCommand("0,5551234"), "ATDT0,5551234\r");
}

TEST(ModemCommands, ReadingAnswers) {
    struct Case {
        std::string text;
        std::string line;
        char rc;
    };
    const Case cases[] = {
        {"\r\nOK\r\n", "OK", 'O'}, {"ATDT1\r\r\nCONNECT 9600\r\n", "CONNECT 9600", 'C'},
        {"0\r", "", ' '},          {"\r\n7\r", "7", '7'},
        {"\r\n", "", ' '},         {"", "", ' '},
    };
    for (const auto& c : cases) {
        const auto a = readModemAnswer(reinterpret_cast<const std::uint8_t*>(c.text.data()),
                                       static_cast<int>(c.text.size()));
        EXPECT_EQ(a.line, c.line) << c.text;
        EXPECT_EQ(a.resultChar, c.rc) << c.text;
        EXPECT_EQ(a.text, c.text);
    }
}

// Records what the dialing and the hang-up show; runs the hang-up to its end when asked.
struct Recorder : IModemDialObserver, IModemHangUpObserver {
    std::vector<std::string> status;
    std::vector<unsigned> boxes;
    std::vector<std::string> responses;
    int timerStops = 0;
    int connectedCount = 0;
    std::int32_t idleLimit = 0;
    int hangUps = 0;
    int portCloses = 0;
    int stops = 0;
    bool hungUpFlag = false;
    bool abortVisible = false;
    IModemJobQueue* jobs = nullptr;
    CModbusMessage* message = nullptr;

    void statusText(const std::string& text) override { status.push_back(text); }
    void messageBox(unsigned id) override { boxes.push_back(id); }
    void modemResponse(const std::string& line) override { responses.push_back(line); }
    void showAbort(bool visible) override { abortVisible = visible; }
    void stopTimer() override { ++timerStops; }
    void connected(std::int32_t limit) override {
        ++connectedCount;
        idleLimit = limit;
    }
    void goOffline() override {}
    void runHangUp() override {
        ++hangUps;
        CMessageQueue window;
        CModemHangUp hangUp(*jobs, *message, *this, window.handle());
        hangUp.open();
        hangUp.onTimer();
        for (int i = 0; i < 20 && !hangUp.finished(); ++i) {
            if (const auto m = window.waitFor(WM_COMMS_RESULT, 5000))
                hangUp.onCommsResult(m->wParam, m->lParam);
        }
    }
    void closePort() override { ++portCloses; }
    void dialingStopped() override { ++stops; }
    void hungUp() override { hungUpFlag = true; }
};

class ModemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(line.valid());
        ports.link("COM4", line.slavePath());
        ctx.serialPort.open(4, 9600, Parity::None, 8, StopBits::One, FlowControl::None, true);
        ASSERT_TRUE(ctx.serialPort.isOpen());
        ctx.serialPort.setTimeouts({kReadIntervalImmediate, 0, 0, 0, 0});
        ctx.message.serialLink = 1;
        ctx.message.retries = 0;
        ASSERT_TRUE(ctx.engine.startThread(ctx));
        rec.jobs = &jobs;
        rec.message = &ctx.message;
        settings.number = "5551234";
        settings.time1 = 1000;
        settings.time2 = 150;
        settings.redialWait = 2;
        settings.connectTimeout = 2;
        settings.retries = 2;
        dialer.connectSettleMs = 0;
    }
    void TearDown() override { ctx.engine.stopThread(ctx); }

    // Feeds the dialer the results of its jobs until none comes within waitMs.
    void pump(int waitMs = 2500) {
        for (int i = 0; i < 20; ++i) {
            const auto m = window.waitFor(WM_COMMS_RESULT, waitMs);
            if (!m)
                return;
            dialer.onCommsResult(m->wParam, m->lParam);
            if (dialer.dialState != DialInitSent && dialer.dialState != DialDialSent &&
                dialer.dialState != DialConnectWait)
                return;
        }
    }
    void ticks(int count) {
        for (int i = 0; i < count; ++i)
            dialer.onTimer();
    }

    CPtyPair line;
    CTempPortsDir ports;
    CCommsContext ctx;
    CEngineModemJobs jobs{ctx.engine};
    CMessageQueue window;
    Recorder rec;
    CModemDialer dialer{jobs, ctx.message, rec, window.handle()};
    ModemDialSettings settings;
};

TEST_F(ModemTest, DialsAndConnectsWithEchoOnAndOff) {
    for (const bool echo : {true, false}) {
        CFakeModem modem(line, {.echo = echo});
        rec = Recorder{};
        rec.jobs = &jobs;
        rec.message = &ctx.message;
        settings.disconnectAfter = 15;
        dialer.start(settings);
        pump();
        EXPECT_EQ(rec.connectedCount, 1) << echo;
        EXPECT_EQ(rec.idleLimit, 900000) << echo;
        EXPECT_EQ(dialer.dialState, DialIdle) << echo;
        EXPECT_EQ(dialer.callPlaced, 1) << echo;
        EXPECT_EQ(modem.commands(), (std::vector<std::string>{"AT &F E0 M1", "ATDT5551234"}));
        EXPECT_EQ(rec.status.front(), "Dialing 5551234...");
        EXPECT_EQ(rec.responses.back(), "CONNECT 9600");
        EXPECT_TRUE(rec.boxes.empty());
        EXPECT_EQ(ctx.message.time1.load(), 5000);
    }
}

TEST_F(ModemTest, RedialsAfterBusyAndGivesUpAfterTheRedials) {
    struct Case {
        const char* name;
        int retries;
        std::deque<std::string> answers;
        bool connects;
        int redials;
    };
    const Case cases[] = {
        {"busy then connect", 2, {"BUSY", "CONNECT"}, true, 1},
        {"no answer then numeric connect", 2, {"NO ANSWER", "1"}, true, 1},
        {"no redial allowed", 0, {"BUSY"}, false, 0},
        {"redials used up", 1, {"BUSY", "7"}, false, 1},
    };
    for (const auto& c : cases) {
        CFakeModem modem(line);
        modem.setDialAnswers(c.answers);
        rec = Recorder{};
        rec.jobs = &jobs;
        rec.message = &ctx.message;
        settings.retries = c.retries;
        dialer.start(settings);
        pump();
        for (int redial = 0; redial < 4 && dialer.dialState == DialRedialWait; ++redial) {
            // The countdown shows 2, then 1, and the number is dialed again on that tick.
            ticks(1);
            EXPECT_EQ(rec.status.back(), "Waiting for redial 2 seconds...") << c.name;
            EXPECT_EQ(dialer.dialState, DialRedialWait) << c.name;
            ticks(1);
            EXPECT_EQ(rec.status[rec.status.size() - 2], "Waiting for redial 1 seconds...")
                << c.name;
            EXPECT_EQ(dialer.dialState, DialDialSent) << c.name;
            pump();
        }
        EXPECT_EQ(rec.connectedCount, c.connects ? 1 : 0) << c.name;
        int dials = 0;
        for (const auto& cmd : modem.commands())
            dials += cmd.rfind("ATDT", 0) == 0;
        EXPECT_EQ(dials, c.redials + 1) << c.name;
        if (!c.connects) {
            EXPECT_EQ(dialer.dialState, DialFailed) << c.name;
            EXPECT_EQ(rec.hangUps, 1) << c.name;
            EXPECT_EQ(rec.portCloses, 1) << c.name;
            EXPECT_EQ(rec.status.back(), "Modem is disconnected.") << c.name;
            const auto cmds = modem.commands();
            EXPECT_EQ(std::vector<std::string>(cmds.end() - 2, cmds.end()),
                      (std::vector<std::string>{"+++", "ATH"}))
                << c.name;
        }
    }
}

TEST_F(ModemTest, FailedAnswersStopDialing) {
    struct Case {
        const char* name;
        std::string init;
        std::string dial;
        std::vector<unsigned> boxes;
        int hangUps;
    };
    const Case cases[] = {
        {"init refused", "ERROR", "", {}, 0},
        {"init silent", "", "", {5006}, 0},
        {"no carrier", "OK", "NO CARRIER", {}, 1},
    };
    for (const auto& c : cases) {
        CFakeModem modem(line, {.echo = true});
        modem.setInitAnswer(c.init);
        modem.setDialAnswers({c.dial});
        rec = Recorder{};
        rec.jobs = &jobs;
        rec.message = &ctx.message;
        dialer.start(settings);
        pump();
        EXPECT_EQ(dialer.dialState, DialFailed) << c.name;
        EXPECT_EQ(rec.boxes, c.boxes) << c.name;
        EXPECT_EQ(rec.hangUps, c.hangUps) << c.name;
        EXPECT_EQ(rec.portCloses, 1) << c.name;
        EXPECT_EQ(rec.stops, 1) << c.name;
        EXPECT_EQ(ctx.message.time2.load(), settings.time2) << c.name;
    }
}

TEST_F(ModemTest, TheConnectLimitEndsTheCall) {
    CFakeModem modem(line);
    modem.setDialAnswers({""});
    dialer.start(settings);
    ASSERT_TRUE(window.waitFor(WM_COMMS_RESULT, 5000));
    ASSERT_EQ(dialer.dialState, DialInitSent);
    dialer.onCommsResult(2, 0);
    ASSERT_EQ(dialer.dialState, DialDialSent);
    ticks(3);
    EXPECT_EQ(dialer.dialState, DialConnectWait);
    EXPECT_EQ(dialer.connectLimit, 2);
    ticks(2);
    EXPECT_EQ(rec.status.back(), "Waiting for Connect - time elapsed 2 seconds...");
    EXPECT_EQ(dialer.dialState, DialConnectWait);
    ticks(1);
    EXPECT_EQ(dialer.dialState, DialFailed);
    EXPECT_GE(rec.timerStops, 1); // timer 1, then the hang-up's timer 2
    EXPECT_EQ(rec.boxes.back(), 5054u);
    EXPECT_EQ(rec.status.back(), "Failed to connect to modem.");
    EXPECT_EQ(rec.hangUps, 1);
    // The dial job ran on with its own time-out; its late result only shows its failure.
    if (const auto m = window.waitFor(WM_COMMS_RESULT, 8000)) {
        dialer.onCommsResult(m->wParam, m->lParam);
        EXPECT_EQ(dialer.dialState, DialFailed);
    }
}

TEST_F(ModemTest, AbortStopsDialingAndHangsUp) {
    CFakeModem modem(line);
    modem.setDialAnswers({""});
    dialer.start(settings);
    ASSERT_TRUE(window.waitFor(WM_COMMS_RESULT, 5000));
    dialer.onCommsResult(2, 0);
    for (int i = 0; i < 250 && ctx.engine.serialBusy.load() == 0; ++i)
        sleepMs(2);
    const std::uint32_t start = tickCount();
    dialer.abort();
    EXPECT_LT(tickCount() - start, 8000u);
    EXPECT_EQ(dialer.dialState, DialIdle);
    EXPECT_EQ(rec.status.front(), "Dialing 5551234...");
    EXPECT_NE(std::find(rec.status.begin(), rec.status.end(), "Aborting connection...."),
              rec.status.end());
    EXPECT_EQ(rec.hangUps, 1);
    EXPECT_FALSE(rec.abortVisible);
    EXPECT_EQ(rec.status.back(), "Modem is disconnected.");
}

TEST_F(ModemTest, HangUpProceedsWhenTheEscapeGetsNoAnswer) {
    struct Case {
        const char* name;
        std::string escapeAnswer;
        std::vector<std::string> commands;
    };
    const Case cases[] = {
        {"escape answered", "OK", {"+++", "ATH"}},
        {"escape silent", "", {"+++", "ATH"}},
        {"escape answered oddly", "ERROR", {"+++", "+++", "+++", "ATH"}},
    };
    for (const auto& c : cases) {
        CFakeModem modem(line);
        modem.setEscapeAnswer(c.escapeAnswer);
        rec = Recorder{};
        ctx.message.retries = 2;
        ctx.message.time2 = 150;
        CMessageQueue hangWindow;
        CModemHangUp hangUp(jobs, ctx.message, rec, hangWindow.handle());
        hangUp.open();
        EXPECT_EQ(rec.status.back(), "Hanging up...");
        hangUp.onTimer();
        EXPECT_EQ(ctx.message.retries.load(), 0);
        EXPECT_EQ(ctx.message.time1.load(), 3000);
        for (int i = 0; i < 10 && !hangUp.finished(); ++i) {
            if (const auto m = hangWindow.waitFor(WM_COMMS_RESULT, 6000))
                hangUp.onCommsResult(m->wParam, m->lParam);
        }
        EXPECT_TRUE(hangUp.finished()) << c.name;
        EXPECT_TRUE(rec.hungUpFlag) << c.name;
        EXPECT_EQ(rec.status.back(), "Modem is disconnected.") << c.name;
        EXPECT_EQ(ctx.message.retries.load(), 2) << c.name;
        EXPECT_EQ(modem.commands(), c.commands) << c.name;
    }
}

} // namespace
