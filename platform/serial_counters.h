#pragma once

// The line-error counters a serial driver keeps, in this order: receive buffer overruns, UART
// overruns, parity errors, framing errors, breaks.
constexpr int kLineErrorCounterCount = 5;

// Reads the counters of the serial device `fd` into `counters`. Returns false with errno set
// when the device cannot report them (a pseudo-terminal answers ENOTTY).
bool readLineErrorCounters(int fd, int (&counters)[kLineErrorCounterCount]);
