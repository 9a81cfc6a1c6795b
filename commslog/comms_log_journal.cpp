#include "commslog/comms_log_journal.h"

#include "platform/file_output.h"
#include "platform/paths.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

// The journal is read back in pieces of this size.
constexpr std::size_t kReadChunk = std::size_t{1} << 20;
constexpr unsigned kBitsPerByte = 8;

void putLittleEndian(std::string& out, std::uint32_t value, std::size_t bytes) {
    for (std::size_t at = 0; at < bytes; ++at)
        out.push_back(static_cast<char>((value >> (kBitsPerByte * at)) & 0xFFU));
}

std::uint32_t getLittleEndian(const std::uint8_t* in, std::size_t bytes) {
    std::uint32_t value = 0;
    for (std::size_t at = bytes; at > 0; --at)
        value = value << kBitsPerByte | in[at - 1];
    return value;
}

int closeDescriptor(int& descriptor) {
    int error = 0;
    if (descriptor >= 0 && ::close(descriptor) != 0)
        error = errno;
    descriptor = -1;
    return error;
}

} // namespace

void encodeJournalRecord(const CCommsLogRecord& record, std::string& out) {
    putLittleEndian(out, static_cast<std::uint32_t>(record.time), 4);
    putLittleEndian(out, record.milliseconds, 2);
    putLittleEndian(out, record.type, 2);
    putLittleEndian(out, record.size, 2);
    if (record.size != 0 && record.data)
        out.append(reinterpret_cast<const char*>(record.data.get()), record.size);
    else
        out.append(record.size, '\0');
}

std::size_t decodeJournalRecords(std::span<const std::uint8_t> bytes, const JournalVisitor& visit) {
    std::size_t at = 0;
    while (bytes.size() - at >= kJournalRecordHead) {
        const std::uint8_t* head = bytes.data() + at;
        const auto size = static_cast<std::uint16_t>(getLittleEndian(head + 8, 2));
        if (bytes.size() - at - kJournalRecordHead < size)
            break;
        CCommsLogRecord record;
        record.time = static_cast<std::int32_t>(getLittleEndian(head, 4));
        record.milliseconds = static_cast<std::uint16_t>(getLittleEndian(head + 4, 2));
        record.type = static_cast<std::uint16_t>(getLittleEndian(head + 6, 2));
        record.size = size;
        if (size != 0) {
            record.data = std::make_unique<std::uint8_t[]>(size);
            std::memcpy(record.data.get(), head + kJournalRecordHead, size);
        }
        at += kJournalRecordHead + size;
        if (!visit(record))
            break;
    }
    return at;
}

std::string journalPathBeside(const std::string& settingsPath) {
    return directoryOf(settingsPath) + "/" + std::string(loadString(kIdsLogJournalFileName));
}

CCommsLogJournal::~CCommsLogJournal() {
    closeDescriptor(descriptor_);
}

int CCommsLogJournal::append(const CCommsLogRecord* records, std::size_t count) {
    if (descriptor_ < 0) {
        const OutputFile file = createOutputFile(path_);
        if (file.descriptor < 0)
            return file.inUse ? EBUSY : file.error;
        descriptor_ = file.descriptor;
        records_ = 0;
        bytes_ = 0;
    }
    std::string out;
    if (bytes_ == 0)
        out.append(kJournalMagic);
    for (std::size_t index = 0; index < count; ++index)
        encodeJournalRecord(records[index], out);
    const int error = writeAll(descriptor_, out.data(), out.size());
    if (error != 0) {
        // A piece written before the failure would put every later record out of step.
        if (::ftruncate(descriptor_, static_cast<off_t>(bytes_)) != 0 ||
            ::lseek(descriptor_, static_cast<off_t>(bytes_), SEEK_SET) < 0)
            closeDescriptor(descriptor_);
        return error;
    }
    bytes_ += out.size();
    records_ += count;
    return 0;
}

void CCommsLogJournal::clear() {
    closeDescriptor(descriptor_);
    if (records_ != 0 || bytes_ != 0)
        ::unlink(path_.c_str());
    records_ = 0;
    bytes_ = 0;
}

int CCommsLogJournal::read(std::size_t count, const JournalVisitor& visit) const {
    if (count == 0)
        return 0;
    int descriptor = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return errno;
    std::vector<std::uint8_t> buffer;
    std::size_t pending = 0; // bytes at the front of buffer not decoded yet
    std::size_t seen = 0;
    bool magicChecked = false;
    bool stopped = false;
    int error = 0;
    while (seen < count && !stopped) {
        buffer.resize(pending + kReadChunk);
        const ssize_t got = ::read(descriptor, buffer.data() + pending, kReadChunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = got < 0 ? errno : EILSEQ;
            break;
        }
        std::size_t available = pending + static_cast<std::size_t>(got);
        std::size_t from = 0;
        if (!magicChecked) {
            if (available < kJournalMagic.size()) {
                pending = available;
                continue;
            }
            if (std::memcmp(buffer.data(), kJournalMagic.data(), kJournalMagic.size()) != 0) {
                error = EILSEQ;
                break;
            }
            from = kJournalMagic.size();
            magicChecked = true;
        }
        const std::size_t used = decodeJournalRecords(
            std::span(buffer.data() + from, available - from), [&](const CCommsLogRecord& r) {
                stopped = !visit(r);
                return ++seen < count && !stopped;
            });
        pending = available - from - used;
        std::memmove(buffer.data(), buffer.data() + from + used, pending);
    }
    closeDescriptor(descriptor);
    return error;
}
