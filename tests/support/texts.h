#pragma once

#include "resources/string_table.h"

#include <string>

// A text of the string table, to compare with what a window shows.
inline std::string text(unsigned id) {
    return std::string(loadString(id));
}
