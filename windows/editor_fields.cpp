#include "windows/editor_fields.h"

#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <cctype>
#include <charconv>

namespace {

bool isBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

} // namespace

bool parseFieldInteger(const std::string& text, std::int32_t& value) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    // from_chars takes a minus sign but no plus; a sign must be followed by a digit.
    const bool plus = begin < end && text[begin] == '+';
    if (plus)
        ++begin;
    const std::size_t digits = !plus && begin < end && text[begin] == '-' ? begin + 1 : begin;
    if (digits == end || !std::isdigit(static_cast<unsigned char>(text[digits])))
        return false;
    std::int32_t parsed = 0;
    const auto [where, error] = std::from_chars(text.data() + begin, text.data() + end, parsed);
    if (error != std::errc() || where != text.data() + end)
        return false;
    value = parsed;
    return true;
}

bool checkIntegerField(const std::string& text, std::int32_t& value, EditorField field,
                       FieldCheck& check) {
    if (parseFieldInteger(text, value))
        return true;
    check = {false, std::string(loadString(kIdsEnterInteger)), field};
    return false;
}
