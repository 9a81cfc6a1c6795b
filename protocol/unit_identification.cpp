#include "protocol/unit_identification.h"

#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"

#include <algorithm>
#include <cstring>

namespace {

// Read Device Identification answer: function, MEI type, read code, conformity level, more
// follows, next object, number of objects, then the objects.
constexpr int kDeviceIdHeader = 7;
constexpr int kDeviceIdObjectHeader = 2;
constexpr std::uint8_t kMoreFollows = 0xFF;
// Report Server ID answer: function, byte count, then the data.
constexpr int kServerIdHeader = 2;
// The RTU check value, and the ASCII frame's LRC, colon and line end.
constexpr int kCrcSize = 2;
constexpr int kAddressSize = 1;

int readObjects(const std::uint8_t* pdu, int length, int count, DeviceIdentification& out) {
    int at = kDeviceIdHeader;
    for (int i = 0; i < count; ++i) {
        if (at + kDeviceIdObjectHeader > length)
            return kResultInvalidResponse;
        const int size = pdu[at + 1];
        if (at + kDeviceIdObjectHeader + size > length)
            return kResultInvalidResponse;
        const auto* value = reinterpret_cast<const char*>(pdu + at + kDeviceIdObjectHeader);
        out.objects.push_back({pdu[at], std::string(value, static_cast<std::size_t>(size))});
        at += kDeviceIdObjectHeader + size;
    }
    return kResultOk;
}

} // namespace

int buildProbeRequest(CModbusMessage& message, std::uint8_t* frame, int& frameLength) {
    // Address 0, one register: the read that most units answer, if only with an exception.
    const std::uint8_t data[] = {0, 0, 0, 1};
    std::memcpy(message.pduData, data, sizeof data);
    return message.assembleFrame(frame, frameLength, kFunctionReadHolding,
                                 static_cast<int>(sizeof data));
}

int buildReadDeviceId(CModbusMessage& message, std::uint8_t* frame, int& frameLength) {
    const std::uint8_t data[] = {kMeiReadDeviceId, kReadDeviceIdBasic, 0};
    std::memcpy(message.pduData, data, sizeof data);
    return message.assembleFrame(frame, frameLength, kFunctionEncapsulated,
                                 static_cast<int>(sizeof data));
}

int buildReportServerId(CModbusMessage& message, std::uint8_t* frame, int& frameLength) {
    return message.assembleFrame(frame, frameLength, kFunctionReportServerId, 0);
}

std::vector<std::uint8_t> replyPdu(CModbusMessage& message, const std::uint8_t* reply, int length) {
    std::vector<std::uint8_t> bytes(reply, reply + std::clamp(length, 0, kFrameBufferSize));
    int first = kAddressSize;
    int end = static_cast<int>(bytes.size());
    if (!message.binaryMode) {
        message.asciiToBinary(bytes.data(), end);
    } else if (message.tcpMode) {
        first = message.frameOffset() + kAddressSize;
    } else {
        end -= kCrcSize;
    }
    if (end <= first)
        return {};
    return {bytes.begin() + first, bytes.begin() + end};
}

int decodeDeviceIdentification(const std::uint8_t* pdu, int length, DeviceIdentification& out) {
    if (length < kDeviceIdHeader || pdu[0] != kFunctionEncapsulated || pdu[1] != kMeiReadDeviceId)
        return kResultInvalidResponse;
    DeviceIdentification read;
    read.conformity = pdu[3];
    read.moreFollows = pdu[4] == kMoreFollows;
    read.nextObjectId = pdu[5];
    if (const int result = readObjects(pdu, length, pdu[6], read); result != kResultOk)
        return result;
    out = std::move(read);
    return kResultOk;
}

int decodeReportServerId(const std::uint8_t* pdu, int length, ServerIdReport& out) {
    if (length < kServerIdHeader || pdu[0] != kFunctionReportServerId || pdu[1] == 0 ||
        kServerIdHeader + pdu[1] > length)
        return kResultInvalidResponse;
    out.data.assign(pdu + kServerIdHeader, pdu + kServerIdHeader + pdu[1]);
    return kResultOk;
}
