#pragma once

#include <cstdint>
#include <ctime>

// Milliseconds from a monotonic clock; only differences are meaningful.
std::uint32_t tickCount();
// Current UTC time: seconds since 1970 and the millisecond part (0-999) of the same reading.
struct UtcTime {
    std::int64_t seconds;
    std::uint16_t milliseconds;
};
UtcTime utcNow();
// Sleeps for the given milliseconds (0 yields).
void sleepMs(int milliseconds);
