#include "comms/client_socket.h"
#include "comms/comms_engine.h"
#include "platform/clock.h"
#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"

#include <cstring>
#include <optional>

namespace {

constexpr int kFlushWaitMs = 10;

WParam lowWord(int value) {
    return static_cast<WParam>(value & 0xFFFF);
}

} // namespace

// Working storage of one TCP attempt.
struct CCommsEngine::TcpAttempt {
    TcpAttempt(CCommsEngine& e, CModbusMessage& m, CClientSocket& s)
        : message(m), socket(s), logging(e.logEnabled.load() == 1) {}

    CModbusMessage& message;
    CClientSocket& socket;
    const bool logging;
    std::uint8_t buffer[kFrameBufferSize] = {};
    int n = 0;
    // When the first byte of the reply was read: the RX record carries it, so that the log
    // shows when the unit answered, not when the wait after its last byte ran out.
    std::optional<UtcTime> firstByteAt;
    bool broadcast = false;
    bool interrupted = false; // an abort or stop came during the flush
    int failure = 0;          // a socket error or 5003 ended reception
    bool peerClosed = false;
    ReplyVerdict verdict;
};

int CCommsEngine::tcpTransaction(CModbusMessage& message, CClientSocket& socket) {
    tcpBusy = 1;
    TcpAttempt a(*this, message, socket);
    std::memset(message.rxFrame, 0, sizeof message.rxFrame);
    message.rxCount = 0;
    attemptReceivedCount_ = 0;

    flushTcpInput(a);
    if (const int sendResult = transmitTcp(a); sendResult != 0) {
        tcpBusy = 0;
        return sendResult;
    }
    receiveTcp(a);
    if (!a.broadcast)
        keepReceived(a.buffer, a.n);
    tcpBusy = 0;
    return tcpVerdict(a);
}

// Whatever is still waiting belongs to an earlier request. A unit that never stops sending would
// keep the flush going for ever, so an abort or a stop ends it as well.
void CCommsEngine::flushTcpInput(TcpAttempt& a) {
    CClientSocket& socket = a.socket;
    socket.receiveError = 0;
    while (socket.receiveError.load() == 0) {
        const int woken = waitForAny(tcpWaitSet, kWaitSlots, kFlushWaitMs);
        if (woken == WaitAbort)
            aborted = 1;
        else if (woken == WaitStop)
            stopping = 1;
        if (woken != WaitIo)
            break; // also a time-out, or a failed wait that would only fail again
        const int got = socket.receive(a.buffer, kFrameBufferSize);
        if (got < 0) {
            socket.winsockResult(SocketOp::Receive, CClientSocket::lastError());
            break;
        }
        if (got == 0) {
            socket.connected = 0;
            break;
        }
        const UtcTime readAt = utcNow();
        postMessage(activityWindow_, WM_RX_ACTIVITY, lowWord(got));
        if (a.logging)
            addLogRecord(static_cast<unsigned>(CommsLogType::RxFlush), static_cast<unsigned>(got),
                         a.buffer, readAt);
    }
    std::memset(a.buffer, 0, sizeof a.buffer);
    a.interrupted = aborted.load() == 1 || stopping.load() == 1;
}

// Sends the request; a Modbus/TCP request carries the next transaction identifier, so that a
// late answer to an earlier one is told apart. txFrame keeps the identifier it went out with: the
// completion rule matches the reply against it, and the submitter is shown it. Returns 0, or the
// send's result code (logged).
int CCommsEngine::transmitTcp(TcpAttempt& a) {
    CModbusMessage& message = a.message;
    CClientSocket& socket = a.socket;
    if (message.tcpMode && !a.interrupted) {
        ++transactionId_;
        message.txFrame[0] = static_cast<std::uint8_t>(transactionId_ >> 8);
        message.txFrame[1] = static_cast<std::uint8_t>(transactionId_ & 0xFF);
    }
    a.broadcast = message.broadcastRequest();

    int result = 0;
    socket.sendError = 0;
    int sent = 0;
    while (!a.interrupted && sent < message.txLength && result == 0) {
        const int count = socket.send(message.txFrame + sent, message.txLength - sent);
        if (count < 0) {
            result = socket.winsockResult(SocketOp::Send, CClientSocket::lastError());
        } else {
            postMessage(activityWindow_, WM_TX_ACTIVITY, lowWord(count));
            sent += count;
        }
    }
    if (a.logging && !a.interrupted) {
        addLogRecord(static_cast<unsigned>(CommsLogType::Tx), static_cast<unsigned>(sent),
                     message.txFrame);
        if (result != 0)
            addErrorRecord(result);
        if (socket.sendError.load() != 0)
            addErrorRecord(socket.sendError.load());
    }
    return result != 0 ? result : socket.sendError.load();
}

// Receives until the completion rule says the reply is complete, each wait lasting at most
// time2, or until an abort, a stop, a socket error or the peer closing the connection.
void CCommsEngine::receiveTcp(TcpAttempt& a) {
    a.n = a.broadcast ? a.message.frameOffset() : 0;
    a.socket.receiveError = 0;
    if (a.interrupted || a.broadcast)
        return;
    while (a.socket.receiveError.load() == 0 && receiveTcpPiece(a)) {
    }
}

// Waits for one piece of the reply and asks the completion rule; false when reception ends.
bool CCommsEngine::receiveTcpPiece(TcpAttempt& a) {
    switch (waitForAny(tcpWaitSet, kWaitSlots, a.message.time2.load())) {
    case WaitIo:
        break;
    case WaitAbort:
        aborted = 1;
        return false;
    case WaitStop:
        stopping = 1;
        return false;
    default:
        return false; // time-out, or a failed wait
    }
    const int got = a.socket.receive(a.buffer + a.n, kFrameBufferSize - a.n);
    if (got < 0) {
        a.failure = a.socket.winsockResult(SocketOp::Receive, CClientSocket::lastError());
        return false;
    }
    if (got == 0) {
        a.socket.connected = 0;
        a.peerClosed = true;
        return false;
    }
    if (!a.firstByteAt)
        a.firstByteAt = utcNow();
    postMessage(activityWindow_, WM_RX_ACTIVITY, lowWord(got));
    a.n += got;
    a.verdict = a.message.assessResponse(a.buffer, a.n);
    if (a.verdict.status == ReplyStatus::Complete)
        return false;
    if (a.n >= kFrameBufferSize) {
        // The buffer is full and still holds no complete reply.
        a.failure = kResultMessageTooLong;
        return false;
    }
    return true;
}

// The attempt's result, with its RX and ERROR records.
int CCommsEngine::tcpVerdict(TcpAttempt& a) {
    const int receiveError = a.socket.receiveError.load();
    const int soFar = a.failure != 0 ? a.failure : (a.n > 0 ? a.verdict.result : 0);
    if (aborted.load() == 1) {
        if (!a.logging)
            return soFar != 0 ? soFar : receiveError;
        return recordTcpResult(a, kResultTerminating);
    }
    int result = soFar;
    if (a.failure == 0 && a.verdict.status != ReplyStatus::Complete) {
        if (a.peerClosed)
            result = kResultNoTcpConnection;
        else if (a.broadcast)
            result = 0;
        else if (a.n == 0)
            result = kResultTimedOut;
    }
    return recordTcpResult(a, result);
}

int CCommsEngine::recordTcpResult(TcpAttempt& a, int result) {
    const int receiveError = a.socket.receiveError.load();
    if (a.logging) {
        if (addLogRecord(static_cast<unsigned>(CommsLogType::Rx), static_cast<unsigned>(a.n),
                         a.buffer, a.firstByteAt.value_or(utcNow())) != 0)
            result = kResultLogMemory;
        if (result != 0) {
            addErrorRecord(result);
            if (result == kResultTerminating)
                result = 0;
        }
        if (receiveError != 0)
            addErrorRecord(receiveError);
    }
    return result != 0 ? result : receiveError;
}
