#include "protocol/value_codecs.h"

#include "protocol/data_types.h"
#include "protocol/field_text.h"

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <utility>

void swap2(std::uint8_t* bytes) {
    std::swap(bytes[0], bytes[1]);
}

void reverse4(std::uint8_t* bytes) {
    std::reverse(bytes, bytes + 4);
}

void reverse8(std::uint8_t* bytes) {
    std::reverse(bytes, bytes + 8);
}

void wordSwap4(std::uint8_t* bytes) {
    std::swap(bytes[0], bytes[2]);
    std::swap(bytes[1], bytes[3]);
}

void putUInt16(std::uint8_t* out, std::uint16_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 8);
    out[1] = static_cast<std::uint8_t>(value & 0xFF);
}

void putUInt32(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void putFloat(std::uint8_t* out, float value) {
    putUInt32(out, std::bit_cast<std::uint32_t>(value));
}

void putUInt64(std::uint8_t* out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (56 - 8 * i));
}

void putDouble(std::uint8_t* out, double value) {
    putUInt64(out, std::bit_cast<std::uint64_t>(value));
}

std::uint16_t getUInt16(const std::uint8_t* in) {
    return static_cast<std::uint16_t>((in[0] << 8) | in[1]);
}

std::uint32_t getUInt32(const std::uint8_t* in) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | in[i];
    return value;
}

float getFloat(const std::uint8_t* in) {
    return std::bit_cast<float>(getUInt32(in));
}

std::uint64_t getUInt64(const std::uint8_t* in) {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | in[i];
    return value;
}

double getDouble(const std::uint8_t* in) {
    return std::bit_cast<double>(getUInt64(in));
}

namespace {

// Reads an optionally signed integer in `base` from the start of the token; the value wraps
// modulo 2^64 and the caller keeps the bits of its width.
std::optional<std::uint64_t> scanInteger(std::string_view token, int base) {
    const auto [digits, negative] = findNumberStart(token, base);
    std::size_t pos = digits;
    std::uint64_t value = 0;
    bool any = false;
    for (; pos < token.size(); ++pos) {
        const int digit = digitValue(token[pos], base);
        if (digit < 0)
            break;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        any = true;
    }
    if (!any)
        return std::nullopt;
    return negative ? 0 - value : value;
}

template <typename T> std::optional<T> scanAs(std::string_view token, int base) {
    const auto value = scanInteger(token, base);
    if (!value)
        return std::nullopt;
    return static_cast<T>(*value);
}

// Floating-point entry is read in the C locale, whatever the process locale says, so that a
// value reads the same on every machine.
locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

template <typename T> std::optional<T> scanReal(std::string_view token) {
    const std::string text(token);
    const locale_t previous = uselocale(cLocale());
    char* end = nullptr;
    T value{};
    if constexpr (std::is_same_v<T, float>)
        value = std::strtof(text.c_str(), &end);
    else
        value = std::strtod(text.c_str(), &end);
    uselocale(previous);
    if (end == text.c_str())
        return std::nullopt;
    return value;
}

template <typename T, typename Format>
std::string joinValues(std::span<const T> values, std::string_view listSeparator, Format format) {
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            out.append(listSeparator);
            out.push_back(' ');
        }
        out.append(format(values[i]));
    }
    return out;
}

template <typename... Args> std::string printed(const char* format, Args... args) {
    char buffer[512];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
#pragma GCC diagnostic pop
    return std::string(buffer, static_cast<std::size_t>(std::clamp(n, 0, 511)));
}

// Double values can be very long in "%.15f"; size the text from the value itself.
std::string printedDouble(const char* format, double value) {
    const locale_t previous = uselocale(cLocale());
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(nullptr, 0, format, value);
    std::string out(static_cast<std::size_t>(std::max(n, 0)) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, value);
#pragma GCC diagnostic pop
    uselocale(previous);
    out.resize(static_cast<std::size_t>(std::max(n, 0)));
    return out;
}

} // namespace

std::optional<std::int32_t> scanInt(std::string_view token) {
    return scanAs<std::int32_t>(token, 10);
}
std::optional<std::int16_t> scanShort(std::string_view token) {
    return scanAs<std::int16_t>(token, 10);
}
std::optional<std::uint16_t> scanUShort(std::string_view token) {
    return scanAs<std::uint16_t>(token, 10);
}
std::optional<std::int32_t> scanLong(std::string_view token) {
    return scanAs<std::int32_t>(token, 10);
}
std::optional<std::uint32_t> scanULong(std::string_view token) {
    return scanAs<std::uint32_t>(token, 10);
}
std::optional<std::uint32_t> scanHex(std::string_view token) {
    return scanAs<std::uint32_t>(token, 16);
}
std::optional<float> scanFloat(std::string_view token) {
    return scanReal<float>(token);
}
std::optional<double> scanDouble(std::string_view token) {
    return scanReal<double>(token);
}

std::string formatBooleans(std::span<const std::uint8_t> bits, std::string_view listSeparator) {
    return joinValues(bits, listSeparator, [](std::uint8_t bit) { return printed("%d", bit); });
}

std::string formatBytes(std::span<const std::uint8_t> values, bool isSigned,
                        std::string_view listSeparator) {
    return joinValues(values, listSeparator, [isSigned](std::uint8_t value) {
        return isSigned ? printed("%d", static_cast<std::int8_t>(value))
                        : printed("%u", static_cast<unsigned>(value));
    });
}

std::string formatWords(std::span<const std::uint16_t> values, bool isSigned,
                        std::string_view listSeparator) {
    return joinValues(values, listSeparator, [isSigned](std::uint16_t value) {
        return isSigned ? printed("%d", static_cast<std::int16_t>(value))
                        : printed("%u", static_cast<unsigned>(value));
    });
}

std::string formatLongs(std::span<const std::uint32_t> values, bool isSigned,
                        std::string_view listSeparator) {
    return joinValues(values, listSeparator, [isSigned](std::uint32_t value) {
        return isSigned ? printed("%" PRId32, static_cast<std::int32_t>(value))
                        : printed("%" PRIu32, value);
    });
}

std::string formatFloats(std::span<const float> values, std::string_view listSeparator) {
    return joinValues(values, listSeparator,
                      [](float value) { return printedDouble("%f", static_cast<double>(value)); });
}

std::string formatDoubles(std::span<const double> values, std::string_view listSeparator) {
    return joinValues(values, listSeparator,
                      [](double value) { return printedDouble("%.15f", value); });
}

std::string formatStrings(std::span<const std::string> values, std::string_view listSeparator) {
    return joinValues(values, listSeparator, [](const std::string& value) { return value; });
}

std::string formatExceptionStatus(int dataType, std::uint8_t status,
                                  std::string_view listSeparator) {
    switch (dataType) {
    case kDataTypeBoolean: {
        std::uint8_t bits[8];
        for (int i = 0; i < 8; ++i)
            bits[i] = static_cast<std::uint8_t>((static_cast<unsigned>(status) >> (7 - i)) & 1u);
        return formatBooleans(bits, listSeparator);
    }
    case kDataTypeHex8:
        return printed("%02X", static_cast<unsigned>(status));
    case kDataTypeInt8:
    case kDataTypeUInt8:
        return printed("%u", static_cast<unsigned>(status));
    default:
        return {};
    }
}
