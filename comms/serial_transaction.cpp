#include "comms/comms_engine.h"
#include "commslog/comms_log_store.h"
#include "platform/clock.h"
#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kTxQueueFull = 5037; // "Communications Port Error - TX Queue is full"
// After the flush read a pause this long for another character says the line has gone quiet.
constexpr int kFlushQuietMs = 20;
// A line that never stops talking ends the flush this long after time1.
constexpr std::uint32_t kFlushOverrunMs = 1000;

// The first line-error flag present decides the result.
int lineErrorResult(std::uint32_t errors) {
    if (errors & CE_RXOVER)
        return 5032;
    if (errors & CE_OVERRUN)
        return kResultPortOverrun;
    if (errors & CE_RXPARITY)
        return kResultPortParity;
    if (errors & CE_FRAME)
        return kResultPortFraming;
    if (errors & CE_BREAK)
        return kResultPortBreak;
    if (errors & CE_TXFULL)
        return 5037;
    if (errors & 0x1E00u)
        return 5038;
    if (errors & CE_MODE)
        return 5039;
    return kResultUnknownPortError;
}

WParam lowWord(std::uint32_t value) {
    return static_cast<WParam>(value & 0xFFFFu);
}

// Milliseconds the bytes take on the line (11 bit times per character at most) plus a second, so
// that a write the adapter never drains ends the attempt instead of freezing the comms thread.
std::uint32_t writeLimitMs(std::uint32_t bytes, std::uint32_t baud) {
    const std::uint32_t rate = baud > 0 ? baud : 300;
    return static_cast<std::uint32_t>((std::uint64_t{bytes} * 11 * 1000 + rate - 1) / rate) + 1000;
}

std::uint32_t nonNegative(int value) {
    return static_cast<std::uint32_t>(std::max(0, value));
}

} // namespace

// Working storage of one serial attempt.
struct CCommsEngine::SerialAttempt {
    SerialAttempt(CCommsEngine& e, CModbusMessage& m, CSerialPort& p)
        : engine(e), message(m), port(p), logging(e.logEnabled.load() == 1),
          modemMode(m.modemCommandMode.load() == 1),
          txLength(std::clamp(m.txLength, 0, kFrameBufferSize)) {}

    // Logs a record stamped `at`; any refused record makes the attempt fail with 5025, not only
    // the last one.
    void log(CommsLogType type, const std::uint8_t* bytes, std::uint32_t count, UtcTime at) {
        if (!logging)
            return;
        if (const int r = engine.addLogRecord(static_cast<unsigned>(type), count, bytes, at);
            r != 0)
            logResult = r;
    }
    bool startsWithRequest() const {
        return n >= txLength &&
               std::memcmp(received, message.txFrame, static_cast<std::size_t>(txLength)) == 0;
    }
    void dropRequestBytes() {
        std::memmove(received, received + txLength, static_cast<std::size_t>(n - txLength));
        n -= txLength;
    }
    // On a line that echoes, the request read back is removed once, and the answer's wait
    // starts over with time1.
    void applyEchoRule() {
        if (message.removeEcho.load() != 1 || echoRemoved || !startsWithRequest())
            return;
        echoRemoved = true;
        dropRequestBytes();
        waitMs = message.time1.load();
    }

    CCommsEngine& engine;
    CModbusMessage& message;
    CSerialPort& port;
    const bool logging;
    const bool modemMode;
    const int txLength;
    bool broadcast = false;
    std::uint8_t received[kFrameBufferSize] = {};
    int n = 0;
    int result = 0; // set only by a 5003 or a failed write; the reply's verdict is separate
    int logResult = 0;
    int waitMs = 0;
    bool echoRemoved = false;
    bool done = false;
    ReplyVerdict verdict;
};

int CCommsEngine::serialTransaction(CModbusMessage& message, CSerialPort& port) {
    SerialAttempt a(*this, message, port);
    std::uint32_t savedMask = 0;
    bool maskSaved = false;
    // aborted is left alone: an abort asked for while no exchange ran (between two attempts)
    // has no event to show for itself, and clearing the flag here would lose it.
    serialBusy = 1;
    int result = 0;
    attemptReceivedCount_ = 0;
    try {
        flushSerialInput(a);
        std::memset(message.rxFrame, 0, sizeof message.rxFrame);
        message.rxCount = 0;

        serialWaitSet[WaitIo] = WaitItem{nullptr, port.waitHandle()};
        savedMask = port.getEventMask();
        maskSaved = true;
        port.setEventMask(EV_RXCHAR);
        if (transmitSerial(a) && !a.broadcast)
            receiveSerial(a);
        port.setEventMask(savedMask);
        maskSaved = false;
        serialBusy = 0;
        result = serialVerdict(a, port.clearError());
    } catch (const CSerialException&) {
        // A failed device call ends the attempt; the port is left as the caller's to close.
        try {
            if (maskSaved && port.isOpen())
                port.setEventMask(savedMask);
            if (port.isOpen()) {
                portTimeouts = {kReadIntervalImmediate, 0, 0, 0, 0};
                port.setTimeouts(portTimeouts);
            }
        } catch (const CSerialException&) {
        }
        result = kResultUnknownPortError;
    }
    serialBusy = 0;
    serialWaitSet[WaitIo] = WaitItem{};

    if (a.logging) {
        if (a.logResult != 0)
            result = a.logResult;
        if (result != 0)
            addErrorRecord(result);
        if (result == kResultTerminating)
            result = 0;
    }
    return result;
}

// Stale input is read away and logged, so that it can never pass for the answer.
void CCommsEngine::flushSerialInput(SerialAttempt& a) {
    CSerialPort& port = a.port;
    std::uint32_t k = port.bytesWaiting();
    if (k == 0)
        return;
    const std::uint32_t time1 = nonNegative(a.message.time1.load());
    portTimeouts = {0, 0, time1, 0, 0};
    port.setTimeouts(portTimeouts);
    const std::uint32_t flushStart = tickCount();
    bool more = true;
    while (more) {
        more = false;
        const std::uint32_t start = tickCount();
        const std::uint32_t want = std::min<std::uint32_t>(k, kFrameBufferSize);
        const std::uint32_t remainder = k - want;
        SerialOverlapped ov;
        std::uint32_t got = 0;
        if (!port.read(a.received, want, &ov, &got) && ov.op != SerialOverlapped::Op::None)
            port.getOverlappedResult(ov, &got, true);
        const UtcTime readAt = utcNow();
        if (got > 0) {
            postMessage(activityWindow_, WM_RX_ACTIVITY, lowWord(tickCount() - start));
            if (remainder > 0) {
                k = remainder;
                more = true;
            } else if (port.waitForChar(kFlushQuietMs)) {
                k = port.bytesWaiting();
                more = k > 0;
            }
        }
        a.log(CommsLogType::RxFlush, a.received, got, readAt);
        if (tickCount() - flushStart > time1 + kFlushOverrunMs)
            more = false;
    }
    portTimeouts = {kReadIntervalImmediate, 0, 0, 0, 0};
    port.setTimeouts(portTimeouts);
    std::memset(a.received, 0, sizeof a.received);
}

// Sends the request with a bounded wait for the bytes to leave. False when they did not all
// leave (the result is then 5037).
bool CCommsEngine::transmitSerial(SerialAttempt& a) {
    CSerialPort& port = a.port;
    CModbusMessage& message = a.message;
    portTimeouts = {
        kReadIntervalImmediate, 0, 0, 0,
        writeLimitMs(static_cast<std::uint32_t>(a.txLength), port.requestedSettings().baudRate)};
    port.setTimeouts(portTimeouts);
    const std::uint32_t txStart = tickCount();
    std::uint32_t written = 0;
    SerialOverlapped txOv;
    if (!port.write(message.txFrame, static_cast<std::uint32_t>(a.txLength), &txOv, &written))
        port.getOverlappedResult(txOv, &written, true);
    portTimeouts = {kReadIntervalImmediate, 0, 0, 0, 0};
    port.setTimeouts(portTimeouts);
    postMessage(activityWindow_, WM_TX_ACTIVITY, lowWord(tickCount() - txStart));
    a.log(CommsLogType::Tx, message.txFrame, written, utcNow());
    a.broadcast = !a.modemMode && message.broadcastRequest();
    if (written < static_cast<std::uint32_t>(a.txLength)) {
        a.result = kTxQueueFull;
        return false;
    }
    return true;
}

// Collects the answer until the completion rule says it is complete, or the line falls silent
// (time1 before the first byte, time2 after), or an abort or stop comes.
void CCommsEngine::receiveSerial(SerialAttempt& a) {
    a.waitMs = a.message.time1.load();
    while (!a.done) {
        const std::uint32_t waitStart = tickCount();
        waitForCharacters(a);
        readWhileBytesCome(a, waitStart);
    }
}

// Waits for the next character event, an abort, a stop or the silence that ends reception.
void CCommsEngine::waitForCharacters(SerialAttempt& a) {
    std::uint32_t events = 0;
    if (a.port.waitEvent(&events))
        return;
    switch (waitForAny(serialWaitSet, kWaitSlots, std::max(0, a.waitMs))) {
    case WaitIo:
        sleepMs(1);
        return;
    case WaitAbort:
        a.done = true;
        aborted = 1;
        return;
    case WaitStop:
        a.done = true;
        stopping = 1;
        return;
    case kWaitTimeout:
        a.done = true;
        break;
    default:
        throwSerialException(EIO);
    }
    if (a.n == 0)
        return;
    if (!a.modemMode) {
        a.applyEchoRule();
        return;
    }
    // The modem's reply is whatever arrived before the silence. Only the echo of the command is
    // dropped: a reply that came in the same burst is the answer.
    if (a.startsWithRequest())
        a.dropRequestBytes();
    if (a.n > 0) {
        std::memcpy(a.message.rxFrame, a.received, static_cast<std::size_t>(a.n));
        a.message.rxCount = a.n;
        return;
    }
    // The echo came alone: the wait for the modem's reply starts over.
    a.waitMs = a.message.time1.load();
    a.port.setEventMask(EV_RXCHAR);
    a.done = false;
}

// Reads while reads return bytes, asking the completion rule after each.
void CCommsEngine::readWhileBytesCome(SerialAttempt& a, std::uint32_t waitStart) {
    CModbusMessage& message = a.message;
    for (;;) {
        if (a.n >= kFrameBufferSize) {
            a.result = kResultMessageTooLong;
            a.done = true;
            return;
        }
        std::uint32_t got = 0;
        SerialOverlapped ov;
        if (!a.port.read(a.received + a.n, static_cast<std::uint32_t>(kFrameBufferSize - a.n), &ov,
                         &got) &&
            ov.op != SerialOverlapped::Op::None)
            a.port.getOverlappedResult(ov, &got, true);
        // Each read is its own record, stamped when the read returned.
        a.log(CommsLogType::Rx, a.received + a.n, got, utcNow());
        if (got == 0)
            return;
        keepReceived(a.received + a.n, static_cast<int>(got));
        postMessage(activityWindow_, WM_RX_ACTIVITY, lowWord(tickCount() - waitStart));
        a.waitMs = message.time2.load();
        a.n += static_cast<int>(got);
        if (!a.modemMode) {
            a.applyEchoRule();
            a.verdict = message.assessResponse(a.received, a.n);
            if (a.verdict.status == ReplyStatus::Complete)
                a.done = true;
        }
        if (a.done)
            return;
        sleepMs(std::max(0, message.readPause.load()));
    }
}

// The attempt's result: an abort, then line errors, then what reception found.
int CCommsEngine::serialVerdict(SerialAttempt& a, std::uint32_t lineErrors) {
    CModbusMessage& message = a.message;
    const bool complete = a.verdict.status == ReplyStatus::Complete;
    // The echo may have been removed at the silence: judge what is left.
    if (!a.modemMode && !complete && a.n > 0)
        a.verdict = message.assessResponse(a.received, a.n);
    if (aborted.load() == 1) {
        if (a.logging)
            return kResultTerminating;
        return a.result != 0 ? a.result : (a.n > 0 ? a.verdict.result : 0);
    }
    if (lineErrors != 0)
        return lineErrorResult(lineErrors);
    if (a.result != 0 || a.broadcast)
        return a.result;
    if (a.n == 0)
        return kResultTimedOut;
    if (a.modemMode)
        return message.rxCount == 0 ? kResultInvalidResponse : 0;
    return a.verdict.result;
}
