#pragma once

#include "commslog/comms_log_store.h"
#include "resources/string_ids.h"

#include <cstdint>
#include <string>
#include <string_view>

// The texts of the Communications Log window and its report.

// How times are written: the user's time separator (before the milliseconds), and strftime
// formats of the time and the short date.
struct LogTimeFormat {
    std::string timeSeparator = ":";
    std::string timeFormat = "%H:%M:%S";
    std::string dateFormat = "%m/%d/%y";
};

// Puts the millisecond text into a time text: just before the blank that precedes the first
// AM/PM letter (a, A, p, P, m, M), or just before the letter when no blank precedes it, or at
// the end when the text has no such letter or starts with one (a designator in front of the
// time).
std::string insertMilliseconds(std::string_view timeText, std::string_view millisecondText);

// Formats the columns of one log record. Keeps the texts of the last second it converted, since
// consecutive records mostly share their second.
class CCommsLogText {
public:
    explicit CCommsLogText(LogTimeFormat format) : format_(std::move(format)) {}

    const LogTimeFormat& format() const { return format_; }

    // Local time with milliseconds, a blank and the short date, e.g. "10:15:30:045 AM 12/06/06".
    std::string timeText(std::int32_t time, unsigned milliseconds);
    // The two parts of a time text around the millisecond text: the time before the insertion
    // point, and the rest of the time with the blank and the date.
    struct TimeParts {
        std::string beforeMilliseconds;
        std::string afterMilliseconds;
    };
    const TimeParts& timeParts(std::int32_t time);
    std::string millisecondText(unsigned milliseconds) const;

    static std::string indexText(int index);
    static std::string_view typeText(unsigned type);
    static std::string sizeText(const CCommsLogRecord& record);
    // True for the records whose data is a string-table identifier shown as its text: ERROR
    // (a result code) and FINDING (a likely cause).
    static bool carriesText(const CCommsLogRecord& record);
    // ERROR and FINDING records: the text of their identifier (empty when it has none); any other
    // record: every data byte as two hexadecimal digits and a blank.
    static std::string messageText(const CCommsLogRecord& record);
    // Length of a record's hexadecimal message text, and its character `at` (below the length).
    static std::size_t hexMessageLength(const CCommsLogRecord& record);
    static char hexMessageChar(const CCommsLogRecord& record, std::size_t at);
    // The identifier an ERROR or FINDING record carries, least significant byte first; bytes the
    // record lacks count as zero.
    static std::uint32_t errorCode(const CCommsLogRecord& record);

    std::string cellText(const CCommsLogRecord& record, int index, int column);

private:
    LogTimeFormat format_;
    bool cached_ = false;
    std::int32_t cachedTime_ = 0;
    TimeParts cachedParts_;
};
