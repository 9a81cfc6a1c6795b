#include "resources/string_table.h"

#include "resources/string_table_data.h"

#include <algorithm>

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

bool hasString(unsigned id) { return findEntry(id) != nullptr; }

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
