#pragma once

// Frames written by hand in the tests: the far end's answers and the expected requests.

#include "protocol/check_values.h"

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// One request of a peer test, in order, with the answer and the result it must get.
struct FrameStep {
    const char* name;
    Bytes request;
    Bytes answer;
    int result;
};

// An RTU frame: the bytes and their CRC, low byte first.
inline Bytes rtuFrame(Bytes bytes) {
    const std::uint16_t crc = crc16(bytes.data(), static_cast<int>(bytes.size()));
    bytes.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    return bytes;
}

// An ASCII frame of the binary bytes: ':', the hexadecimal characters, the LRC, CR LF.
inline Bytes asciiFrame(const Bytes& bytes) {
    Bytes frame{':'};
    for (const std::uint8_t b : bytes) {
        const auto hex = byteToHex(b);
        frame.insert(frame.end(), hex.begin(), hex.end());
    }
    const auto check = byteToHex(lrc(bytes.data(), static_cast<int>(bytes.size())));
    frame.insert(frame.end(), check.begin(), check.end());
    frame.push_back('\r');
    frame.push_back('\n');
    return frame;
}
