#include "protocol/data_types.h"
#include "protocol/modbus_limits.h"
#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"
#include "protocol/value_codecs.h"

#include <algorithm>
#include <cstring>

namespace {

// Where value `index` of `size` bytes starts in the data of a multiple write (after address,
// count and byte count).
std::uint8_t* valueSlot(std::uint8_t* pdu, int index, int size) {
    constexpr std::ptrdiff_t kWriteHeaderBytes = 5;
    return pdu + kWriteHeaderBytes + static_cast<std::ptrdiff_t>(index) * size;
}

template <typename T> T valueAt(std::span<const T> values, int index) {
    return static_cast<std::size_t>(index) < values.size() ? values[static_cast<std::size_t>(index)]
                                                           : T{};
}

// Copies `text` into `out`, padded with spaces to exactly `size` characters.
void putPaddedText(std::uint8_t* out, int size, std::string_view text) {
    const int n = std::min(size, static_cast<int>(text.size()));
    std::memcpy(out, text.data(), static_cast<std::size_t>(n));
    std::memset(out + n, ' ', static_cast<std::size_t>(size - n));
}

} // namespace

std::uint16_t CModbusMessage::wireAddress(std::uint16_t address) const {
    // Modicon numbering starts at 1; only the binary framings send it one lower.
    if (modiconCompatible && binaryMode)
        return static_cast<std::uint16_t>(address - 1);
    return address;
}

int CModbusMessage::putAddressAndCount(std::uint8_t* frame, int& frameLength, int functionCode,
                                       std::uint16_t address, std::uint16_t count) {
    putUInt16(pduData, wireAddress(address));
    putUInt16(pduData + 2, count);
    return assembleFrame(frame, frameLength, functionCode, 4);
}

int CModbusMessage::putAddress(std::uint8_t* frame, int& frameLength, int functionCode,
                               std::uint16_t address, int valueLength) {
    putUInt16(pduData, wireAddress(address));
    return assembleFrame(frame, frameLength, functionCode, valueLength + 2);
}

int CModbusMessage::putAddressCountAndBytes(std::uint8_t* frame, int& frameLength, int functionCode,
                                            std::uint16_t address, std::uint16_t quantity,
                                            int byteCount) {
    putUInt16(pduData, wireAddress(address));
    putUInt16(pduData + 2, quantity);
    pduData[4] = static_cast<std::uint8_t>(byteCount);
    return assembleFrame(frame, frameLength, functionCode, byteCount + 5);
}

int CModbusMessage::buildReadBits(std::uint8_t* frame, int& frameLength, int functionCode,
                                  std::uint16_t address, std::uint16_t points) {
    if (points > kMaxReadBits)
        return kResultResponseTooLong;
    return putAddressAndCount(frame, frameLength, functionCode, address, points);
}

int CModbusMessage::buildReadBytes(std::uint8_t* frame, int& frameLength, int functionCode,
                                   std::uint16_t address, std::uint16_t count) {
    if (count > (registerModes() ? kMaxReadRegisters : kMaxReadBytesLogical))
        return kResultResponseTooLong;
    return putAddressAndCount(frame, frameLength, functionCode, address, count);
}

int CModbusMessage::buildReadWords(std::uint8_t* frame, int& frameLength, int functionCode,
                                   std::uint16_t address, std::uint16_t count) {
    if (count > kMaxReadRegisters)
        return kResultResponseTooLong;
    return putAddressAndCount(frame, frameLength, functionCode, address, count);
}

int CModbusMessage::buildReadLongs(std::uint8_t* frame, int& frameLength, int functionCode,
                                   std::uint16_t address, std::uint16_t count) {
    const int quantity = registerModes() ? 2 * count : count;
    if (count > kMaxLongs || (registerModes() && quantity > kMaxReadRegisters))
        return kResultResponseTooLong;
    return putAddressAndCount(frame, frameLength, functionCode, address,
                              static_cast<std::uint16_t>(quantity));
}

int CModbusMessage::buildReadDoubles(std::uint8_t* frame, int& frameLength, int functionCode,
                                     std::uint16_t address, std::uint16_t count) {
    const int quantity = registerModes() ? 4 * count : count;
    if (count > kMaxDoubles || (registerModes() && quantity > kMaxReadRegisters))
        return kResultResponseTooLong;
    return putAddressAndCount(frame, frameLength, functionCode, address,
                              static_cast<std::uint16_t>(quantity));
}

int CModbusMessage::buildReadStrings(std::uint8_t* frame, int& frameLength, int functionCode,
                                     std::uint16_t address, std::uint16_t count,
                                     std::uint16_t stringSize) {
    const long totalBytes = static_cast<long>(count) * stringSize;
    if (registerModes()) {
        if (totalBytes / 2 > kMaxReadRegisters)
            return kResultResponseTooLong;
        return putAddressAndCount(frame, frameLength, functionCode, address,
                                  static_cast<std::uint16_t>(totalBytes / 2));
    }
    if (totalBytes > kMaxReadBytesLogical)
        return kResultResponseTooLong;
    return putAddressAndCount(frame, frameLength, functionCode, address, count);
}

int CModbusMessage::buildForceCoil(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                   int value) {
    singleByteData = 0;
    pduData[2] = (value & 0xFF) != 0 ? 0xFF : 0x00;
    pduData[3] = 0x00;
    return putAddress(frame, frameLength, 5, address, 2);
}

int CModbusMessage::buildPresetByte(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                    int value) {
    const auto byte = static_cast<std::uint8_t>(value & 0xFF);
    if (registerModes()) {
        singleByteData = 0;
        pduData[2] = 0x00;
        pduData[3] = byte;
        return putAddress(frame, frameLength, 6, address, 2);
    }
    singleByteData = 1;
    pduData[2] = byte;
    return putAddress(frame, frameLength, 6, address, 1);
}

int CModbusMessage::buildPresetWord(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                    std::uint16_t value) {
    singleByteData = 0;
    putUInt16(pduData + 2, value);
    return putAddress(frame, frameLength, 6, address, 2);
}

int CModbusMessage::buildPresetLong(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                    std::uint32_t value) {
    singleByteData = 0;
    if (registerModes()) {
        putUInt32(pduData + 5, value);
        return putAddressCountAndBytes(frame, frameLength, 16, address, 2, 4);
    }
    putUInt32(pduData + 2, value);
    return putAddress(frame, frameLength, 6, address, 4);
}

int CModbusMessage::buildPresetFloat(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                     float value) {
    singleByteData = 0;
    if (registerModes()) {
        putFloat(pduData + 5, value);
        if (modiconCompatible)
            wordSwap4(pduData + 5);
        return putAddressCountAndBytes(frame, frameLength, 16, address, 2, 4);
    }
    putFloat(pduData + 2, value);
    return putAddress(frame, frameLength, 6, address, 4);
}

int CModbusMessage::buildPresetDouble(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                      double value) {
    singleByteData = 0;
    if (registerModes()) {
        putDouble(pduData + 5, value);
        return putAddressCountAndBytes(frame, frameLength, 16, address, 4, 8);
    }
    putDouble(pduData + 2, value);
    return putAddress(frame, frameLength, 6, address, 8);
}

int CModbusMessage::buildPresetString(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                      std::uint16_t stringSize, std::string_view text) {
    singleByteData = 0;
    if (stringSize > kMaxStringSize)
        return kResultMessageTooLong;
    if (registerModes()) {
        putPaddedText(pduData + 5, stringSize, text);
        return putAddressCountAndBytes(frame, frameLength, 16, address,
                                       static_cast<std::uint16_t>(stringSize / 2), stringSize);
    }
    putPaddedText(pduData + 2, stringSize, text);
    return putAddress(frame, frameLength, 6, address, stringSize);
}

int CModbusMessage::buildReadExceptionStatus(std::uint8_t* frame, int& frameLength) {
    return assembleFrame(frame, frameLength, 7, 0);
}

int CModbusMessage::buildDiagnostics(std::uint8_t* frame, int& frameLength,
                                     std::uint16_t subFunction, std::uint16_t dataValue) {
    putUInt16(pduData, subFunction);
    putUInt16(pduData + 2, dataValue);
    return assembleFrame(frame, frameLength, 8, 4);
}

int CModbusMessage::buildForceCoils(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                    std::uint16_t points, std::span<const int> values) {
    singleByteData = 0;
    if (points > kMaxWriteBits)
        return kResultTooManyToWrite;
    const int byteCount = (points + 7) / 8;
    std::memset(pduData + 5, 0, static_cast<std::size_t>(byteCount));
    for (int i = 0; i < points; ++i) {
        if ((valueAt(values, i) & 0xFF) != 0)
            pduData[5 + i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
    }
    return putAddressCountAndBytes(frame, frameLength, 15, address, points, byteCount);
}

int CModbusMessage::buildPresetBytes(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                     std::uint16_t count, std::span<const int> values) {
    if (registerModes()) {
        // One register per value, high byte 00; the word builder applies the register limit.
        std::uint16_t widened[kMaxWriteRegisters];
        const int n = std::min<int>(count, kMaxWriteRegisters);
        for (int i = 0; i < n; ++i)
            widened[i] = static_cast<std::uint16_t>(valueAt(values, i) & 0xFF);
        return buildPresetWords(
            frame, frameLength, address, count,
            std::span<const std::uint16_t>(widened, static_cast<std::size_t>(n)));
    }
    singleByteData = 0;
    if (count > kMaxWriteBytesLogical)
        return kResultTooManyToWrite;
    for (int i = 0; i < count; ++i)
        pduData[5 + i] = static_cast<std::uint8_t>(valueAt(values, i) & 0xFF);
    singleByteData = 1;
    return putAddressCountAndBytes(frame, frameLength, 16, address, count, count);
}

int CModbusMessage::buildPresetWords(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                     std::uint16_t count, std::span<const std::uint16_t> values) {
    singleByteData = 0;
    if (count > kMaxWriteRegisters)
        return kResultTooManyToWrite;
    for (int i = 0; i < count; ++i)
        putUInt16(valueSlot(pduData, i, 2), valueAt(values, i));
    return putAddressCountAndBytes(frame, frameLength, 16, address, count, 2 * count);
}

int CModbusMessage::buildPresetLongs(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                     std::uint16_t count, std::span<const std::uint32_t> values) {
    singleByteData = 0;
    if (count > kMaxLongs)
        return kResultTooManyToWrite;
    for (int i = 0; i < count; ++i)
        putUInt32(valueSlot(pduData, i, 4), valueAt(values, i));
    const int quantity = registerModes() ? 2 * count : count;
    return putAddressCountAndBytes(frame, frameLength, 16, address,
                                   static_cast<std::uint16_t>(quantity), 4 * count);
}

int CModbusMessage::buildPresetFloats(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                      std::uint16_t count, std::span<const float> values) {
    singleByteData = 0;
    if (count > kMaxLongs)
        return kResultTooManyToWrite;
    for (int i = 0; i < count; ++i) {
        putFloat(valueSlot(pduData, i, 4), valueAt(values, i));
        if (modiconCompatible)
            wordSwap4(valueSlot(pduData, i, 4));
    }
    const int quantity = registerModes() ? 2 * count : count;
    return putAddressCountAndBytes(frame, frameLength, 16, address,
                                   static_cast<std::uint16_t>(quantity), 4 * count);
}

int CModbusMessage::buildPresetDoubles(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                       std::uint16_t count, std::span<const double> values) {
    singleByteData = 0;
    if (count > kMaxDoubles)
        return kResultTooManyToWrite;
    for (int i = 0; i < count; ++i)
        putDouble(valueSlot(pduData, i, 8), valueAt(values, i));
    const int quantity = registerModes() ? 4 * count : count;
    return putAddressCountAndBytes(frame, frameLength, 16, address,
                                   static_cast<std::uint16_t>(quantity), 8 * count);
}

int CModbusMessage::buildPresetStrings(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                                       std::uint16_t count, std::uint16_t stringSize,
                                       std::span<const std::string> values) {
    singleByteData = 0;
    const long totalBytes = static_cast<long>(count) * stringSize;
    if (totalBytes > kMaxPresetStringBytes)
        return kResultMessageTooLong;
    std::memset(pduData + 5, 0, static_cast<std::size_t>(totalBytes));
    for (int i = 0; i < count && static_cast<std::size_t>(i) < values.size(); ++i)
        putPaddedText(valueSlot(pduData, i, stringSize), stringSize,
                      values[static_cast<std::size_t>(i)]);
    const long quantity = registerModes() ? totalBytes / 2 : count;
    return putAddressCountAndBytes(frame, frameLength, 16, address,
                                   static_cast<std::uint16_t>(quantity),
                                   static_cast<int>(totalBytes));
}

int CModbusMessage::buildUserDefined(std::uint8_t* frame, int& frameLength, int functionCode,
                                     std::uint16_t byteCount, std::span<const std::uint8_t> bytes) {
    singleByteData = 0;
    if (byteCount > kMaxUserDefinedBytes)
        return kResultMessageTooLong;
    for (int i = 0; i < byteCount; ++i)
        pduData[i] = valueAt(bytes, i);
    return assembleFrame(frame, frameLength, functionCode, byteCount);
}
