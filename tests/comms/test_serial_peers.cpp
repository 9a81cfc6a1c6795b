// The serial exchange against independent Modbus units: pymodbus (RTU and ASCII) and libmodbus
// (RTU), each on one end of a pseudo-terminal pair made by socat.

#include "comms/comms_context.h"
#include "platform/message_queue.h"
#include "protocol/check_values.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/peer_process.h"
#include "tests/support/test_frames.h"
#include "tests/support/test_serial_support.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Requests in order (the write is read back), with the answers for the units' initial contents.
const FrameStep kSteps[] = {
    {"03 read holding registers", {1, 3, 0, 0, 0, 3}, {1, 3, 6, 0, 1, 0, 4, 0, 7}, 0},
    {"01 read coils", {1, 1, 0, 0, 0, 10}, {1, 1, 2, 0x49, 0x02}, 0},
    {"04 read input registers", {1, 4, 0, 5, 0, 2}, {1, 4, 4, 0x03, 0xED, 0x03, 0xEE}, 0},
    {"06 preset register", {1, 6, 0, 10, 0x12, 0x34}, {1, 6, 0, 10, 0x12, 0x34}, 0},
    {"03 read back", {1, 3, 0, 10, 0, 1}, {1, 3, 2, 0x12, 0x34}, 0},
    {"illegal data address", {1, 3, 0x01, 0xF4, 0, 1}, {1, 0x83, 2}, 5010},
};

enum class Peer { PymodbusRtu, PymodbusAscii, LibmodbusRtu };

void PrintTo(Peer peer, std::ostream* os) {
    constexpr const char* kNames[] = {"PymodbusRtu", "PymodbusAscii", "LibmodbusRtu"};
    *os << kNames[static_cast<int>(peer)];
}

class SerialPeers : public ::testing::TestWithParam<Peer> {};

TEST_P(SerialPeers, ServesRequestsAndAnException) {
    if (::access("/usr/bin/socat", X_OK) != 0)
        GTEST_SKIP() << "socat is not installed";
    const Peer peer = GetParam();
    const std::string libmodbusUnit = VANTREL_SERIAL_LIBMODBUS_UNIT;
    if (peer == Peer::LibmodbusRtu && libmodbusUnit.empty())
        GTEST_SKIP() << "libmodbus-dev is not installed";
    const bool asciiFraming = peer == Peer::PymodbusAscii;

    CTempPortsDir ports;
    CSocatLine line(ports.path() + "/COM5", ports.path() + "/unit");
    ASSERT_TRUE(line.ready());
    const std::string script = VANTREL_SOURCE_DIR "/tests/peers/serial_pymodbus_unit.py";
    CPeerProcess unit(peer == Peer::LibmodbusRtu
                          ? std::vector<std::string>{libmodbusUnit, ports.path() + "/unit"}
                          : std::vector<std::string>{"/usr/bin/python3", script,
                                                     asciiFraming ? "ascii" : "rtu",
                                                     ports.path() + "/unit"});
    ASSERT_NE(unit.port(), 0) << "the unit did not start";

    CCommsContext ctx;
    ctx.serialPort.open(5, 19200, Parity::None, 8, StopBits::One, FlowControl::None, true);
    ASSERT_TRUE(ctx.serialPort.isOpen());
    ctx.serialPort.setTimeouts({kReadIntervalImmediate, 0, 0, 0, 0});
    CModbusMessage& m = ctx.message;
    m.serialLink = 1;
    m.binaryMode = asciiFraming ? 0 : 1;
    m.modbusId = 1;
    m.retries = 0;
    m.time1 = 3000;
    m.time2 = 300;
    m.readPause = 1;
    ASSERT_TRUE(ctx.engine.startThread(ctx));

    for (const auto& step : kSteps) {
        Bytes request = asciiFraming ? asciiFrame(step.request) : rtuFrame(step.request);
        const Bytes answer = asciiFraming ? asciiFrame(step.answer) : rtuFrame(step.answer);
        CSubmitter submitter;
        ASSERT_EQ(submitter.submit(ctx.engine, request), 0);
        const auto result = submitter.result();
        ASSERT_TRUE(result) << step.name;
        EXPECT_EQ(result->lParam, step.result) << step.name;
        EXPECT_EQ(submitter.received(), answer) << step.name;
    }
    ctx.engine.stopThread(ctx);
}

INSTANTIATE_TEST_SUITE_P(Units, SerialPeers,
                         ::testing::Values(Peer::PymodbusRtu, Peer::PymodbusAscii,
                                           Peer::LibmodbusRtu));

} // namespace
