#pragma once

#include <string>

// The system's text for the error number `code` (strerror_r); empty when the system has no text
// of its own for it (it would only say "Unknown error").
std::string systemErrorText(int code);
