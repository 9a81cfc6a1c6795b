#pragma once

#include <cstdint>
#include <string>

// The About box's logic: its version line.

// The version line of the About box: "Vantrel - v1.02.03.4" when the fourth-level part of the
// version (fileVersionLS) is non-zero, otherwise the product title with major and minor.
std::string aboutVersionLine(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS);
