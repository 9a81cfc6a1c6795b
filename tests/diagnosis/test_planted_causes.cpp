// A catalogue of misbehaving units, each planting one cause on loopback TCP or a pseudo-terminal:
// the diagnosis of what the request saw must name that cause first.

#include "comms/port_map.h"
#include "protocol/data_types.h"
#include "tests/diagnosis/diagnosis_test_support.h"
#include "tests/support/row_names.h"
#include "tests/support/test_serial_support.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

// The far end of the link as a script sees it, whether a socket or a serial line.
class CFarEnd {
public:
    virtual ~CFarEnd() = default;
    // The next request, empty when none comes within timeoutMs.
    virtual Bytes read(int timeoutMs) = 0;
    virtual void send(const Bytes& bytes) = 0;
    virtual void hangUp() = 0;
};

using Script = std::function<void(CFarEnd&)>;

class CSocketEnd : public CFarEnd {
public:
    explicit CSocketEnd(CUnitLink& link) : link_(link) {}
    Bytes read(int timeoutMs) override { return link_.readRequest(timeoutMs); }
    void send(const Bytes& bytes) override { link_.send(bytes); }
    void hangUp() override { link_.close(); }

private:
    CUnitLink& link_;
};

class CLineEnd : public CFarEnd {
public:
    CLineEnd(const CPtyPair& line, const std::atomic<bool>& stop) : line_(line), stop_(stop) {}
    // What the program wrote, once it has come and the line has been quiet a moment; empty when
    // nothing comes within timeoutMs or the test has ended.
    Bytes read(int timeoutMs) override {
        Bytes bytes;
        for (int waited = 0; bytes.empty() && waited < timeoutMs && !stop_; waited += kQuietMs)
            bytes = line_.receive(1, kQuietMs);
        for (Bytes more = line_.receive(1, kQuietMs); !more.empty();
             more = line_.receive(1, kQuietMs))
            bytes.insert(bytes.end(), more.begin(), more.end());
        return bytes;
    }
    void send(const Bytes& bytes) override { line_.send(bytes); }
    void hangUp() override {}

private:
    static constexpr int kQuietMs = 15;
    const CPtyPair& line_;
    const std::atomic<bool>& stop_;
};

constexpr int kWaitMs = 150; // the time-outs of the planted links: short, the tests wait them out
constexpr int kLateMs = 300; // a late unit answers this long after the request
constexpr int kScriptIdleMs = 2000;

// Scripts: what a unit does with each request.
Script answering(std::function<Bytes(const Bytes&)> answer) {
    return [answer = std::move(answer)](CFarEnd& end) {
        for (Bytes r = end.read(kScriptIdleMs); !r.empty(); r = end.read(kScriptIdleMs))
            end.send(answer(r));
    };
}

Script silent() {
    return [](CFarEnd& end) {
        while (!end.read(kScriptIdleMs).empty()) {
        }
    };
}

// Answers the first request late and every later one at once.
Script lateFirst(std::function<Bytes(const Bytes&)> answer) {
    return [answer = std::move(answer)](CFarEnd& end) {
        const Bytes first = end.read(kScriptIdleMs);
        if (first.empty())
            return;
        sleepMs(kLateMs);
        end.send(answer(first));
        for (Bytes r = end.read(kScriptIdleMs); !r.empty(); r = end.read(kScriptIdleMs))
            end.send(answer(r));
    };
}

Script hangingUp() {
    return [](CFarEnd& end) {
        if (!end.read(kScriptIdleMs).empty())
            end.hangUp();
    };
}

Bytes joined(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Frames of unit 1 (or `unit`) in each framing.
Bytes rtu(const Bytes& pdu, std::uint8_t unit = 1) {
    return rtuFrame(joined({unit}, pdu));
}
Bytes ascii(const Bytes& pdu, std::uint8_t unit = 1) {
    return asciiFrame(joined({unit}, pdu));
}
Bytes mbapOf(const Bytes& request, const Bytes& pdu, std::uint8_t unit) {
    Bytes answer = tcpAnswer(request, pdu);
    answer[6] = unit;
    return answer;
}

const Bytes kReadTwo = {3, 0, 0, 0, 2};
const Bytes kTwoRegisters = {3, 4, 0, 7, 0, 10};

enum class Medium { Tcp, Serial, ConnectOnly };

struct PlantedCause {
    const char* name;
    Cause cause;
    Medium medium;
    int framing;
    Bytes request;
    Script unit;
    RequestFacts facts{kDataTypeUInt16, 0, 2};
    int exchanges = 1; // a late answer shows in the request after
    int retries = 0;
    bool removeEcho = false;
    int addressing = kAddressingIndexLogical;
};

using vantrel_test::PrintTo;

// The engine of one planted link: its thread, and the port or socket it talks through.
class PlantedLink {
public:
    explicit PlantedLink(const PlantedCause& c) {
        CModbusMessage& m = context.message;
        m.applyFraming(c.framing, c.addressing, 1);
        m.serialLink = c.medium == Medium::Serial ? 1 : 0;
        m.removeEcho = c.removeEcho ? 1 : 0;
        m.retries = c.retries;
        m.time1 = kWaitMs;
        m.time2 = c.medium == Medium::Serial ? 30 : kWaitMs;
        m.readPause = 1;
        link.serialLine = c.medium == Medium::Serial;
        link.framing = c.framing;
        link.baudRate = 19200;
        link.removeEcho = c.removeEcho;
        link.addressingIndex = c.addressing;
        link.time1Ms = m.time1.load();
        link.time2Ms = m.time2.load();
    }
    ~PlantedLink() { context.engine.stopThread(context); }
    PlantedLink(const PlantedLink&) = delete;
    PlantedLink& operator=(const PlantedLink&) = delete;

    bool openSerial(const std::string& device) {
        ports.link("COM3", device);
        context.serialPort.open(3, 19200, Parity::None, 8, StopBits::One, FlowControl::None, true);
        context.serialPort.setTimeouts({kReadIntervalImmediate, 0, 0, 0, 0});
        return context.serialPort.isOpen() && context.engine.startThread(context);
    }
    bool connect(std::uint16_t port) {
        if (!context.engine.startThread(context) || context.socket.connectTo(kLoopback, port) != 0)
            return false;
        for (int i = 0; i < 500 && context.socket.connected.load() == 0 &&
                        context.socket.connectError.load() == 0;
             ++i)
            sleepMs(10);
        return context.socket.connected.load() == 1;
    }
    // The evidence of the last of `count` exchanges of `request`, a pause apart.
    DiagnosisEvidence run(const PlantedCause& c) {
        CDiagnosedExchanges exchanges(context, link);
        DiagnosisEvidence last;
        for (int i = 0; i < c.exchanges; ++i) {
            if (i > 0)
                sleepMs(kLateMs + kWaitMs);
            last = exchanges.exchange(c.request, c.facts, functionOf(c));
        }
        return last;
    }

    CTempPortsDir ports;
    CCommsContext context;
    LinkFacts link;

private:
    static int functionOf(const PlantedCause& c) {
        if (c.framing == kFrameAscii)
            return decodeAsciiFunction(c.request);
        return c.request.at(c.framing == kFrameModbusTcp ? 7 : 1);
    }
    static int decodeAsciiFunction(const Bytes& frame) {
        return std::stoi(std::string(frame.begin() + 3, frame.begin() + 5), nullptr, 16);
    }
};

class PlantedCauses : public ::testing::TestWithParam<PlantedCause> {};

TEST_P(PlantedCauses, NamesTheCauseFirst) {
    const PlantedCause& c = GetParam();
    PlantedLink link(c);
    DiagnosisEvidence evidence;
    if (c.medium == Medium::ConnectOnly) {
        // Nothing listens on the port: the connection itself fails.
        ASSERT_TRUE(link.context.engine.startThread(link.context));
        evidence.link = link.link;
        evidence.result = link.context.socket.connectTo(kLoopback, closedLoopbackPort());
        for (int i = 0; i < 500 && evidence.result == 0; ++i) {
            sleepMs(10);
            evidence.result = link.context.socket.connectError.load();
        }
    } else if (c.medium == Medium::Tcp) {
        CFakeUnit unit([script = c.unit](CUnitLink& l) {
            CSocketEnd end(l);
            script(end);
        });
        ASSERT_TRUE(link.connect(unit.port()));
        evidence = link.run(c);
        link.context.socket.disconnect();
        link.context.engine.stopThread(link.context);
    } else {
        CPtyPair line;
        ASSERT_TRUE(line.valid());
        ASSERT_TRUE(link.openSerial(line.slavePath()));
        std::atomic<bool> stop{false};
        std::thread unit([&line, &stop, script = c.unit] {
            CLineEnd end(line, stop);
            script(end);
        });
        evidence = link.run(c);
        link.context.engine.stopThread(link.context);
        stop = true;
        unit.join();
    }
    const std::vector<Finding> findings = diagnose(evidence);
    ASSERT_FALSE(findings.empty()) << "result " << evidence.result;
    EXPECT_EQ(static_cast<int>(findings.front().cause), static_cast<int>(c.cause))
        << findings.front().statement << " / " << findings.front().evidence;
    EXPECT_FALSE(findings.front().evidence.empty());
    EXPECT_FALSE(findings.front().nextCheck.empty());
}

const Bytes kTcpRead = tcpRequest(1, 3, {0, 0, 0, 2});
const Bytes kRtuRead = rtu(kReadTwo);
const Bytes kAsciiRead = ascii(kReadTwo);
const auto kTcpAnswer = [](const Bytes& r) { return tcpAnswer(r, kTwoRegisters); };
const auto kRtuAnswer = [](const Bytes&) { return rtu(kTwoRegisters); };

// A Modbus/TCP unit answering each request with `pdu`.
Script tcpAnswering(const Bytes& pdu) {
    return answering([pdu](const Bytes& r) { return tcpAnswer(r, pdu); });
}

Bytes tcpRead(std::uint8_t function, std::uint16_t address, std::uint16_t quantity,
              std::uint8_t unit = 1) {
    return tcpRequest(unit, function,
                      {static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address),
                       static_cast<std::uint8_t>(quantity >> 8),
                       static_cast<std::uint8_t>(quantity)});
}

// 123.456 as a float, laid out CDAB (registers exchanged).
const Bytes kFloatsCdab = {3, 8, 0xE9, 0x79, 0x42, 0xF6, 0xE9, 0x79, 0x42, 0xF6};

INSTANTIATE_TEST_SUITE_P(
    Catalogue, PlantedCauses,
    ::testing::Values(
        PlantedCause{"NothingOnSerialLine", Cause::NothingOnSerialLine, Medium::Serial, kFrameRtu,
                     kRtuRead, silent()},
        PlantedCause{"NothingOnSerialLineBesideItsEcho",
                     Cause::NothingOnSerialLine,
                     Medium::Serial,
                     kFrameRtu,
                     kRtuRead,
                     answering([](const Bytes& r) { return r; }),
                     {},
                     1,
                     0,
                     true},
        PlantedCause{"EchoAlone", Cause::EchoNotRemoved, Medium::Serial, kFrameRtu, kRtuRead,
                     answering([](const Bytes& r) { return r; })},
        PlantedCause{"EchoGluedToTheReply", Cause::EchoNotRemoved, Medium::Serial, kFrameRtu,
                     kRtuRead,
                     answering([](const Bytes& r) { return joined(r, rtu(kTwoRegisters)); })},
        PlantedCause{"EchoRemovalOnALineWithoutEcho",
                     Cause::ReplyTakenForEcho,
                     Medium::Serial,
                     kFrameRtu,
                     rtu({6, 0, 1, 0, 5}),
                     answering([](const Bytes& r) { return r; }),
                     {kDataTypeUInt16, 1, 1},
                     1,
                     0,
                     true},
        PlantedCause{"RtuReplyFromAnotherId", Cause::WrongUnitId, Medium::Serial, kFrameRtu,
                     kRtuRead, answering([](const Bytes&) { return rtu(kTwoRegisters, 2); })},
        PlantedCause{"AsciiReplyFromAnotherId", Cause::WrongUnitId, Medium::Serial, kFrameAscii,
                     kAsciiRead, answering([](const Bytes&) { return ascii(kTwoRegisters, 9); })},
        PlantedCause{"ModbusTcpReplyFromAnotherUnitIdentifier", Cause::WrongUnitId, Medium::Tcp,
                     kFrameModbusTcp, kTcpRead,
                     answering([](const Bytes& r) { return mbapOf(r, kTwoRegisters, 7); })},
        PlantedCause{"GatewayAnsweringForEveryId", Cause::AnswersForEveryId, Medium::Tcp,
                     kFrameModbusTcp, tcpRead(3, 0, 2, 5),
                     answering([](const Bytes& r) { return mbapOf(r, kTwoRegisters, 255); })},
        PlantedCause{"AsciiUnitOnAnRtuLine", Cause::UnitSpeaksAscii, Medium::Serial, kFrameRtu,
                     kRtuRead, answering([](const Bytes&) { return ascii(kTwoRegisters); })},
        PlantedCause{"RtuUnitOnAnAsciiLine", Cause::UnitSpeaksRtu, Medium::Serial, kFrameAscii,
                     kAsciiRead, answering(kRtuAnswer)},
        PlantedCause{"ModbusTcpUnitForRtuOverTcp", Cause::UnitSpeaksModbusTcp, Medium::Tcp,
                     kFrameRtu, kRtuRead,
                     answering([](const Bytes&) { return tcpAnswer(kTcpRead, kTwoRegisters); })},
        PlantedCause{"RtuOverTcpUnitForModbusTcp", Cause::UnitSpeaksRtuOverTcp, Medium::Tcp,
                     kFrameModbusTcp, kTcpRead, answering(kRtuAnswer)},
        PlantedCause{"AsciiUnitForRtuOverTcp", Cause::UnitSpeaksAscii, Medium::Tcp, kFrameRtu,
                     kRtuRead, answering([](const Bytes&) { return ascii(kTwoRegisters); })},
        PlantedCause{"NoiseFlipsADataBit", Cause::LineNoise, Medium::Serial, kFrameRtu, kRtuRead,
                     answering([](const Bytes&) {
                         Bytes b = rtu(kTwoRegisters);
                         b[4] ^= 0x10;
                         return b;
                     })},
        PlantedCause{"BaudRateMismatchGarbles", Cause::LineSettingsMismatch, Medium::Serial,
                     kFrameRtu, kRtuRead, answering([](const Bytes&) {
                         return Bytes{0xF8, 0x80, 0x78, 0xFE, 0x06};
                     })},
        PlantedCause{"LateAnswerOnASerialLine",
                     Cause::LateAnswer,
                     Medium::Serial,
                     kFrameRtu,
                     kRtuRead,
                     lateFirst(kRtuAnswer),
                     {kDataTypeUInt16, 0, 2},
                     2},
        PlantedCause{"LateAnswerOverModbusTcp",
                     Cause::LateAnswer,
                     Medium::Tcp,
                     kFrameModbusTcp,
                     kTcpRead,
                     lateFirst(kTcpAnswer),
                     {kDataTypeUInt16, 0, 2},
                     2},
        PlantedCause{"LateAnswerSetAsideOnRetry",
                     Cause::LateAnswer,
                     Medium::Tcp,
                     kFrameModbusTcp,
                     kTcpRead,
                     lateFirst(kTcpAnswer),
                     {kDataTypeUInt16, 0, 2},
                     1,
                     1},
        PlantedCause{"TransactionIdentifierZero", Cause::TransactionIdZero, Medium::Tcp,
                     kFrameModbusTcp, kTcpRead, answering([](const Bytes& r) {
                         Bytes b = tcpAnswer(r, kTwoRegisters);
                         b[0] = b[1] = 0;
                         return b;
                     })},
        PlantedCause{"ClosesAfterTheRequest", Cause::ClosedAfterRequest, Medium::Tcp,
                     kFrameModbusTcp, kTcpRead, hangingUp()},
        PlantedCause{"NothingListensOnThePort", Cause::ConnectionRefused, Medium::ConnectOnly,
                     kFrameModbusTcp, kTcpRead, nullptr},
        PlantedCause{"SilentOverModbusTcp", Cause::NothingOverTcp, Medium::Tcp, kFrameModbusTcp,
                     kTcpRead, silent()},
        PlantedCause{"Exception01OnReadHolding", Cause::TryInputRegisters, Medium::Tcp,
                     kFrameModbusTcp, kTcpRead, tcpAnswering({0x83, 1})},
        PlantedCause{"Exception01OnReadInput", Cause::TryHoldingRegisters, Medium::Tcp,
                     kFrameModbusTcp, tcpRead(4, 0, 2), tcpAnswering({0x84, 1})},
        PlantedCause{"Exception02OneBeyondTheLastRegister",
                     Cause::AddressOffByOne,
                     Medium::Tcp,
                     kFrameModbusTcp,
                     tcpRead(3, 100, 1),
                     tcpAnswering({0x83, 2}),
                     {kDataTypeUInt16, 100, 1}},
        PlantedCause{"Exception03OnALargeBlock",
                     Cause::BlockLimit,
                     Medium::Tcp,
                     kFrameModbusTcp,
                     tcpRead(3, 0, 125),
                     tcpAnswering({0x83, 3}),
                     {kDataTypeUInt16, 0, 125}},
        PlantedCause{"ShortByteCountOnALargeBlock",
                     Cause::BlockLimit,
                     Medium::Tcp,
                     kFrameModbusTcp,
                     tcpRead(3, 0, 100),
                     tcpAnswering(joined({3, 120}, Bytes(120, 0))),
                     {kDataTypeUInt16, 0, 100}},
        PlantedCause{"Exception0AGatewayPath", Cause::GatewayPath, Medium::Tcp, kFrameModbusTcp,
                     kTcpRead, tcpAnswering({0x83, 0x0A})},
        PlantedCause{"Exception0BGatewayTarget", Cause::GatewayTarget, Medium::Tcp, kFrameModbusTcp,
                     kTcpRead, tcpAnswering({0x83, 0x0B})},
        PlantedCause{"FloatsFromAUnitCountingRegisters",
                     Cause::UnitCountsRegisters,
                     Medium::Tcp,
                     kFrameModbusTcp,
                     kTcpRead,
                     tcpAnswering({3, 4, 0x42, 0xF6, 0xE9, 0x79}),
                     {kDataTypeFloat, 0, 2}},
        PlantedCause{"LongsFromAUnitCountingValues",
                     Cause::UnitCountsValues,
                     Medium::Tcp,
                     kFrameModbusTcp,
                     tcpRead(3, 0, 4),
                     tcpAnswering(joined({3, 16}, Bytes(16, 1))),
                     {kDataTypeInt32, 0, 2},
                     1,
                     0,
                     false,
                     kAddressingIndexRegister},
        PlantedCause{"FloatsInRegistersExchangedOrder",
                     Cause::WordOrder,
                     Medium::Tcp,
                     kFrameModbusTcp,
                     kTcpRead,
                     tcpAnswering(kFloatsCdab),
                     {kDataTypeFloat, 0, 2}}),
    [](const auto& row) { return std::string(row.param.name); });

// Causes no loopback unit can plant: the port's own line-error reports and a connection attempt
// that the network leaves unanswered. Their evidence is the result code alone.
struct ReportedCause {
    const char* name;
    int result;
    bool serial;
    Cause cause;
};

class ReportedCauses : public ::testing::TestWithParam<ReportedCause> {};

TEST_P(ReportedCauses, AreNamedFromTheResult) {
    const ReportedCause& c = GetParam();
    DiagnosisEvidence e;
    e.link = {c.serial, kFrameRtu, 9600, false, kAddressingIndexLogical, 500, 50};
    e.requestSent = kRtuRead;
    e.records = {{CommsLogType::Tx, 1000, kRtuRead, 0}, {CommsLogType::Error, 1400, {}, c.result}};
    e.result = c.result;
    const std::vector<Finding> findings = diagnose(e);
    ASSERT_FALSE(findings.empty());
    EXPECT_EQ(static_cast<int>(findings.front().cause), static_cast<int>(c.cause));
}

INSTANTIATE_TEST_SUITE_P(
    Results, ReportedCauses,
    ::testing::Values(ReportedCause{"ParityErrors", 5034, true, Cause::ParityErrors},
                      ReportedCause{"FramingErrors", 5035, true, Cause::FramingErrors},
                      ReportedCause{"BreakDetected", 5036, true, Cause::FramingErrors},
                      ReportedCause{"ConnectTimedOut", 5502, false, Cause::ConnectTimedOut}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
