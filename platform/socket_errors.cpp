#include "platform/socket_errors.h"

#include <cerrno>

int winsockErrorFromErrno(int error) {
    switch (error) {
    case EINPROGRESS:
        return kWsaWouldBlock;
    case EINTR:
        return 10004;
    case EACCES:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
        return 10024;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
    case EPIPE:
        return 10054;
    case ENOBUFS:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ESHUTDOWN:
        return 10058;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case EHOSTUNREACH:
        return 10065;
    default:
        break;
    }
    // EAGAIN and EWOULDBLOCK are the same value on Linux; kept out of the switch so that a
    // platform where they differ still maps both.
    if (error == EAGAIN || error == EWOULDBLOCK)
        return kWsaWouldBlock;
    return error;
}
