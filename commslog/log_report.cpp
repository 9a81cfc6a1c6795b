#include "commslog/log_report.h"

#include "commslog/comms_log_text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr char kFormFeed = '\x0C';
constexpr std::string_view kEntryPrefixFormat = "%4s  %26s  %-12s  %3s   ";
// Blanks after the title and after each column title of the page header.
constexpr std::size_t kTitleGap = 51;
constexpr std::size_t kColumnGaps[] = {10, 15, 10, 2};

} // namespace

CLogReportWriter::CLogReportWriter(std::string& out) : out_(out) {
    pageHeader();
}

void CLogReportWriter::lineEnd() {
    out_.append(kLineEnd);
    ++lineCount_;
    if (lineCount_ > kLastLineOfPage) {
        ++pageNumber_;
        out_.push_back(kFormFeed);
        pageHeader();
    }
}

void CLogReportWriter::pageHeader() {
    out_.append(loadString(kIdsLogReportTitle));
    out_.append(kTitleGap, ' ');
    out_.append(formatString(kIdsLogPage, pageNumber_));
    lineCount_ = 0;
    lineEnd();
    lineEnd();
    lineEnd();
    for (unsigned column = 0; column < 5; ++column) {
        out_.append(loadString(kIdsLogColumnIndex + column));
        if (column < 4)
            out_.append(kColumnGaps[column], ' ');
    }
    lineEnd();
    out_.append(static_cast<std::size_t>(kLineWidth), '_');
    lineEnd();
}

void CLogReportWriter::addEntry(const LogReportRow& row) {
    const std::string prefix =
        formatText(kEntryPrefixFormat, row.index, row.time, row.type, row.size);
    const std::ptrdiff_t room = kLineWidth - static_cast<std::ptrdiff_t>(prefix.size());
    out_.append(prefix);
    std::string_view message = row.message;
    // A prefix as wide as the page leaves no room to wrap into: the message stays on its line.
    if (room <= 0 || message.size() <= static_cast<std::size_t>(room)) {
        out_.append(message);
        lineEnd();
        return;
    }
    const auto width = static_cast<std::size_t>(room);
    out_.append(message.substr(0, width));
    lineEnd();
    message.remove_prefix(width);
    while (!message.empty()) {
        // The blank between two bytes is not carried to the next line; any other character is.
        if (message.front() == ' ')
            message.remove_prefix(1);
        if (message.empty())
            break;
        out_.append(prefix.size(), ' ');
        const std::string_view piece = message.substr(0, width);
        out_.append(piece);
        lineEnd();
        message.remove_prefix(piece.size());
    }
}
