#include "platform/clock.h"

#include <sched.h>
#include <time.h>

std::uint32_t tickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

UtcTime utcNow() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return UtcTime{static_cast<std::int64_t>(ts.tv_sec),
                   static_cast<std::uint16_t>(ts.tv_nsec / 1000000)};
}

void sleepMs(int milliseconds) {
    if (milliseconds <= 0) {
        sched_yield();
        return;
    }
    timespec request{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    timespec remaining{};
    while (nanosleep(&request, &remaining) != 0)
        request = remaining;
}
