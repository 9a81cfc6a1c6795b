#include "tests/support/engine_test_support.h"
#include "tests/support/peer_process.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace {

enum class Framing { ModbusTcp, Rtu, Ascii };

void PrintTo(Framing framing, std::ostream* os) {
    constexpr const char* kNames[] = {"ModbusTcp", "Rtu", "Ascii"};
    *os << kNames[static_cast<int>(framing)];
}

// The frame of a request or response PDU for unit 1 in the given framing; Modbus/TCP answers
// carry the request's transaction identifier (1).
Bytes frameOf(Framing framing, const Bytes& pdu) {
    Bytes withUnit{1};
    withUnit.insert(withUnit.end(), pdu.begin(), pdu.end());
    switch (framing) {
    case Framing::ModbusTcp:
        return tcpAnswer(tcpRequest(1, 0, {}), pdu);
    case Framing::Rtu:
        return rtuFrame(withUnit);
    default:
        return asciiFrame(withUnit);
    }
}

// Requests in order (the writes are read back) with the unit's answers for the contents both
// peers start with: coils on where address % 3 == 0, discrete inputs on where the address is
// even, holding registers 3 * address + 1, input registers 1000 + address.
const FrameStep kSteps[] = {
    {"01 read coils", {1, 0, 0, 0, 10}, {1, 2, 0x49, 0x02}, 0},
    {"02 read discrete inputs", {2, 0, 0, 0, 8}, {2, 1, 0x55}, 0},
    {"03 read holding registers", {3, 0, 0, 0, 3}, {3, 6, 0, 1, 0, 4, 0, 7}, 0},
    {"04 read input registers", {4, 0, 5, 0, 2}, {4, 4, 0x03, 0xED, 0x03, 0xEE}, 0},
    {"05 force coil", {5, 0, 1, 0xFF, 0}, {5, 0, 1, 0xFF, 0}, 0},
    {"01 read back", {1, 0, 0, 0, 3}, {1, 1, 0x03}, 0},
    {"06 preset register", {6, 0, 10, 0x12, 0x34}, {6, 0, 10, 0x12, 0x34}, 0},
    {"15 force coils", {15, 0, 20, 0, 3, 1, 0x05}, {15, 0, 20, 0, 3}, 0},
    {"01 read back", {1, 0, 20, 0, 3}, {1, 1, 0x05}, 0},
    {"16 preset registers", {16, 0, 30, 0, 2, 4, 0xAA, 0xAA, 0xBB, 0xBB}, {16, 0, 30, 0, 2}, 0},
    {"03 read back", {3, 0, 30, 0, 2}, {3, 4, 0xAA, 0xAA, 0xBB, 0xBB}, 0},
    {"exception: illegal data address", {3, 0x01, 0xF4, 0, 1}, {0x83, 2}, 5010},
};

void runSteps(std::uint16_t port, Framing framing) {
    ASSERT_NE(port, 0) << "the peer did not start";
    CEngineHarness h(framing == Framing::ModbusTcp ? 1 : 0);
    h.context.message.binaryMode = framing == Framing::Ascii ? 0 : 1;
    h.context.message.retries = 1;
    ASSERT_TRUE(h.connect(port));
    for (const FrameStep& step : kSteps) {
        SCOPED_TRACE(step.name);
        CSubmitter submitter;
        Bytes request = framing == Framing::ModbusTcp
                            ? tcpRequest(1, step.request[0],
                                         Bytes(step.request.begin() + 1, step.request.end()))
                            : frameOf(framing, step.request);
        ASSERT_EQ(submitter.submit(h.context.engine, request), 0);
        const auto result = submitter.result();
        ASSERT_TRUE(result);
        EXPECT_EQ(result->lParam, step.result);
        Bytes expected = frameOf(framing, step.answer);
        if (framing == Framing::ModbusTcp) {
            // The answer comes back with the transaction identifier the request went out with.
            expected[0] = submitter.request[0];
            expected[1] = submitter.request[1];
        }
        EXPECT_EQ(submitter.received(), expected);
    }
}

std::string pymodbusUnit() {
    return std::string(VANTREL_SOURCE_DIR) + "/tests/peers/pymodbus_tcp_unit.py";
}

bool pymodbusInstalled() {
    struct stat st {};
    return ::stat("/usr/lib/python3/dist-packages/pymodbus", &st) == 0;
}

} // namespace

class PymodbusPeer : public ::testing::TestWithParam<Framing> {};

TEST_P(PymodbusPeer, ServesEveryFunctionAndAnException) {
    if (!pymodbusInstalled())
        GTEST_SKIP() << "python3-pymodbus is not installed";
    static const char* const kFramers[] = {"socket", "rtu", "ascii"};
    CPeerProcess peer({"/usr/bin/python3", pymodbusUnit(), kFramers[static_cast<int>(GetParam())]});
    runSteps(peer.port(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Framings, PymodbusPeer,
                         ::testing::Values(Framing::ModbusTcp, Framing::Rtu, Framing::Ascii));

TEST(LibmodbusPeer, ServesEveryFunctionAndAnException) {
    const std::string unit = VANTREL_LIBMODBUS_UNIT;
    if (unit.empty())
        GTEST_SKIP() << "libmodbus-dev is not installed";
    CPeerProcess peer({unit});
    runSteps(peer.port(), Framing::ModbusTcp);
}
