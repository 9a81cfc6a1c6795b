#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Byte-order helpers. Modbus carries numbers most significant byte first (Motorola order).

// Reverse the byte order of a 2-, 4- or 8-byte value in place.
void swap2(std::uint8_t* bytes);
void reverse4(std::uint8_t* bytes);
void reverse8(std::uint8_t* bytes);
// Exchanges the two 16-bit words of a 4-byte value in place (bytes 0<->2, 1<->3): Motorola to
// Modicon order and back.
void wordSwap4(std::uint8_t* bytes);

// Write a value most significant byte first into `out`.
void putUInt16(std::uint8_t* out, std::uint16_t value);
void putUInt32(std::uint8_t* out, std::uint32_t value);
void putUInt64(std::uint8_t* out, std::uint64_t value);
void putFloat(std::uint8_t* out, float value);
void putDouble(std::uint8_t* out, double value);

// Read a value stored most significant byte first.
std::uint16_t getUInt16(const std::uint8_t* in);
std::uint32_t getUInt32(const std::uint8_t* in);
std::uint64_t getUInt64(const std::uint8_t* in);
float getFloat(const std::uint8_t* in);
double getDouble(const std::uint8_t* in);

// Entry formats. Each reads one value from the start of a token as a formatted scan does:
// leading white space is skipped and the longest valid prefix is taken; the rest of the token is
// ignored. Each returns no value when the token holds none. Integers out of range are taken
// modulo 2 to the width of the type, as the conversion would store them.
std::optional<std::int32_t> scanInt(std::string_view token);     // "%d"
std::optional<std::int16_t> scanShort(std::string_view token);   // "%hd"
std::optional<std::uint16_t> scanUShort(std::string_view token); // "%hu"
std::optional<std::int32_t> scanLong(std::string_view token);    // "%ld", 32-bit
std::optional<std::uint32_t> scanULong(std::string_view token);  // "%lu", 32-bit
std::optional<std::uint32_t> scanHex(std::string_view token);    // "%X", either letter case
std::optional<float> scanFloat(std::string_view token);          // "%f"
std::optional<double> scanDouble(std::string_view token);        // "%lf"

// Display formats. The first value is written alone and every further one is preceded by the
// list separator and a space, so with "," the list reads "1, 0, 1".
std::string formatBooleans(std::span<const std::uint8_t> bits, std::string_view listSeparator);
std::string formatBytes(std::span<const std::uint8_t> values, bool isSigned,
                        std::string_view listSeparator);
std::string formatWords(std::span<const std::uint16_t> values, bool isSigned,
                        std::string_view listSeparator);
std::string formatLongs(std::span<const std::uint32_t> values, bool isSigned,
                        std::string_view listSeparator);
std::string formatFloats(std::span<const float> values, std::string_view listSeparator);
std::string formatDoubles(std::span<const double> values, std::string_view listSeparator);
std::string formatStrings(std::span<const std::string> values, std::string_view listSeparator);

// Returns the status byte of a function 07 response in the given data type: Boolean lists bits
// 7 down to 0, Hexadecimal 8-bit gives two hex digits, both 8-bit integer types give 0..255.
// Any other type gives an empty text.
std::string formatExceptionStatus(int dataType, std::uint8_t status,
                                  std::string_view listSeparator);
