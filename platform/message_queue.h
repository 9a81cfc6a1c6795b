#pragma once

#include "platform/window_messages.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

struct QueuedMessage {
    unsigned message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
};

// A window that keeps the messages it receives in a queue, for a thread without a window loop to
// wait on. Registered from construction to destruction. Sent messages are queued like posted
// ones and answered with 0.
class CMessageQueue final : public IMessageTarget {
public:
    CMessageQueue();
    ~CMessageQueue() override;
    CMessageQueue(const CMessageQueue&) = delete;
    CMessageQueue& operator=(const CMessageQueue&) = delete;

    WindowHandle handle() const { return handle_; }
    // Stops receiving: unregisters the window (queued messages stay). Idempotent.
    void close();

    // Removes and returns the oldest message, waiting up to timeoutMs (-1: no limit); nothing
    // when none arrives in time.
    std::optional<QueuedMessage> take(int timeoutMs);
    // Removes and returns the oldest message with the given number, waiting up to timeoutMs for
    // one to arrive; other messages stay queued in order. Nothing when none arrives in time.
    std::optional<QueuedMessage> waitFor(unsigned message, int timeoutMs);
    // The queued messages, oldest first, without removing them.
    std::vector<QueuedMessage> snapshot() const;
    // Number of queued messages with the given number.
    int count(unsigned message) const;
    int size() const;
    void clear();

    void enqueueMessage(unsigned message, WParam wParam, LParam lParam) override;
    LParam handleMessage(unsigned message, WParam wParam, LParam lParam) override;

private:
    std::optional<QueuedMessage> takeMatching(bool any, unsigned message, int timeoutMs);

    mutable std::mutex lock_;
    std::condition_variable arrived_;
    std::deque<QueuedMessage> queue_;
    WindowHandle handle_ = 0;
};
