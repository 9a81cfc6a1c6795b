#include "platform/message_queue.h"
#include "platform/window_messages.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

TEST(WindowRegistry, HandlesAreNeverReused) {
    WindowHandle old;
    {
        CMessageQueue first;
        old = first.handle();
        EXPECT_TRUE(isWindow(old));
    }
    EXPECT_FALSE(isWindow(old));
    CMessageQueue second;
    EXPECT_NE(second.handle(), old);
    EXPECT_FALSE(postMessage(old, WM_COMMS_RESULT, 1, 0));
    EXPECT_EQ(second.size(), 0);
    EXPECT_FALSE(isWindow(0));
    EXPECT_FALSE(postMessage(0, WM_COMMS_RESULT));
}

TEST(WindowRegistry, SendRunsOnCallerAndReturnsHandlerResult) {
    struct Doubler : IMessageTarget {
        void enqueueMessage(unsigned, WParam, LParam) override {}
        LParam handleMessage(unsigned, WParam wParam, LParam) override {
            return static_cast<LParam>(wParam * 2);
        }
    } target;
    const WindowHandle handle = registerWindow(&target);
    EXPECT_EQ(sendMessage(handle, WM_USER, 21), 42);
    unregisterWindow(handle);
    EXPECT_EQ(sendMessage(handle, WM_USER, 21), 0);
}

TEST(MessageQueue, WaitForPicksTheNamedMessageAndKeepsOthersInOrder) {
    CMessageQueue queue;
    postMessage(queue.handle(), WM_TX_ACTIVITY, 1);
    postMessage(queue.handle(), WM_COMMS_RESULT, 1, 5006);
    postMessage(queue.handle(), WM_RX_ACTIVITY, 2);
    const auto result = queue.waitFor(WM_COMMS_RESULT, 0);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->lParam, 5006);
    EXPECT_EQ(queue.count(WM_COMMS_RESULT), 0);
    EXPECT_EQ(queue.take(0)->message, WM_TX_ACTIVITY);
    EXPECT_EQ(queue.take(0)->message, WM_RX_ACTIVITY);
    EXPECT_FALSE(queue.take(20));
    EXPECT_FALSE(queue.waitFor(WM_COMMS_RESULT, 20));
}

TEST(MessageQueue, WaitForWakesOnMessageFromAnotherThread) {
    CMessageQueue queue;
    std::thread poster([handle = queue.handle()] { postMessage(handle, WM_COMMS_RESULT, 2, 7); });
    const auto result = queue.waitFor(WM_COMMS_RESULT, 10000);
    poster.join();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->wParam, 2u);
}

// A poster racing a window that unregisters and is destroyed must never reach the dead window.
TEST(WindowRegistry, PostingRacesWithDestructionSafely) {
    for (int round = 0; round < 50; ++round) {
        auto queue = std::make_unique<CMessageQueue>();
        const WindowHandle handle = queue->handle();
        std::atomic<bool> go{true};
        std::thread poster([&] {
            for (int i = 0; i < 2000 && go.load(); ++i)
                postMessage(handle, WM_RX_ACTIVITY, static_cast<WParam>(i));
        });
        queue.reset();
        go = false;
        poster.join();
        EXPECT_FALSE(postMessage(handle, WM_RX_ACTIVITY));
    }
}

TEST(WindowRegistry, WhileWindowLiveRunsOnlyForLiveWindowsAndMayPost) {
    auto queue = std::make_unique<CMessageQueue>();
    const WindowHandle handle = queue->handle();
    int ran = 0;
    EXPECT_TRUE(whileWindowLive(handle, [&] {
        ++ran;
        EXPECT_TRUE(postMessage(handle, WM_COMMS_RESULT, 1, 0));
    }));
    EXPECT_EQ(queue->count(WM_COMMS_RESULT), 1);
    queue.reset();
    EXPECT_FALSE(whileWindowLive(handle, [&] { ++ran; }));
    EXPECT_FALSE(whileWindowLive(0, [&] { ++ran; }));
    EXPECT_EQ(ran, 1);
}
