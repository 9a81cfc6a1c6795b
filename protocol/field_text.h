#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// How every entry field of the program reads its text: what counts as a blank and what is a whole
// number. The windows add their ranges and messages; the value scanners share the blanks.

// Space, tab and the line breaks (the C locale's white space).
bool isBlank(char c);

// `text` without the blanks at either end.
std::string_view trimBlanks(std::string_view text);

// The value of a digit in `base` (10 or 16, either case), -1 for any other character.
int digitValue(char c, int base);

// Where the digits of a number begin, as scanf's integer conversions read it: after leading
// blanks, an optional sign and, in base 16, a 0x prefix that a digit follows.
struct NumberStart {
    std::size_t digits = 0;
    bool negative = false;
};
NumberStart findNumberStart(std::string_view token, int base);

// A whole number with an optional sign ("+" or "-") and blanks around it, within 32 bits; nothing
// for anything else, an empty text and a sign without digits included.
std::optional<std::int32_t> readWholeNumber(std::string_view text);
