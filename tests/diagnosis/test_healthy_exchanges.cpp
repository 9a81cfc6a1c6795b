// Healthy exchanges with independent units, over every framing: the diagnosis finds nothing.

#include "protocol/data_types.h"
#include "tests/diagnosis/diagnosis_test_support.h"
#include "tests/support/peer_process.h"
#include "tests/support/test_serial_support.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace {

// Requests the units answer from their initial contents (100 of each, from address 0), as PDUs
// of unit 1 with what the Test dialog would know of them.
struct HealthyRequest {
    Bytes pdu;
    RequestFacts facts;
    int addressing;
};

const HealthyRequest kRequests[] = {
    {{3, 0, 0, 0, 10}, {kDataTypeUInt16, 0, 10}, kAddressingIndexLogical},
    {{4, 0, 5, 0, 2}, {kDataTypeInt16, 5, 2}, kAddressingIndexLogical},
    {{1, 0, 0, 0, 10}, {kDataTypeBoolean, 0, 10}, kAddressingIndexLogical},
    {{2, 0, 0, 0, 8}, {kDataTypeBoolean, 0, 8}, kAddressingIndexLogical},
    {{3, 0, 20, 0, 4}, {kDataTypeInt32, 20, 2}, kAddressingIndexRegister},
    {{4, 0, 0, 0, 4}, {kDataTypeUInt32, 0, 2}, kAddressingIndexRegister},
    {{6, 0, 10, 0x12, 0x34}, {kDataTypeUInt16, 10, 1}, kAddressingIndexLogical},
    {{16, 0, 30, 0, 2, 4, 0, 1, 0, 2}, {kDataTypeUInt16, 30, 2}, kAddressingIndexLogical},
    {{5, 0, 1, 0xFF, 0}, {kDataTypeBoolean, 1, 1}, kAddressingIndexLogical},
    {{3, 0, 50, 0, 1}, {kDataTypeUInt16, 50, 1}, kAddressingIndexModicon},
};

enum class Peer { LibmodbusTcp, LibmodbusRtu, PymodbusRtu, PymodbusAscii };

struct HealthyRun {
    const char* name;
    Peer peer;
    int exchanges;
};

void PrintTo(const HealthyRun& run, std::ostream* os) {
    *os << run.name;
}

Bytes framed(Peer peer, const Bytes& pdu) {
    Bytes withUnit{1};
    withUnit.insert(withUnit.end(), pdu.begin(), pdu.end());
    switch (peer) {
    case Peer::LibmodbusTcp:
        return tcpRequest(1, pdu[0], Bytes(pdu.begin() + 1, pdu.end()));
    case Peer::PymodbusAscii:
        return asciiFrame(withUnit);
    default:
        return rtuFrame(withUnit);
    }
}

int framingOf(Peer peer) {
    switch (peer) {
    case Peer::LibmodbusTcp:
        return kFrameModbusTcp;
    case Peer::PymodbusAscii:
        return kFrameAscii;
    default:
        return kFrameRtu;
    }
}

// Runs the exchanges and counts those with a finding, naming the first few.
void expectNoFinding(CCommsContext& context, const HealthyRun& run, LinkFacts link) {
    CDiagnosedExchanges exchanges(context, link);
    int withFinding = 0;
    for (int i = 0; i < run.exchanges; ++i) {
        const HealthyRequest& r = kRequests[static_cast<std::size_t>(i) % std::size(kRequests)];
        link.addressingIndex = r.addressing;
        exchanges.setLink(link);
        const DiagnosisEvidence e = exchanges.exchange(framed(run.peer, r.pdu), r.facts, r.pdu[0]);
        ASSERT_EQ(e.result, 0) << "exchange " << i;
        const auto findings = diagnose(e);
        if (!findings.empty() && ++withFinding <= 3)
            ADD_FAILURE() << "exchange " << i << ": " << findings.front().statement << " / "
                          << findings.front().evidence;
    }
    EXPECT_EQ(withFinding, 0);
}

class HealthyExchanges : public ::testing::TestWithParam<HealthyRun> {};

TEST_P(HealthyExchanges, GiveNoFinding) {
    const HealthyRun& run = GetParam();
    const std::string tcpUnit = VANTREL_LIBMODBUS_UNIT;
    const std::string rtuUnit = VANTREL_SERIAL_LIBMODBUS_UNIT;
    if ((run.peer == Peer::LibmodbusTcp && tcpUnit.empty()) ||
        (run.peer == Peer::LibmodbusRtu && rtuUnit.empty()))
        GTEST_SKIP() << "libmodbus-dev is not installed";
    const bool serial = run.peer != Peer::LibmodbusTcp;
    if (serial && ::access("/usr/bin/socat", X_OK) != 0)
        GTEST_SKIP() << "socat is not installed";

    CEngineHarness h(serial ? 0 : 1);
    CModbusMessage& m = h.context.message;
    m.applyFraming(framingOf(run.peer), kAddressingIndexLogical, 1);
    m.time1 = 2000;
    m.time2 = serial ? 100 : 2000;
    m.readPause = 1;
    LinkFacts link{serial,         framingOf(run.peer), 19200, false, kAddressingIndexLogical,
                   m.time1.load(), m.time2.load()};
    if (!serial) {
        CPeerProcess unit({tcpUnit});
        ASSERT_TRUE(h.connect(unit.port()));
        expectNoFinding(h.context, run, link);
        h.context.socket.disconnect();
        return;
    }
    CTempPortsDir ports;
    CSocatLine line(ports.path() + "/COM5", ports.path() + "/unit");
    ASSERT_TRUE(line.ready());
    const std::string script = VANTREL_SOURCE_DIR "/tests/peers/serial_pymodbus_unit.py";
    CPeerProcess unit(
        run.peer == Peer::LibmodbusRtu
            ? std::vector<std::string>{rtuUnit, ports.path() + "/unit"}
            : std::vector<std::string>{"/usr/bin/python3", script,
                                       run.peer == Peer::PymodbusAscii ? "ascii" : "rtu",
                                       ports.path() + "/unit"});
    ASSERT_NE(unit.port(), 0) << "the unit did not start";
    m.serialLink = 1;
    h.context.serialPort.open(5, 19200, Parity::None, 8, StopBits::One, FlowControl::None, true);
    ASSERT_TRUE(h.context.serialPort.isOpen());
    h.context.serialPort.setTimeouts({kReadIntervalImmediate, 0, 0, 0, 0});
    expectNoFinding(h.context, run, link);
}

INSTANTIATE_TEST_SUITE_P(Units, HealthyExchanges,
                         ::testing::Values(HealthyRun{"LibmodbusModbusTcp", Peer::LibmodbusTcp,
                                                      250},
                                           HealthyRun{"LibmodbusRtu", Peer::LibmodbusRtu, 250},
                                           HealthyRun{"PymodbusRtu", Peer::PymodbusRtu, 250},
                                           HealthyRun{"PymodbusAscii", Peer::PymodbusAscii, 250}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
