#include "runner/sequence_writer.h"

#include "protocol/data_types.h"
#include "protocol/value_codecs.h"
#include "windows/testmodbus_dlg.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <string_view>
#include <unistd.h>

namespace {

constexpr mode_t kFileMode = 0644;
constexpr char kDelete = 0x7F;

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A TOML basic string: the control characters, DEL among them, escaped.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20 || c == kDelete) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// An integer written as TOML writes it stays bare; every other value is kept as its text.
std::string valueToml(const std::string& text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error == std::errc() && stop == end && std::to_string(value) == text)
        return text;
    return quoted(text);
}

std::string arrayToml(const std::vector<std::string>& values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i > 0 ? ", " : "") + valueToml(values[i]);
    return out + "]";
}

std::string byteArrayToml(const std::vector<std::string>& bytes) {
    std::string out = "[";
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out += (i > 0 ? ", 0x" : "0x") + bytes[i];
    return out + "]";
}

// A User Defined request's byte as the window read it ("0x1a", "a" or "1A"), in the two digits a
// sequence file's data bytes read back as; a text the window would not take is kept as it is.
std::string byteText(const std::string& typed) {
    const std::optional<std::uint32_t> value = scanHex(trimmed(typed));
    if (!value || *value > std::numeric_limits<std::uint8_t>::max())
        return trimmed(typed);
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(*value));
    return hex;
}

void appendKey(std::string& out, const char* key, const std::string& value) {
    out += key;
    out += " = ";
    out += value;
    out += '\n';
}

// The length of the UTF-8 sequence at the front of `text` (RFC 3629: no overlong forms, no
// surrogates, nothing beyond U+10FFFF), or 0 when it is not one.
std::size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

bool isUtf8(std::string_view text) {
    while (!text.empty()) {
        const std::size_t length = utf8SequenceLength(text);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

} // namespace

SequenceStep stepOfEntries(const TestStepEntries& e, const std::string& name) {
    SequenceStep step;
    step.name = name;
    StepRequest& r = step.request;
    r.functionIndex = e.functionIndex;
    r.userFunction = e.userFunction;
    r.dataType = e.dataType;
    r.addressingIndex = e.addressingIndex;
    r.modbusId = e.modbusId;
    r.address = e.startAddress;
    r.quantity = e.quantity;
    r.stringSize = e.stringSize;
    for (const std::string& v : e.values)
        r.values.push_back(e.functionIndex == kFnUserDefined ? byteText(v) : trimmed(v));
    r.checkMode = e.checkMode;
    r.checkValue = e.checkValue;
    // A sequence file is UTF-8 throughout: a string read with other bytes (a unit's unset
    // registers hold FF) cannot be written down, so the step records no values rather than a
    // file that no longer reads.
    if (std::all_of(e.received.begin(), e.received.end(), isUtf8))
        for (const std::string& v : e.received)
            step.expect.values.push_back(trimmed(v));
    return step;
}

std::string stepText(const SequenceStep& step) {
    const StepRequest& r = step.request;
    const bool user = r.functionIndex == kFnUserDefined;
    std::string out = "\n[[step]]\n";
    appendKey(out, "name", quoted(step.name));
    if (user)
        appendKey(out, "user_function", std::to_string(r.userFunction));
    else
        appendKey(out, "function", std::to_string(functionCodeOfIndex(r.functionIndex)));
    if (r.modbusId >= 0)
        appendKey(out, "id", std::to_string(r.modbusId));
    if (const char* addressing = nameOfValue(kSequenceAddressing, r.addressingIndex))
        appendKey(out, "addressing", quoted(addressing));
    if (const char* type = nameOfValue(kSequenceDataTypes, r.dataType); type && !user)
        appendKey(out, "type", quoted(type));
    appendKey(out, "register", std::to_string(r.address));
    appendKey(out, "quantity", std::to_string(r.quantity));
    if (r.dataType == kDataTypeString)
        appendKey(out, "string_size", std::to_string(r.stringSize));
    if (!r.values.empty())
        appendKey(out, user ? "data" : "values",
                  user ? byteArrayToml(r.values) : arrayToml(r.values));
    if (r.checkMode == kCheckUserDefined)
        appendKey(out, "check_value", quoted(r.checkValue));
    else if (const char* check = nameOfValue(kSequenceCheckModes, r.checkMode);
             check && r.checkMode >= 0)
        appendKey(out, "check", quoted(check));
    if (!step.expect.values.empty())
        appendKey(out, "expect", "{ values = " + arrayToml(step.expect.values) + " }");
    return out;
}

int appendStepToFile(const std::string& path, const SequenceStep& step) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kFileMode);
    if (fd < 0)
        return errno;
    std::string text;
    // A new file starts with the header a hand-written one has.
    if (::lseek(fd, 0, SEEK_END) == 0)
        text = "# Recorded with Save Step in the Test Modbus Communications window.\nname = "
               "\"Recorded sequence\"\n";
    text += stepText(step);
    int error = 0;
    std::size_t done = 0;
    while (done < text.size() && error == 0) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}
