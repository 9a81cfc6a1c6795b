#include "runner/log_spool.h"

#include "commslog/comms_log_store.h"
#include "platform/file_output.h"

#include <unistd.h>

CLogSpool::CLogSpool() : writer_(std::make_unique<CLogReportWriter>(chunk_)) {}

CLogSpool::~CLogSpool() {
    close();
}

int CLogSpool::open(const std::string& path) {
    path_ = path;
    if (path.empty())
        return 0;
    const OutputFile file = createOutputFile(path);
    descriptor_ = file.descriptor;
    return file.descriptor >= 0 ? 0 : (file.error != 0 ? file.error : EBUSY);
}

int CLogSpool::drain(CCommsLogStore& store) {
    const int count = store.count();
    for (int i = 0; i < count; ++i) {
        const CCommsLogRecord* record = store.record(i);
        if (record == nullptr)
            continue;
        // Numbered over the whole run, as one log would number them.
        const std::string index = CCommsLogText::indexText(static_cast<int>(written_));
        const std::string time = text_.timeText(record->time, record->milliseconds);
        const std::string size = CCommsLogText::sizeText(*record);
        const std::string message = CCommsLogText::messageText(*record);
        writer_->addEntry({index, time, CCommsLogText::typeText(record->type), size, message});
        ++written_;
    }
    store.clearLog();
    int error = 0;
    if (descriptor_ >= 0 && !chunk_.empty())
        error = writeAll(descriptor_, chunk_.data(), chunk_.size());
    chunk_.clear();
    if (firstError_ == 0)
        firstError_ = error;
    return error;
}

void CLogSpool::close() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
}
