#pragma once

#include <initializer_list>

// An auto-reset event on an eventfd: set() signals it, a successful wait consumes the signal.
class CEvent {
public:
    CEvent();
    ~CEvent();
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    // False when the eventfd could not be created.
    bool valid() const;
    void set();
    // Clears a pending signal without waiting.
    void reset();
    // Consumes a pending signal; returns whether there was one.
    bool tryWait();
    // Waits up to timeoutMs (-1: no limit) and consumes the signal; returns whether it came.
    bool wait(int timeoutMs);
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

// One thing a wait can wake on: an auto-reset event (its signal is consumed when the wait returns
// its index) or a plain descriptor that is readable (nothing is consumed).
struct WaitItem {
    CEvent* event = nullptr; // when set, `fd` is ignored
    int fd = -1;
};

constexpr int kWaitTimeout = -1;
constexpr int kWaitFailed = -2;

// Waits until one of the items is signalled or readable, or timeoutMs passes (-1: no limit).
// Returns the index of the first ready item (lowest index wins when several are ready),
// kWaitTimeout, or kWaitFailed when poll() fails or an item is invalid.
int waitForAny(std::initializer_list<WaitItem> items, int timeoutMs);
int waitForAny(const WaitItem* items, int count, int timeoutMs);
