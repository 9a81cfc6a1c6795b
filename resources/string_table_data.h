#pragma once

#include <cstddef>
#include <string_view>

struct StringEntry {
    unsigned id;
    std::string_view text;
};

// The entries, sorted by identifier (checked by the tests).
extern const StringEntry kStringTable[];
extern const std::size_t kStringTableSize;
