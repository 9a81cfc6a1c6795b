#pragma once

#include <string>

// The separators and formats of the user's locale, read once at start-up.
struct UserLocale {
    std::string listSeparator;
    std::string decimalSeparator;
    std::string timeSeparator;
    std::string shortDateFormat; // strftime format, e.g. "%m/%d/%y"
    std::string timeFormat;      // strftime format, e.g. "%H:%M:%S"
};

// Switches the process to the user's locale (setlocale(LC_ALL, "")) and reads its values.
// Falls back to the "C" locale's values when the user's locale cannot be set.
UserLocale readUserLocale();

// Derives the values from a decimal separator and the locale's date and time formats: the list
// separator is ";" when the decimal separator is ",", otherwise ","; the time separator is the
// text between the hour and the minute conversions of the time format (":" when there is none).
// Trailing blanks are removed from every separator.
UserLocale deriveLocale(const std::string& decimalSeparator, const std::string& dateFormat,
                        const std::string& timeFormat);
