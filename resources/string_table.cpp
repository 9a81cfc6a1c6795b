#include "resources/string_table.h"

#include "resources/string_table_data.h"

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

const StringEntry* findEntry(unsigned id) {
    const StringEntry* end = kStringTable + kStringTableSize;
    const StringEntry* it = std::lower_bound(
        kStringTable, end, id, [](const StringEntry& e, unsigned key) { return e.id < key; });
    return (it != end && it->id == id) ? it : nullptr;
}

} // namespace

std::string_view loadString(unsigned id) {
    const StringEntry* entry = findEntry(id);
    return entry ? entry->text : std::string_view{};
}

bool hasString(unsigned id) {
    return findEntry(id) != nullptr;
}

std::string substituteArgs(std::string_view text, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const std::size_t n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < args.size()) {
                out.append(*(args.begin() + n));
                ++i;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

namespace string_table_detail {

namespace {

using Kind = FormatArg::Kind;

// Sign-extends (or wraps) an integer argument within its own width, as printf would see it when
// the argument matched the conversion.
long long asSigned(const FormatArg& arg) {
    if (arg.kind == Kind::Signed)
        return arg.signedValue;
    if (arg.size >= sizeof(long long))
        return static_cast<long long>(arg.unsignedValue);
    const unsigned bits = arg.size * 8;
    const unsigned long long sign = 1ULL << (bits - 1);
    const unsigned long long value = arg.unsignedValue & ((sign << 1) - 1);
    return (value & sign) ? static_cast<long long>(value) - static_cast<long long>(sign << 1)
                          : static_cast<long long>(value);
}

unsigned long long asUnsigned(const FormatArg& arg) {
    if (arg.kind == Kind::Unsigned)
        return arg.unsignedValue;
    const auto value = static_cast<unsigned long long>(arg.signedValue);
    if (arg.size >= sizeof(unsigned long long))
        return value;
    return value & ((1ULL << (arg.size * 8)) - 1);
}

long long floatingToInteger(double value) {
    if (!(value == value))
        return 0;
    if (value >= 9.2e18)
        return LLONG_MAX;
    if (value <= -9.2e18)
        return LLONG_MIN;
    return static_cast<long long>(value);
}

bool isInteger(const FormatArg& arg) {
    return arg.kind == Kind::Signed || arg.kind == Kind::Unsigned;
}

bool isNumber(const FormatArg& arg) {
    return isInteger(arg) || arg.kind == Kind::Floating;
}

int asInt(const FormatArg& arg) {
    const long long value =
        arg.kind == Kind::Floating ? floatingToInteger(arg.floatingValue) : asSigned(arg);
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

template <typename T> void appendPrinted(std::string& out, const std::string& spec, T value) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    char small[128];
    const int needed = std::snprintf(small, sizeof small, spec.c_str(), value);
    if (needed <= 0)
        return;
    if (static_cast<std::size_t>(needed) < sizeof small) {
        out.append(small, static_cast<std::size_t>(needed));
        return;
    }
    std::string big(static_cast<std::size_t>(needed) + 1, '\0');
    std::snprintf(big.data(), big.size(), spec.c_str(), value);
#pragma GCC diagnostic pop
    out.append(big.data(), static_cast<std::size_t>(needed));
}

// Formats one conversion whose flags, width and precision are already in `spec` (without the
// length modifier and conversion letter). Returns false when the argument cannot be printed by it.
bool appendConversion(std::string& out, std::string spec, char conversion, int lengthBits,
                      const FormatArg& arg) {
    switch (conversion) {
    case 'd':
    case 'i': {
        if (!isNumber(arg))
            return false;
        long long value =
            arg.kind == Kind::Floating ? floatingToInteger(arg.floatingValue) : asSigned(arg);
        if (lengthBits == 8)
            value = static_cast<signed char>(value);
        else if (lengthBits == 16)
            value = static_cast<short>(value);
        appendPrinted(out, spec + "lld", value);
        return true;
    }
    case 'u':
    case 'o':
    case 'x':
    case 'X': {
        if (!isNumber(arg))
            return false;
        unsigned long long value =
            arg.kind == Kind::Floating
                ? static_cast<unsigned long long>(floatingToInteger(arg.floatingValue))
                : asUnsigned(arg);
        if (lengthBits == 8)
            value = static_cast<unsigned char>(value);
        else if (lengthBits == 16)
            value = static_cast<unsigned short>(value);
        appendPrinted(out, spec + "ll" + conversion, value);
        return true;
    }
    case 'c':
        if (!isInteger(arg))
            return false;
        appendPrinted(out, spec + 'c', static_cast<int>(static_cast<unsigned char>(asSigned(arg))));
        return true;
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A': {
        if (!isNumber(arg))
            return false;
        const double value = arg.kind == Kind::Floating ? arg.floatingValue
                             : arg.kind == Kind::Signed ? static_cast<double>(arg.signedValue)
                                                        : static_cast<double>(arg.unsignedValue);
        appendPrinted(out, spec + conversion, value);
        return true;
    }
    case 's': {
        if (arg.kind != Kind::Text)
            return false;
        const std::string text(arg.text);
        appendPrinted(out, spec + 's', text.c_str());
        return true;
    }
    case 'p':
        if (arg.kind != Kind::Pointer)
            return false;
        appendPrinted(out, spec + 'p', arg.pointer);
        return true;
    default:
        return false;
    }
}

// Widths and precisions beyond this are refused rather than padded out to megabytes.
constexpr int kMaxWidth = 9999;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string formatArgs(std::string_view format, const FormatArg* args, std::size_t count) {
    std::string out;
    out.reserve(format.size() + 16);
    std::size_t next = 0;
    std::size_t i = 0;
    while (i < format.size()) {
        if (format[i] != '%') {
            out.push_back(format[i++]);
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out.push_back('%');
            i += 2;
            continue;
        }
        const std::size_t start = i++;
        std::string spec = "%";
        bool usable = true;
        while (i < format.size() &&
               std::string_view("-+ #0").find(format[i]) != std::string_view::npos)
            spec.push_back(format[i++]);
        // Width and precision, each given in the text or taken from an argument ('*').
        for (int part = 0; part < 2; ++part) {
            if (part == 1) {
                if (i >= format.size() || format[i] != '.')
                    break;
                spec.push_back(format[i++]);
            }
            if (i < format.size() && format[i] == '*') {
                ++i;
                if (next < count && isNumber(args[next])) {
                    const int value = asInt(args[next++]);
                    if (value > kMaxWidth || value < -kMaxWidth)
                        usable = false;
                    else if (part == 1 && value < 0)
                        spec.pop_back(); // a negative precision counts as none
                    else
                        spec += std::to_string(value);
                } else {
                    usable = false;
                }
            } else {
                const std::size_t digits = i;
                while (i < format.size() && isDigit(format[i]))
                    spec.push_back(format[i++]);
                if (i - digits > 4)
                    usable = false;
            }
        }
        int lengthBits = 0;
        while (i < format.size() &&
               std::string_view("hlLqjzt").find(format[i]) != std::string_view::npos) {
            if (format[i] == 'h')
                lengthBits = lengthBits == 16 ? 8 : 16;
            else
                lengthBits = 64;
            ++i;
        }
        if (i >= format.size()) {
            out.append(format.substr(start));
            break;
        }
        const char conversion = format[i++];
        // An argument that cannot print here still belongs to this conversion, so the later
        // conversions keep their own arguments.
        if (usable && next < count &&
            appendConversion(out, spec, conversion, lengthBits, args[next++]))
            continue;
        out.append(format.substr(start, i - start));
    }
    return out;
}

} // namespace string_table_detail
