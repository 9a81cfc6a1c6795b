#include "platform/message_queue.h"

#include <algorithm>
#include <chrono>

CMessageQueue::CMessageQueue() {
    handle_ = registerWindow(this);
}

CMessageQueue::~CMessageQueue() {
    close();
}

void CMessageQueue::close() {
    if (handle_ != 0) {
        unregisterWindow(handle_);
        handle_ = 0;
    }
}

void CMessageQueue::enqueueMessage(unsigned message, WParam wParam, LParam lParam) {
    {
        std::lock_guard guard(lock_);
        queue_.push_back(QueuedMessage{message, wParam, lParam});
    }
    arrived_.notify_all();
}

LParam CMessageQueue::handleMessage(unsigned message, WParam wParam, LParam lParam) {
    enqueueMessage(message, wParam, lParam);
    return 0;
}

std::optional<QueuedMessage> CMessageQueue::take(int timeoutMs) {
    return takeMatching(true, 0, timeoutMs);
}

std::optional<QueuedMessage> CMessageQueue::waitFor(unsigned message, int timeoutMs) {
    return takeMatching(false, message, timeoutMs);
}

std::optional<QueuedMessage> CMessageQueue::takeMatching(bool any, unsigned message,
                                                         int timeoutMs) {
    std::unique_lock guard(lock_);
    std::optional<QueuedMessage> found;
    const auto ready = [&] {
        const auto it = std::find_if(queue_.begin(), queue_.end(), [&](const QueuedMessage& m) {
            return any || m.message == message;
        });
        if (it == queue_.end())
            return false;
        found = *it;
        queue_.erase(it);
        return true;
    };
    if (timeoutMs < 0)
        arrived_.wait(guard, ready);
    else
        arrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs), ready);
    return found;
}

std::vector<QueuedMessage> CMessageQueue::snapshot() const {
    std::lock_guard guard(lock_);
    return {queue_.begin(), queue_.end()};
}

int CMessageQueue::count(unsigned message) const {
    std::lock_guard guard(lock_);
    return static_cast<int>(
        std::count_if(queue_.begin(), queue_.end(),
                      [&](const QueuedMessage& m) { return m.message == message; }));
}

int CMessageQueue::size() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(queue_.size());
}

void CMessageQueue::clear() {
    std::lock_guard guard(lock_);
    queue_.clear();
}
