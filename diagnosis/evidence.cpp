#include "diagnosis/evidence.h"

namespace {

// Keeps the records fetched valid while the comms thread may send older ones to the journal.
class CPinnedLog {
public:
    explicit CPinnedLog(const CCommsLogStore& log) : log_(log) { log_.pin(); }
    ~CPinnedLog() { log_.unpin(); }
    CPinnedLog(const CPinnedLog&) = delete;
    CPinnedLog& operator=(const CPinnedLog&) = delete;

private:
    const CCommsLogStore& log_;
};

} // namespace

std::vector<ExchangeRecord> exchangeRecords(const CCommsLogStore& log, int first) {
    const CPinnedLog pinned(log);
    std::vector<ExchangeRecord> records;
    const int count = log.count();
    for (int i = first < 0 ? 0 : first; i < count; ++i) {
        const CCommsLogRecord* r = log.record(i);
        if (r == nullptr)
            break;
        ExchangeRecord out;
        out.type = static_cast<CommsLogType>(r->type);
        out.atMs = std::int64_t{r->time} * 1000 + r->milliseconds;
        if (out.type == CommsLogType::Error) {
            std::uint32_t code = 0;
            for (unsigned b = 0; b < 4 && b < r->size; ++b)
                code |= static_cast<std::uint32_t>(r->data[b]) << (8 * b);
            out.code = static_cast<int>(code);
        } else if (r->size > 0) {
            out.bytes.assign(r->data.get(), r->data.get() + r->size);
        }
        records.push_back(std::move(out));
    }
    return records;
}
