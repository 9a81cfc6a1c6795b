#include "protocol/check_values.h"

namespace {

// Table of the reflected polynomial 0x8005 (0xA001), one entry per byte value.
constexpr std::array<std::uint16_t, 256> makeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t value = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1u) ? static_cast<std::uint16_t>((value >> 1) ^ 0xA001u)
                                 : static_cast<std::uint16_t>(value >> 1);
        table[i] = value;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = makeCrcTable();

} // namespace

std::uint16_t crc16(const std::uint8_t* bytes, int count) {
    const auto n = static_cast<std::uint16_t>(count);
    std::uint16_t crc = 0xFFFF;
    for (unsigned i = 0; i < n; ++i)
        crc = static_cast<std::uint16_t>(kCrcTable[(crc ^ bytes[i]) & 0xFFu] ^ (crc >> 8));
    return crc;
}

std::uint8_t lrc(const std::uint8_t* bytes, int count) {
    unsigned sum = 0;
    for (int i = 0; i < count; ++i)
        sum += bytes[i];
    return static_cast<std::uint8_t>(0x100u - (sum & 0xFFu));
}

std::array<char, 2> byteToHex(std::uint8_t value) {
    auto digit = [](unsigned nibble) {
        return static_cast<char>(nibble < 10 ? '0' + nibble : 'A' + nibble - 10);
    };
    return {digit(value >> 4), digit(value & 0x0Fu)};
}

int hexCharValue(std::uint8_t ch) {
    return ch <= '9' ? ch - '0' : ch - 55;
}

std::uint8_t hexPairToByte(std::uint8_t high, std::uint8_t low) {
    return static_cast<std::uint8_t>(hexCharValue(high) * 16 + hexCharValue(low));
}

bool isFrameChar(std::uint8_t ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z');
}
