#pragma once

// Windows Sockets error numbers that the TCP/IP error table is written in.
constexpr int kWsaWouldBlock = 10035;

// Translates a POSIX errno value from a socket call into the Windows Sockets error number of the
// same condition (EWOULDBLOCK and EINPROGRESS both give 10035, EPIPE gives 10054). A value with
// no counterpart is returned unchanged: every errno is below 10000, so it can never be taken for
// a known Windows Sockets number and reads as an unknown error.
int winsockErrorFromErrno(int error);
