#pragma once

#include "resources/string_table.h"

#include <QString>
#include <string_view>

// The one conversion of the program's texts to Qt: UTF-8 bytes, and string-table texts by id.
inline QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline QString qText(unsigned id) {
    return qText(loadString(id));
}
