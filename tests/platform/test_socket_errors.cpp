#include "platform/socket_errors.h"

#include <cerrno>
#include <gtest/gtest.h>

TEST(SocketErrors, ErrnoTranslatesToWindowsSocketsNumbers) {
    const struct {
        int error;
        int expected;
    } cases[] = {
        {EWOULDBLOCK, 10035},  {EAGAIN, 10035},       {EINPROGRESS, 10035},
        {EINTR, 10004},        {EACCES, 10013},       {EFAULT, 10014},
        {EINVAL, 10022},       {EMFILE, 10024},       {EALREADY, 10037},
        {ENOTSOCK, 10038},     {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
        {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},
        {ENETDOWN, 10050},     {ENETUNREACH, 10051},  {ENETRESET, 10052},
        {ECONNABORTED, 10053}, {ECONNRESET, 10054},   {EPIPE, 10054},
        {ENOBUFS, 10055},      {EISCONN, 10056},      {ENOTCONN, 10057},
        {ESHUTDOWN, 10058},    {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},
        {EHOSTUNREACH, 10065}, {ENOMEM, ENOMEM},      {0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(winsockErrorFromErrno(c.error), c.expected) << "errno " << c.error;
}
