#pragma once

// A Modbus/TCP unit written in the test (a scripted far end on 127.0.0.1), and an engine with
// its comms thread and submitting windows, for the engine and TCP tests.

#include "comms/comms_context.h"
#include "platform/clock.h"
#include "platform/message_queue.h"
#include "protocol/check_values.h"
#include "tests/support/loopback.h"
#include "tests/support/test_frames.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

constexpr std::uint32_t kLoopback = 0x7F000001;

// A Modbus/TCP request with transaction id 1.
inline Bytes tcpRequest(std::uint8_t unit, std::uint8_t function, const Bytes& data) {
    const auto length = static_cast<std::uint16_t>(data.size() + 2);
    Bytes frame{0,
                1,
                0,
                0,
                static_cast<std::uint8_t>(length >> 8),
                static_cast<std::uint8_t>(length & 0xFF),
                unit,
                function};
    // Appended one by one: GCC 12 at -O3 misreads a range insert here as out of bounds.
    std::copy(data.begin(), data.end(), std::back_inserter(frame));
    return frame;
}

// The Modbus/TCP answer to `request` carrying `pdu` (function code first).
inline Bytes tcpAnswer(const Bytes& request, const Bytes& pdu) {
    const auto length = static_cast<std::uint16_t>(pdu.size() + 1);
    Bytes frame{request.at(0),
                request.at(1),
                0,
                0,
                static_cast<std::uint8_t>(length >> 8),
                static_cast<std::uint8_t>(length & 0xFF),
                request.at(6)};
    std::copy(pdu.begin(), pdu.end(), std::back_inserter(frame));
    return frame;
}

// One accepted connection as the unit's script sees it.
class CUnitLink {
public:
    CUnitLink(int fd, int stopFd, std::atomic<int>& requests)
        : fd_(fd), stopFd_(stopFd), requests_(requests) {}

    // The bytes of the next request: waits up to timeoutMs for data and returns what one read
    // gets (the engine sends a request in one piece). Empty on time-out, close or stop.
    Bytes readRequest(int timeoutMs = 5000) {
        Bytes bytes(1024);
        pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (fd_ < 0 || ::poll(fds, 2, timeoutMs) <= 0 || fds[1].revents != 0)
            return {};
        const ssize_t n = ::recv(fd_, bytes.data(), bytes.size(), 0);
        bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        if (!bytes.empty())
            ++requests_;
        return bytes;
    }
    // False once the engine's end has gone (or the bytes went only in part).
    bool send(const Bytes& bytes) const {
        return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                               static_cast<ssize_t>(bytes.size());
    }
    // Sends answer(request) for every request until none comes within timeoutMs.
    void answerEach(const std::function<Bytes(const Bytes&)>& answer, int timeoutMs = 5000) {
        for (Bytes r = readRequest(timeoutMs); !r.empty(); r = readRequest(timeoutMs))
            send(answer(r));
    }
    // Waits until the unit is stopped, the peer closes or timeoutMs passes, reading nothing.
    void linger(int timeoutMs) const {
        pollfd fds[1] = {{stopFd_, POLLIN, 0}};
        ::poll(fds, 1, timeoutMs);
    }
    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    // Drops the connection with a reset instead of an orderly close.
    void reset() {
        const ::linger abortive{1, 0};
        if (fd_ >= 0)
            ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        close();
    }

private:
    int fd_;
    int stopFd_;
    std::atomic<int>& requests_;
};

// A unit on 127.0.0.1 with a kernel-chosen port that runs `script` for each connection it
// accepts, one at a time, until it is destroyed.
class CFakeUnit {
public:
    using Script = std::function<void(CUnitLink&)>;

    explicit CFakeUnit(Script script) : script_(std::move(script)) {
        thread_ = std::thread([this] { run(); });
    }
    ~CFakeUnit() {
        stop_.set();
        thread_.join();
    }
    CFakeUnit(const CFakeUnit&) = delete;
    CFakeUnit& operator=(const CFakeUnit&) = delete;

    std::uint16_t port() const { return listener_.port(); }
    // Requests the scripts have read so far.
    int requests() const { return requests_.load(); }
    // Requests read once `expected` have arrived or a generous bound has passed: a request the
    // engine does not wait an answer for (a broadcast) may still be on its way to the unit when
    // the engine's result arrives.
    int requestsOnceArrived(int expected) const {
        for (int waited = 0; requests_.load() < expected && waited < kArrivalBoundMs;
             waited += kArrivalPollMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(kArrivalPollMs));
        return requests_.load();
    }

private:
    void run() {
        while (!stop_.tryWait()) {
            pollfd fds[2] = {{listener_.fd(), POLLIN, 0}, {stop_.fd(), POLLIN, 0}};
            if (::poll(fds, 2, 10000) <= 0 || fds[1].revents != 0)
                return;
            const int fd = ::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            CUnitLink link(fd, stop_.fd(), requests_);
            script_(link);
            link.close();
        }
    }

    Script script_;
    CLoopbackListener listener_;
    CEvent stop_;
    std::thread thread_;
    static constexpr int kArrivalBoundMs = 2000;
    static constexpr int kArrivalPollMs = 5;
    std::atomic<int> requests_{0};
};

// A window that submits jobs, with the buffers a job refers to. The window is declared last so
// that it unregisters before the buffers go away.
class CSubmitter {
public:
    CSubmitter() { std::fill(std::begin(response), std::end(response), std::uint8_t{0xEE}); }

    int submit(CCommsEngine& engine, const Bytes& frame, JobType type = JobType::ModbusRequest) {
        std::copy(frame.begin(), frame.end(), request);
        requestLength = static_cast<std::uint16_t>(frame.size());
        return engine.queueJob(type, request, &requestLength, response, &responseLength,
                               window->handle());
    }
    // The job's result message, if it arrives within timeoutMs.
    std::optional<QueuedMessage> result(int timeoutMs = 10000) {
        return window->waitFor(WM_COMMS_RESULT, timeoutMs);
    }
    Bytes received() const { return Bytes(response, response + responseLength); }
    bool responseUntouched() const {
        return responseLength == 0xFFFF && std::all_of(std::begin(response), std::end(response),
                                                       [](std::uint8_t b) { return b == 0xEE; });
    }

    std::uint8_t request[kMaxRequestLength] = {};
    std::uint16_t requestLength = 0;
    std::uint8_t response[kFrameBufferSize];
    std::uint16_t responseLength = 0xFFFF;
    std::unique_ptr<CMessageQueue> window = std::make_unique<CMessageQueue>();
};

// The document's comms part with its thread running and a main window for activity messages.
class CEngineHarness {
public:
    explicit CEngineHarness(int modbusTypeTcp = 1) {
        context.mainWindow = mainWindow.handle();
        context.message.tcpMode = modbusTypeTcp;
        context.message.binaryMode = 1;
        context.message.serialLink = 0;
        context.message.retries = 0;
        context.message.time1 = 2000;
        context.message.time2 = 2000;
        started = context.engine.startThread(context);
    }
    ~CEngineHarness() { context.engine.stopThread(context); }

    // Connects the socket to 127.0.0.1:port; true once connected (within 5 s).
    bool connect(std::uint16_t port) {
        if (context.socket.connectTo(kLoopback, port) != 0)
            return false;
        for (int i = 0; i < 500 && context.socket.connected.load() == 0 &&
                        context.socket.connectError.load() == 0;
             ++i)
            sleepMs(10);
        return context.socket.connected.load() == 1;
    }
    // Connects to the unit at 127.0.0.1:port and has `submitter` queue `request`; the job's
    // result, or none (with the failure added) when the connect, the queueing or the result fails.
    std::optional<QueuedMessage> exchange(std::uint16_t port, CSubmitter& submitter,
                                          const Bytes& request) {
        if (!connect(port)) {
            ADD_FAILURE() << "no connection to port " << port;
            return std::nullopt;
        }
        if (const int refused = submitter.submit(context.engine, request); refused != 0) {
            ADD_FAILURE() << "job refused: " << refused;
            return std::nullopt;
        }
        return submitter.result();
    }
    // Disconnects and stops the comms thread: the unit has then seen every request it will.
    void finish() {
        context.socket.disconnect();
        context.engine.stopThread(context);
    }
    // The types of the log records so far.
    std::vector<int> logTypes() const {
        std::vector<int> types;
        for (int i = 0; i < context.engine.logRecords.count(); ++i)
            types.push_back(context.engine.logRecords.record(i)->type);
        return types;
    }
    // The result codes carried by the ERROR records so far.
    std::vector<int> loggedErrors() const {
        std::vector<int> codes;
        for (int i = 0; i < context.engine.logRecords.count(); ++i) {
            const CCommsLogRecord* r = context.engine.logRecords.record(i);
            if (r->type == static_cast<int>(CommsLogType::Error) && r->size == 4)
                codes.push_back(r->data[0] | r->data[1] << 8 | r->data[2] << 16 | r->data[3] << 24);
        }
        return codes;
    }

    CMessageQueue mainWindow;
    CCommsContext context;
    bool started = false;
};
