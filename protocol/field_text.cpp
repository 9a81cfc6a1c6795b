#include "protocol/field_text.h"

#include <charconv>

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int digitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    return value < base ? value : -1;
}

NumberStart findNumberStart(std::string_view token, int base) {
    NumberStart start;
    std::size_t& pos = start.digits;
    while (pos < token.size() && isBlank(token[pos]))
        ++pos;
    if (pos < token.size() && (token[pos] == '+' || token[pos] == '-')) {
        start.negative = token[pos] == '-';
        ++pos;
    }
    if (base == 16 && pos + 2 < token.size() && token[pos] == '0' &&
        (token[pos + 1] == 'x' || token[pos + 1] == 'X') && digitValue(token[pos + 2], 16) >= 0)
        pos += 2;
    return start;
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::int32_t> readWholeNumber(std::string_view text) {
    std::string_view digits = trimBlanks(text);
    // from_chars takes a minus sign but no plus; a sign must be followed by a digit.
    const bool plus = !digits.empty() && digits.front() == '+';
    if (plus)
        digits.remove_prefix(1);
    const std::size_t first = !plus && !digits.empty() && digits.front() == '-' ? 1 : 0;
    if (first >= digits.size() || digits[first] < '0' || digits[first] > '9')
        return std::nullopt;
    std::int32_t value = 0;
    const char* end = digits.data() + digits.size();
    const auto [where, error] = std::from_chars(digits.data(), end, value);
    if (error != std::errc() || where != end)
        return std::nullopt;
    return value;
}
