#include "platform/clock.h"
#include "platform/events.h"

#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

TEST(Events, AutoResetConsumesOneSignalForManySets) {
    CEvent event;
    ASSERT_TRUE(event.valid());
    EXPECT_FALSE(event.tryWait());
    event.set();
    event.set();
    EXPECT_TRUE(event.wait(0));
    EXPECT_FALSE(event.tryWait()) << "two sets before a wait are one signal";
    event.set();
    event.reset();
    EXPECT_FALSE(event.wait(0));
}

TEST(Events, WaitTimesOutAfterRoughlyTheLimit) {
    CEvent event;
    const std::uint32_t start = tickCount();
    EXPECT_FALSE(event.wait(30));
    const std::uint32_t elapsed = tickCount() - start;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(Events, WaitWakesOnSetFromAnotherThread) {
    CEvent event;
    std::thread setter([&] {
        sleepMs(20);
        event.set();
    });
    EXPECT_TRUE(event.wait(10000));
    setter.join();
}

TEST(Events, WaitForAnyReturnsLowestReadyIndexAndConsumesOnlyIt) {
    CEvent first;
    CEvent second;
    CEvent third;
    second.set();
    third.set();
    EXPECT_EQ(waitForAny({{&first}, {&second}, {&third}}, 0), 1);
    EXPECT_FALSE(second.tryWait());
    EXPECT_TRUE(third.tryWait()) << "an event that did not win keeps its signal";
    EXPECT_EQ(waitForAny({{&first}, {&second}, {&third}}, 10), kWaitTimeout);
}

TEST(Events, WaitForAnyOnPlainDescriptorLeavesDataInPlace) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    CEvent event;
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    WaitItem items[] = {{&event, -1}, {nullptr, fds[0]}};
    EXPECT_EQ(waitForAny(items, 2, 1000), 1);
    EXPECT_EQ(waitForAny(items, 2, 0), 1) << "a readable descriptor is not consumed";
    close(fds[1]);
    close(fds[0]);
}

TEST(Events, WaitForAnyFailsOnInvalidItems) {
    EXPECT_EQ(waitForAny({{nullptr, -1}}, 0), kWaitFailed);
    EXPECT_EQ(waitForAny(nullptr, 0, 0), kWaitFailed);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    close(fds[1]);
    EXPECT_EQ(waitForAny({{nullptr, fds[0]}}, 0), kWaitFailed);
}

TEST(Clock, TicksAdvanceAndUtcHasMilliseconds) {
    const std::uint32_t start = tickCount();
    sleepMs(15);
    EXPECT_GE(tickCount() - start, 14u);
    const UtcTime now = utcNow();
    EXPECT_LT(now.milliseconds, 1000);
    EXPECT_GT(now.seconds, 1600000000);
}
