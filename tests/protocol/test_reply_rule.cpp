// The completion rule both exchanges ask after every read: replies cut, split, corrupted, late or
// belonging to another transaction, in each framing.

#include "protocol/check_values.h"
#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <string>

namespace {

const Bytes kRtuRequest = withCrc({0x01, 0x03, 0x00, 0x00, 0x00, 0x02});
const Bytes kRtuAnswer = withCrc({0x01, 0x03, 0x04, 0x00, 0x0A, 0x00, 0x0B});
const std::string kAsciiRequest = ":010300000002FA\r\n";
const std::string kAsciiAnswer = ":010304000A000BE3\r\n";
// Transaction 0x1234 as the exchange stamps it on the wire.
const Bytes kTcpRequest = hexBytes("12 34 00 00 00 06 01 03 00 00 00 02");
const Bytes kTcpAnswer = hexBytes("12 34 00 00 00 07 01 03 04 00 0A 00 0B");

Bytes joined(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes cut(const Bytes& bytes, std::size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

Bytes withoutLast(const Bytes& bytes, std::size_t count) {
    return cut(bytes, bytes.size() - count);
}

Bytes withLengthField(Bytes frame, std::uint16_t length) {
    frame[4] = static_cast<std::uint8_t>(length >> 8);
    frame[5] = static_cast<std::uint8_t>(length & 0xFF);
    return frame;
}

Bytes withHeaderByte(Bytes frame, std::size_t at, std::uint8_t value) {
    frame[at] = value;
    return frame;
}

Bytes flipped(Bytes frame, std::size_t at) {
    frame[at] ^= 0xFF;
    return frame;
}

struct RuleCase {
    const char* name;
    Framing framing;
    Bytes received;
    ReplyStatus status;
    int result;
    Bytes frame; // what rxFrame holds afterwards
};

void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << c.name;
}

class ReplyRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ReplyRule, SaysWhetherTheReplyIsCompleteAndItsVerdict) {
    const RuleCase& c = GetParam();
    CModbusMessage m;
    setFraming(m, c.framing);
    const Bytes request = c.framing == Framing::Rtu     ? kRtuRequest
                          : c.framing == Framing::Ascii ? bytesOf(kAsciiRequest)
                                                        : kTcpRequest;
    std::copy(request.begin(), request.end(), m.txFrame);
    m.txLength = static_cast<int>(request.size());
    const ReplyVerdict verdict =
        m.assessResponse(c.received.data(), static_cast<int>(c.received.size()));
    EXPECT_EQ(verdict.status, c.status);
    EXPECT_EQ(verdict.result, c.result);
    EXPECT_EQ(Bytes(m.rxFrame, m.rxFrame + m.rxCount), c.frame);
}

const Bytes kCorruptAscii = bytesOf(":010304000G000BDD\r\n"); // "0G" sums as 0x10, the LRC fits

INSTANTIATE_TEST_SUITE_P(
    Framings, ReplyRule,
    ::testing::Values(RuleCase{.name = "RtuWhole",
                               .framing = Framing::Rtu,
                               .received = kRtuAnswer,
                               .status = ReplyStatus::Complete,
                               .result = kResultOk,
                               .frame = kRtuAnswer},
                      RuleCase{.name = "RtuCutBeforeItsCrc",
                               .framing = Framing::Rtu,
                               .received = withoutLast(kRtuAnswer, 2),
                               .status = ReplyStatus::Incomplete,
                               .result = kResultInvalidResponse,
                               .frame = withoutLast(kRtuAnswer, 2)},
                      RuleCase{.name = "RtuBadCrcWaitsForMore",
                               .framing = Framing::Rtu,
                               .received = flipped(kRtuAnswer, 8),
                               .status = ReplyStatus::Incomplete,
                               .result = kResultInvalidCrc,
                               .frame = flipped(kRtuAnswer, 8)},
                      RuleCase{.name = "RtuException",
                               .framing = Framing::Rtu,
                               .received = withCrc({0x01, 0x83, 0x02}),
                               .status = ReplyStatus::Complete,
                               .result = kResultIllegalDataAddress,
                               .frame = withCrc({0x01, 0x83, 0x02})},
                      RuleCase{.name = "AsciiWhole",
                               .framing = Framing::Ascii,
                               .received = bytesOf(kAsciiAnswer),
                               .status = ReplyStatus::Complete,
                               .result = kResultOk,
                               .frame = bytesOf(kAsciiAnswer)},
                      RuleCase{.name = "AsciiWithoutLineFeed",
                               .framing = Framing::Ascii,
                               .received = withoutLast(bytesOf(kAsciiAnswer), 1),
                               .status = ReplyStatus::Incomplete,
                               .result = kResultInvalidResponse,
                               .frame = withoutLast(bytesOf(kAsciiAnswer), 1)},
                      RuleCase{.name = "AsciiLetterWhereADigitBelongs",
                               .framing = Framing::Ascii,
                               .received = kCorruptAscii,
                               .status = ReplyStatus::Incomplete,
                               .result = kResultInvalidLrc,
                               .frame = kCorruptAscii},
                      RuleCase{.name = "AsciiFalseStartBeforeTheFrame",
                               .framing = Framing::Ascii,
                               .received = bytesOf(":0103" + kAsciiAnswer),
                               .status = ReplyStatus::Complete,
                               .result = kResultOk,
                               .frame = bytesOf(kAsciiAnswer)},
                      RuleCase{.name = "TcpWhole",
                               .framing = Framing::Tcp,
                               .received = kTcpAnswer,
                               .status = ReplyStatus::Complete,
                               .result = kResultOk,
                               .frame = kTcpAnswer},
                      RuleCase{.name = "TcpFirstNineBytes",
                               .framing = Framing::Tcp,
                               .received = cut(kTcpAnswer, 9),
                               .status = ReplyStatus::Incomplete,
                               .result = kResultInvalidResponse,
                               .frame = cut(kTcpAnswer, 9)},
                      RuleCase{.name = "TcpBytesAfterTheFrameStayOut",
                               .framing = Framing::Tcp,
                               .received = joined(kTcpAnswer, {0xEE, 0xEE}),
                               .status = ReplyStatus::Complete,
                               .result = kResultOk,
                               .frame = kTcpAnswer},
                      RuleCase{.name = "TcpLengthFieldTooShort",
                               .framing = Framing::Tcp,
                               .received = withLengthField(kTcpAnswer, 2),
                               .status = ReplyStatus::Incomplete,
                               .result = kResultInvalidResponse,
                               .frame = withLengthField(kTcpAnswer, 2)},
                      RuleCase{.name = "TcpLengthFieldTooLong",
                               .framing = Framing::Tcp,
                               .received = joined(withLengthField(kTcpAnswer, 255), Bytes(300, 0)),
                               .status = ReplyStatus::Incomplete,
                               .result = kResultInvalidResponse,
                               .frame = joined(withLengthField(kTcpAnswer, 255), Bytes(300, 0))},
                      RuleCase{.name = "TcpLateReplySetAside",
                               .framing = Framing::Tcp,
                               .received = joined(withHeaderByte(kTcpAnswer, 1, 0x33), kTcpAnswer),
                               .status = ReplyStatus::Complete,
                               .result = kResultOk,
                               .frame = kTcpAnswer},
                      RuleCase{.name = "TcpOnlyAnotherTransaction",
                               .framing = Framing::Tcp,
                               .received = withHeaderByte(kTcpAnswer, 0, 0x00),
                               .status = ReplyStatus::Incomplete,
                               .result = kResultInvalidResponse,
                               .frame = {}},
                      RuleCase{.name = "TcpOtherProtocolIdentifier",
                               .framing = Framing::Tcp,
                               .received = withHeaderByte(kTcpAnswer, 3, 0x01),
                               .status = ReplyStatus::Incomplete,
                               .result = kResultInvalidResponse,
                               .frame = {}}),
    [](const ::testing::TestParamInfo<RuleCase>& row) { return std::string(row.param.name); });

TEST(BroadcastRequest, AddressZeroInEveryFraming) {
    CModbusMessage m;
    setFraming(m, Framing::Ascii);
    const Bytes ascii = bytesOf(":000600010003F6\r\n");
    std::copy(ascii.begin(), ascii.end(), m.txFrame);
    EXPECT_TRUE(m.broadcastRequest());
    m.txFrame[2] = '1';
    EXPECT_FALSE(m.broadcastRequest());
    setFraming(m, Framing::Tcp);
    m.txFrame[6] = 0;
    EXPECT_TRUE(m.broadcastRequest());
}

} // namespace
