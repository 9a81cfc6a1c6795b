#pragma once

#include <cstdint>
#include <string>
#include <termios.h>

// A failed device call on the serial port. errorCode is the errno value of the call.
class CSerialException {
public:
    // Code 0 takes the calling thread's current errno.
    explicit CSerialException(std::uint32_t code = 0);
    virtual ~CSerialException() = default;

    // Copies at most bufferSize - 1 characters of the system text of errorCode into buffer
    // (always terminated). Returns false, with buffer empty, when the system has no text for it.
    bool getErrorMessage(char* buffer, std::size_t bufferSize) const;
    // The system text of errorCode; empty when the system has none.
    std::string message() const;

    std::uint32_t errorCode = 0;
};

// Throws CSerialException for `code` (0: the current errno).
[[noreturn]] void throwSerialException(std::uint32_t code = 0);

// Line settings codes accepted by CSerialPort::open.
namespace Parity {
enum : int { Even = 0, Mark = 1, None = 2, Odd = 3, Space = 4 };
}
namespace StopBits {
enum : int { One = 0, OneAndHalf = 1, Two = 2 };
}
namespace FlowControl {
enum : int { None = 0, CtsRts = 1, CtsDtr = 2, DsrRts = 3, DsrDtr = 4, XonXoff = 5 };
}

// Control-line modes of the device settings record.
enum class LineControl : std::uint8_t { Disable = 0, Enable = 1, Handshake = 2 };

// The five-value time-out record (milliseconds). A read with readInterval 0xFFFFFFFF and both
// read totals 0 returns at once with whatever has arrived; otherwise a read waits until all
// requested bytes have arrived or the total (multiplier * count + constant) has passed. A write
// total of 0 means no limit.
struct SerialTimeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};

constexpr std::uint32_t kReadIntervalImmediate = 0xFFFFFFFFu;

// Everything open() asks of the device: the termios record it wrote and the settings termios
// cannot hold, kept so that callers (and tests) can see what was requested even when the device
// silently keeps other settings (a pseudo-terminal is always 8 data bits, no parity).
struct SerialSettings {
    termios tty{};
    std::uint32_t baudRate = 0;
    int dataBits = 8;
    int parity = Parity::None;
    int stopBits = StopBits::One;
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    bool dsrSensitivity = false;
    LineControl dtrControl = LineControl::Enable;
    LineControl rtsControl = LineControl::Enable;
    bool outX = false;
    bool inX = false;
    std::uint8_t xonChar = 0x11;
    std::uint8_t xoffChar = 0x13;
    std::uint16_t xonLimit = 0;
    std::uint16_t xoffLimit = 0;
};

// Pause after each serial read that returned bytes, by baud index (0 = 300 ... 9 = 115200 baud):
// about 3.5 character times, so that a burst can gather before the next read.
constexpr int kReadPauseByBaud[10] = {117, 58, 26, 15, 7, 4, 2, 1, 1, 1};

// kReadPauseByBaud for a baud index; an index out of range gives the slowest line's pause.
constexpr int readPauseForBaudIndex(int baudIndex) {
    return baudIndex >= 0 && baudIndex < 10 ? kReadPauseByBaud[baudIndex] : kReadPauseByBaud[0];
}

// Event mask bits.
constexpr std::uint32_t EV_RXCHAR = 0x0001;

// Purge flags.
constexpr std::uint32_t PURGE_TXABORT = 0x0001;
constexpr std::uint32_t PURGE_RXABORT = 0x0002;
constexpr std::uint32_t PURGE_TXCLEAR = 0x0004;
constexpr std::uint32_t PURGE_RXCLEAR = 0x0008;

// Line-error flags reported by clearError and bytesWaiting.
constexpr std::uint32_t CE_RXOVER = 0x0001;
constexpr std::uint32_t CE_OVERRUN = 0x0002;
constexpr std::uint32_t CE_RXPARITY = 0x0004;
constexpr std::uint32_t CE_FRAME = 0x0008;
constexpr std::uint32_t CE_BREAK = 0x0010;
constexpr std::uint32_t CE_TXFULL = 0x0100;
constexpr std::uint32_t CE_MODE = 0x8000;

// Escape functions.
constexpr int SETRTS = 3;
constexpr int CLRRTS = 4;
constexpr int SETDTR = 5;
constexpr int CLRDTR = 6;
constexpr int SETBREAK = 8;
constexpr int CLRBREAK = 9;

// One asynchronous read or write. On this platform the descriptor is non-blocking: a read or
// write that could not finish at once is "pending" and is finished by getOverlappedResult, which
// moves the rest of the bytes as the descriptor becomes ready (poll()).
struct SerialOverlapped {
    enum class Op : std::uint8_t { None, Read, Write };
    Op op = Op::None;
    std::uint8_t* readBuffer = nullptr;
    const std::uint8_t* writeBuffer = nullptr;
    std::uint32_t requested = 0;
    std::uint32_t transferred = 0;
    std::uint32_t startTick = 0;
    // Milliseconds from startTick after which the operation completes with what it has; -1 for
    // no limit.
    std::int64_t limitMs = -1;
};

// One serial device opened on a non-blocking descriptor. Every device call that fails raises
// CSerialException with errno, except open(), which leaves the port closed when the device cannot
// be opened. The object has no lock: the connection sequence orders its users.
class CSerialPort {
public:
    CSerialPort();
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens COM<portNumber> (resolved by the port map) exclusively, saves its termios record and
    // modem-control lines, and applies the given settings in raw mode. Returns with the port
    // closed when the device cannot be opened; raises (after closing it again) when the settings
    // cannot be read or written, including a baud rate or data-bit count the platform lacks.
    void open(int portNumber, std::uint32_t baudRate, int parity, int dataBits, int stopBits,
              int flowControl, bool overlapped);
    // Opens a device by path; otherwise as open().
    void openDevice(const std::string& path, std::uint32_t baudRate, int parity, int dataBits,
                    int stopBits, int flowControl, bool overlapped);
    // True while a device is open.
    bool isOpen() const { return fd_ >= 0; }
    // Puts the saved settings and control lines back (raises when that fails, after closing) and
    // closes the device. Does nothing on a closed port.
    void close();

    // Starts a read. Returns true when it completed at once (*readCount receives the bytes, which
    // may be 0 under the immediate-return time-outs). Returns false when it is pending (finish it
    // with getOverlappedResult) or when a line error made it fail. Raises on other failures.
    bool read(std::uint8_t* buffer, std::uint32_t count, SerialOverlapped* overlapped,
              std::uint32_t* readCount);
    // Starts a write; as read(), but every failure raises.
    bool write(const std::uint8_t* buffer, std::uint32_t count, SerialOverlapped* overlapped,
               std::uint32_t* written);
    // Finishes a pending operation. With wait, moves bytes until it completes or its time limit
    // passes and returns true; without wait, returns false while it is still incomplete. A write
    // completes once its bytes have left the driver's output queue; *count then receives the
    // bytes that did. Raises on a device failure.
    bool getOverlappedResult(SerialOverlapped& overlapped, std::uint32_t* count, bool wait);
    // Bytes written but still waiting in the driver's output queue; 0 when the device cannot
    // tell. Virtual so that a slow line can be stood in for.
    virtual std::uint32_t outputQueued();

    // Reads and clears the line-error flags (into *errors when given) and returns the number of
    // bytes waiting in the receive queue.
    std::uint32_t bytesWaiting(std::uint32_t* errors = nullptr);
    // Reads and clears the line-error flags: deltas of the device's error counters since the last
    // call. A device without counters (a pseudo-terminal) reports none. Virtual so that a line
    // that cannot produce errors on demand can be given some.
    virtual std::uint32_t clearError();

    std::uint32_t getEventMask() const;
    void setEventMask(std::uint32_t mask);
    // Asks for the next device event. Returns true (with *events) when one is there at once: a
    // character waiting while EV_RXCHAR is in the mask. Returns false when pending: wait on
    // waitHandle() becoming readable, then call again.
    bool waitEvent(std::uint32_t* events);
    void purge(std::uint32_t flags);
    // Accepted and remembered; the driver's buffers are fixed on this platform.
    void setQueueSizes(std::uint32_t receive, std::uint32_t transmit);
    std::uint32_t receiveQueueSize() const { return rxQueueSize_; }
    std::uint32_t transmitQueueSize() const { return txQueueSize_; }
    void setTimeouts(const SerialTimeouts& timeouts);
    SerialTimeouts getTimeouts() const;
    // Sets or clears DTR, RTS or break. A device without modem-control lines (a pseudo-terminal)
    // accepts the request; modemLines() shows what was asked.
    void escapeFunction(int function);
    void raiseDtr() { escapeFunction(SETDTR); }
    void raiseRts() { escapeFunction(SETRTS); }
    // Waits up to milliseconds for a character; the event mask is left as it was. Returns true
    // when a character is waiting.
    bool waitForChar(int milliseconds);

    // The descriptor to poll for "a character has arrived" (-1 when closed).
    int waitHandle() const { return fd_; }
    const std::string& devicePath() const { return path_; }
    bool overlappedMode() const { return overlappedMode_; }
    // What the last open() asked of the device.
    const SerialSettings& requestedSettings() const { return requested_; }
    // The DTR and RTS state requested so far (TIOCM_DTR / TIOCM_RTS bits).
    int modemLines() const { return modemLines_; }

private:
    void requireOpen() const;
    std::uint32_t readNow(std::uint8_t* buffer, std::uint32_t count);
    std::uint32_t writeNow(const std::uint8_t* buffer, std::uint32_t count);
    void setModemLine(int bit, bool on);
    bool readCounters(void* counters);

    int fd_ = -1;
    bool overlappedMode_ = false;
    std::string path_;
    termios savedTty_{};
    int savedLines_ = 0;
    bool savedLinesValid_ = false;
    SerialSettings requested_{};
    int modemLines_ = 0;
    std::uint32_t eventMask_ = 0;
    SerialTimeouts timeouts_{};
    std::uint32_t rxQueueSize_ = 0;
    std::uint32_t txQueueSize_ = 0;
    bool countersValid_ = false;
    int lastCounters_[5] = {}; // buf_overrun, overrun, parity, frame, brk
};
