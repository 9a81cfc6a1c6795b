#pragma once

#include "commslog/comms_log_text.h"
#include "commslog/log_report.h"

#include <memory>
#include <string>

class CCommsLogStore;

// Moves the comms log's records out of memory after each step: written, in the layout of the
// Communications Log report, to a spool file beside the report (when there is a report), then
// cleared from the store. A long run keeps its memory flat and a killed run keeps its log.
class CLogSpool {
public:
    CLogSpool();
    ~CLogSpool();
    CLogSpool(const CLogSpool&) = delete;
    CLogSpool& operator=(const CLogSpool&) = delete;

    // Opens the spool file at `path`; empty path: the records are only dropped. Returns the
    // errno of a failed open, else 0.
    int open(const std::string& path);
    // Writes the store's records and clears it. The engine must be idle: no job is served.
    // Returns the errno of a failed write, else 0.
    int drain(CCommsLogStore& store);
    // Closes the spool; its path stays for the report to copy it.
    void close();
    const std::string& path() const { return path_; }
    long recordsWritten() const { return written_; }
    // The errno of the first write that failed (the report's log then stops short), else 0.
    int error() const { return firstError_; }

private:
    std::string path_;
    int descriptor_ = -1;
    std::string chunk_;
    std::unique_ptr<CLogReportWriter> writer_;
    CCommsLogText text_{LogTimeFormat{}};
    long written_ = 0;
    int firstError_ = 0;
};
