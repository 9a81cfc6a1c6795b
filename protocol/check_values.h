#pragma once

#include <array>
#include <cstdint>

// Check values and hexadecimal helpers of the RTU and ASCII framings.

// Returns the Modbus CRC-16 of `count` bytes (count taken as an unsigned 16-bit number; 0 bytes
// give 0xFFFF). RTU frames carry it low byte first.
std::uint16_t crc16(const std::uint8_t* bytes, int count);

// Returns the LRC of `count` bytes: their 8-bit sum negated in two's complement.
std::uint8_t lrc(const std::uint8_t* bytes, int count);

// Returns the two upper-case hexadecimal characters of `value`, high nibble first.
std::array<char, 2> byteToHex(std::uint8_t value);

// Returns the value of a hexadecimal digit: ch - '0' up to '9', otherwise ch - 55 (so 'A'-'F'
// give 10-15). Lower-case letters are not digits; other characters give out-of-range values.
int hexCharValue(std::uint8_t ch);

// Returns hexCharValue(high) * 16 + hexCharValue(low), truncated to 8 bits.
std::uint8_t hexPairToByte(std::uint8_t high, std::uint8_t low);

// True for '0'-'9' and 'A'-'Z', the characters an ASCII frame body may hold.
bool isFrameChar(std::uint8_t ch);
