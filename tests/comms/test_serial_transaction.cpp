#include "comms/comms_context.h"
#include "protocol/check_values.h"
#include "tests/support/engine_probe.h"
#include "tests/support/test_frames.h"
#include "tests/support/test_serial_support.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

const Bytes kRequest = rtuFrame({0x01, 0x03, 0x00, 0x00, 0x00, 0x02});
const Bytes kAnswer = rtuFrame({0x01, 0x03, 0x04, 0x00, 0x0A, 0x00, 0x0B});

Bytes joined(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// What the far end does once it has read the request: each step waits, then sends.
struct Step {
    int delayMs;
    Bytes bytes;
};

class CScriptedUnit {
public:
    CScriptedUnit(const CPtyPair& line, std::size_t requestLength, std::vector<Step> steps)
        : thread_([&line, requestLength, steps = std::move(steps)] {
              if (requestLength > 0 && line.receive(requestLength, 5000).size() < requestLength)
                  return;
              for (const auto& step : steps) {
                  sleepMs(step.delayMs);
                  line.send(step.bytes);
              }
          }) {}
    ~CScriptedUnit() { thread_.join(); }
    CScriptedUnit(const CScriptedUnit&) = delete;
    CScriptedUnit& operator=(const CScriptedUnit&) = delete;

private:
    std::thread thread_;
};

class SerialTransactionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(line.valid());
        ports.link("COM3", line.slavePath());
        ctx.serialPort.open(3, 19200, Parity::None, 8, StopBits::One, FlowControl::None, true);
        ASSERT_TRUE(ctx.serialPort.isOpen());
        ctx.serialPort.setTimeouts({kReadIntervalImmediate, 0, 0, 0, 0});
        ctx.logComms = 1;
        msg().time1 = 1500;
        msg().time2 = 300;
        msg().readPause = 2;
        setRequest(kRequest);
    }
    CModbusMessage& msg() { return ctx.message; }
    void setRequest(const Bytes& frame) {
        std::copy(frame.begin(), frame.end(), msg().txFrame);
        msg().txLength = static_cast<int>(frame.size());
    }
    int run() {
        const std::uint32_t start = tickCount();
        const int result = CCommsEngineProbe::serialTransaction(ctx);
        elapsed = tickCount() - start;
        return result;
    }
    Bytes rxFrame() { return Bytes(msg().rxFrame, msg().rxFrame + msg().rxCount); }
    // The log as (type, bytes) pairs.
    std::vector<std::pair<int, Bytes>> logged() {
        std::vector<std::pair<int, Bytes>> out;
        for (int i = 0; i < ctx.engine.logRecords.count(); ++i) {
            const CCommsLogRecord* r = ctx.engine.logRecords.record(i);
            out.emplace_back(r->type, Bytes(r->data.get(), r->data.get() + r->size));
        }
        return out;
    }
    static Bytes errorBytes(int code) {
        return {static_cast<std::uint8_t>(code & 0xFF), static_cast<std::uint8_t>(code >> 8), 0, 0};
    }

    CPtyPair line;
    CTempPortsDir ports;
    CCommsContext ctx;
    std::uint32_t elapsed = 0;
};

struct CompletionCase {
    const char* name;
    std::vector<Step> steps;
    int echo;
    int result;
    Bytes expected;
};

void PrintTo(const CompletionCase& c, std::ostream* os) {
    *os << c.name;
}

class RtuCompletion : public SerialTransactionTest,
                      public ::testing::WithParamInterface<CompletionCase> {};

TEST_P(RtuCompletion, EndsAsSoonAsTheFrameIsComplete) {
    const CompletionCase& c = GetParam();
    msg().removeEcho = c.echo;
    msg().time2 = 1500;
    int result = -1;
    {
        CScriptedUnit unit(line, kRequest.size(), c.steps);
        result = run();
    }
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(rxFrame(), c.expected);
    // Completion, not silence, ended reception: well inside the 1500 ms of time2.
    EXPECT_LT(elapsed, 1200u);
    EXPECT_EQ(ctx.engine.serialBusy.load(), 0);
}

const Bytes kException = rtuFrame({0x01, 0x83, 0x02});

INSTANTIATE_TEST_SUITE_P(
    Answers, RtuCompletion,
    ::testing::Values(CompletionCase{.name = "TwoBursts",
                                     .steps = {{5, Bytes(kAnswer.begin(), kAnswer.begin() + 4)},
                                               {60, Bytes(kAnswer.begin() + 4, kAnswer.end())}},
                                     .echo = 0,
                                     .result = 0,
                                     .expected = kAnswer},
                      CompletionCase{.name = "EchoThenAnswer",
                                     .steps = {{0, kRequest}, {40, kAnswer}},
                                     .echo = 1,
                                     .result = 0,
                                     .expected = kAnswer},
                      CompletionCase{.name = "EchoAndAnswerTogether",
                                     .steps = {{0, joined(kRequest, kAnswer)}},
                                     .echo = 1,
                                     .result = 0,
                                     .expected = kAnswer},
                      CompletionCase{.name = "Exception",
                                     .steps = {{5, kException}},
                                     .echo = 0,
                                     .result = 5010,
                                     .expected = kException}),
    [](const ::testing::TestParamInfo<CompletionCase>& row) {
        return std::string(row.param.name);
    });

TEST_F(SerialTransactionTest, StaleInputIsFlushedAndLoggedButNeverTheAnswer) {
    const Bytes stale = {0xAA, 0xBB, 0xCC};
    line.send(stale);
    ASSERT_TRUE(ctx.serialPort.waitForChar(2000));
    {
        CScriptedUnit unit(line, kRequest.size(), {{5, kAnswer}});
        EXPECT_EQ(run(), 0);
    }
    EXPECT_EQ(rxFrame(), kAnswer);
    const auto log = logged();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], std::make_pair(7, stale));
    EXPECT_EQ(log[1], std::make_pair(2, kRequest));
    EXPECT_EQ(log.back().first, 3);
    EXPECT_EQ(ctx.serialPort.getTimeouts().readInterval, kReadIntervalImmediate);
}

struct SilenceCase {
    const char* name;
    std::vector<Step> steps;
    int result;
    std::uint32_t atLeastMs;
};

void PrintTo(const SilenceCase& c, std::ostream* os) {
    *os << c.name;
}

class SilenceEnds : public SerialTransactionTest,
                    public ::testing::WithParamInterface<SilenceCase> {};

TEST_P(SilenceEnds, ReceptionOnTheTimeouts) {
    const SilenceCase& c = GetParam();
    int result = -1;
    {
        CScriptedUnit unit(line, kRequest.size(), c.steps);
        result = run();
    }
    EXPECT_EQ(result, c.result);
    EXPECT_GE(elapsed, c.atLeastMs);
    EXPECT_LT(elapsed, 5000u);
    const auto log = logged();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log.front().first, 2);
    EXPECT_EQ(log[log.size() - 2], std::make_pair(3, Bytes{}));
    EXPECT_EQ(log.back(), std::make_pair(5, errorBytes(c.result)));
    if (log.size() > 3) {
        // The bytes' record shows when they came, time2 of silence before the verdict.
        const auto ms = [this](int i) {
            const CCommsLogRecord* r = ctx.engine.logRecords.record(i);
            return std::int64_t{r->time} * 1000 + r->milliseconds;
        };
        const int last = ctx.engine.logRecords.count() - 1;
        EXPECT_GE(ms(last) - ms(1), msg().time2.load() / 2);
    }
}

Bytes withBadCrc(Bytes frame) {
    frame.back() ^= 0xFF;
    return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SilenceEnds,
    ::testing::Values(
        // About time1.
        SilenceCase{.name = "Silence", .steps = {}, .result = 5006, .atLeastMs = 1400},
        // time2 of silence after the bytes.
        SilenceCase{.name = "BadCrc",
                    .steps = {{5, withBadCrc(kAnswer)}},
                    .result = 5008,
                    .atLeastMs = 250},
        SilenceCase{
            .name = "Garbage", .steps = {{5, {0x07, 0x01}}}, .result = 5007, .atLeastMs = 250}),
    [](const ::testing::TestParamInfo<SilenceCase>& row) { return std::string(row.param.name); });

TEST_F(SerialTransactionTest, BroadcastReturnsWithoutReading) {
    setRequest(rtuFrame({0x00, 0x06, 0x00, 0x01, 0x00, 0x03}));
    EXPECT_EQ(run(), 0);
    EXPECT_LT(elapsed, 1000u);
    const auto log = logged();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].first, 2);
    EXPECT_EQ(line.receive(8, 2000).size(), 8u);
}

TEST_F(SerialTransactionTest, AsciiBroadcastReturnsWithoutReading) {
    msg().binaryMode = 0;
    const Bytes request = asciiFrame({0x00, 0x06, 0x00, 0x01, 0x00, 0x03});
    setRequest(request);
    EXPECT_EQ(run(), 0);
    EXPECT_LT(elapsed, 1000u) << "no wait for an answer that never comes";
    const auto log = logged();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], std::make_pair(2, request));
}

TEST_F(SerialTransactionTest, AReplyCutBeforeItsCrcIsInvalid) {
    const Bytes cut(kAnswer.begin(), kAnswer.end() - 2);
    {
        CScriptedUnit unit(line, kRequest.size(), {{5, cut}});
        EXPECT_EQ(run(), 5007);
    }
    EXPECT_EQ(rxFrame(), cut);
    EXPECT_EQ(logged().back(), std::make_pair(5, errorBytes(5007)));
}

TEST_F(SerialTransactionTest, AbortDuringTheWaitEndsTheAttempt) {
    msg().time1 = 10000;
    std::thread aborter([this] {
        for (int i = 0; i < 500 && ctx.engine.serialBusy.load() == 0; ++i)
            sleepMs(2);
        sleepMs(50);
        CCommsEngineProbe::abortEvent(ctx.engine).set();
    });
    const int result = run();
    aborter.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(CCommsEngineProbe::aborted(ctx.engine).load(), 1);
    EXPECT_LT(elapsed, 5000u);
    EXPECT_EQ(logged().back(), std::make_pair(5, errorBytes(5001)));

    // Without logging the result reached so far stands (nothing: 0 as well), and nothing is logged.
    ctx.engine.clearLog();
    ctx.logComms = 0;
    CCommsEngineProbe::aborted(ctx.engine) =
        0; // the comms thread clears it when it starts the next job
    CCommsEngineProbe::stopEvent(ctx.engine).set();
    EXPECT_EQ(run(), 5006);
    EXPECT_EQ(CCommsEngineProbe::stopping(ctx.engine).load(), 1);
    EXPECT_EQ(ctx.engine.logRecords.count(), 0);
}

TEST_F(SerialTransactionTest, TooMuchInputEndsWith5003) {
    msg().time2 = 1000;
    {
        CScriptedUnit unit(line, kRequest.size(), {{5, Bytes(700, 0x55)}});
        EXPECT_EQ(run(), 5003);
    }
    EXPECT_LT(elapsed, 3000u);
}

TEST_F(SerialTransactionTest, AsciiFramesEndAtLineFeed) {
    msg().binaryMode = 0;
    const std::string request = ":010300000002FA\r\n";
    setRequest(Bytes(request.begin(), request.end()));
    const std::string answer = ":010304000A000BE3\r\n";
    msg().time2 = 1500;
    {
        CScriptedUnit unit(line, request.size(),
                           {{5, Bytes(answer.begin(), answer.begin() + 9)},
                            {40, Bytes(answer.begin() + 9, answer.end())}});
        EXPECT_EQ(run(), 0);
    }
    EXPECT_EQ(rxFrame(), Bytes(answer.begin(), answer.end()));
    EXPECT_LT(elapsed, 1200u);
}

const std::string kDialCommand = "ATDT5551234\r";
const std::string kConnectReply = "\r\nCONNECT 9600\r\n";
const Bytes kDialEcho(kDialCommand.begin(), kDialCommand.end());
const Bytes kConnectBytes(kConnectReply.begin(), kConnectReply.end());

struct ModemCase {
    const char* name;
    std::vector<Step> steps;
    int result;
    std::string expected;
};

void PrintTo(const ModemCase& c, std::ostream* os) {
    *os << c.name;
}

class ModemReply : public SerialTransactionTest, public ::testing::WithParamInterface<ModemCase> {};

TEST_P(ModemReply, EndsAtSilenceWithTheEchoDropped) {
    const ModemCase& c = GetParam();
    msg().modemCommandMode = 1;
    msg().time2 = 200;
    msg().time1 = c.result == 0 ? 3000 : 500;
    setRequest(kDialEcho);
    int result = -1;
    {
        CScriptedUnit unit(line, kDialCommand.size(), c.steps);
        result = run();
    }
    EXPECT_EQ(result, c.result);
    const Bytes got = rxFrame();
    EXPECT_EQ(std::string(got.begin(), got.end()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ModemReply,
    ::testing::Values(
        ModemCase{.name = "EchoAloneThenReply",
                  .steps = {{0, kDialEcho}, {400, kConnectBytes}},
                  .result = 0,
                  .expected = kConnectReply},
        ModemCase{.name = "EchoAndReplyTogether",
                  .steps = {{0, joined(kDialEcho, kConnectBytes)}},
                  .result = 0,
                  .expected = kConnectReply},
        ModemCase{.name = "NoEcho",
                  .steps = {{0, kConnectBytes}},
                  .result = 0,
                  .expected = kConnectReply},
        ModemCase{.name = "EchoOnly", .steps = {{0, kDialEcho}}, .result = 5006, .expected = ""}),
    [](const ::testing::TestParamInfo<ModemCase>& row) { return std::string(row.param.name); });

// A port whose line reports the given error flags whenever they are read.
class CNoisyPort : public CSerialPort {
public:
    std::uint32_t clearError() override { return CSerialPort::clearError() | flags; }
    std::uint32_t flags = 0;
};

// The exchange over a port that reports line errors.
class NoisyLineTest : public SerialTransactionTest {
protected:
    void SetUp() override {
        SerialTransactionTest::SetUp();
        ctx.serialPort.close();
        port.open(3, 19200, Parity::None, 8, StopBits::One, FlowControl::None, true);
        ASSERT_TRUE(port.isOpen());
        port.setTimeouts({kReadIntervalImmediate, 0, 0, 0, 0});
    }
    CNoisyPort port;
};

struct LineErrorCase {
    const char* name;
    std::uint32_t flags;
    int result;
};

void PrintTo(const LineErrorCase& c, std::ostream* os) {
    *os << c.name;
}

class LineError : public NoisyLineTest, public ::testing::WithParamInterface<LineErrorCase> {};

TEST_P(LineError, OverridesAGoodAnswer) {
    port.flags = GetParam().flags;
    CScriptedUnit unit(line, kRequest.size(), {{5, kAnswer}});
    EXPECT_EQ(CCommsEngineProbe::serialTransaction(ctx, port), GetParam().result);
    EXPECT_EQ(rxFrame(), kAnswer);
}

INSTANTIATE_TEST_SUITE_P(
    Flags, LineError,
    ::testing::Values(
        LineErrorCase{.name = "ReceiveQueueOverflow", .flags = CE_RXOVER, .result = 5032},
        LineErrorCase{
            .name = "OverrunBeforeParity", .flags = CE_OVERRUN | CE_RXPARITY, .result = 5033},
        LineErrorCase{.name = "Parity", .flags = CE_RXPARITY, .result = 5034},
        LineErrorCase{.name = "FramingBeforeBreak", .flags = CE_FRAME | CE_BREAK, .result = 5035},
        LineErrorCase{.name = "Break", .flags = CE_BREAK, .result = 5036},
        LineErrorCase{.name = "TransmitQueueFull", .flags = CE_TXFULL, .result = 5037},
        LineErrorCase{.name = "Printer", .flags = 0x0400, .result = 5038},
        LineErrorCase{.name = "ModeUnsupported", .flags = CE_MODE, .result = 5039},
        LineErrorCase{.name = "Unknown", .flags = 0x2000, .result = 5040},
        LineErrorCase{.name = "None", .flags = 0, .result = 0}),
    [](const ::testing::TestParamInfo<LineErrorCase>& row) { return std::string(row.param.name); });

TEST_F(NoisyLineTest, AnAbortOutranksALineError) {
    port.flags = CE_RXPARITY;
    CCommsEngineProbe::abortEvent(ctx.engine).set();
    EXPECT_EQ(CCommsEngineProbe::serialTransaction(ctx, port), 0);
    EXPECT_EQ(logged().back(), std::make_pair(5, errorBytes(5001)));
}

TEST_F(SerialTransactionTest, AWriteThatNeverDrainsEndsTheAttempt) {
    // The far end holds the line with XOFF: nothing can leave, as with a hung adapter.
    ctx.serialPort.open(3, 19200, Parity::None, 8, StopBits::One, FlowControl::XonXoff, true);
    ASSERT_TRUE(ctx.serialPort.isOpen());
    line.send(Bytes{0x13});
    sleepMs(50);
    EXPECT_EQ(run(), 5037);
    EXPECT_GE(elapsed, 900u);
    EXPECT_LT(elapsed, 5000u);
    EXPECT_EQ(ctx.serialPort.getTimeouts().writeTotalConstant, 0u);
    EXPECT_EQ(logged().back(), std::make_pair(5, errorBytes(5037)));
}

// A line whose driver reports bytes still waiting to go out until a given moment (a slow line,
// or one held by flow control), which a pseudo-terminal never does.
class CSlowLinePort : public CSerialPort {
public:
    std::uint32_t outputQueued() override {
        return static_cast<std::int32_t>(tickCount() - drainedAt) < 0 ? 8 : 0;
    }
    std::uint32_t drainedAt = 0;
};

// The response time-out counts from the moment the request has left the line, and a request that
// never leaves ends the attempt once its bound has passed.
struct DrainCase {
    const char* name;
    std::uint32_t drainMs;
    int result;
    std::uint32_t minElapsed, maxElapsed;
    std::size_t txLogged;
};

void PrintTo(const DrainCase& c, std::ostream* os) {
    *os << c.name;
}

class SlowLineWrite : public SerialTransactionTest,
                      public ::testing::WithParamInterface<DrainCase> {};

TEST_P(SlowLineWrite, EndsWhenTheBytesHaveLeft) {
    const DrainCase& c = GetParam();
    ctx.serialPort.close();
    CSlowLinePort port;
    port.open(3, 19200, Parity::None, 8, StopBits::One, FlowControl::None, true);
    ASSERT_TRUE(port.isOpen());
    port.setTimeouts({kReadIntervalImmediate, 0, 0, 0, 0});
    msg().time1 = 200;
    const std::uint32_t start = tickCount();
    port.drainedAt = start + c.drainMs;
    EXPECT_EQ(CCommsEngineProbe::serialTransaction(ctx, port), c.result);
    const std::uint32_t took = tickCount() - start;
    EXPECT_GE(took, c.minElapsed);
    EXPECT_LT(took, c.maxElapsed);
    const auto log = logged();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front().first, 2);
    EXPECT_EQ(log.front().second.size(), c.txLogged);
}

// The response time-out counts from the moment the request has left the line, and a request that
// never leaves ends the attempt once its bound has passed (8 bytes + 1 s).
INSTANTIATE_TEST_SUITE_P(Drains, SlowLineWrite,
                         ::testing::Values(DrainCase{.name = "DrainedThenSilence",
                                                     .drainMs = 400,
                                                     .result = 5006,
                                                     .minElapsed = 550,
                                                     .maxElapsed = 3000,
                                                     .txLogged = kRequest.size()},
                                           DrainCase{.name = "NeverDrains",
                                                     .drainMs = 60000,
                                                     .result = 5037,
                                                     .minElapsed = 900,
                                                     .maxElapsed = 5000,
                                                     .txLogged = 0}),
                         [](const ::testing::TestParamInfo<DrainCase>& row) {
                             return std::string(row.param.name);
                         });

TEST_F(SerialTransactionTest, AFailedDeviceEndsTheAttemptWithAPortError) {
    line.closeMaster();
    EXPECT_EQ(run(), 5040);
    EXPECT_EQ(ctx.engine.serialBusy.load(), 0);
    EXPECT_EQ(logged().back(), std::make_pair(5, errorBytes(5040)));
}

} // namespace
