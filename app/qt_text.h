#pragma once

#include "resources/string_table.h"

#include <QString>
#include <string>

// The string-table text of `id` as a QString.
inline QString tableText(unsigned id) {
    const std::string_view view = loadString(id);
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

inline QString toQString(const std::string& text) {
    return QString::fromStdString(text);
}
