#include "platform/serial_counters.h"

#include <cerrno>
#include <sys/ioctl.h>

#if defined(__linux__)
#include <linux/serial.h>
#endif

bool readLineErrorCounters(int fd, int (&counters)[kLineErrorCounterCount]) {
#if defined(__linux__) && defined(TIOCGICOUNT)
    serial_icounter_struct icount{};
    if (::ioctl(fd, TIOCGICOUNT, &icount) != 0)
        return false;
    counters[0] = icount.buf_overrun;
    counters[1] = icount.overrun;
    counters[2] = icount.parity;
    counters[3] = icount.frame;
    counters[4] = icount.brk;
    return true;
#else
    (void)fd;
    (void)counters;
    errno = ENOTTY;
    return false;
#endif
}
