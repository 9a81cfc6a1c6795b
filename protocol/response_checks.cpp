#include "protocol/modbus_limits.h"
#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"
#include "protocol/value_codecs.h"

#include <algorithm>
#include <cstring>

namespace {

// True when both frames carry `count` bytes from `from` on and they are equal.
bool sameBytes(const std::uint8_t* response, int responseLength, const std::uint8_t* request,
               int requestLength, int from, int count) {
    if (responseLength < from + count || requestLength < from + count)
        return false;
    return std::memcmp(response + from, request + from, static_cast<std::size_t>(count)) == 0;
}

} // namespace

int CModbusMessage::byteCountRule(const std::uint8_t* frame, int length, int expected, int largest,
                                  const std::uint8_t*& data, int& available) const {
    const int start = frameOffset();
    // An RTU frame still ends with its CRC; those two bytes are never data.
    const int trailer = binaryMode && !tcpMode ? 2 : 0;
    length = std::clamp(length, 0, kFrameBufferSize);
    data = frame;
    available = 0;
    if (length < start + 3)
        return kResultWrongByteCount;
    data = frame + start + 3;
    const int byteCount = frame[start + 2];
    if (byteCount != expected && byteCount > largest)
        return kResultByteCountTooLarge;
    available = std::min(byteCount, std::max(0, length - trailer - start - 3));
    return byteCount == expected && available == byteCount ? kResultOk : kResultWrongByteCount;
}

int CModbusMessage::decodeBits(const std::uint8_t* frame, int length, std::uint16_t points,
                               std::vector<std::uint8_t>& values) const {
    values.clear();
    const std::uint8_t* data = nullptr;
    int available = 0;
    const int result =
        byteCountRule(frame, length, (points + 7) / 8, kLargestByteCount, data, available);
    if (result == kResultByteCountTooLarge)
        return result;
    const int wanted = std::min<int>(points, kMaxReadBits);
    values.assign(static_cast<std::size_t>(wanted), 0);
    for (int i = 0; i < wanted && i / 8 < available; ++i)
        values[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>((static_cast<unsigned>(data[i / 8]) >> (i % 8)) & 1u);
    return result;
}

int CModbusMessage::decodeBytes(const std::uint8_t* frame, int length, std::uint16_t count,
                                std::vector<std::uint8_t>& values) const {
    values.clear();
    const bool registers = registerModes();
    const std::uint8_t* data = nullptr;
    int available = 0;
    const int result = byteCountRule(frame, length, registers ? 2 * count : count,
                                     kLargestByteCount, data, available);
    if (result == kResultByteCountTooLarge)
        return result;
    values.assign(count, 0);
    for (int i = 0; i < count; ++i) {
        // In the register modes each value is the low byte of its register.
        const int at = registers ? 2 * i + 1 : i;
        if (at < available)
            values[static_cast<std::size_t>(i)] = data[at];
    }
    return result;
}

int CModbusMessage::decodeWords(const std::uint8_t* frame, int length, std::uint16_t count,
                                std::vector<std::uint16_t>& values) const {
    values.clear();
    const std::uint8_t* data = nullptr;
    int available = 0;
    const int result = byteCountRule(frame, length, 2 * count, kLargestByteCount, data, available);
    for (int i = 0; i + 2 <= available; i += 2)
        values.push_back(getUInt16(data + i));
    return result;
}

int CModbusMessage::decodeLongs(const std::uint8_t* frame, int length, std::uint16_t count,
                                std::vector<std::uint32_t>& values) const {
    values.clear();
    const std::uint8_t* data = nullptr;
    int available = 0;
    const int result =
        byteCountRule(frame, length, 4 * count, kLargestByteCountWide, data, available);
    for (int i = 0; i + 4 <= available; i += 4)
        values.push_back(getUInt32(data + i));
    return result;
}

int CModbusMessage::decodeFloats(const std::uint8_t* frame, int length, std::uint16_t count,
                                 std::vector<float>& values) const {
    values.clear();
    const std::uint8_t* data = nullptr;
    int available = 0;
    const int result =
        byteCountRule(frame, length, 4 * count, kLargestByteCountWide, data, available);
    for (int i = 0; i + 4 <= available; i += 4) {
        // Swapped in a copy: the received frame stays as the unit sent it.
        std::uint8_t bytes[4];
        std::memcpy(bytes, data + i, 4);
        if (modiconCompatible)
            wordSwap4(bytes);
        values.push_back(getFloat(bytes));
    }
    return result;
}

int CModbusMessage::decodeDoubles(const std::uint8_t* frame, int length, std::uint16_t count,
                                  std::vector<double>& values) const {
    values.clear();
    const std::uint8_t* data = nullptr;
    int available = 0;
    const int result =
        byteCountRule(frame, length, 8 * count, kLargestByteCountWide, data, available);
    for (int i = 0; i + 8 <= available; i += 8)
        values.push_back(getDouble(data + i));
    return result;
}

int CModbusMessage::decodeStrings(const std::uint8_t* frame, int length, std::uint16_t count,
                                  std::uint16_t stringSize,
                                  std::vector<std::string>& values) const {
    values.clear();
    const std::uint8_t* data = nullptr;
    int available = 0;
    // Any product beyond a byte count can only mismatch; keep it from overflowing.
    const int expected = static_cast<int>(std::min(static_cast<long>(count) * stringSize, 65536L));
    const int result = byteCountRule(frame, length, expected, kLargestByteCount, data, available);
    for (int i = 0; stringSize > 0 && i + stringSize <= available; i += stringSize)
        values.emplace_back(reinterpret_cast<const char*>(data + i), stringSize);
    return result;
}

int CModbusMessage::checkCoilEcho(const std::uint8_t* response, int responseLength,
                                  const std::uint8_t* request, int requestLength) const {
    return sameBytes(response, responseLength, request, requestLength, frameOffset() + 2, 2)
               ? kResultOk
               : kResultCoilNotForced;
}

int CModbusMessage::checkRegisterEcho(const std::uint8_t* response, int responseLength,
                                      const std::uint8_t* request, int requestLength) const {
    const int echoed = singleByteData ? 3 : 4;
    return sameBytes(response, responseLength, request, requestLength, frameOffset() + 2, echoed)
               ? kResultOk
               : kResultRegisterNotPreset;
}

int CModbusMessage::checkMultipleEcho(const std::uint8_t* response, int responseLength,
                                      const std::uint8_t* request, int requestLength) const {
    return sameBytes(response, responseLength, request, requestLength, frameOffset() + 2, 4)
               ? kResultOk
               : kResultRegistersNotPreset;
}

bool CModbusMessage::diagnosticsEchoMatches(const std::uint8_t* response, int responseLength,
                                            const std::uint8_t* request, int requestLength) const {
    return sameBytes(response, responseLength, request, requestLength, frameOffset() + 4, 2);
}
