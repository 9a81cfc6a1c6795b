#include "platform/system_errors.h"

#include <cstring>
#include <string_view>

namespace {

// strerror_r comes in two flavours, the XSI one returning a status and the GNU one returning the
// text; overloading on the result type takes whichever the C library declares.
[[maybe_unused]] const char* errorText(int rc, const char* buffer) {
    return rc == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* errorText(const char* text, const char*) {
    return text;
}

constexpr std::string_view kUnknownError = "Unknown error";
constexpr std::size_t kErrorTextBufferSize = 256;

} // namespace

std::string systemErrorText(int code) {
    char buffer[kErrorTextBufferSize] = {};
    const char* text = errorText(strerror_r(code, buffer, sizeof buffer), buffer);
    if (text == nullptr || std::string_view(text).starts_with(kUnknownError))
        return {};
    return text;
}
