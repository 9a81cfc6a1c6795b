#include "comms/comms_engine.h"

#include "comms/comms_context.h"
#include "platform/clock.h"
#include "protocol/result_codes.h"

#include <algorithm>
#include <cstring>
#include <system_error>

namespace {

// The idle wait of the thread between jobs, longer on a line that echoes.
constexpr int kIdleMs = 10;
constexpr int kIdleEchoMs = 40;
// The pause before a further serial attempt, longer on a line that echoes.
constexpr int kRetryPauseMs = 20;
constexpr int kRetryPauseEchoMs = 40;
// What the idle wait reports when a job is pending.
constexpr int kJobPending = 0;

} // namespace

CCommsEngine::CCommsEngine() = default;

CCommsEngine::~CCommsEngine() {
    if (threadHandle.joinable()) {
        stopEvent.set();
        threadHandle.join();
    }
}

int CCommsEngine::queueJob(JobType type, std::uint8_t* request, const std::uint16_t* requestLength,
                           std::uint8_t* response, std::uint16_t* responseLength,
                           WindowHandle notifyWindow) {
    if (request == nullptr || response == nullptr || requestLength == nullptr ||
        responseLength == nullptr || *requestLength == 0 || *requestLength > kMaxRequestLength)
        return kResultInvalidWriteRequest;
    if (stopping.load() == 1)
        return kResultStopping;
    auto job = std::make_unique<CCommsJob>(
        CCommsJob{type, request, requestLength, response, responseLength, notifyWindow});
    std::lock_guard guard(jobLock);
    jobQueue.push_back(std::move(job));
    return 0;
}

bool CCommsEngine::startThread(CCommsContext& context) {
    if (context.commsThreadRunning.load() == 1)
        return true;
    if (!jobPendingEvent.valid() || !stopEvent.valid())
        return false;
    if (threadHandle.joinable()) {
        // Started but not yet marked running: it is on its way. Otherwise it has ended.
        if (!threadEndedEvent_.wait(0))
            return true;
        threadHandle.join();
    }
    stopEvent.reset();
    threadEndedEvent_.reset();
    try {
        threadHandle = std::thread([this, &context] {
            runCommsThread(context);
            threadEndedEvent_.set();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool CCommsEngine::stopThread(CCommsContext&) {
    // The thread handle, not commsThreadRunning, says whether there is a thread to stop: a thread
    // started a moment ago may not have set the flag yet.
    if (!threadHandle.joinable())
        return true;
    stopEvent.set();
    if (!threadEndedEvent_.wait(kControllerWaitMs)) {
        // Still running; a later stop (or the destructor) waits again.
        return false;
    }
    threadHandle.join();
    return true;
}

bool CCommsEngine::abortCurrentJob() {
    if (!threadHandle.joinable())
        return false;
    abortDoneEvent.reset();
    if (serialBusy.load() == 1 || tcpBusy.load() == 1)
        abortEvent.set();
    aborted = 1;
    const bool done = abortDoneEvent.wait(kControllerWaitMs);
    abortEvent.reset();
    return done;
}

bool CCommsEngine::cancelJobs(WindowHandle window) {
    if (!threadHandle.joinable())
        return false;
    cancelDoneEvent.reset();
    cancelKey = window;
    cancelRequest = 1;
    return cancelDoneEvent.wait(kControllerWaitMs);
}

int CCommsEngine::addErrorRecord(int code) {
    const auto value = static_cast<std::uint32_t>(code);
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return addLogRecord(static_cast<unsigned>(CommsLogType::Error), 4, bytes);
}

int CCommsEngine::runCommsThread(CCommsContext& context) {
    context.commsThreadRunning = 1;
    armWaitSets(context.socket.dataReady);
    stopping = 0;

    while (stopping.load() == 0) {
        const int idleMs = context.message.removeEcho.load() == 1 ? kIdleEchoMs : kIdleMs;
        const int woken = waitForAny({{&jobPendingEvent, -1}, {&stopEvent, -1}}, idleMs);
        if (woken == kJobPending) {
            serveHeadJob(context);
        } else if (woken == kWaitTimeout) {
            // Cleared before the signal, so that the controller never sees its abort still set.
            if (aborted.exchange(0) == 1)
                abortDoneEvent.set();
            if (cancelRequest.load() == 1) {
                cancelRequest = 0;
                dropQueuedJobs(cancelKey.load());
                cancelDoneEvent.set();
            }
            std::lock_guard guard(jobLock);
            if (!jobQueue.empty())
                jobPendingEvent.set();
        } else {
            stopping = 1;
        }
    }
    endThread(context);
    return 0;
}

void CCommsEngine::armWaitSets(CEvent& dataReady) {
    serialWaitSet[WaitAbort] = WaitItem{&abortEvent, -1};
    serialWaitSet[WaitStop] = WaitItem{&stopEvent, -1};
    tcpWaitSet[WaitIo] = WaitItem{&dataReady, -1};
    tcpWaitSet[WaitAbort] = WaitItem{&abortEvent, -1};
    tcpWaitSet[WaitStop] = WaitItem{&stopEvent, -1};
}

void CCommsEngine::endThread(CCommsContext& context) {
    CSerialPort& port = context.serialPort;
    if (context.message.serialLink.load() == 1 && port.isOpen()) {
        try {
            port.purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
        } catch (const CSerialException&) {
            // The port is closed below all the same.
        }
        try {
            port.close();
        } catch (const CSerialException&) {
            // close() has released the device even when restoring its settings failed.
        }
    }
    context.socket.disconnect();
    {
        std::lock_guard guard(jobLock);
        jobQueue.clear();
    }
    context.commsThreadRunning = 0;
}

void CCommsEngine::dropQueuedJobs(WindowHandle window) {
    std::lock_guard guard(jobLock);
    for (std::size_t i = jobQueue.size(); i-- > 0;) {
        if (window == 0 || jobQueue[i]->notifyWindow == window)
            jobQueue.erase(jobQueue.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void CCommsEngine::removeHeadJob() {
    std::lock_guard guard(jobLock);
    if (!jobQueue.empty())
        jobQueue.erase(jobQueue.begin());
}

void CCommsEngine::serveHeadJob(CCommsContext& context) {
    const CCommsJob* job = nullptr;
    {
        std::lock_guard guard(jobLock);
        if (jobQueue.empty())
            return;
        job = jobQueue.front().get();
    }
    CModbusMessage& message = context.message;
    message.modemCommandMode = job->type == JobType::ModemCommand ? 1 : 0;

    // The request is read while the window is known to be live: its buffers go away with it.
    int length = 0;
    const bool live = whileWindowLive(job->notifyWindow, [&] {
        length = *job->requestLength;
        if (length > 0 && length <= kMaxRequestLength)
            std::memcpy(message.txFrame, job->request, static_cast<std::size_t>(length));
    });
    if (!live) {
        removeHeadJob();
        return;
    }
    if (length == 0 || length > kMaxRequestLength) {
        // The length was changed after the job was queued; sending it would overrun txFrame.
        message.rxCount = 0;
        message.txLength = 0;
        finishJob(context, *job, kResultInvalidWriteRequest);
        removeHeadJob();
        return;
    }
    message.txLength = length;
    logEnabled = context.logComms.load();
    activityWindow_ = context.mainWindow.load();
    message.exceptionReceived = 0;
    // A job that runs no exchange (no connection) hands back nothing, not the previous job's
    // answer, which may belong to another window.
    message.rxCount = 0;
    attemptReceivedCount_ = 0;
    // An abort asked for between jobs is acknowledged here, and a stale abort signal must not
    // end the new job's first exchange.
    if (aborted.exchange(0) == 1)
        abortDoneEvent.set();
    abortEvent.reset();

    const int result = runAttempts(context, *job);
    finishJob(context, *job, result);
    removeHeadJob();
}

int CCommsEngine::runAttempts(CCommsContext& context, const CCommsJob& job) {
    CModbusMessage& message = context.message;
    // A broadcast is executed by every unit that hears it: it is never sent twice.
    const bool broadcast = job.type == JobType::ModbusRequest && message.broadcastRequest();
    int result = 0;
    for (int attempt = 0; mayAttempt(message, attempt, broadcast); ++attempt) {
        if (message.serialLink.load() == 1) {
            // An abort that came during the pause finds no exchange to end: take no attempt.
            if (!prepareSerialAttempt(context, job, attempt, result))
                break;
            result = runSerialAttempt(context);
        } else if (context.socket.connected.load() == 1) {
            result = tcpTransaction(message, context.socket);
        } else {
            result = kResultNoTcpConnection;
        }
        if (result == 0)
            break;
    }
    return result;
}

bool CCommsEngine::mayAttempt(const CModbusMessage& message, int attempt, bool broadcast) const {
    // At least one attempt, whatever the retry count says: no attempt would report success.
    const bool first = attempt == 0;
    if (!first && (broadcast || attempt > message.retries.load()))
        return false;
    return message.exceptionReceived.load() == 0 && aborted.load() == 0 && stopping.load() == 0;
}

bool CCommsEngine::prepareSerialAttempt(CCommsContext& context, const CCommsJob& job, int attempt,
                                        int previousResult) {
    if (context.modemConnected.load() == 1)
        context.modemIdleMs = 0;
    if (attempt >= 1 && stopping.load() == 0) {
        if (job.type == JobType::ModemCommand && job.notifyWindow != 0)
            postMessage(job.notifyWindow, WM_COMMS_RESULT, static_cast<WParam>(JobType::Retrying),
                        previousResult);
        // An attempt that timed out has already waited its full time-out.
        if (previousResult != kResultTimedOut)
            sleepMs(context.message.removeEcho.load() == 1 ? kRetryPauseEchoMs : kRetryPauseMs);
    }
    return aborted.load() == 0 && stopping.load() == 0;
}

int CCommsEngine::runSerialAttempt(CCommsContext& context) {
    try {
        return serialTransaction(context.message, context.serialPort);
    } catch (const CSerialException&) {
        serialBusy = 0;
        if (logEnabled.load() == 1)
            addErrorRecord(kResultUnknownPortError);
        return kResultUnknownPortError;
    }
}

void CCommsEngine::handBackRequest(const CCommsJob& job, const CModbusMessage& message) {
    const int count =
        std::min<int>(std::clamp(message.txLength, 0, kFrameBufferSize), *job.requestLength);
    std::memcpy(job.request, message.txFrame, static_cast<std::size_t>(count));
}

void CCommsEngine::keepReceived(const std::uint8_t* bytes, int count) {
    const int room = kFrameBufferSize - attemptReceivedCount_;
    const int kept = std::clamp(count, 0, room);
    std::memcpy(attemptReceived_ + attemptReceivedCount_, bytes, static_cast<std::size_t>(kept));
    attemptReceivedCount_ += kept;
}

void CCommsEngine::finishJob(CCommsContext& context, const CCommsJob& job, int result) {
    const CModbusMessage& message = context.message;
    // Under the registry lock the window cannot go away while its buffers are written, and the
    // result is posted only after the response is in place.
    whileWindowLive(job.notifyWindow, [&] {
        if (job.type == JobType::ModbusRequest)
            handBackRequest(job, message);
        const bool failedRequest = job.type == JobType::ModbusRequest && result != 0;
        const std::uint8_t* bytes = failedRequest ? attemptReceived_ : message.rxFrame;
        const int count = std::clamp(failedRequest ? attemptReceivedCount_ : message.rxCount, 0,
                                     kFrameBufferSize);
        std::memcpy(job.response, bytes, static_cast<std::size_t>(count));
        *job.responseLength = static_cast<std::uint16_t>(count);
        if (stopping.load() == 0)
            postMessage(job.notifyWindow, WM_COMMS_RESULT, static_cast<WParam>(job.type), result);
    });
}
