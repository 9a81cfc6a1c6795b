#include "platform/events.h"

#include "platform/clock.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

CEvent::CEvent() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

CEvent::~CEvent() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool CEvent::valid() const {
    return fd_ >= 0;
}

void CEvent::set() {
    if (fd_ < 0)
        return;
    const std::uint64_t one = 1;
    // The counter only overflows after 2^64 - 2 unconsumed signals, so a failed write (EAGAIN)
    // still leaves the event signalled.
    while (::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void CEvent::reset() {
    tryWait();
}

bool CEvent::tryWait() {
    if (fd_ < 0)
        return false;
    std::uint64_t value = 0;
    for (;;) {
        if (::read(fd_, &value, sizeof value) == static_cast<ssize_t>(sizeof value))
            return true;
        if (errno != EINTR)
            return false;
    }
}

bool CEvent::wait(int timeoutMs) {
    return waitForAny({WaitItem{this, -1}}, timeoutMs) == 0;
}

namespace {

// Milliseconds left until `deadline` (a tickCount value), never negative.
int remainingMs(std::uint32_t deadline) {
    const auto left = static_cast<std::int32_t>(deadline - tickCount());
    return left > 0 ? left : 0;
}

// No item was taken in a round of polling (a value none of the results takes).
constexpr int kNoneTaken = -3;

// The descriptors to poll for `items`; false when one of them has none.
bool pollSetOf(const WaitItem* items, int count, std::vector<pollfd>& fds) {
    fds.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const WaitItem& item = items[i];
        const int fd = item.event != nullptr ? item.event->fd() : item.fd;
        if (fd < 0)
            return false;
        fds[static_cast<std::size_t>(i)] = pollfd{fd, POLLIN, 0};
    }
    return true;
}

// The first item that poll found ready and whose signal is still there to take, kWaitFailed
// when a descriptor has become invalid, or kNoneTaken.
int takeReady(const WaitItem* items, const std::vector<pollfd>& fds) {
    for (std::size_t i = 0; i < fds.size(); ++i) {
        const short revents = fds[i].revents;
        if (revents & POLLNVAL)
            return kWaitFailed;
        if ((revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue;
        // Another consumer may have taken the signal between poll and read; then keep looking,
        // and wait again if nothing else is ready.
        if (items[i].event == nullptr || items[i].event->tryWait())
            return static_cast<int>(i);
    }
    return kNoneTaken;
}

} // namespace

int waitForAny(std::initializer_list<WaitItem> items, int timeoutMs) {
    return waitForAny(items.begin(), static_cast<int>(items.size()), timeoutMs);
}

int waitForAny(const WaitItem* items, int count, int timeoutMs) {
    std::vector<pollfd> fds;
    if (items == nullptr || count <= 0 || !pollSetOf(items, count, fds))
        return kWaitFailed;
    const std::uint32_t deadline = tickCount() + static_cast<std::uint32_t>(timeoutMs);
    for (;;) {
        const int wait = timeoutMs < 0 ? -1 : remainingMs(deadline);
        for (auto& p : fds)
            p.revents = 0;
        const int ready = ::poll(fds.data(), fds.size(), wait);
        if (ready < 0 && errno != EINTR)
            return kWaitFailed;
        if (ready > 0) {
            if (const int taken = takeReady(items, fds); taken != kNoneTaken)
                return taken;
        }
        if (timeoutMs >= 0 && remainingMs(deadline) == 0)
            return kWaitTimeout;
    }
}
