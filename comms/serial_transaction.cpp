#include "comms/comms_engine.h"
#include "commslog/comms_log_store.h"
#include "platform/clock.h"
#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kTxQueueFull = 5037; // "Communications Port Error - TX Queue is full"

// The first line-error flag present decides the result.
int lineErrorResult(std::uint32_t errors) {
    if (errors & CE_RXOVER)
        return 5032;
    if (errors & CE_OVERRUN)
        return 5033;
    if (errors & CE_RXPARITY)
        return 5034;
    if (errors & CE_FRAME)
        return 5035;
    if (errors & CE_BREAK)
        return 5036;
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

} // namespace

int CCommsEngine::serialTransaction(CModbusMessage& message, CSerialPort& port) {
    std::uint8_t received[kFrameBufferSize];
    int n = 0;
    int result = 0;
    int logResult = 0;
    std::uint32_t savedMask = 0;
    bool maskSaved = false;
    const bool logging = logEnabled.load() == 1;
    const WindowHandle mainWindow = message.mainWindow.load();

    auto log = [&](CommsLogType type, const std::uint8_t* bytes, int count) {
        if (!logging)
            return;
        // Any refused record makes the attempt fail with 5025, not only the last one.
        if (const int r =
                addLogRecord(static_cast<unsigned>(type), static_cast<unsigned>(count), bytes);
            r != 0)
            logResult = r;
    };

    // aborted is left alone: an abort asked for while no exchange ran (between two attempts)
    // has no event to show for itself, and clearing the flag here would lose it.
    serialBusy = 1;
    try {
        // Stale input: read it away and log it, so that it can never pass for the answer.
        if (std::uint32_t k = port.bytesWaiting(); k > 0) {
            portTimeouts = {0, 0, static_cast<std::uint32_t>(std::max(0, message.time1.load())), 0,
                            0};
            port.setTimeouts(portTimeouts);
            // A line that never stops talking must not hold the thread for ever.
            const std::uint32_t flushStart = tickCount();
            const std::uint32_t flushLimit =
                static_cast<std::uint32_t>(std::max(0, message.time1.load())) + 1000;
            bool more = true;
            while (more) {
                more = false;
                const std::uint32_t start = tickCount();
                std::uint32_t remainder = 0;
                std::uint32_t want = k;
                if (want > kFrameBufferSize) {
                    remainder = want - kFrameBufferSize;
                    want = kFrameBufferSize;
                }
                SerialOverlapped ov;
                std::uint32_t got = 0;
                if (!port.read(received, want, &ov, &got) && ov.op != SerialOverlapped::Op::None)
                    port.getOverlappedResult(ov, &got, true);
                if (got > 0) {
                    postMessage(mainWindow, WM_RX_ACTIVITY, lowWord(tickCount() - start));
                    if (remainder > 0) {
                        k = remainder;
                        more = true;
                    } else if (port.waitForChar(20)) {
                        k = port.bytesWaiting();
                        more = k > 0;
                    }
                }
                log(CommsLogType::RxFlush, received, static_cast<int>(got));
                if (tickCount() - flushStart > flushLimit)
                    more = false;
            }
            portTimeouts = {kReadIntervalImmediate, 0, 0, 0, 0};
            port.setTimeouts(portTimeouts);
        }

        std::memset(received, 0, sizeof received);
        std::memset(message.rxFrame, 0, sizeof message.rxFrame);
        message.rxCount = 0;

        serialWaitSet[0] = WaitItem{nullptr, port.waitHandle()};
        savedMask = port.getEventMask();
        maskSaved = true;
        port.setEventMask(EV_RXCHAR);

        // Transmit, with a bounded wait for the bytes to leave.
        const int txLength = std::clamp(message.txLength, 0, kFrameBufferSize);
        portTimeouts = {
            kReadIntervalImmediate, 0, 0, 0,
            writeLimitMs(static_cast<std::uint32_t>(txLength), port.requestedSettings().baudRate)};
        port.setTimeouts(portTimeouts);
        const std::uint32_t txStart = tickCount();
        std::uint32_t written = 0;
        SerialOverlapped txOv;
        if (!port.write(message.txFrame, static_cast<std::uint32_t>(txLength), &txOv, &written))
            port.getOverlappedResult(txOv, &written, true);
        portTimeouts = {kReadIntervalImmediate, 0, 0, 0, 0};
        port.setTimeouts(portTimeouts);
        postMessage(mainWindow, WM_TX_ACTIVITY, lowWord(tickCount() - txStart));
        log(CommsLogType::Tx, message.txFrame, static_cast<int>(written));

        const bool broadcast = message.txFrame[0] == 0;
        const bool modemMode = message.modemCommandMode.load() == 1;
        if (written < static_cast<std::uint32_t>(txLength)) {
            result = kTxQueueFull;
        } else if (!broadcast) {
            int T = message.time1.load();
            bool echoRemoved = false;
            bool done = false;

            auto applyEchoRule = [&] {
                if (message.removeEcho.load() != 1 || echoRemoved || n < txLength)
                    return;
                if (std::memcmp(received, message.txFrame, static_cast<std::size_t>(txLength)) != 0)
                    return;
                echoRemoved = true;
                std::memmove(received, received + txLength, static_cast<std::size_t>(n - txLength));
                n -= txLength;
                T = message.time1.load();
            };

            bool ended = false;
            while (!done && !ended) {
                const std::uint32_t waitStart = tickCount();
                std::uint32_t events = 0;
                if (!port.waitEvent(&events)) {
                    switch (waitForAny(serialWaitSet, 3, std::max(0, T))) {
                    case 0:
                        sleepMs(1);
                        break;
                    case 1:
                        done = true;
                        aborted = 1;
                        break;
                    case 2:
                        done = true;
                        stopping = 1;
                        break;
                    case kWaitTimeout:
                        done = true;
                        if (n > 0 && modemMode) {
                            if (n >= txLength &&
                                std::memcmp(received, message.txFrame,
                                            static_cast<std::size_t>(txLength)) == 0) {
                                // The modem echoed the command. Only the echo is dropped: a reply
                                // that came in the same burst is the answer.
                                std::memmove(received, received + txLength,
                                             static_cast<std::size_t>(n - txLength));
                                n -= txLength;
                            }
                            if (n == 0) {
                                T = message.time1.load();
                                port.setEventMask(EV_RXCHAR);
                                done = false;
                            } else {
                                std::memcpy(message.rxFrame, received, static_cast<std::size_t>(n));
                                message.rxCount = n;
                            }
                        } else if (n > 0) {
                            applyEchoRule();
                        }
                        break;
                    default:
                        throwSerialException(EIO);
                    }
                }

                // Read while reads return bytes.
                for (;;) {
                    if (n >= kFrameBufferSize) {
                        result = kResultMessageTooLong;
                        ended = true;
                        break;
                    }
                    std::uint32_t got = 0;
                    SerialOverlapped ov;
                    if (!port.read(received + n, static_cast<std::uint32_t>(kFrameBufferSize - n),
                                   &ov, &got) &&
                        ov.op != SerialOverlapped::Op::None)
                        port.getOverlappedResult(ov, &got, true);
                    log(CommsLogType::Rx, received + n, static_cast<int>(got));
                    if (got == 0)
                        break;
                    postMessage(mainWindow, WM_RX_ACTIVITY, lowWord(tickCount() - waitStart));
                    T = message.time2.load();
                    n += static_cast<int>(got);
                    if (!modemMode) {
                        applyEchoRule();
                        if (message.binaryMode) {
                            if (n > 4) {
                                message.scanBinaryResponse(received, n);
                                if (message.rxCount > 0 && message.rxCount >= message.rxExpected) {
                                    result = message.checkBinaryResponse();
                                    if (result == 0 || message.exceptionReceived.load() == 1)
                                        done = true;
                                }
                            }
                        } else if (n > 9) {
                            message.scanAsciiResponse(received, n);
                            if (message.rxCount > 0 &&
                                message.rxFrame[message.rxCount - 1] == '\n') {
                                result = message.checkAsciiResponse();
                                if (result == 0 || message.exceptionReceived.load() == 1)
                                    done = true;
                            }
                        }
                    }
                    if (done)
                        break;
                    sleepMs(std::max(0, message.readPause.load()));
                }
            }
        }

        port.setEventMask(savedMask);
        maskSaved = false;
        serialBusy = 0;
        const std::uint32_t errors = port.clearError();

        if (aborted.load() == 1) {
            if (logging)
                result = kResultTerminating;
        } else if (errors != 0) {
            result = lineErrorResult(errors);
        } else if (result != kResultMessageTooLong && result != kTxQueueFull && !broadcast) {
            if (n == 0)
                result = kResultTimedOut;
            else if (message.rxCount == 0)
                result = kResultInvalidResponse;
        }
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
        serialBusy = 0;
        result = kResultUnknownPortError;
    }
    serialBusy = 0;
    serialWaitSet[0] = WaitItem{};

    if (logging) {
        if (logResult != 0)
            result = logResult;
        if (result != 0)
            addErrorRecord(result);
        if (result == kResultTerminating)
            result = 0;
    }
    return result;
}
