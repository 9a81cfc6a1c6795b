#include "windows/number_convertor_dlg.h"

#include "protocol/field_text.h"
#include "protocol/result_codes.h"
#include "protocol/value_codecs.h"
#include "resources/string_ids.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

namespace {

// The most bytes a value of the list's types takes (Double).
constexpr std::size_t kMaxValueBytes = 8;
constexpr unsigned kByteOrderTexts[] = {8070, 8071, 8072};
constexpr unsigned kFirstDataTypeText = 8052;
constexpr int kListDataTypeCount = 9;
constexpr unsigned kWideIntegerTexts[] = {kIdsConvertorInt64, kIdsConvertorUInt64};

struct ValueBytes {
    std::array<std::uint8_t, kMaxValueBytes> bytes{};
    std::size_t size = 0;

    std::span<std::uint8_t> view() { return {bytes.data(), size}; }
};

bool isNumericType(int dataType) {
    return (dataType >= ConvertInt8 && dataType <= ConvertDouble) || dataType == ConvertInt64 ||
           dataType == ConvertUInt64;
}

std::size_t typeSize(int dataType) {
    switch (dataType) {
    case ConvertInt8:
    case ConvertUInt8:
        return 1;
    case ConvertInt16:
    case ConvertUInt16:
        return 2;
    case ConvertDouble:
    case ConvertInt64:
    case ConvertUInt64:
        return 8;
    default:
        return 4;
    }
}

bool offersModicon(int dataType) {
    return dataType == ConvertFloat || dataType == ConvertDouble;
}

// Puts Motorola-ordered bytes into the selected order, or back: each step is its own inverse.
// Nothing selected, and Modicon where it is not offered, stay Motorola; a Double in Modicon
// order is laid out as in Motorola order.
void applyByteOrder(int dataType, int byteOrder, std::span<std::uint8_t> bytes) {
    if (byteOrder == OrderIntel && bytes.size() > 1)
        std::reverse(bytes.begin(), bytes.end());
    else if (byteOrder == OrderModicon && dataType == ConvertFloat)
        wordSwap4(bytes.data());
}

std::string hexDigits(std::uint8_t byte) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

bool hasBlank(std::string_view text) {
    for (const char ch : text)
        if (isBlank(ch))
            return true;
    return false;
}

std::string withoutBlanks(std::string_view text) {
    std::string out;
    for (const char ch : text)
        if (!isBlank(ch))
            out.push_back(ch);
    return out;
}

struct HexNumber {
    std::uint64_t value = 0;
    std::size_t bytes = 0; // bytes the digits need, leading zeros not counted
};

// Reads one number as "%X" does (leading blanks, optional sign, optional 0x, the longest run of
// hexadecimal digits; the rest is ignored) and says how many bytes its digits fill.
std::optional<HexNumber> readHexNumber(std::string_view token) {
    const auto [digits, negative] = findNumberStart(token, 16);
    std::size_t pos = digits;
    const std::size_t start = pos;
    std::size_t significant = 0;
    HexNumber number;
    for (; pos < token.size() && digitValue(token[pos], 16) >= 0; ++pos) {
        number.value = (number.value << 4) | static_cast<unsigned>(digitValue(token[pos], 16));
        if (significant > 0 || token[pos] != '0')
            ++significant;
    }
    if (pos == start)
        return std::nullopt;
    if (negative)
        number.value = 0 - number.value;
    number.bytes = (significant + 1) / 2;
    return number;
}

std::optional<std::uint8_t> readByteGroup(std::string_view group) {
    const auto number = readHexNumber(group);
    if (!number || number->bytes > 1)
        return std::nullopt;
    return static_cast<std::uint8_t>(number->value & 0xFF);
}

// Splits the text into its byte groups: at runs of blanks when it holds any blank, otherwise at
// each list separator, where a separator at the very end closes the last group. An empty group
// between two separators is kept: it is not a byte.
std::vector<std::string_view> splitByteGroups(std::string_view text,
                                              std::string_view listSeparator) {
    std::vector<std::string_view> groups;
    std::size_t pos = 0;
    if (hasBlank(text) || listSeparator.empty()) {
        while (pos < text.size()) {
            while (pos < text.size() && isBlank(text[pos]))
                ++pos;
            std::size_t end = pos;
            while (end < text.size() && !isBlank(text[end]))
                ++end;
            if (end > pos)
                groups.push_back(text.substr(pos, end - pos));
            pos = end;
        }
        return groups;
    }
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find(listSeparator, pos), text.size());
        groups.push_back(text.substr(pos, end - pos));
        pos = end == text.size() ? end : end + listSeparator.size();
    }
    return groups;
}

// The bytes of the groups. Fails when a group is not one byte, when there is no group at all,
// or when there are more than `maxGroups`.
std::optional<std::vector<std::uint8_t>>
readByteGroups(std::string_view text, std::string_view listSeparator, std::size_t maxGroups) {
    const std::vector<std::string_view> groups = splitByteGroups(text, listSeparator);
    if (groups.empty() || groups.size() > maxGroups)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (const std::string_view group : groups) {
        const auto byte = readByteGroup(group);
        if (!byte)
            return std::nullopt;
        bytes.push_back(*byte);
    }
    return bytes;
}

// The characters of an ASCII String are the bytes 0 to 255, held in UTF-8 by the window: one
// byte below 0x80, two bytes (lead C2 or C3) above.
std::optional<std::string> latin1FromUtf8(std::string_view text) {
    std::string out;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        const auto lead = static_cast<std::uint8_t>(text[pos]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            continue;
        }
        if ((lead != 0xC2 && lead != 0xC3) || pos + 1 >= text.size())
            return std::nullopt;
        const auto trail = static_cast<std::uint8_t>(text[++pos]);
        if ((trail & 0xC0) != 0x80)
            return std::nullopt;
        out.push_back(static_cast<char>(((lead & 0x03) << 6) | (trail & 0x3F)));
    }
    return out;
}

std::string utf8FromLatin1(std::span<const std::uint8_t> bytes) {
    std::string out;
    for (const std::uint8_t byte : bytes) {
        if (byte < 0x80) {
            out.push_back(static_cast<char>(byte));
        } else {
            out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return out;
}

// A 64-bit whole number as "%lld" and "%llu" read it: the digits after an optional sign, the
// rest ignored; it wraps to 64 bits, so "-1" is all ones in either type.
std::optional<std::uint64_t> scanWholeNumber64(std::string_view text) {
    constexpr int kBase = 10;
    const auto [digits, negative] = findNumberStart(text, kBase);
    std::uint64_t value = 0;
    std::size_t pos = digits;
    for (; pos < text.size() && digitValue(text[pos], kBase) >= 0; ++pos)
        value = value * kBase + static_cast<unsigned>(digitValue(text[pos], kBase));
    if (pos == digits)
        return std::nullopt;
    return negative ? 0 - value : value;
}

// The value read as its type, in Motorola order.
std::optional<ValueBytes> readValue(int dataType, std::string_view text) {
    ValueBytes value;
    value.size = typeSize(dataType);
    switch (dataType) {
    case ConvertInt8:
    case ConvertUInt8: {
        const auto number = scanInt(text);
        if (!number)
            return std::nullopt;
        value.bytes[0] = static_cast<std::uint8_t>(*number & 0xFF);
        return value;
    }
    case ConvertInt16:
    case ConvertUInt16: {
        const auto number = scanUShort(text);
        if (!number)
            return std::nullopt;
        putUInt16(value.bytes.data(), *number);
        return value;
    }
    case ConvertInt32:
    case ConvertUInt32: {
        const auto number = scanLong(text);
        if (!number)
            return std::nullopt;
        putUInt32(value.bytes.data(), static_cast<std::uint32_t>(*number));
        return value;
    }
    case ConvertInt64:
    case ConvertUInt64: {
        const auto number = scanWholeNumber64(text);
        if (!number)
            return std::nullopt;
        putUInt64(value.bytes.data(), *number);
        return value;
    }
    case ConvertFloat: {
        const auto number = scanFloat(text);
        if (!number)
            return std::nullopt;
        putFloat(value.bytes.data(), *number);
        return value;
    }
    default: {
        const auto number = scanDouble(text);
        if (!number)
            return std::nullopt;
        putDouble(value.bytes.data(), *number);
        return value;
    }
    }
}

// Shows Motorola-ordered bytes as a value of the type.
std::string formatValue(int dataType, std::span<const std::uint8_t> bytes) {
    const bool isSigned =
        dataType == ConvertInt8 || dataType == ConvertInt16 || dataType == ConvertInt32;
    switch (dataType) {
    case ConvertInt8:
    case ConvertUInt8:
        return formatBytes(bytes.first(1), isSigned, {});
    case ConvertInt16:
    case ConvertUInt16: {
        const std::uint16_t word = getUInt16(bytes.data());
        return formatWords({&word, 1}, isSigned, {});
    }
    case ConvertInt32:
    case ConvertUInt32: {
        const std::uint32_t word = getUInt32(bytes.data());
        return formatLongs({&word, 1}, isSigned, {});
    }
    case ConvertInt64:
        return std::to_string(static_cast<std::int64_t>(getUInt64(bytes.data())));
    case ConvertUInt64:
        return std::to_string(getUInt64(bytes.data()));
    case ConvertFloat: {
        const float number = getFloat(bytes.data());
        return formatFloats({&number, 1}, {});
    }
    default: {
        const double number = getDouble(bytes.data());
        return formatDoubles({&number, 1}, {});
    }
    }
}

ConversionResult stringToHex(std::string_view valueText) {
    const auto characters = latin1FromUtf8(valueText);
    if (!characters)
        return {static_cast<unsigned>(kResultInvalidData), {}};
    ConversionResult out;
    for (const char ch : *characters)
        out.text += hexDigits(static_cast<std::uint8_t>(ch)) + ' ';
    return out;
}

ConversionResult hexToString(std::string_view hexText, std::string_view listSeparator) {
    const auto bytes = readByteGroups(hexText, listSeparator, hexText.size());
    if (!bytes)
        return {static_cast<unsigned>(kResultInvalidData), {}};
    return {0, utf8FromLatin1(*bytes)};
}

// The bytes of the hexadecimal text in the order written: byte groups for a Double, otherwise
// one number (blanks removed) that must fit the type.
std::optional<ValueBytes> readHexBytes(int dataType, std::string_view hexText,
                                       std::string_view listSeparator) {
    ValueBytes value;
    value.size = typeSize(dataType);
    if (dataType == ConvertDouble) {
        const auto groups = readByteGroups(hexText, listSeparator, kMaxValueBytes);
        if (!groups)
            return std::nullopt;
        std::copy(groups->begin(), groups->end(), value.bytes.begin());
        return value;
    }
    const auto number = readHexNumber(withoutBlanks(hexText));
    if (!number || number->bytes > value.size)
        return std::nullopt;
    for (std::size_t i = 0; i < value.size; ++i)
        value.bytes[i] = static_cast<std::uint8_t>(number->value >> (8 * (value.size - 1 - i)));
    return value;
}

// The bytes the hexadecimal text stands for, in the order written; empty when it is not
// readable as `dataType`.
std::vector<std::uint8_t> writtenBytes(int dataType, std::string_view hexText,
                                       std::string_view listSeparator) {
    if (dataType == ConvertString)
        return readByteGroups(hexText, listSeparator, hexText.size())
            .value_or(std::vector<std::uint8_t>());
    const auto value = readHexBytes(dataType, hexText, listSeparator);
    if (!value)
        return {};
    return {value->bytes.begin(), value->bytes.begin() + static_cast<std::ptrdiff_t>(value->size)};
}

} // namespace

ConversionResult convertValueToHex(int dataType, int byteOrder, std::string_view valueText) {
    if (dataType == ConvertString)
        return stringToHex(valueText);
    if (!isNumericType(dataType))
        return {static_cast<unsigned>(kResultTypeNotSupported), {}};
    auto value = readValue(dataType, valueText);
    if (!value)
        return {static_cast<unsigned>(kResultInvalidData), {}};
    applyByteOrder(dataType, byteOrder, value->view());
    ConversionResult out;
    for (const std::uint8_t byte : value->view()) {
        if (!out.text.empty())
            out.text.push_back(' ');
        out.text += hexDigits(byte);
    }
    return out;
}

ConversionResult convertHexToValue(int dataType, int byteOrder, std::string_view hexText,
                                   std::string_view listSeparator) {
    if (dataType == ConvertString)
        return hexToString(hexText, listSeparator);
    if (!isNumericType(dataType))
        return {static_cast<unsigned>(kResultTypeNotSupported), {}};
    auto value = readHexBytes(dataType, hexText, listSeparator);
    if (!value)
        return {static_cast<unsigned>(kResultInvalidData), {}};
    applyByteOrder(dataType, byteOrder, value->view());
    return {0, formatValue(dataType, value->view())};
}

CNumberConvertorDlg::CNumberConvertorDlg(INumberConvertorObserver& observer,
                                         std::string listSeparator)
    : observer_(observer), listSeparator_(std::move(listSeparator)) {}

std::vector<unsigned> CNumberConvertorDlg::dataTypeTexts() {
    std::vector<unsigned> texts;
    for (int index = 0; index < kListDataTypeCount; ++index)
        texts.push_back(kFirstDataTypeText + static_cast<unsigned>(index));
    texts.insert(texts.end(), std::begin(kWideIntegerTexts), std::end(kWideIntegerTexts));
    return texts;
}

std::vector<unsigned> CNumberConvertorDlg::byteOrderTexts() const {
    const std::size_t count = offersModicon(dataTypeIndex) ? 3 : 2;
    return {kByteOrderTexts, kByteOrderTexts + count};
}

void CNumberConvertorDlg::selectDataType(int index) {
    dataTypeIndex = index;
    if (byteOrderIndex >= static_cast<int>(byteOrderTexts().size()))
        byteOrderIndex = NoOrder;
}

void CNumberConvertorDlg::convert() {
    if (!valueText.empty() && !hexText.empty()) {
        observer_.messageBox(kIdsConvertorBothSides);
        observer_.focusField(ConvertorField::Hexadecimal);
        return;
    }
    const bool fromHex = !hexText.empty();
    ConversionResult converted =
        fromHex ? convertHexToValue(dataTypeIndex, byteOrderIndex, hexText, listSeparator_)
                : convertValueToHex(dataTypeIndex, byteOrderIndex, valueText);
    if (converted.result != 0) {
        observer_.messageBox(converted.result);
        observer_.focusField(fromHex ? ConvertorField::Hexadecimal : ConvertorField::Value);
        return;
    }
    (fromHex ? valueText : hexText) = std::move(converted.text);
    registerBytes_ = writtenBytes(dataTypeIndex, hexText, listSeparator_);
}
