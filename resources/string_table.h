#pragma once

#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

// The one string table of the program: every message, label, button text and list entry with
// its identifier. Result codes are identifiers of this table; 0 means success and has no text.

// Returns the text stored under `id`, or an empty view when the table has no such identifier.
// The view refers to static storage and stays valid for the whole run.
std::string_view loadString(unsigned id);

// True when the table holds an entry for `id` (an entry may be an empty text).
bool hasString(unsigned id);

// Replaces %1, %2, ... in `text` by the given arguments (the first argument for %1); a
// placeholder without an argument is left as it stands. Used for the "between %1 and %2"
// messages and the settings-file failure descriptions.
std::string substituteArgs(std::string_view text, std::initializer_list<std::string_view> args);

namespace string_table_detail {

// One argument of formatText, reduced to what a conversion can print.
struct FormatArg {
    enum class Kind { Signed, Unsigned, Floating, Text, Pointer };
    Kind kind = Kind::Signed;
    unsigned size = 0; // bytes of an integer argument
    long long signedValue = 0;
    unsigned long long unsignedValue = 0;
    double floatingValue = 0.0;
    std::string_view text;
    const void* pointer = nullptr;
};

template <typename> inline constexpr bool kUnsupportedArgument = false;

template <typename T> FormatArg makeFormatArg(const T& value) {
    using V = std::remove_cvref_t<T>;
    FormatArg arg;
    if constexpr (std::is_enum_v<V>) {
        return makeFormatArg(static_cast<std::underlying_type_t<V>>(value));
    } else if constexpr (std::is_integral_v<V>) {
        arg.size = sizeof(V);
        if constexpr (std::is_signed_v<V>) {
            arg.kind = FormatArg::Kind::Signed;
            // A signed char is meant to print as its signed value, as printf prints it.
            arg.signedValue = value; // NOLINT(bugprone-signed-char-misuse)
        } else {
            arg.kind = FormatArg::Kind::Unsigned;
            arg.unsignedValue = value;
        }
    } else if constexpr (std::is_floating_point_v<V>) {
        arg.kind = FormatArg::Kind::Floating;
        arg.floatingValue = static_cast<double>(value);
    } else if constexpr (std::is_null_pointer_v<V>) {
        arg.kind = FormatArg::Kind::Text;
    } else if constexpr (std::is_array_v<V> || std::is_same_v<V, const char*> ||
                         std::is_same_v<V, char*>) {
        arg.kind = FormatArg::Kind::Text;
        const char* chars = value;
        arg.text = chars ? std::string_view(chars) : std::string_view();
    } else if constexpr (std::is_convertible_v<const V&, std::string_view>) {
        arg.kind = FormatArg::Kind::Text;
        arg.text = value;
    } else if constexpr (std::is_pointer_v<V>) {
        arg.kind = FormatArg::Kind::Pointer;
        arg.pointer = value;
    } else {
        static_assert(kUnsupportedArgument<V>, "formatText prints numbers, text and pointers");
    }
    return arg;
}

std::string formatArgs(std::string_view format, const FormatArg* args, std::size_t count);

} // namespace string_table_detail

// printf-style formatting of a text taken from the table (for example loadString(5049) with a
// phone number). Returns the text with each conversion (%d, %03d, %u, %X, %c, %f, %0.3f, %s ...)
// replaced by the next argument, converted to the type the conversion names: an int passed for
// %ld or a std::string passed for %s prints correctly. A conversion without an argument left, one
// whose argument cannot print there (a number for %s, text for %d), %n and a malformed conversion
// are copied unchanged; nothing beyond the given arguments is ever read.
template <typename... Args> std::string formatText(std::string_view format, const Args&... args) {
    const string_table_detail::FormatArg list[] = {string_table_detail::makeFormatArg(args)...,
                                                   string_table_detail::FormatArg{}};
    return string_table_detail::formatArgs(format, list, sizeof...(Args));
}

// formatText on the text of identifier `id`.
template <typename... Args> std::string formatString(unsigned id, const Args&... args) {
    return formatText(loadString(id), args...);
}
