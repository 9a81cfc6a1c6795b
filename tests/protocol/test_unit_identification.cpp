#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"
#include "protocol/unit_identification.h"
#include "tests/support/row_names.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using vantrel_test::PrintTo;
using Bytes = std::vector<std::uint8_t>;

// Replies of functions 43/14 and 17 as protocol data units; objects "id=value" joined by "|".
struct IdentificationRow {
    const char* name;
    Bytes pdu;
    int result;
    std::string read;
};

std::string readBack(const Bytes& pdu) {
    const int length = static_cast<int>(pdu.size());
    if (pdu.at(0) == kFunctionReportServerId) {
        ServerIdReport report;
        const int result = decodeReportServerId(pdu.data(), length, report);
        return result != 0 ? std::string() : std::string(report.data.begin(), report.data.end());
    }
    DeviceIdentification identification;
    if (decodeDeviceIdentification(pdu.data(), length, identification) != 0)
        return {};
    std::string text;
    for (const DeviceIdObject& object : identification.objects)
        text += (text.empty() ? "" : "|") + std::to_string(object.id) + "=" + object.value;
    return text;
}

int resultOf(const Bytes& pdu) {
    const int length = static_cast<int>(pdu.size());
    ServerIdReport report;
    DeviceIdentification identification;
    return pdu.at(0) == kFunctionReportServerId
               ? decodeReportServerId(pdu.data(), length, report)
               : decodeDeviceIdentification(pdu.data(), length, identification);
}

class IdentificationReply : public ::testing::TestWithParam<IdentificationRow> {};

TEST_P(IdentificationReply, IsReadOrRefusedWhole) {
    const IdentificationRow& row = GetParam();
    EXPECT_EQ(resultOf(row.pdu), row.result);
    EXPECT_EQ(readBack(row.pdu), row.read);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IdentificationReply,
    ::testing::Values(
        IdentificationRow{"TwoObjects",
                          {0x2B, 0x0E, 1, 1, 0, 0, 2, 0, 2, 'A', 'b', 1, 1, 'X'},
                          kResultOk,
                          "0=Ab|1=X"},
        IdentificationRow{"NoObjects", {0x2B, 0x0E, 1, 1, 0, 0, 0}, kResultOk, ""},
        IdentificationRow{
            "ObjectCutShort", {0x2B, 0x0E, 1, 1, 0, 0, 1, 0, 5, 'A'}, kResultInvalidResponse, ""},
        IdentificationRow{"MoreObjectsAnnounced",
                          {0x2B, 0x0E, 1, 1, 0, 0, 2, 0, 1, 'A'},
                          kResultInvalidResponse,
                          ""},
        IdentificationRow{"OtherMeiType", {0x2B, 0x0D, 1, 1, 0, 0, 0}, kResultInvalidResponse, ""},
        IdentificationRow{"ServerId", {0x11, 3, 'U', 0xFF, 'V'}, kResultOk, "U\xFFV"},
        IdentificationRow{
            "ServerIdCountBeyondData", {0x11, 4, 'U', 0xFF}, kResultInvalidResponse, ""},
        IdentificationRow{"ServerIdEmpty", {0x11, 0}, kResultInvalidResponse, ""}),
    [](const ::testing::TestParamInfo<IdentificationRow>& row) {
        return std::string(row.param.name);
    });

// The requests in each framing, and the reply's data unit taken back out of each framing.
TEST(IdentificationFrames, BuildAndUnwrapInEveryFraming) {
    CModbusMessage message;
    std::uint8_t frame[kFrameBufferSize];
    int length = 0;
    message.applyFraming(kFrameRtu, kAddressingIndexLogical, 7);
    ASSERT_EQ(buildReadDeviceId(message, frame, length), 0);
    EXPECT_EQ(Bytes(frame, frame + length - 2), (Bytes{7, 0x2B, 0x0E, 1, 0}));
    EXPECT_EQ(replyPdu(message, frame, length), (Bytes{0x2B, 0x0E, 1, 0}));

    message.applyFraming(kFrameModbusTcp, kAddressingIndexLogical, 7);
    ASSERT_EQ(buildReportServerId(message, frame, length), 0);
    EXPECT_EQ(Bytes(frame, frame + length), (Bytes{0, 0, 0, 0, 0, 2, 7, 0x11}));
    EXPECT_EQ(replyPdu(message, frame, length), (Bytes{0x11}));

    message.applyFraming(kFrameAscii, kAddressingIndexLogical, 7);
    ASSERT_EQ(buildProbeRequest(message, frame, length), 0);
    EXPECT_EQ(std::string(frame, frame + length), ":070300000001F5\r\n");
    EXPECT_EQ(replyPdu(message, frame, length), (Bytes{3, 0, 0, 0, 1}));
    EXPECT_TRUE(replyPdu(message, frame, 3).empty());
}

} // namespace
