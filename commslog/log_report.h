#pragma once

#include <string>
#include <string_view>

// The texts of one list row as the report prints them.
struct LogReportRow {
    std::string_view index;
    std::string_view time;
    std::string_view type;
    std::string_view size;
    std::string_view message;
};

// Writes the Communications Log report into a text buffer: pages of 54 lines for an 80-column
// printer, each opened by a header and closed by a form feed, lines ended by CR LF.
class CLogReportWriter {
public:
    static constexpr int kLineWidth = 80;
    static constexpr int kLastLineOfPage = 53; // a line end that passes it ends the page

    // Starts the first page in `out`.
    explicit CLogReportWriter(std::string& out);

    // Appends one entry: the prefix with the index, time, type and size, then the message,
    // wrapped under the prefix when it does not fit beside it.
    void addEntry(const LogReportRow& row);

    int pageNumber() const { return pageNumber_; }
    int lineCount() const { return lineCount_; }

private:
    void pageHeader();
    void lineEnd();

    std::string& out_;
    int pageNumber_ = 1;
    int lineCount_ = 0;
};
