#include "commslog/comms_log_journal.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

// Any bytes as the records of a comms log journal: no crash, nothing read past the end, and the
// records decoded encode back to exactly the bytes they were decoded from.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string encoded;
    const std::size_t used =
        decodeJournalRecords(std::span(data, size), [&encoded](const CCommsLogRecord& record) {
            encodeJournalRecord(record, encoded);
            return true;
        });
    if (used > size || encoded.size() != used || std::memcmp(encoded.data(), data, used) != 0)
        std::abort();
    // What is left is less than one whole record.
    if (size - used >= kJournalRecordHead) {
        const std::size_t dataBytes = data[used + 8] | std::size_t{data[used + 9]} << 8;
        if (size - used >= kJournalRecordHead + dataBytes)
            std::abort();
    }
    return 0;
}
