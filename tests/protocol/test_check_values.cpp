#include "protocol/check_values.h"

#include <gtest/gtest.h>
#include <vector>

TEST(CheckValues, CrcAndLrcOfKnownFrames) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::uint16_t crc;
        std::uint8_t lrc;
    };
    const Case cases[] = {
        {{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}, 0xCDC5, 0xF2},
        {{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, 0x8776, 0x7E},
        {{}, 0xFFFF, 0x00},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(crc16(c.bytes.data(), static_cast<int>(c.bytes.size())), c.crc);
        EXPECT_EQ(lrc(c.bytes.data(), static_cast<int>(c.bytes.size())), c.lrc);
    }
}

TEST(CheckValues, HexHelpers) {
    EXPECT_EQ(byteToHex(0x00), (std::array<char, 2>{'0', '0'}));
    EXPECT_EQ(byteToHex(0xA5), (std::array<char, 2>{'A', '5'}));
    EXPECT_EQ(byteToHex(0x9F), (std::array<char, 2>{'9', 'F'}));
    for (int v = 0; v < 256; ++v) {
        const auto hex = byteToHex(static_cast<std::uint8_t>(v));
        EXPECT_EQ(
            hexPairToByte(static_cast<std::uint8_t>(hex[0]), static_cast<std::uint8_t>(hex[1])), v);
    }
    EXPECT_EQ(hexCharValue('F'), 15);
    // Lower case is not hexadecimal here: 'a' falls outside 0-15.
    EXPECT_EQ(hexCharValue('a'), 'a' - 55);
    EXPECT_TRUE(isFrameChar('Z'));
    EXPECT_TRUE(isFrameChar('0'));
    EXPECT_FALSE(isFrameChar('a'));
    EXPECT_FALSE(isFrameChar(':'));
    EXPECT_FALSE(isFrameChar('\r'));
}
