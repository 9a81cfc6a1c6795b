#include "tests/support/engine_probe.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/row_names.h"

#include <gtest/gtest.h>
#include <string>

namespace {

const Bytes kReadHolding = tcpRequest(1, 3, {0, 0, 0, 2});

// Answers every request with two holding registers.
void answerReads(CUnitLink& link) {
    link.answerEach([](const Bytes& r) { return tcpAnswer(r, {3, 4, 0, 7, 0, 10}); });
}

} // namespace

struct QueueCase {
    const char* name;
    std::uint16_t length = 8;
    bool nullRequest = false;
    bool nullResponse = false;
    int expected = 5016;
};

using vantrel_test::PrintTo;

class QueueJobArguments : public ::testing::TestWithParam<QueueCase> {};

TEST_P(QueueJobArguments, AreCheckedBeforeTheJobIsQueued) {
    const QueueCase& c = GetParam();
    CCommsEngine engine;
    CMessageQueue window;
    std::uint8_t request[641] = {1};
    std::uint8_t response[640];
    std::uint16_t responseLength = 0;
    EXPECT_EQ(engine.queueJob(JobType::ModbusRequest, c.nullRequest ? nullptr : request, &c.length,
                              c.nullResponse ? nullptr : response, &responseLength,
                              window.handle()),
              c.expected);
    EXPECT_EQ(CCommsEngineProbe::queuedJobs(engine), c.expected == 0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, QueueJobArguments,
    ::testing::Values(QueueCase{.name = "Largest", .length = 640, .expected = 0},
                      QueueCase{.name = "Smallest", .length = 1, .expected = 0},
                      QueueCase{.name = "TooLong", .length = 641},
                      QueueCase{.name = "Empty", .length = 0},
                      QueueCase{.name = "NoRequest", .nullRequest = true},
                      QueueCase{.name = "NoResponseBuffer", .nullResponse = true}),
    [](const ::testing::TestParamInfo<QueueCase>& row) { return std::string(row.param.name); });

TEST(CommsEngine, QueueJobRefusesEveryJobWhileTheThreadEnds) {
    CCommsEngine engine;
    CMessageQueue window;
    std::uint8_t request[8] = {1};
    std::uint8_t response[640];
    std::uint16_t responseLength = 0;
    CCommsEngineProbe::stopping(engine) = 1;
    const std::uint16_t length = 8;
    EXPECT_EQ(engine.queueJob(JobType::ModbusRequest, request, &length, response, &responseLength,
                              window.handle()),
              1);
    EXPECT_EQ(CCommsEngineProbe::queuedJobs(engine), 0u);
}

TEST(CommsEngine, ServesModbusTcpReadAndLogsTheExchange) {
    CFakeUnit unit(answerReads);
    CEngineHarness h;
    CSubmitter submitter;
    const auto result = h.exchange(unit.port(), submitter, kReadHolding);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->wParam, 1u);
    EXPECT_EQ(result->lParam, 0);
    EXPECT_EQ(submitter.received(), tcpAnswer(kReadHolding, {3, 4, 0, 7, 0, 10}));
    EXPECT_EQ(h.logTypes(), (std::vector<int>{2, 3}));
    const auto tx = h.mainWindow.waitFor(WM_TX_ACTIVITY, 1000);
    ASSERT_TRUE(tx);
    EXPECT_EQ(tx->wParam, kReadHolding.size());
    EXPECT_TRUE(h.mainWindow.waitFor(WM_RX_ACTIVITY, 1000));

    // Once the link is gone a job gets 5534 and nothing of the answer before it.
    h.context.socket.disconnect();
    CSubmitter later;
    ASSERT_EQ(later.submit(h.context.engine, kReadHolding), 0);
    const auto refused = later.result();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->lParam, 5534);
    EXPECT_EQ(later.responseLength, 0);
}

// Faults of the unit, each a single job with retries 2 and a short time-out.
struct FaultCase {
    const char* name;
    int tcpMode;
    Bytes request;
    CFakeUnit::Script script;
    int expectedResult;
    int expectedRequests;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class UnitFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(UnitFault, GivesItsResultAfterItsAttempts) {
    const FaultCase& c = GetParam();
    CFakeUnit unit(c.script);
    CEngineHarness h(c.tcpMode);
    h.context.message.retries = 2;
    h.context.message.time2 = 300;
    CSubmitter submitter;
    const auto result = h.exchange(unit.port(), submitter, c.request);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->lParam, c.expectedResult);
    EXPECT_FALSE(submitter.result(100)) << "one result per job";
    h.finish();
    EXPECT_EQ(unit.requests(), c.expectedRequests);
}

const Bytes kRtuRead = rtuFrame({1, 3, 0, 0, 0, 1});

Bytes badCrcFrame() {
    Bytes bad = rtuFrame({1, 3, 2, 0, 5});
    bad.back() ^= 0xFF;
    return bad;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UnitFault,
    ::testing::Values(FaultCase{.name = "NoAnswer",
                                .tcpMode = 1,
                                .request = kReadHolding,
                                .script =
                                    [](CUnitLink& link) {
                                        while (!link.readRequest().empty()) {
                                        }
                                    },
                                .expectedResult = 5006,
                                .expectedRequests = 3},
                      FaultCase{.name = "Garbage",
                                .tcpMode = 1,
                                .request = kReadHolding,
                                .script =
                                    [](CUnitLink& link) {
                                        link.answerEach([](const Bytes&) {
                                            return Bytes{9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
                                        });
                                    },
                                .expectedResult = 5007,
                                .expectedRequests = 3},
                      FaultCase{.name = "BadCrcThenAGoodFrame",
                                .tcpMode = 0,
                                .request = kRtuRead,
                                .script =
                                    [](CUnitLink& link) {
                                        if (!link.readRequest().empty())
                                            link.send(badCrcFrame());
                                        if (!link.readRequest().empty())
                                            link.send(rtuFrame({1, 3, 2, 0, 5}));
                                        link.linger(5000);
                                    },
                                .expectedResult = 0,
                                .expectedRequests = 2},
                      FaultCase{.name = "ExceptionOnTheFirstAttempt",
                                .tcpMode = 1,
                                .request = kReadHolding,
                                .script =
                                    [](CUnitLink& link) {
                                        link.answerEach([](const Bytes& r) {
                                            return tcpAnswer(r, {0x83, 2});
                                        });
                                    },
                                .expectedResult = 5010,
                                .expectedRequests = 1},
                      FaultCase{.name = "ClosedMidResponse",
                                .tcpMode = 1,
                                .request = kReadHolding,
                                .script =
                                    [](CUnitLink& link) {
                                        const Bytes r = link.readRequest();
                                        if (!r.empty())
                                            link.send(Bytes(r.begin(), r.begin() + 5));
                                        link.close();
                                    },
                                .expectedResult = 5534,
                                .expectedRequests = 1},
                      FaultCase{.name = "SixHundredFortyBytesWithoutAFrame",
                                .tcpMode = 0,
                                .request = kRtuRead,
                                .script =
                                    [](CUnitLink& link) {
                                        link.answerEach(
                                            [](const Bytes&) { return Bytes(700, 0x55); });
                                    },
                                .expectedResult = 5003,
                                .expectedRequests = 3}),
    [](const ::testing::TestParamInfo<FaultCase>& row) { return std::string(row.param.name); });

TEST(CommsEngine, JobWithoutConnectionGets5534AtEveryAttempt) {
    CEngineHarness h;
    h.context.message.retries = 2;
    CSubmitter submitter;
    ASSERT_EQ(submitter.submit(h.context.engine, kReadHolding), 0);
    const auto result = submitter.result();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->lParam, 5534);
    EXPECT_EQ(submitter.responseLength, 0);
    EXPECT_TRUE(h.logTypes().empty()) << "no exchange ran";
}

TEST(CommsEngine, BroadcastReturnsWithoutWaiting) {
    CFakeUnit unit([](CUnitLink& link) {
        link.readRequest();
        link.linger(5000);
    });
    CEngineHarness h;
    h.context.message.time2 = 5000;
    ASSERT_TRUE(h.connect(unit.port()));
    CSubmitter submitter;
    const std::uint32_t start = tickCount();
    ASSERT_EQ(submitter.submit(h.context.engine, tcpRequest(0, 6, {0, 1, 0, 2})), 0);
    const auto result = submitter.result();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->lParam, 0);
    EXPECT_LT(tickCount() - start, 4000u);
    ASSERT_EQ(h.logTypes(), (std::vector<int>{2, 3}));
    EXPECT_EQ(h.context.engine.logRecords.record(1)->size, 6) << "RX holds the header's 6 bytes";
}

TEST(CommsEngine, StaleInputIsFlushedAndLoggedBeforeTheRequest) {
    CFakeUnit unit([](CUnitLink& link) {
        link.send({0xDE, 0xAD});
        answerReads(link);
    });
    CEngineHarness h;
    ASSERT_TRUE(h.connect(unit.port()));
    sleepMs(50);
    CSubmitter submitter;
    ASSERT_EQ(submitter.submit(h.context.engine, kReadHolding), 0);
    const auto result = submitter.result();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->lParam, 0);
    EXPECT_EQ(submitter.received(), tcpAnswer(kReadHolding, {3, 4, 0, 7, 0, 10}));
    ASSERT_EQ(h.logTypes(), (std::vector<int>{7, 2, 3}));
    EXPECT_EQ(h.context.engine.logRecords.record(0)->size, 2);
}

class AbortDuringTheWait : public ::testing::TestWithParam<int> {};

TEST_P(AbortDuringTheWait, EndsTheJobWithoutRetry) {
    const int logComms = GetParam();
    CFakeUnit unit([](CUnitLink& link) {
        while (!link.readRequest().empty()) {
        }
    });
    CEngineHarness h;
    h.context.logComms = logComms;
    h.context.message.retries = 2;
    h.context.message.time2 = 8000;
    ASSERT_TRUE(h.connect(unit.port()));
    CSubmitter submitter;
    ASSERT_EQ(submitter.submit(h.context.engine, kReadHolding), 0);
    // The request has reached the unit: the exchange waits for the answer.
    for (int i = 0; i < 500 && unit.requests() == 0; ++i)
        sleepMs(5);
    const std::uint32_t start = tickCount();
    EXPECT_TRUE(h.context.engine.abortCurrentJob());
    const auto result = submitter.result(5000);
    ASSERT_TRUE(result);
    EXPECT_LT(tickCount() - start, 5000u);
    EXPECT_EQ(result->lParam, 0);
    EXPECT_EQ(h.loggedErrors(), logComms ? std::vector<int>{5001} : std::vector<int>{});
    h.context.socket.disconnect();
    h.context.engine.stopThread(h.context);
    EXPECT_EQ(unit.requests(), 1);
}

INSTANTIATE_TEST_SUITE_P(Logging, AbortDuringTheWait, ::testing::Values(1, 0),
                         [](const ::testing::TestParamInfo<int>& row) {
                             return std::string(row.param ? "LogOn" : "LogOff");
                         });

TEST(CommsEngine, IdleHandshakesCompleteWithinAnIdlePeriod) {
    CEngineHarness h;
    ASSERT_TRUE(h.started);
    EXPECT_TRUE(h.context.engine.cancelJobs(12345));
    EXPECT_TRUE(h.context.engine.abortCurrentJob());
    EXPECT_EQ(CCommsEngineProbe::aborted(h.context.engine).load(), 0);
}

// A unit that holds its first answer for a while keeps the thread busy so that the other jobs
// are still queued when the test acts on them.
class CSlowFirstAnswer {
public:
    CEvent release; // declared first: the unit's thread waits on it until the unit is gone
    CFakeUnit unit{[this](CUnitLink& link) {
        bool first = true;
        for (Bytes r = link.readRequest(); !r.empty(); r = link.readRequest()) {
            if (first)
                release.wait(5000);
            first = false;
            link.send(tcpAnswer(r, {3, 4, 0, 7, 0, 10}));
        }
    }};
};

TEST(CommsEngine, DroppingOneWindowsJobsLeavesTheOthers) {
    CSlowFirstAnswer slow;
    CEngineHarness h;
    ASSERT_TRUE(h.connect(slow.unit.port()));
    CSubmitter keep;
    CSubmitter drop;
    CSubmitter keepLater;
    ASSERT_EQ(keep.submit(h.context.engine, kReadHolding), 0);
    for (int i = 0; i < 500 && h.context.engine.tcpBusy.load() == 0; ++i)
        sleepMs(5);
    ASSERT_EQ(drop.submit(h.context.engine, kReadHolding), 0);
    ASSERT_EQ(keepLater.submit(h.context.engine, kReadHolding), 0);
    std::thread releaser([&] {
        sleepMs(100);
        slow.release.set();
    });
    EXPECT_TRUE(h.context.engine.cancelJobs(drop.window->handle()));
    releaser.join();
    EXPECT_TRUE(keep.result());
    const auto later = keepLater.result();
    ASSERT_TRUE(later);
    EXPECT_EQ(later->lParam, 0);
    EXPECT_FALSE(drop.result(50));
    EXPECT_TRUE(drop.responseUntouched());
    h.context.socket.disconnect();
    h.context.engine.stopThread(h.context);
    EXPECT_EQ(slow.unit.requests(), 2);
}

TEST(CommsEngine, DestroyedWindowsJobIsDiscardedWithoutExchange) {
    CSlowFirstAnswer slow;
    CEngineHarness h;
    ASSERT_TRUE(h.connect(slow.unit.port()));
    CSubmitter first;
    auto gone = std::make_unique<CSubmitter>();
    ASSERT_EQ(first.submit(h.context.engine, kReadHolding), 0);
    for (int i = 0; i < 500 && h.context.engine.tcpBusy.load() == 0; ++i)
        sleepMs(5);
    ASSERT_EQ(gone->submit(h.context.engine, kReadHolding), 0);
    // The window goes first; its buffers stay readable so the test can see they were not written.
    gone->window.reset();
    slow.release.set();
    EXPECT_TRUE(first.result());
    const auto queued = [&] { return CCommsEngineProbe::queuedJobs(h.context.engine); };
    for (int i = 0; i < 500 && queued() != 0; ++i)
        sleepMs(5);
    EXPECT_TRUE(gone->responseUntouched());
    h.context.socket.disconnect();
    h.context.engine.stopThread(h.context);
    EXPECT_EQ(slow.unit.requests(), 1);
}

TEST(CommsEngine, StoppingWithJobsQueuedFreesThemAndPostsNothing) {
    CSlowFirstAnswer slow;
    CEngineHarness h;
    h.context.message.time2 = 8000;
    ASSERT_TRUE(h.connect(slow.unit.port()));
    CSubmitter submitter;
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(submitter.submit(h.context.engine, kReadHolding), 0);
    for (int i = 0; i < 500 && h.context.engine.tcpBusy.load() == 0; ++i)
        sleepMs(5);
    const std::uint32_t start = tickCount();
    EXPECT_TRUE(h.context.engine.stopThread(h.context));
    EXPECT_LT(tickCount() - start, 5000u) << "the exchange ends at the stop, not at its time-out";
    slow.release.set();
    EXPECT_FALSE(submitter.result(100));
    EXPECT_EQ(CCommsEngineProbe::queuedJobs(h.context.engine), 0u);
    EXPECT_EQ(h.context.commsThreadRunning.load(), 0);
    EXPECT_FALSE(h.context.socket.isOpen());
    EXPECT_EQ(h.context.socket.connected.load(), 0);
    EXPECT_EQ(submitter.submit(h.context.engine, kReadHolding), 1);
}

// A unit that never stops sending keeps the stale-input flush busy; the stop still ends it.
TEST(CommsEngine, StopEndsAFlushThatNeverRunsDry) {
    // Sent without pauses until the engine's end closes: the socket always has bytes waiting,
    // where a pause as long as the flush's dry time on a loaded machine would end it early.
    CFakeUnit unit([](CUnitLink& link) {
        const Bytes chunk(65536, 0x11);
        const std::uint32_t start = tickCount();
        while (tickCount() - start < 20000 && link.send(chunk)) {
        }
    });
    CEngineHarness h;
    h.context.logComms = 0;
    ASSERT_TRUE(h.connect(unit.port()));
    CSubmitter submitter;
    ASSERT_EQ(submitter.submit(h.context.engine, kReadHolding), 0);
    for (int i = 0; i < 500 && h.context.engine.tcpBusy.load() == 0; ++i)
        sleepMs(5);
    sleepMs(100);
    EXPECT_TRUE(h.context.engine.stopThread(h.context));
    EXPECT_FALSE(submitter.result(100));
}
