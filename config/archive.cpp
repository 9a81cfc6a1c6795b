#include "config/archive.h"

#include "resources/string_ids.h"

CArchive::CArchive() : storing(true) {}

CArchive::CArchive(const std::uint8_t* data, std::size_t size)
    : storing(false), pos(data), end(data + size) {}

void CArchive::writeUInt8(std::uint8_t value) {
    out.push_back(value);
}

void CArchive::writeUInt16(std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void CArchive::writeUInt32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void CArchive::writeString(const std::string& text) {
    const std::size_t length = text.size();
    if (length < 0xFF) {
        writeUInt8(static_cast<std::uint8_t>(length));
    } else if (length < 0xFFFE) {
        writeUInt8(0xFF);
        writeUInt16(static_cast<std::uint16_t>(length));
    } else {
        writeUInt8(0xFF);
        writeUInt16(0xFFFF);
        writeUInt32(static_cast<std::uint32_t>(length));
    }
    out.insert(out.end(), text.begin(), text.end());
}

void CArchive::writeCount(std::uint32_t count) {
    if (count < 0xFFFF) {
        writeUInt16(static_cast<std::uint16_t>(count));
    } else {
        writeUInt16(0xFFFF);
        writeUInt32(count);
    }
}

void CArchive::need(std::size_t size) const {
    if (remaining() < size)
        throw CArchiveException(kIdsFileEndOfFile);
}

std::uint8_t CArchive::readUInt8() {
    need(1);
    return *pos++;
}

std::uint16_t CArchive::readUInt16() {
    need(2);
    const auto value = static_cast<std::uint16_t>(pos[0] | (pos[1] << 8));
    pos += 2;
    return value;
}

std::uint32_t CArchive::readUInt32() {
    need(4);
    const std::uint32_t value =
        static_cast<std::uint32_t>(pos[0]) | (static_cast<std::uint32_t>(pos[1]) << 8) |
        (static_cast<std::uint32_t>(pos[2]) << 16) | (static_cast<std::uint32_t>(pos[3]) << 24);
    pos += 4;
    return value;
}

std::uint32_t CArchive::readCount() {
    const std::uint16_t shortCount = readUInt16();
    if (shortCount != 0xFFFF)
        return shortCount;
    return readUInt32();
}

// The length part after the first 0xFF byte: 16 bits, or 0xFFFF and 32 bits.
std::uint32_t CArchive::readLength() {
    const std::uint8_t byteLength = readUInt8();
    if (byteLength < 0xFF)
        return byteLength;
    const std::uint16_t wordLength = readUInt16();
    if (wordLength < 0xFFFF)
        return wordLength;
    return readUInt32();
}

std::string CArchive::readBytes(std::size_t size) {
    need(size);
    std::string bytes(reinterpret_cast<const char*>(pos), size);
    pos += size;
    return bytes;
}

std::string CArchive::readString() {
    const std::uint8_t byteLength = readUInt8();
    if (byteLength < 0xFF)
        return readBytes(byteLength);
    const std::uint16_t wordLength = readUInt16();
    if (wordLength == 0xFFFE) {
        // Wide string: a second length in the same scheme counts 16-bit characters.
        const std::uint32_t units = readLength();
        need(static_cast<std::size_t>(units) * 2);
        std::string text = utf16LeToUtf8(pos, units);
        pos += static_cast<std::size_t>(units) * 2;
        return text;
    }
    if (wordLength < 0xFFFF)
        return readBytes(wordLength);
    return readBytes(readUInt32());
}

namespace {

void appendUtf8(std::string& text, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        text.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        text.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        text.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        text.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        text.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        text.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

} // namespace

std::string utf16LeToUtf8(const std::uint8_t* data, std::size_t units) {
    constexpr std::uint32_t kReplacement = 0xFFFD;
    std::string text;
    text.reserve(units);
    auto unitAt = [data](std::size_t i) {
        return static_cast<std::uint32_t>(data[2 * i] | (data[2 * i + 1] << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const std::uint32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(text, (unit >= 0xD800 && unit <= 0xDFFF) ? kReplacement : unit);
    }
    return text;
}
