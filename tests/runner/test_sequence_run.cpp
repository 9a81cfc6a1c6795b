// A run of vantrel-run's sequence loop in the test's process, on the real document, engine and
// Test window logic, against a unit written here that misbehaves.

#include "comms/comms_context.h"
#include "config/settings_file.h"
#include "platform/message_queue.h"
#include "protocol/result_codes.h"
#include "resources/string_table.h"
#include "runner/log_spool.h"
#include "runner/sequence_reader.h"
#include "runner/sequence_run.h"
#include "runner/step_exchange.h"
#include "runner/unit_link.h"
#include "tests/support/loopback.h"
#include "windows/vantrel_doc.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <thread>

namespace {

constexpr int kUnitWaitMs = 10000;

class CSilentBox : public IMessageBox {
public:
    void showMessage(const std::string&) override {}
};

// Answers the first read of one register with 5, then reads the next request and goes away.
void answerOnceThenLeave(const CLoopbackListener& listener) {
    pollfd pending{listener.fd(), POLLIN, 0};
    if (::poll(&pending, 1, kUnitWaitMs) <= 0)
        return;
    const int fd = ::accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC);
    std::uint8_t request[260];
    pollfd link{fd, POLLIN, 0};
    if (::poll(&link, 1, kUnitWaitMs) > 0 && ::recv(fd, request, sizeof request, 0) >= 7) {
        const std::uint8_t answer[] = {request[0], request[1], 0, 0, 0, 5, request[6], 3, 2, 0, 5};
        ::send(fd, answer, sizeof answer, MSG_NOSIGNAL);
    }
    if (::poll(&link, 1, kUnitWaitMs) > 0)
        ::recv(fd, request, sizeof request, 0);
    ::close(fd);
}

// A unit that goes away ends the run as unreachable, and the end says so even when an earlier
// send of the step failed for another reason.
TEST(SequenceRun, ALostUnitEndsTheRunWithTheLinksOwnReason) {
    CLoopbackListener listener;
    ASSERT_TRUE(listener.valid());
    // Joined however the test ends, before the listener goes.
    std::jthread unit([&] { answerOnceThenLeave(listener); });
    CVantrelDoc document;
    CSilentBox box;
    ASSERT_TRUE(document.onNewDocument(box));
    CSettingsFile settings;
    CLocation location(kMediaCodeTcpIp);
    location.name = "Unit";
    location.ipAddress = INADDR_LOOPBACK;
    location.tcpPort = listener.port();
    location.modbusType = ModbusType::ModbusTcp;
    settings.append(location);
    CMessageQueue queue;
    CUnitLink link(document, settings, queue);
    const std::atomic<bool> interrupt{false};
    ASSERT_EQ(link.connect("Unit", interrupt), "");

    const SequenceReadResult read =
        readSequence("[[step]]\nfunction = 3\nrepeat = 2\nexpect = { values = [6] }\n");
    ASSERT_TRUE(read.sequence) << read.error.text;
    CStepExchange exchange(
        document, queue,
        {location.mediaType, location.modbusType, 1, kAddressingIndexLogical, ","});
    CLogSpool spool;
    CProgressPrinter quiet(stdout, false, true);
    CSequenceRun run(*read.sequence, exchange, spool, document.context().engine.logRecords, quiet);
    RunReport report;
    run.run(report, {1, 0}, interrupt);
    link.disconnect();

    ASSERT_EQ(report.steps.size(), 1U);
    EXPECT_EQ(report.steps[0].sent, 2);
    EXPECT_EQ(report.steps[0].firstFailure, "value 1 is 5, expected 6");
    EXPECT_EQ(report.end, RunEnd::Unreachable);
    EXPECT_NE(report.endText.find(loadString(kResultNoTcpConnection)), std::string::npos)
        << report.endText;
}

// A spool that cannot be written keeps the errno of its first failure for the run's end.
TEST(LogSpool, KeepsItsFirstWriteFailure) {
    CLogSpool spool;
    ASSERT_EQ(spool.open("/dev/full"), 0);
    CCommsLogStore store;
    const std::uint8_t frame[] = {1, 3, 0, 0, 0, 1};
    ASSERT_EQ(store.addLogRecord(static_cast<unsigned>(CommsLogType::Tx), sizeof frame, frame), 0);
    EXPECT_EQ(spool.drain(store), ENOSPC);
    EXPECT_EQ(store.count(), 0);
    EXPECT_EQ(spool.error(), ENOSPC);
}

} // namespace
