#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Raised while reading an archive. `descriptionId` is the string-table identifier of the
// settings-file failure description (end of file, bad format, unexpected object).
class CArchiveException {
public:
    explicit CArchiveException(unsigned id) : descriptionId(id) {}
    unsigned descriptionId;
};

// The settings file's binary encoding: little-endian integers and length-prefixed strings.
// A storing archive appends to its own buffer; a loading archive reads from bytes it does not
// own, which must outlive it.
class CArchive {
public:
    // A storing archive with an empty buffer.
    CArchive();
    // A loading archive over `size` bytes at `data`.
    CArchive(const std::uint8_t* data, std::size_t size);

    bool isStoring() const { return storing; }

    void writeUInt8(std::uint8_t value);
    void writeUInt16(std::uint16_t value);
    void writeUInt32(std::uint32_t value);
    void writeInt32(std::int32_t value) { writeUInt32(static_cast<std::uint32_t>(value)); }
    // Writes the length (1, 3 or 7 bytes) and the bytes of `text`.
    void writeString(const std::string& text);
    // Writes a count: 16 bits below 0xFFFF, else 0xFFFF and 32 bits.
    void writeCount(std::uint32_t count);

    // Each read returns the value, or throws CArchiveException (end of file) when the data
    // ends inside the value.
    std::uint8_t readUInt8();
    std::uint16_t readUInt16();
    std::uint32_t readUInt32();
    std::int32_t readInt32() { return static_cast<std::int32_t>(readUInt32()); }
    // Reads a byte string or a wide (UTF-16LE) string, which is returned as UTF-8. A length
    // longer than the remaining data throws the end-of-file exception before any allocation.
    std::string readString();
    std::uint32_t readCount();
    // Reads `size` raw bytes.
    std::string readBytes(std::size_t size);

    // Bytes not yet read (loading).
    std::size_t remaining() const { return static_cast<std::size_t>(end - pos); }
    // The stored bytes (storing).
    const std::vector<std::uint8_t>& buffer() const { return out; }

private:
    void need(std::size_t size) const;
    std::uint32_t readLength();

    bool storing;
    std::vector<std::uint8_t> out;
    const std::uint8_t* pos = nullptr;
    const std::uint8_t* end = nullptr;
};

// Converts UTF-16LE code units to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16LeToUtf8(const std::uint8_t* data, std::size_t units);
