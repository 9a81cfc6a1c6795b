#include "comms/client_socket.h"
#include "comms/comms_engine.h"
#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"

#include <cstring>

namespace {

constexpr int kFlushWaitMs = 10;

} // namespace

int CCommsEngine::tcpTransaction(CModbusMessage& message, CClientSocket& socket) {
    tcpBusy = 1;
    std::uint8_t buffer[kFrameBufferSize] = {};
    std::memset(message.rxFrame, 0, sizeof message.rxFrame);
    message.rxCount = 0;
    const bool logging = logEnabled.load() == 1;
    const WindowHandle mainWindow = message.mainWindow.load();

    // Whatever is still waiting belongs to an earlier request. A unit that never stops sending
    // would keep the flush going for ever, so an abort or a stop ends it as well.
    socket.receiveError = 0;
    while (socket.receiveError.load() == 0) {
        const int woken = waitForAny(tcpWaitSet, 3, kFlushWaitMs);
        if (woken == 1)
            aborted = 1;
        else if (woken == 2)
            stopping = 1;
        if (woken != 0)
            break; // also a time-out, or a failed wait that would only fail again
        const int got = socket.receive(buffer, kFrameBufferSize);
        if (got < 0) {
            socket.winsockResult(SocketOp::Receive, CClientSocket::lastError());
            break;
        }
        if (got == 0) {
            socket.connected = 0;
            break;
        }
        postMessage(mainWindow, WM_RX_ACTIVITY, static_cast<WParam>(got & 0xFFFF));
        if (logging)
            addLogRecord(static_cast<unsigned>(CommsLogType::RxFlush), static_cast<unsigned>(got),
                         buffer);
    }
    std::memset(buffer, 0, sizeof buffer);

    const bool interrupted = aborted.load() == 1 || stopping.load() == 1;
    int result = 0;
    socket.sendError = 0;
    int sent = 0;
    while (!interrupted && sent < message.txLength && result == 0) {
        const int count = socket.send(message.txFrame + sent, message.txLength - sent);
        if (count < 0) {
            result = socket.winsockResult(SocketOp::Send, CClientSocket::lastError());
        } else {
            postMessage(mainWindow, WM_TX_ACTIVITY, static_cast<WParam>(count & 0xFFFF));
            sent += count;
        }
    }
    if (logging && !interrupted) {
        addLogRecord(static_cast<unsigned>(CommsLogType::Tx), static_cast<unsigned>(sent),
                     message.txFrame);
        if (result != 0)
            addErrorRecord(result);
        if (socket.sendError.load() != 0)
            addErrorRecord(socket.sendError.load());
    }
    if (result != 0 || socket.sendError.load() != 0) {
        tcpBusy = 0;
        return result != 0 ? result : socket.sendError.load();
    }

    const int h = message.tcpMode ? 6 : 0;
    const bool broadcast = message.txFrame[h] == 0;
    int n = broadcast ? h : 0;
    socket.receiveError = 0;
    while (!interrupted && !broadcast && socket.receiveError.load() == 0) {
        const int woken = waitForAny(tcpWaitSet, 3, message.time2.load());
        if (woken == 1) {
            aborted = 1;
            break;
        }
        if (woken == 2) {
            stopping = 1;
            break;
        }
        if (woken != 0)
            break; // time-out, or a failed wait
        const int got = socket.receive(buffer + n, kFrameBufferSize - n);
        if (got < 0) {
            result = socket.winsockResult(SocketOp::Receive, CClientSocket::lastError());
            break;
        }
        if (got == 0) {
            socket.connected = 0;
            break;
        }
        postMessage(mainWindow, WM_RX_ACTIVITY, static_cast<WParam>(got & 0xFFFF));
        if (n != 0)
            result = 0;
        n += got;
        bool complete = false;
        if (message.binaryMode) {
            if (n > (message.tcpMode ? h + 2 : 4)) {
                message.scanBinaryResponse(buffer, n);
                if (message.rxCount > 0 && message.rxCount >= message.rxExpected) {
                    result = message.checkBinaryResponse();
                    complete = result == 0 || message.exceptionReceived.load() == 1;
                }
            }
        } else if (n > 9) {
            message.scanAsciiResponse(buffer, n);
            if (message.rxCount > 0 && message.rxFrame[message.rxCount - 1] == '\n') {
                result = message.checkAsciiResponse();
                complete = result == 0 || message.exceptionReceived.load() == 1;
            }
        }
        if (complete)
            break;
        if (n >= kFrameBufferSize) {
            // The buffer is full and still holds no complete response.
            result = kResultMessageTooLong;
            break;
        }
    }
    tcpBusy = 0;

    if (aborted.load() == 1) {
        if (!logging)
            return result != 0 ? result : socket.receiveError.load();
        result = kResultTerminating;
    } else if (!broadcast && result != kResultMessageTooLong) {
        if (n == 0)
            result = kResultTimedOut;
        else if (message.rxCount == 0)
            result = kResultInvalidResponse;
    }
    if (logging) {
        if (addLogRecord(static_cast<unsigned>(CommsLogType::Rx), static_cast<unsigned>(n),
                         buffer) != 0)
            result = kResultLogMemory;
        if (result != 0) {
            addErrorRecord(result);
            if (result == kResultTerminating)
                result = 0;
        }
        if (socket.receiveError.load() != 0)
            addErrorRecord(socket.receiveError.load());
    }
    return result != 0 ? result : socket.receiveError.load();
}
