#include "platform/locale.h"

#include <clocale>
#include <langinfo.h>
#include <utility>

namespace {

std::string trimTrailingBlanks(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

// The separator between the first two conversions of a strftime format. "%T" and "%R" stand
// for "%H:%M:%S" and "%H:%M".
std::string separatorOfTimeFormat(const std::string& format) {
    const std::size_t first = format.find('%');
    if (first == std::string::npos || first + 1 >= format.size())
        return ":";
    std::size_t pos = first + 2;
    if (format[first + 1] == 'T' || format[first + 1] == 'R')
        return ":";
    // Modifiers such as "%-H" or "%OH" put one more character before the conversion letter.
    if ((format[first + 1] == '-' || format[first + 1] == 'O' || format[first + 1] == 'E') &&
        pos < format.size())
        ++pos;
    const std::size_t next = format.find('%', pos);
    std::string separator =
        format.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
    separator = trimTrailingBlanks(separator);
    return separator.empty() ? ":" : separator;
}

} // namespace

UserLocale deriveLocale(const std::string& decimalSeparator, const std::string& dateFormat,
                        const std::string& timeFormat) {
    // Each member is built whole rather than assigned a literal: GCC 12 at -O3 misreads the
    // inlined literal assignment to a string as an overlapping copy (-Wrestrict).
    std::string decimal = trimTrailingBlanks(decimalSeparator);
    if (decimal.empty())
        decimal = std::string(".");
    std::string list(decimal == "," ? ";" : ",");
    return UserLocale{
        .listSeparator = std::move(list),
        .decimalSeparator = std::move(decimal),
        .timeSeparator = separatorOfTimeFormat(timeFormat),
        .shortDateFormat = dateFormat.empty() ? std::string("%m/%d/%y") : dateFormat,
        .timeFormat = timeFormat.empty() ? std::string("%H:%M:%S") : timeFormat,
    };
}

UserLocale readUserLocale() {
    if (std::setlocale(LC_ALL, "") == nullptr)
        std::setlocale(LC_ALL, "C");
    const std::lconv* conv = std::localeconv();
    const char* decimal = conv && conv->decimal_point ? conv->decimal_point : ".";
    const char* dateFormat = nl_langinfo(D_FMT);
    const char* timeFormat = nl_langinfo(T_FMT);
    UserLocale locale =
        deriveLocale(decimal, dateFormat ? dateFormat : "", timeFormat ? timeFormat : "");
    // Numbers in frames, logs and value fields are written and read with a dot whatever the
    // user's locale; only the places that show the decimal separator use it explicitly.
    std::setlocale(LC_NUMERIC, "C");
    return locale;
}
