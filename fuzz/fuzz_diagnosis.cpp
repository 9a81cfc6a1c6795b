// Feeds arbitrary exchanges to the diagnosis: the request, the bytes flushed and received, the
// result and the location facts all come from the input, in every framing.

#include "diagnosis/diagnose.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Takes the next piece of the input: a length byte, then that many bytes (as far as they go).
std::vector<std::uint8_t> take(const std::uint8_t*& data, std::size_t& size) {
    if (size == 0)
        return {};
    std::size_t length = data[0];
    ++data;
    --size;
    if (length > size)
        length = size;
    std::vector<std::uint8_t> piece(data, data + length);
    data += length;
    size -= length;
    return piece;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6)
        return 0;
    DiagnosisEvidence e;
    e.link.serialLine = (data[0] & 1) != 0;
    e.link.framing = data[0] >> 1 & 3;
    e.link.removeEcho = (data[0] & 8) != 0;
    e.link.addressingIndex = data[1] % 4;
    e.request.dataType = 8050 + data[1] / 4 % 12;
    e.request.quantity = data[2];
    e.request.startAddress = data[3];
    e.result = 5000 + data[4] * 3;
    const bool withPrevious = (data[5] & 1) != 0;
    data += 6;
    size -= 6;
    e.requestSent = take(data, size);
    e.records.push_back({CommsLogType::RxFlush, 1000, take(data, size), 0});
    e.records.push_back({CommsLogType::Tx, 1010, e.requestSent, 0});
    e.records.push_back({CommsLogType::Rx, 1020, take(data, size), 0});
    e.records.push_back({CommsLogType::Error, 1030, {}, e.result});
    e.records.push_back({CommsLogType::RxFlush, 1040, take(data, size), 0});
    e.records.push_back({CommsLogType::Tx, 1050, e.requestSent, 0});
    e.records.push_back({CommsLogType::Rx, 1060, take(data, size), 0});
    if (withPrevious)
        e.previous = PreviousExchange{take(data, size), 900, 5006};
    for (const Finding& f : diagnose(e))
        if (f.statement.empty() || f.nextCheck.empty())
            std::abort();
    return 0;
}
