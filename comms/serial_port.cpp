#include "comms/serial_port.h"

#include "comms/port_map.h"
#include "platform/clock.h"
#include "platform/serial_counters.h"
#include "platform/system_errors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

bool speedFor(std::uint32_t baud, speed_t& speed) {
    struct Entry {
        std::uint32_t baud;
        speed_t speed;
    };
    static constexpr Entry table[] = {
        {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
        {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
        {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const auto& e : table) {
        if (e.baud == baud) {
            speed = e.speed;
            return true;
        }
    }
    return false;
}

// The device has no modem-control lines or error counters (a pseudo-terminal, for one).
bool notSupported(int error) {
    return error == ENOTTY || error == EINVAL || error == ENOSYS;
}

std::uint32_t elapsedSince(std::uint32_t start) {
    return tickCount() - start;
}

// Sets the character size; false for a size the line cannot carry.
bool applyDataBits(termios& tty, int dataBits) {
    static constexpr struct {
        int bits;
        tcflag_t size;
    } kSizes[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};
    tty.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    for (const auto& entry : kSizes) {
        if (entry.bits == dataBits) {
            tty.c_cflag |= entry.size;
            return true;
        }
    }
    return false;
}

// Sets the parity generation and check; false for an unknown parity code.
bool applyParity(termios& tty, int parity) {
    tty.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    switch (parity) {
    case Parity::Even:
        tty.c_cflag |= PARENB;
        return true;
    case Parity::Odd:
        tty.c_cflag |= PARENB | PARODD;
        return true;
    case Parity::None:
        return true;
    case Parity::Mark:
        tty.c_cflag |= PARENB | CMSPAR | PARODD;
        return true;
    case Parity::Space:
        tty.c_cflag |= PARENB | CMSPAR;
        return true;
    default:
        return false;
    }
}

void disableXonXoff(SerialSettings& req) {
    req.tty.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
    req.outX = req.inX = false;
}

// Sets the flow control in `req` and its terminal settings. The DTR handshake and DSR output
// flow have no termios counterpart: they are recorded in the settings and the nearest hardware
// flow control is applied. An unknown code keeps the device's own flow control.
void applyFlowControl(int flowControl, SerialSettings& req) {
    termios& tty = req.tty;
    switch (flowControl) {
    case FlowControl::None:
        tty.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        disableXonXoff(req);
        req.dtrControl = LineControl::Disable;
        req.rtsControl = LineControl::Disable;
        break;
    case FlowControl::CtsRts:
    case FlowControl::CtsDtr:
        tty.c_cflag |= CRTSCTS;
        req.outxCtsFlow = true;
        disableXonXoff(req);
        (flowControl == FlowControl::CtsRts ? req.rtsControl : req.dtrControl) =
            LineControl::Handshake;
        break;
    case FlowControl::DsrRts:
    case FlowControl::DsrDtr:
        tty.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        req.outxDsrFlow = true;
        disableXonXoff(req);
        (flowControl == FlowControl::DsrRts ? req.rtsControl : req.dtrControl) =
            LineControl::Handshake;
        break;
    case FlowControl::XonXoff:
        tty.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        tty.c_iflag |= IXON | IXOFF;
        tty.c_cc[VSTART] = 0x11;
        tty.c_cc[VSTOP] = 0x13;
        req.outX = req.inX = true;
        req.xonChar = 0x11;
        req.xoffChar = 0x13;
        req.xonLimit = 100;
        req.xoffLimit = 100;
        break;
    default:
        req.outxCtsFlow = (tty.c_cflag & CRTSCTS) != 0;
        req.outX = (tty.c_iflag & IXON) != 0;
        req.inX = (tty.c_iflag & IXOFF) != 0;
        break;
    }
}

// Milliseconds left of an operation's total time-out, or -1 when it has none.
int remainingMs(const SerialOverlapped& op) {
    if (op.limitMs < 0)
        return -1;
    return static_cast<int>(std::max<std::int64_t>(0, op.limitMs - elapsedSince(op.startTick)));
}

// Waits up to `timeoutMs` for the device to take bytes (`reading` false) or give some. Raises
// CSerialException when the device fails or the other end went away, since a further read or
// write would only repeat the failure.
void waitForDevice(int fd, bool reading, int timeoutMs) {
    pollfd p{fd, static_cast<short>(reading ? POLLIN : POLLOUT), 0};
    const int rc = ::poll(&p, 1, timeoutMs);
    if (rc < 0 && errno != EINTR)
        throwSerialException();
    if (rc <= 0)
        return;
    if (p.revents & (POLLERR | POLLNVAL))
        throwSerialException(EIO);
    if ((p.revents & POLLHUP) && !(p.revents & (POLLIN | POLLOUT)))
        throwSerialException(EIO);
}

} // namespace

CSerialException::CSerialException(std::uint32_t code)
    : errorCode(code != 0 ? code : static_cast<std::uint32_t>(errno)) {}

bool CSerialException::getErrorMessage(char* buffer, std::size_t bufferSize) const {
    if (!buffer || bufferSize == 0)
        return false;
    buffer[0] = '\0';
    const std::string text = message();
    if (text.empty())
        return false;
    const std::size_t n = std::min(text.size(), bufferSize - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return true;
}

std::string CSerialException::message() const {
    return systemErrorText(static_cast<int>(errorCode));
}

void throwSerialException(std::uint32_t code) {
    throw CSerialException(code);
}

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() {
    try {
        close();
    } catch (const CSerialException&) {
        // The device is closed all the same; a destructor has nobody to report to.
    }
}

void CSerialPort::requireOpen() const {
    if (fd_ < 0)
        throwSerialException(EBADF);
}

void CSerialPort::open(int portNumber, std::uint32_t baudRate, int parity, int dataBits,
                       int stopBits, int flowControl, bool overlapped) {
    close();
    const std::string path = resolveComPort(portNumber);
    if (path.empty())
        return;
    openDevice(path, baudRate, parity, dataBits, stopBits, flowControl, overlapped);
}

void CSerialPort::openDevice(const std::string& path, std::uint32_t baudRate, int parity,
                             int dataBits, int stopBits, int flowControl, bool overlapped) {
    close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    // Not shared: a second opener (this program or another that locks) is refused.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !::isatty(fd)) {
        ::close(fd);
        return;
    }
    ::ioctl(fd, TIOCEXCL);

    auto fail = [fd](int error) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        throwSerialException(static_cast<std::uint32_t>(error));
    };

    termios saved{};
    if (::tcgetattr(fd, &saved) != 0)
        fail(errno);
    int lines = 0;
    const bool linesValid = ::ioctl(fd, TIOCMGET, &lines) == 0;

    SerialSettings req;
    req.baudRate = baudRate;
    req.dataBits = dataBits;
    req.parity = parity;
    req.stopBits = stopBits;
    req.dtrControl =
        !linesValid || (lines & TIOCM_DTR) ? LineControl::Enable : LineControl::Disable;
    req.rtsControl =
        !linesValid || (lines & TIOCM_RTS) ? LineControl::Enable : LineControl::Disable;
    termios& tty = req.tty;
    tty = saved;

    // Serial lines are always binary here: no line editing, translation or signals.
    tty.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXANY | INPCK);
    tty.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tty.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tty.c_cflag |= CLOCAL | CREAD;
    // With VMIN 1 a non-blocking read of an empty queue fails with EAGAIN, so that a read of 0
    // bytes can only mean the line hung up.
    tty.c_cc[VMIN] = 1;
    tty.c_cc[VTIME] = 0;

    speed_t speed{};
    if (!speedFor(baudRate, speed))
        fail(EINVAL);
    ::cfsetispeed(&tty, speed);
    ::cfsetospeed(&tty, speed);

    if (!applyDataBits(tty, dataBits) || !applyParity(tty, parity))
        fail(EINVAL);
    if (tty.c_cflag & PARENB)
        tty.c_iflag |= INPCK;

    // One and a half stop bits do not exist here; two is the nearest a receiver accepts.
    if (stopBits == StopBits::One)
        tty.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    else if (stopBits == StopBits::OneAndHalf || stopBits == StopBits::Two)
        tty.c_cflag |= CSTOPB;

    req.dsrSensitivity = false;
    applyFlowControl(flowControl, req);

    // A device may keep settings it cannot carry (a pseudo-terminal keeps 8 data bits and no
    // parity); that is not a failure, so the result is not read back.
    if (::tcsetattr(fd, TCSANOW, &tty) != 0)
        fail(errno);

    fd_ = fd;
    path_ = path;
    overlappedMode_ = overlapped;
    savedTty_ = saved;
    savedLines_ = lines;
    savedLinesValid_ = linesValid;
    requested_ = req;
    modemLines_ = linesValid ? (lines & (TIOCM_DTR | TIOCM_RTS)) : (TIOCM_DTR | TIOCM_RTS);
    eventMask_ = 0;
    timeouts_ = {};
    try {
        if (req.dtrControl == LineControl::Disable)
            setModemLine(TIOCM_DTR, false);
        if (req.rtsControl == LineControl::Disable)
            setModemLine(TIOCM_RTS, false);
    } catch (const CSerialException&) {
        // The new settings are in the device already: put back what it had, as close() would.
        fd_ = -1;
        ::tcsetattr(fd, TCSANOW, &saved);
        if (linesValid)
            ::ioctl(fd, TIOCMSET, &lines);
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        throw;
    }
    countersValid_ = readCounters(lastCounters_);
}

void CSerialPort::close() {
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    overlappedMode_ = false;
    eventMask_ = 0;
    int error = 0;
    if (::tcsetattr(fd, TCSANOW, &savedTty_) != 0)
        error = errno;
    if (savedLinesValid_ && ::ioctl(fd, TIOCMSET, &savedLines_) != 0 && !notSupported(errno) &&
        error == 0)
        error = errno;
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    if (error != 0)
        throwSerialException(static_cast<std::uint32_t>(error));
}

std::uint32_t CSerialPort::readNow(std::uint8_t* buffer, std::uint32_t count) {
    if (count == 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, count);
        if (n > 0)
            return static_cast<std::uint32_t>(n);
        // On a non-blocking terminal "nothing yet" is EAGAIN; end of file means the line hung up
        // (a pseudo-terminal whose other end closed, an unplugged adapter).
        if (n == 0)
            throwSerialException(EIO);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        throwSerialException();
    }
}

std::uint32_t CSerialPort::writeNow(const std::uint8_t* buffer, std::uint32_t count) {
    if (count == 0)
        return 0;
    for (;;) {
        const ssize_t n = ::write(fd_, buffer, count);
        if (n >= 0)
            return static_cast<std::uint32_t>(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        throwSerialException();
    }
}

bool CSerialPort::read(std::uint8_t* buffer, std::uint32_t count, SerialOverlapped* overlapped,
                       std::uint32_t* readCount) {
    requireOpen();
    if (readCount)
        *readCount = 0;
    std::uint32_t got = 0;
    try {
        got = readNow(buffer, count);
    } catch (const CSerialException&) {
        // A read that fails with line errors pending only clears them.
        if (clearError() != 0)
            return false;
        throw;
    }
    const bool immediate = timeouts_.readInterval == kReadIntervalImmediate &&
                           timeouts_.readTotalMultiplier == 0 && timeouts_.readTotalConstant == 0;
    if (immediate || got == count) {
        if (readCount)
            *readCount = got;
        return true;
    }
    SerialOverlapped local;
    SerialOverlapped& op = overlapped && overlappedMode_ ? *overlapped : local;
    op.op = SerialOverlapped::Op::Read;
    op.readBuffer = buffer;
    op.writeBuffer = nullptr;
    op.requested = count;
    op.transferred = got;
    op.startTick = tickCount();
    const std::uint64_t total =
        std::uint64_t{timeouts_.readTotalMultiplier} * count + timeouts_.readTotalConstant;
    op.limitMs = total == 0 ? -1 : static_cast<std::int64_t>(total);
    if (&op == overlapped)
        return false;
    std::uint32_t done = 0;
    getOverlappedResult(op, &done, true);
    if (readCount)
        *readCount = done;
    return true;
}

bool CSerialPort::write(const std::uint8_t* buffer, std::uint32_t count,
                        SerialOverlapped* overlapped, std::uint32_t* written) {
    requireOpen();
    if (written)
        *written = 0;
    const std::uint32_t sent = writeNow(buffer, count);
    // The driver takes the bytes at once; the write is done only when they are on the line, so
    // that a response time-out counts from the end of the request.
    if (sent == count && outputQueued() == 0) {
        if (written)
            *written = sent;
        return true;
    }
    SerialOverlapped local;
    SerialOverlapped& op = overlapped && overlappedMode_ ? *overlapped : local;
    op.op = SerialOverlapped::Op::Write;
    op.readBuffer = nullptr;
    op.writeBuffer = buffer;
    op.requested = count;
    op.transferred = sent;
    op.startTick = tickCount();
    const std::uint64_t total =
        std::uint64_t{timeouts_.writeTotalMultiplier} * count + timeouts_.writeTotalConstant;
    op.limitMs = total == 0 ? -1 : static_cast<std::int64_t>(total);
    if (&op == overlapped)
        return false;
    std::uint32_t done = 0;
    getOverlappedResult(op, &done, true);
    if (written)
        *written = done;
    return true;
}

bool CSerialPort::getOverlappedResult(SerialOverlapped& op, std::uint32_t* count, bool wait) {
    requireOpen();
    const bool reading = op.op == SerialOverlapped::Op::Read;
    std::uint32_t unsent = 0;
    while (op.op != SerialOverlapped::Op::None) {
        std::uint32_t moved = 0;
        if (op.transferred < op.requested) {
            const std::uint32_t left = op.requested - op.transferred;
            moved = reading ? readNow(op.readBuffer + op.transferred, left)
                            : writeNow(op.writeBuffer + op.transferred, left);
            op.transferred += moved;
        }
        const int remaining = remainingMs(op);
        if (op.transferred >= op.requested) {
            if (reading)
                break;
            // Written: now wait for the bytes to leave the output queue.
            unsent = std::min(outputQueued(), op.transferred);
            if (unsent == 0 || remaining == 0)
                break;
            if (!wait)
                return false;
            sleepMs(1);
            continue;
        }
        if (remaining == 0)
            break;
        if (!wait)
            return false;
        if (moved == 0)
            waitForDevice(fd_, reading, remaining);
    }
    op.op = SerialOverlapped::Op::None;
    if (count)
        *count = op.transferred - unsent;
    return true;
}

std::uint32_t CSerialPort::outputQueued() {
    requireOpen();
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0)
        return 0;
    return queued > 0 ? static_cast<std::uint32_t>(queued) : 0;
}

bool CSerialPort::readCounters(void* counters) {
    return readLineErrorCounters(fd_, *static_cast<int(*)[kLineErrorCounterCount]>(counters));
}

std::uint32_t CSerialPort::clearError() {
    requireOpen();
    if (!countersValid_)
        return 0;
    int now[5] = {};
    if (!readCounters(now)) {
        if (notSupported(errno))
            return 0;
        throwSerialException();
    }
    static constexpr std::uint32_t flags[5] = {CE_RXOVER, CE_OVERRUN, CE_RXPARITY, CE_FRAME,
                                               CE_BREAK};
    std::uint32_t errors = 0;
    for (int i = 0; i < 5; ++i) {
        if (now[i] != lastCounters_[i])
            errors |= flags[i];
        lastCounters_[i] = now[i];
    }
    return errors;
}

std::uint32_t CSerialPort::bytesWaiting(std::uint32_t* errors) {
    const std::uint32_t flags = clearError();
    if (errors)
        *errors = flags;
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0)
        throwSerialException();
    return waiting > 0 ? static_cast<std::uint32_t>(waiting) : 0;
}

std::uint32_t CSerialPort::getEventMask() const {
    requireOpen();
    return eventMask_;
}

void CSerialPort::setEventMask(std::uint32_t mask) {
    requireOpen();
    eventMask_ = mask;
}

bool CSerialPort::waitEvent(std::uint32_t* events) {
    requireOpen();
    if (events)
        *events = 0;
    if (!(eventMask_ & EV_RXCHAR))
        return false;
    int waiting = 0;
    if (::ioctl(fd_, FIONREAD, &waiting) != 0)
        throwSerialException();
    if (waiting <= 0)
        return false;
    if (events)
        *events = EV_RXCHAR;
    return true;
}

void CSerialPort::purge(std::uint32_t flags) {
    requireOpen();
    // Pending operations live in their SerialOverlapped records; their owners simply drop them.
    if ((flags & PURGE_RXCLEAR) && ::tcflush(fd_, TCIFLUSH) != 0)
        throwSerialException();
    if ((flags & PURGE_TXCLEAR) && ::tcflush(fd_, TCOFLUSH) != 0)
        throwSerialException();
}

void CSerialPort::setQueueSizes(std::uint32_t receive, std::uint32_t transmit) {
    requireOpen();
    rxQueueSize_ = receive;
    txQueueSize_ = transmit;
}

void CSerialPort::setTimeouts(const SerialTimeouts& timeouts) {
    requireOpen();
    timeouts_ = timeouts;
}

SerialTimeouts CSerialPort::getTimeouts() const {
    requireOpen();
    return timeouts_;
}

void CSerialPort::setModemLine(int bit, bool on) {
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0 && !notSupported(errno))
        throwSerialException();
    modemLines_ = on ? (modemLines_ | bit) : (modemLines_ & ~bit);
}

void CSerialPort::escapeFunction(int function) {
    requireOpen();
    switch (function) {
    case SETRTS:
        setModemLine(TIOCM_RTS, true);
        break;
    case CLRRTS:
        setModemLine(TIOCM_RTS, false);
        break;
    case SETDTR:
        setModemLine(TIOCM_DTR, true);
        break;
    case CLRDTR:
        setModemLine(TIOCM_DTR, false);
        break;
    case SETBREAK:
        if (::ioctl(fd_, TIOCSBRK) != 0 && !notSupported(errno))
            throwSerialException();
        break;
    case CLRBREAK:
        if (::ioctl(fd_, TIOCCBRK) != 0 && !notSupported(errno))
            throwSerialException();
        break;
    default:
        throwSerialException(EINVAL);
    }
}

bool CSerialPort::waitForChar(int milliseconds) {
    requireOpen();
    const std::uint32_t savedMask = eventMask_;
    eventMask_ = EV_RXCHAR;
    std::uint32_t events = 0;
    bool arrived = waitEvent(&events);
    if (!arrived) {
        pollfd p{fd_, POLLIN, 0};
        const int rc = ::poll(&p, 1, milliseconds);
        arrived = rc > 0 && (p.revents & POLLIN) && waitEvent(&events);
    }
    eventMask_ = savedMask;
    return arrived;
}
