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

// Widths and precisions beyond this are refused rather than padded out to megabytes.
constexpr int kMaxWidth = 9999;

// An integer argument as printf sees it: types narrower than int arrive promoted to int with
// their value kept; wider ones are read within their own width (sign-extended or wrapped).
unsigned promotedSize(const FormatArg& arg) {
    return std::max<unsigned>(arg.size, sizeof(int));
}

long long asSigned(const FormatArg& arg) {
    if (arg.kind == Kind::Signed)
        return arg.signedValue;
    if (arg.size < sizeof(int) || arg.size >= sizeof(long long))
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
    if (promotedSize(arg) >= sizeof(unsigned long long))
        return value;
    return value & ((1ULL << (promotedSize(arg) * 8)) - 1);
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

long long asInteger(const FormatArg& arg) {
    return arg.kind == Kind::Floating ? floatingToInteger(arg.floatingValue) : asSigned(arg);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// One conversion as read from the text: flags, width and precision (-1 when absent), the length
// modifier reduced to the bits it asks for (8 for hh, 16 for h, else 0) and the letter.
struct Conversion {
    char flags[8] = {};
    int flagCount = 0;
    int width = -1;
    int precision = -1;
    int lengthBits = 0;
    char letter = 0;
};

// The printf format for one conversion, with `tail` ("lld", "f", ".*s" ...) as its end.
class CPrintfFormat {
public:
    CPrintfFormat(const Conversion& conversion, const char* tail) {
        text_[length_++] = '%';
        for (int i = 0; i < conversion.flagCount; ++i)
            text_[length_++] = conversion.flags[i];
        if (conversion.width >= 0)
            appendNumber(conversion.width);
        if (conversion.precision >= 0 && tail[0] != '.') {
            text_[length_++] = '.';
            appendNumber(conversion.precision);
        }
        for (; *tail != '\0'; ++tail)
            text_[length_++] = *tail;
        text_[length_] = '\0';
    }
    const char* c_str() const { return text_; }

private:
    void appendNumber(int value) {
        char digits[8];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value > 0);
        while (count > 0)
            text_[length_++] = digits[--count];
    }

    // '%', up to 8 flags, a width and a precision of 4 digits each, '.', and a tail of 4.
    char text_[32] = {};
    int length_ = 0;
};

template <typename... Values>
void appendPrinted(std::string& out, const CPrintfFormat& printfFormat, Values... values) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    char small[128];
    const int needed = std::snprintf(small, sizeof small, printfFormat.c_str(), values...);
    if (needed <= 0)
        return;
    const auto size = static_cast<std::size_t>(needed);
    if (size < sizeof small) {
        out.append(small, size);
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + size + 1);
    std::snprintf(out.data() + at, size + 1, printfFormat.c_str(), values...);
    out.resize(at + size);
#pragma GCC diagnostic pop
}

// The low `bits` of `value` read as a signed number of that width, as printf's hh and h do.
long long narrowSigned(long long value, int bits) {
    const unsigned long long sign = 1ULL << (bits - 1);
    const unsigned long long low = static_cast<unsigned long long>(value) & ((sign << 1) - 1);
    return (low & sign) ? static_cast<long long>(low) - static_cast<long long>(sign << 1)
                        : static_cast<long long>(low);
}

unsigned long long narrowUnsigned(unsigned long long value, int bits) {
    return bits == 0 ? value : value & ((1ULL << bits) - 1);
}

bool appendSigned(std::string& out, const Conversion& c, const FormatArg& arg) {
    if (!isNumber(arg))
        return false;
    long long value = asInteger(arg);
    if (c.lengthBits != 0)
        value = narrowSigned(value, c.lengthBits);
    appendPrinted(out, CPrintfFormat(c, "lld"), value);
    return true;
}

bool appendUnsigned(std::string& out, const Conversion& c, const FormatArg& arg) {
    if (!isNumber(arg))
        return false;
    const unsigned long long value = arg.kind == Kind::Floating
                                         ? static_cast<unsigned long long>(asInteger(arg))
                                         : asUnsigned(arg);
    const char tail[] = {'l', 'l', c.letter, '\0'};
    appendPrinted(out, CPrintfFormat(c, tail), narrowUnsigned(value, c.lengthBits));
    return true;
}

bool appendCharacter(std::string& out, const Conversion& c, const FormatArg& arg) {
    if (!isInteger(arg))
        return false;
    appendPrinted(out, CPrintfFormat(c, "c"),
                  static_cast<int>(static_cast<unsigned char>(asSigned(arg))));
    return true;
}

bool appendFloating(std::string& out, const Conversion& c, const FormatArg& arg) {
    if (!isNumber(arg))
        return false;
    const double value = arg.kind == Kind::Floating ? arg.floatingValue
                         : arg.kind == Kind::Signed ? static_cast<double>(arg.signedValue)
                                                    : static_cast<double>(arg.unsignedValue);
    const char tail[] = {c.letter, '\0'};
    appendPrinted(out, CPrintfFormat(c, tail), value);
    return true;
}

bool appendText(std::string& out, const Conversion& c, const FormatArg& arg) {
    if (arg.kind != Kind::Text)
        return false;
    // The text need not end in a NUL, so its length is passed as the precision.
    std::size_t length = arg.text.size();
    if (c.precision >= 0)
        length = std::min(length, static_cast<std::size_t>(c.precision));
    if (length > static_cast<std::size_t>(INT_MAX))
        return false;
    const char* chars = arg.text.data() ? arg.text.data() : "";
    appendPrinted(out, CPrintfFormat(c, ".*s"), static_cast<int>(length), chars);
    return true;
}

bool appendPointer(std::string& out, const Conversion& c, const FormatArg& arg) {
    if (arg.kind != Kind::Pointer)
        return false;
    appendPrinted(out, CPrintfFormat(c, "p"), arg.pointer);
    return true;
}

// Appends one conversion; false when the argument cannot be printed by it.
bool appendConversion(std::string& out, const Conversion& c, const FormatArg& arg) {
    switch (c.letter) {
    case 'd':
    case 'i':
        return appendSigned(out, c, arg);
    case 'u':
    case 'o':
    case 'x':
    case 'X':
        return appendUnsigned(out, c, arg);
    case 'c':
        return appendCharacter(out, c, arg);
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
        return appendFloating(out, c, arg);
    case 's':
        return appendText(out, c, arg);
    case 'p':
        return appendPointer(out, c, arg);
    default:
        return false;
    }
}

// Reads a width or precision written in the text or taken from an argument ('*'). Returns false
// when it cannot be used (too large, or '*' without a number to take).
bool readNumber(std::string_view format, std::size_t& i, const FormatArg* args, std::size_t count,
                std::size_t& next, int& number, bool& leftAlign) {
    if (i < format.size() && format[i] == '*') {
        ++i;
        if (next >= count || !isNumber(args[next]))
            return false;
        const long long value = asInteger(args[next++]);
        if (value > kMaxWidth || value < -kMaxWidth)
            return false;
        if (value < 0)
            leftAlign = true;
        number = static_cast<int>(value < 0 ? -value : value);
        return true;
    }
    const std::size_t first = i;
    int value = 0;
    while (i < format.size() && isDigit(format[i]))
        value = value * 10 + (format[i++] - '0');
    if (i - first > 4)
        return false;
    if (i > first)
        number = value;
    return true;
}

// The arguments of a format and the next one to take.
struct ArgCursor {
    const FormatArg* args;
    std::size_t count;
    std::size_t next;
};

// Reads the flags of a conversion at `i`; false when there are more than it can hold.
bool readFlags(std::string_view format, std::size_t& i, Conversion& c) {
    bool usable = true;
    while (i < format.size() &&
           std::string_view("-+ #0").find(format[i]) != std::string_view::npos) {
        if (c.flagCount < 8)
            c.flags[c.flagCount++] = format[i];
        else
            usable = false;
        ++i;
    }
    return usable;
}

// Reads the width and the precision of a conversion at `i`, taking '*' values from the
// arguments; false when one cannot be used.
bool readWidthAndPrecision(std::string_view format, std::size_t& i, ArgCursor& cursor,
                           Conversion& c) {
    bool usable = true;
    bool leftAlign = false;
    if (!readNumber(format, i, cursor.args, cursor.count, cursor.next, c.width, leftAlign))
        usable = false;
    if (i < format.size() && format[i] == '.') {
        ++i;
        c.precision = 0;
        bool negative = false;
        if (!readNumber(format, i, cursor.args, cursor.count, cursor.next, c.precision, negative))
            usable = false;
        if (negative)
            c.precision = -1; // a negative precision counts as none
    }
    if (leftAlign && c.flagCount < 8)
        c.flags[c.flagCount++] = '-';
    return usable;
}

// Reads the length modifiers at `i`, keeping only the bits that hh and h ask for.
void readLength(std::string_view format, std::size_t& i, Conversion& c) {
    while (i < format.size() &&
           std::string_view("hlLqjzt").find(format[i]) != std::string_view::npos) {
        if (format[i] == 'h')
            c.lengthBits = c.lengthBits == 16 ? 8 : 16;
        else
            c.lengthBits = 0;
        ++i;
    }
}

} // namespace

std::string formatArgs(std::string_view format, const FormatArg* args, std::size_t count) {
    std::string out;
    out.reserve(format.size() + 16);
    ArgCursor cursor{args, count, 0};
    std::size_t i = 0;
    while (i < format.size()) {
        const std::size_t percent = format.find('%', i);
        if (percent == std::string_view::npos) {
            out.append(format.substr(i));
            break;
        }
        out.append(format.substr(i, percent - i));
        i = percent + 1;
        if (i < format.size() && format[i] == '%') {
            out.push_back('%');
            ++i;
            continue;
        }
        Conversion c;
        const bool flagsUsable = readFlags(format, i, c);
        const bool usable = readWidthAndPrecision(format, i, cursor, c) && flagsUsable;
        readLength(format, i, c);
        if (i >= format.size()) {
            out.append(format.substr(percent));
            break;
        }
        c.letter = format[i++];
        // An argument that cannot print here still belongs to this conversion, so the later
        // conversions keep their own arguments.
        if (usable && cursor.next < count && appendConversion(out, c, args[cursor.next++]))
            continue;
        out.append(format.substr(percent, i - percent));
    }
    return out;
}

} // namespace string_table_detail
