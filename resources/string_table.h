#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

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

// printf-style formatting of a text taken from the table (for example loadString(5049) with a
// phone number). The caller passes arguments that match the conversions of that text.
template <typename... Args> std::string formatText(std::string_view format, Args... args) {
    const std::string fmt(format);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    const int needed = std::snprintf(nullptr, 0, fmt.c_str(), args...);
    if (needed <= 0)
        return {};
    std::string out(static_cast<std::size_t>(needed) + 1, '\0');
    std::snprintf(out.data(), out.size(), fmt.c_str(), args...);
#pragma GCC diagnostic pop
    out.resize(static_cast<std::size_t>(needed));
    return out;
}

// formatText on the text of identifier `id`.
template <typename... Args> std::string formatString(unsigned id, Args... args) {
    return formatText(loadString(id), args...);
}
