#pragma once

#include "comms/comms_job.h"
#include "comms/serial_port.h"
#include "commslog/comms_log_store.h"
#include "platform/events.h"
#include "platform/window_messages.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CModbusMessage;
class CClientSocket;
class CCommsContext;

// Result codes of the engine and its exchanges that are not Modbus results.
constexpr int kResultStopping = 1;               // job refused while the thread ends
constexpr int kResultTerminating = 5001;         // marks an abort inside an exchange
constexpr int kResultInvalidWriteRequest = 5016; // "Invalid write request data."
constexpr int kResultUnknownPortError = 5040;    // "Unknown Communications Port Error."

// Every wait of the user-interface thread on the comms thread is bounded by this.
constexpr int kControllerWaitMs = 10000;

// The three places of a wait set, in the order the waits report them.
enum WaitSlot : int {
    WaitIo = 0,    // the serial exchange's I/O descriptor, or the socket's dataReady
    WaitAbort = 1, // abortEvent
    WaitStop = 2,  // stopEvent
    kWaitSlots = 3,
};

// The comms engine: a queue of jobs served one at a time by the comms thread, with the events
// and flags through which the user-interface thread steers it, and the comms log. The
// user-interface thread calls queueJob, the four controller operations, reads the busy flags and
// uses the log; everything else belongs to the comms thread.
class CCommsEngine {
public:
    CCommsEngine();
    // Stops the thread if it still runs and waits for it without a limit: it uses the objects of
    // the context, which must not go away under it.
    ~CCommsEngine();
    CCommsEngine(const CCommsEngine&) = delete;
    CCommsEngine& operator=(const CCommsEngine&) = delete;

    // Queues a job. Returns 0, 5016 when a buffer is missing or *requestLength is not 1 to 640,
    // or 1 when the thread is ending; nothing is queued unless it returns 0. The thread notices
    // the job at its next idle time-out. What the job writes back is said at CCommsJob.
    int queueJob(JobType type, std::uint8_t* request, const std::uint16_t* requestLength,
                 std::uint8_t* response, std::uint16_t* responseLength, WindowHandle notifyWindow);

    // Controller operations (user-interface thread).
    // Starts the comms thread with the context; true when it runs (or already ran). False when
    // the thread or its events cannot be created.
    bool startThread(CCommsContext& context);
    // Tells the thread to end and waits up to 10 s; true when it has ended (or never ran).
    bool stopThread(CCommsContext& context);
    // Aborts the exchange in progress and waits up to 10 s for the thread to acknowledge; true
    // when it did.
    bool abortCurrentJob();
    // Has the thread drop the queued jobs of a window (0: of every window) and waits up to 10 s;
    // true when they have been dropped.
    bool cancelJobs(WindowHandle window);

    // 1 while a serial / TCP exchange runs (written by the comms thread).
    std::atomic<std::int32_t> serialBusy{0};
    std::atomic<std::int32_t> tcpBusy{0};

    // The comms log, with its own lock (any thread adds; the user-interface thread clears).
    CCommsLogStore logRecords;
    int addLogRecord(unsigned type, unsigned size, const void* data) {
        return logRecords.addLogRecord(type, size, data);
    }
    int addLogRecord(unsigned type, unsigned size, const void* data, UtcTime stamp) {
        return logRecords.addLogRecord(type, size, data, stamp);
    }
    void clearLog() { logRecords.clearLog(); }
    // 1 while the job being served records its traffic; the log window turns it off while it
    // clears the log.
    std::atomic<std::int32_t> logEnabled{0};
    // Adds an ERROR record whose 4 data bytes are `code`, least significant byte first. Returns as
    // addLogRecord.
    int addErrorRecord(int code);

private:
    // Lets the tests and the benchmark run one exchange without the thread.
    friend class CCommsEngineProbe;
    struct SerialAttempt;
    struct TcpAttempt;

    // The thread procedure: serves jobs until stopEvent (or a failed wait). Returns 0.
    int runCommsThread(CCommsContext& context);
    // Puts the abort and stop events, and the socket's dataReady, in their wait slots.
    void armWaitSets(CEvent& dataReady);
    // Frees the queued jobs of a window (0: every job), from the tail to the head. Between jobs.
    void dropQueuedJobs(WindowHandle window);
    void serveHeadJob(CCommsContext& context);
    int runAttempts(CCommsContext& context, const CCommsJob& job);
    bool mayAttempt(const CModbusMessage& message, int attempt, bool broadcast) const;
    // Before a serial attempt: the modem's idle time, the retry notice and the pause between
    // attempts. False when an abort or a stop has come.
    bool prepareSerialAttempt(CCommsContext& context, const CCommsJob& job, int attempt,
                              int previousResult);
    int runSerialAttempt(CCommsContext& context);
    void finishJob(CCommsContext& context, const CCommsJob& job, int result);
    // Writes the frame as it last went out back into the submitter's request.
    static void handBackRequest(const CCommsJob& job, const CModbusMessage& message);
    void removeHeadJob();
    void endThread(CCommsContext& context);

    // One attempt over the serial port / the socket. Return the result code (0: success).
    int serialTransaction(CModbusMessage& message, CSerialPort& port);
    int tcpTransaction(CModbusMessage& message, CClientSocket& socket);
    // The phases of the serial exchange.
    void flushSerialInput(SerialAttempt& a);
    bool transmitSerial(SerialAttempt& a);
    void receiveSerial(SerialAttempt& a);
    void waitForCharacters(SerialAttempt& a);
    void readWhileBytesCome(SerialAttempt& a, std::uint32_t waitStart);
    int serialVerdict(SerialAttempt& a, std::uint32_t lineErrors);
    // The phases of the TCP exchange.
    void flushTcpInput(TcpAttempt& a);
    int transmitTcp(TcpAttempt& a);
    void receiveTcp(TcpAttempt& a);
    bool receiveTcpPiece(TcpAttempt& a);
    int tcpVerdict(TcpAttempt& a);
    int recordTcpResult(TcpAttempt& a, int result);

    std::thread threadHandle;
    std::atomic<WindowHandle> cancelKey{0}; // window whose jobs are dropped; 0: every window
    CEvent jobPendingEvent;
    CEvent cancelDoneEvent;
    CEvent abortEvent;
    CEvent abortDoneEvent;
    CEvent stopEvent;
    std::atomic<std::int32_t> cancelRequest{0};
    std::atomic<std::int32_t> aborted{0};
    std::atomic<std::int32_t> stopping{0};
    SerialTimeouts portTimeouts;
    WaitItem serialWaitSet[kWaitSlots];
    WaitItem tcpWaitSet[kWaitSlots];
    std::mutex jobLock;
    std::vector<std::unique_ptr<CCommsJob>> jobQueue; // guarded by jobLock; [0] is being served

    // The main window of the job being served, which receives the activity messages.
    WindowHandle activityWindow_ = 0;
    // The Modbus/TCP transaction identifier of the last request sent.
    std::uint16_t transactionId_ = 0;
    // What the current attempt has received after sending, as it arrived; a failed request hands
    // it back, so that a rejected reply can be seen as it came.
    std::uint8_t attemptReceived_[kFrameBufferSize] = {};
    int attemptReceivedCount_ = 0;
    void keepReceived(const std::uint8_t* bytes, int count);
    CEvent threadEndedEvent_;
};
