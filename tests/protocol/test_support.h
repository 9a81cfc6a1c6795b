#pragma once

#include "protocol/check_values.h"
#include "protocol/modbus_message.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

enum class Framing { Rtu, Ascii, Tcp };

inline void setFraming(CModbusMessage& m, Framing f) {
    m.binaryMode = f != Framing::Ascii;
    m.tcpMode = f == Framing::Tcp;
}

inline Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

inline Bytes withCrc(Bytes frame) {
    const std::uint16_t crc = crc16(frame.data(), static_cast<int>(frame.size()));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

// Parses "01 03 0A" into bytes.
inline Bytes hexBytes(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    unsigned value = 0;
    while (in >> std::hex >> value)
        out.push_back(static_cast<std::uint8_t>(value));
    return out;
}
