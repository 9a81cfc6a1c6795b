#include "tests/support/engine_probe.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/test_serial_support.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

const Bytes kCommand{'A', 'T', '\r'};

// The engine with its thread running over a serial line whose far end stays silent.
class EngineSerialJobs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(line.valid());
        h.context.message.serialLink = 1;
        h.context.message.tcpMode = 0;
        h.context.message.time1 = 100;
        h.context.message.time2 = 100;
        h.context.message.modemTimeout = 100;
        h.context.message.retries = 2;
    }
    void openPort() {
        h.context.serialPort.openDevice(line.slavePath(), 19200, Parity::None, 8, StopBits::One,
                                        FlowControl::None, true);
        ASSERT_TRUE(h.context.serialPort.isOpen());
        h.context.serialPort.setTimeouts({kReadIntervalImmediate, 0, 0, 0, 0});
    }

    CPtyPair line;
    CEngineHarness h{0};
};

} // namespace

TEST_F(EngineSerialJobs, ModemCommandPostsRetryingBeforeEachFurtherAttempt) {
    openPort();
    h.context.modemConnected = 1;
    h.context.modemIdleMs = 12345;
    CSubmitter submitter;
    ASSERT_EQ(submitter.submit(h.context.engine, kCommand, JobType::ModemCommand), 0);
    std::vector<std::pair<WParam, LParam>> seen;
    for (int i = 0; i < 3; ++i) {
        const auto m = submitter.result();
        ASSERT_TRUE(m);
        seen.emplace_back(m->wParam, m->lParam);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<WParam, LParam>>{{3, 5006}, {3, 5006}, {2, 5006}}));
    EXPECT_EQ(h.context.modemIdleMs.load(), 0);
    EXPECT_EQ(line.receive(9, 1000), (Bytes{'A', 'T', '\r', 'A', 'T', '\r', 'A', 'T', '\r'}));
}

// A port call that fails raises on the comms thread; the attempt gets a result code instead.
TEST_F(EngineSerialJobs, PortFailureBecomesUnknownPortError) {
    h.context.message.retries = 1;
    CSubmitter submitter;
    ASSERT_EQ(submitter.submit(h.context.engine, rtuFrame({1, 3, 0, 0, 0, 1})), 0);
    const auto result = submitter.result();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->wParam, 1u);
    EXPECT_EQ(result->lParam, 5040);
    EXPECT_EQ(h.loggedErrors(), (std::vector<int>{5040, 5040}));
    EXPECT_EQ(h.context.engine.serialBusy.load(), 0);
}

// Between two attempts no exchange runs, so an abort has only the flag to go by: the job must take
// no further attempt and the abort must still be acknowledged.
TEST_F(EngineSerialJobs, AbortBetweenAttemptsEndsTheJob) {
    openPort();
    h.context.message.removeEcho = 1; // the longer pause between attempts
    h.context.message.time1 = 1000;
    h.context.message.time2 = 50;
    const Bytes request = rtuFrame({1, 3, 0, 0, 0, 1});
    Bytes badCrc = rtuFrame({1, 3, 2, 0, 7});
    badCrc.back() ^= 0xFF;
    std::atomic<int> requests{0};
    std::thread unit([&] {
        for (int i = 0; i < 3 && line.receive(request.size(), 1500).size() == request.size(); ++i) {
            ++requests;
            line.send(badCrc);
        }
    });
    CSubmitter submitter;
    ASSERT_EQ(submitter.submit(h.context.engine, request), 0);
    // The first attempt has ended once its ERROR record is in the log; the pause follows.
    for (int i = 0; i < 3000 && h.loggedErrors().empty(); ++i)
        sleepMs(1);
    EXPECT_TRUE(h.context.engine.abortCurrentJob());
    const auto result = submitter.result(5000);
    unit.join();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->wParam, 1u);
    EXPECT_LT(requests.load(), 3);
    EXPECT_EQ(CCommsEngineProbe::aborted(h.context.engine).load(), 0);
}

TEST_F(EngineSerialJobs, StoppingClosesTheOpenPort) {
    openPort();
    EXPECT_TRUE(h.context.engine.stopThread(h.context));
    EXPECT_FALSE(h.context.serialPort.isOpen());
}
