#include "windows/comms_log_dlg.h"

#include "commslog/log_report.h"
#include "platform/file_output.h"
#include "platform/system_errors.h"
#include "resources/string_table.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

CCommsLogDlg::SortState CCommsLogDlg::lastSort;

namespace {

// The report is handed to the file in pieces of about this size.
constexpr std::size_t kReportChunk = std::size_t{1} << 20;
// The factor that turns a millisecond difference into seconds is single precision.
constexpr float kSecondsPerMillisecond = 0.001f;
constexpr int kColumnTime = 1;
constexpr int kColumnType = 2;
constexpr int kColumnSize = 3;
constexpr int kColumnMessage = 4;
constexpr unsigned kLastKnownType = 8;

bool isError(const CCommsLogRecord& record) {
    return CCommsLogText::carriesText(record);
}

// Hexadecimal message texts order like the bytes they show: two upper-case digits per byte
// order as the byte does, and the blanks stand at the same places in both.
int compareBytes(const CCommsLogRecord& a, const CCommsLogRecord& b) {
    const std::size_t common = std::min(a.size, b.size);
    const int result = common == 0 ? 0 : std::memcmp(a.data.get(), b.data.get(), common);
    if (result != 0)
        return result;
    return a.size < b.size ? -1 : (a.size > b.size ? 1 : 0);
}

// A hexadecimal message text against another text, without writing the hexadecimal out.
int compareHexWithText(const CCommsLogRecord& hex, std::string_view text) {
    const std::size_t length = CCommsLogText::hexMessageLength(hex);
    for (std::size_t at = 0; at < length && at < text.size(); ++at) {
        const char c = CCommsLogText::hexMessageChar(hex, at);
        if (c != text[at])
            return static_cast<unsigned char>(c) < static_cast<unsigned char>(text[at]) ? -1 : 1;
    }
    return length < text.size() ? -1 : (length > text.size() ? 1 : 0);
}

int compareMessages(const CCommsLogRecord* a, const CCommsLogRecord* b) {
    static const CCommsLogRecord empty;
    const CCommsLogRecord& left = a ? *a : empty;
    const CCommsLogRecord& right = b ? *b : empty;
    if (!isError(left) && !isError(right))
        return compareBytes(left, right);
    if (isError(left) && isError(right))
        return loadString(CCommsLogText::errorCode(left))
            .compare(loadString(CCommsLogText::errorCode(right)));
    if (isError(right))
        return compareHexWithText(left, loadString(CCommsLogText::errorCode(right)));
    return -compareHexWithText(right, loadString(CCommsLogText::errorCode(left)));
}

// The first 16 characters of a message text as two numbers, most significant first, missing
// characters as zero: a text that sorts before another never gets the greater key.
using MessageKey = std::pair<std::uint64_t, std::uint64_t>;

MessageKey messageKey(const CCommsLogRecord* record) {
    constexpr std::size_t kKeyChars = 16;
    std::array<unsigned char, kKeyChars> chars{};
    if (record != nullptr && isError(*record)) {
        const std::string_view text = loadString(CCommsLogText::errorCode(*record));
        for (std::size_t at = 0; at < kKeyChars && at < text.size(); ++at)
            chars[at] = static_cast<unsigned char>(text[at]);
    } else if (record != nullptr) {
        const std::size_t length = CCommsLogText::hexMessageLength(*record);
        for (std::size_t at = 0; at < kKeyChars && at < length; ++at)
            chars[at] = static_cast<unsigned char>(CCommsLogText::hexMessageChar(*record, at));
    }
    MessageKey key{0, 0};
    for (std::size_t at = 0; at < kKeyChars; ++at) {
        std::uint64_t& half = at < kKeyChars / 2 ? key.first : key.second;
        half = half << 8 | chars[at];
    }
    return key;
}

// The place of each type text in character order, so that the Type column sorts by its text.
std::uint64_t typeRank(unsigned type) {
    static const std::array<unsigned, kLastKnownType + 1> ranks = [] {
        std::array<unsigned, kLastKnownType + 1> order{}; // [0] stands for every unknown type
        for (unsigned t = 0; t <= kLastKnownType; ++t)
            order[t] = t;
        std::stable_sort(order.begin(), order.end(), [](unsigned l, unsigned r) {
            return CCommsLogText::typeText(l) < CCommsLogText::typeText(r);
        });
        std::array<unsigned, kLastKnownType + 1> rank{};
        for (unsigned place = 0; place <= kLastKnownType; ++place)
            rank[order[place]] = place;
        return rank;
    }();
    return ranks[type <= kLastKnownType ? type : 0];
}

} // namespace

CCommsLogDlg::CCommsLogDlg(ICommsLogRecords& records, std::atomic<std::int32_t>& logEnabled,
                           ICommsLogWindow& window, LogTimeFormat format, std::string settingsPath)
    : records_(records), logEnabled_(logEnabled), window_(window), text_(std::move(format)),
      settingsPath_(std::move(settingsPath)) {}

void CCommsLogDlg::onOpen() {
    nextRecord = 0;
    progressId = kIdsLogProgressFirst;
    progressStep = 1;
    window_.showJournalNote(journalNote());
    window_.showStatus(std::string(loadString(progressId)));
    window_.startBatchTimer();
    window_.enableButtons(false);
}

void CCommsLogDlg::onTimer() {
    window_.stopBatchTimer();
    advanceProgress();
    addRecords(nextRecord, kBatchRows);
    if (!busy)
        window_.enableButtons(true);
}

void CCommsLogDlg::advanceProgress() {
    if (progressId + 1 > kIdsLogProgressLast)
        progressStep = -1;
    else if (progressId - 1 < kIdsLogProgressFirst)
        progressStep = 1;
    progressId = progressStep > 0 ? progressId + 1 : progressId - 1;
    window_.showStatus(std::string(loadString(progressId)));
}

void CCommsLogDlg::addRecords(int start, int limit) {
    dropJournaledRows();
    window_.showJournalNote(journalNote());
    const int count = records_.count();
    std::vector<std::int32_t> added;
    // Records that went to the journal before they were listed are in the saved report.
    int index = std::max(start, records_.firstInMemory());
    for (; index < count && static_cast<int>(added.size()) < limit; ++index) {
        // A record that cannot be fetched gets no row.
        if (records_.record(index) != nullptr)
            added.push_back(index);
    }
    if (!added.empty()) {
        // A list read at its newest row follows the log; one scrolled back stays where it is.
        const bool follow = window_.showsLastRow();
        const int first = rowCount();
        window_.beginAddRows(first, first + static_cast<int>(added.size()) - 1);
        rows_.insert(rows_.end(), added.begin(), added.end());
        window_.endAddRows();
        if (follow)
            window_.showLastRow();
    }
    nextRecord = index;
    if (nextRecord >= count) {
        window_.showStatus(std::string(loadString(kIdsLogDisplayComplete)));
    } else {
        advanceProgress();
        window_.startBatchTimer();
    }
}

// Rows whose records went to the journal leave the list; in log order they are the first rows,
// which go without disturbing the rest.
void CCommsLogDlg::dropJournaledRows() {
    const int first = records_.firstInMemory();
    const auto journaled = [first](std::int32_t record) { return record < first; };
    const auto kept = std::find_if_not(rows_.begin(), rows_.end(), journaled);
    if (std::none_of(kept, rows_.end(), journaled)) {
        if (kept == rows_.begin())
            return;
        window_.beginRemoveRows(0, static_cast<int>(kept - rows_.begin()) - 1);
        rows_.erase(rows_.begin(), kept);
        window_.endRemoveRows();
        return;
    }
    window_.beginResetRows();
    std::erase_if(rows_, journaled);
    window_.endResetRows();
}

std::string CCommsLogDlg::journalNote() const {
    const std::string path = records_.journalPath();
    if (path.empty())
        return {};
    if (const int error = records_.journalError(); error != 0)
        return formatString(kIdsLogJournalFailed, path.c_str(), systemErrorText(error).c_str());
    const int journaled = records_.firstInMemory();
    if (journaled == 0)
        return formatString(kIdsLogBoundNote, records_.memoryBound());
    return formatString(kIdsLogJournalNote, records_.memoryBound(), journaled, path.c_str());
}

void CCommsLogDlg::listEverything() {
    addRecords(nextRecord, INT_MAX);
}

void CCommsLogDlg::onRefresh() {
    window_.enableButtons(false);
    advanceProgress();
    addRecords(nextRecord, kBatchRows);
    if (!busy)
        window_.enableButtons(true);
}

void CCommsLogDlg::onClearLog() {
    window_.enableButtons(false);
    const std::int32_t wasEnabled = logEnabled_.load();
    logEnabled_.store(0);
    records_.clear();
    logEnabled_.store(wasEnabled);
    window_.beginResetRows();
    rows_.clear();
    rows_.shrink_to_fit();
    window_.endResetRows();
    addRecords(0, kBatchRows);
    if (!busy)
        window_.enableButtons(true);
}

void CCommsLogDlg::onSaveToFile() {
    busy = true;
    window_.enableButtons(false);
    // The user asked for everything logged so far, not only the next batch.
    if (window_.askRefreshBeforeSave())
        listEverything();
    const std::string path = window_.askReportPath(defaultReportPath(settingsPath_));
    std::string failure;
    if (!path.empty()) {
        failure = saveReport(path);
        if (!failure.empty())
            window_.showMessage(failure);
        else if (window_.startViewer(path))
            return; // busy until viewerClosed
    }
    viewerClosed();
}

void CCommsLogDlg::viewerClosed() {
    busy = false;
    window_.enableButtons(true);
}

void CCommsLogDlg::onListClick(const std::vector<std::pair<int, int>>& selectedRanges) {
    int first = INT_MAX;
    for (const auto& [top, bottom] : selectedRanges)
        if (top <= bottom)
            first = std::min(first, top);
    int second = INT_MAX;
    for (const auto& [top, bottom] : selectedRanges) {
        if (top <= first && bottom > first)
            second = std::min(second, first + 1);
        else if (top > first && top <= bottom)
            second = std::min(second, top);
    }
    const std::optional<std::string> text =
        second == INT_MAX ? std::nullopt : timeDifferenceText(first, second);
    if (text)
        window_.showStatus(*text);
    else
        window_.hideStatus();
}

const CCommsLogRecord* CCommsLogDlg::recordAt(int row) const {
    const int record = recordOfRow(row);
    return record < 0 ? nullptr : records_.record(record);
}

int CCommsLogDlg::recordOfRow(int row) const {
    if (row < 0 || row >= rowCount())
        return -1;
    return rows_[static_cast<std::size_t>(row)];
}

std::string CCommsLogDlg::cellText(int row, int column) {
    const CPin pin(records_);
    const CCommsLogRecord* record = recordAt(row);
    if (record == nullptr)
        return {};
    return text_.cellText(*record, recordOfRow(row), column);
}

std::string CCommsLogDlg::columnTitle(int column) {
    return std::string(loadString(kIdsLogColumnIndex + static_cast<unsigned>(column)));
}

std::array<int, CCommsLogDlg::kColumnCount> CCommsLogDlg::columnWidths(int listWidth, bool narrow) {
    if (narrow)
        return {listWidth / 20, listWidth / 10, listWidth / 20, listWidth / 20, listWidth * 2};
    return {listWidth / 12, listWidth / 4, listWidth / 12, listWidth / 12, listWidth * 3};
}

std::array<int, CCommsLogDlg::kColumnCount> CCommsLogDlg::fittedWidths(int listWidth, bool narrow,
                                                                       const TextWidths& texts) {
    std::array<int, kColumnCount> widths = columnWidths(listWidth, narrow);
    int used = 0;
    for (std::size_t column = 0; column < texts.columns.size(); ++column) {
        widths[column] = std::max(widths[column], texts.columns[column]);
        used += widths[column];
    }
    widths.back() = std::max({listWidth - used, texts.wholeFrame, texts.widestMessage});
    return widths;
}

int CCommsLogDlg::openingListWidth(const TextWidths& texts) {
    // What is left grows by at least half of each added pixel, as the first four columns take at
    // most half the list: the search ends within twice the shortfall.
    int width = texts.wholeFrame;
    for (const int column : texts.columns)
        width += column;
    const auto leftForMessage = [&texts](int listWidth) {
        const std::array<int, kColumnCount> widths = fittedWidths(listWidth, false, texts);
        return listWidth - (widths[0] + widths[1] + widths[2] + widths[3]);
    };
    while (leftForMessage(width) < texts.wholeFrame)
        ++width;
    return width;
}

std::array<int, CCommsLogDlg::kColumnCount> CCommsLogDlg::resizeWidths(int listWidth,
                                                                       const TextWidths& texts) {
    const bool narrow = narrowNext_;
    narrowNext_ = !narrowNext_;
    return fittedWidths(listWidth, narrow, texts);
}

std::string CCommsLogDlg::wholeFrameSample(char digit) {
    std::string text;
    for (int byte = 0; byte < kWholeFrameBytes; ++byte)
        text += {digit, digit, ' '};
    return text;
}

std::optional<std::string> CCommsLogDlg::timeDifferenceText(int firstRow, int secondRow) const {
    const CPin pin(records_);
    const CCommsLogRecord* first = recordAt(firstRow);
    const CCommsLogRecord* second = recordAt(secondRow);
    if (first == nullptr || second == nullptr)
        return std::nullopt;
    // Whole seconds and the millisecond product stay apart until the end, so that long spans
    // keep their milliseconds.
    const std::int64_t seconds = std::int64_t{second->time} - std::int64_t{first->time};
    const int milliseconds = int{second->milliseconds} - int{first->milliseconds};
    const double difference =
        static_cast<double>(seconds) +
        static_cast<double>(static_cast<float>(milliseconds) * kSecondsPerMillisecond);
    return formatString(kIdsLogTimeDifferenceText, recordOfRow(firstRow), recordOfRow(secondRow),
                        difference);
}

void CCommsLogDlg::onColumnClick(int column) {
    if (column < 0 || column >= kColumnCount)
        return;
    const bool ascending = column != lastSort.column || !lastSort.ascending;
    lastSort = {column, ascending};
    const CPin pin(records_);
    window_.beginResetRows();
    sortRows(column, ascending);
    window_.endResetRows();
}

template <typename KeyOf> void CCommsLogDlg::sortByKey(KeyOf keyOf, bool ascending) {
    std::vector<std::pair<std::uint64_t, std::int32_t>> keyed;
    keyed.reserve(rows_.size());
    for (const std::int32_t record : rows_)
        keyed.emplace_back(keyOf(record, records_.record(record)), record);
    if (ascending)
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& l, const auto& r) { return l.first < r.first; });
    else
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& l, const auto& r) { return l.first > r.first; });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        rows_[i] = keyed[i].second;
}

void CCommsLogDlg::sortRows(int column, bool ascending) {
    switch (column) {
    case kColumnTime:
        if (!sortByTimeKeys(ascending))
            sortByTimeText(ascending);
        return;
    case kColumnType:
        sortByKey([](std::int32_t, const CCommsLogRecord* r) { return r ? typeRank(r->type) : 0; },
                  ascending);
        return;
    case kColumnSize:
        sortByKey(
            [](std::int32_t, const CCommsLogRecord* r) -> std::uint64_t {
                return r == nullptr || isError(*r) ? 0 : r->size;
            },
            ascending);
        return;
    case kColumnMessage:
        sortByMessage(ascending);
        return;
    default:
        sortByKey([](std::int32_t index,
                     const CCommsLogRecord*) { return static_cast<std::uint64_t>(index); },
                  ascending);
        return;
    }
}

// Rows sort first by the first 16 characters of their message texts, held beside the row so that
// most comparisons touch no record; rows whose beginnings agree compare their whole texts.
void CCommsLogDlg::sortByMessage(bool ascending) {
    struct Entry {
        MessageKey key;
        const CCommsLogRecord* record;
        std::int32_t index;
    };
    std::vector<Entry> entries;
    entries.reserve(rows_.size());
    for (const std::int32_t index : rows_) {
        const CCommsLogRecord* record = records_.record(index);
        entries.push_back({messageKey(record), record, index});
    }
    std::stable_sort(entries.begin(), entries.end(), [ascending](const Entry& l, const Entry& r) {
        int order = l.key == r.key ? 0 : (l.key < r.key ? -1 : 1);
        if (order == 0)
            order = compareMessages(l.record, r.record);
        return ascending ? order < 0 : order > 0;
    });
    for (std::size_t i = 0; i < entries.size(); ++i)
        rows_[i] = entries[i].index;
}

// Time texts of records within one second differ only in the millisecond text, so a row's text
// is its second's time before the milliseconds, the milliseconds and the rest. With the distinct
// seconds ranked by those two parts a row sorts by a number: (rank before, milliseconds, rank
// after). That holds unless one "before" part is a proper prefix of another, or a millisecond
// text is longer than three digits; then the full texts are compared.
bool CCommsLogDlg::sortByTimeKeys(bool ascending) {
    std::vector<std::int32_t> seconds;
    seconds.reserve(rows_.size());
    for (const std::int32_t index : rows_) {
        const CCommsLogRecord* record = records_.record(index);
        if (record != nullptr && record->milliseconds > 999)
            return false;
        seconds.push_back(record ? record->time : 0);
    }
    std::sort(seconds.begin(), seconds.end());
    seconds.erase(std::unique(seconds.begin(), seconds.end()), seconds.end());
    const std::size_t distinct = seconds.size();
    constexpr std::size_t kRankLimit = std::size_t{1} << 26;
    if (distinct >= kRankLimit)
        return false;

    std::vector<std::string> before(distinct);
    std::vector<std::string> after(distinct);
    for (std::size_t i = 0; i < distinct; ++i) {
        const CCommsLogText::TimeParts& parts = text_.timeParts(seconds[i]);
        before[i] = parts.beforeMilliseconds;
        after[i] = parts.afterMilliseconds;
    }
    const auto ranks = [distinct](const std::vector<std::string>& texts, bool& prefixFound) {
        std::vector<std::uint32_t> order(distinct);
        for (std::uint32_t i = 0; i < distinct; ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(),
                  [&texts](std::uint32_t l, std::uint32_t r) { return texts[l] < texts[r]; });
        std::vector<std::uint64_t> rank(distinct);
        std::uint64_t current = 0;
        for (std::size_t place = 0; place < distinct; ++place) {
            if (place > 0 && texts[order[place]] != texts[order[place - 1]]) {
                ++current;
                prefixFound |= texts[order[place]].starts_with(texts[order[place - 1]]);
            }
            rank[order[place]] = current;
        }
        return rank;
    };
    bool prefixFound = false;
    const std::vector<std::uint64_t> beforeRank = ranks(before, prefixFound);
    if (prefixFound)
        return false;
    const std::vector<std::uint64_t> afterRank = ranks(after, prefixFound);

    sortByKey(
        [&](std::int32_t, const CCommsLogRecord* record) -> std::uint64_t {
            const std::int32_t time = record ? record->time : 0;
            const auto at = static_cast<std::size_t>(
                std::lower_bound(seconds.begin(), seconds.end(), time) - seconds.begin());
            const std::uint64_t milliseconds = record ? record->milliseconds : 0;
            return beforeRank[at] << 36 | milliseconds << 26 | afterRank[at];
        },
        ascending);
    return true;
}

void CCommsLogDlg::sortByTimeText(bool ascending) {
    std::vector<std::pair<std::string, std::int32_t>> entries;
    entries.reserve(rows_.size());
    for (const std::int32_t index : rows_) {
        const CCommsLogRecord* record = records_.record(index);
        entries.emplace_back(record ? text_.timeText(record->time, record->milliseconds) : "",
                             index);
    }
    std::stable_sort(entries.begin(), entries.end(), [ascending](const auto& l, const auto& r) {
        return ascending ? l.first < r.first : l.first > r.first;
    });
    for (std::size_t i = 0; i < entries.size(); ++i)
        rows_[i] = entries[i].second;
}

// The rows' records are fetched first, under a pin: a record that goes to the journal after
// that is still written from memory, and the journal is read only below the first record that
// was in memory then, so that every record is written once.
int CCommsLogDlg::writeReport(std::string& out, const std::function<bool(std::string&)>& flush) {
    const CPin pin(records_);
    std::vector<const CCommsLogRecord*> listed(rows_.size());
    const int firstListed = records_.firstInMemory();
    for (int row = 0; row < rowCount(); ++row)
        listed[static_cast<std::size_t>(row)] = recordAt(row);

    CLogReportWriter writer(out);
    bool stopped = false;
    const auto write = [&](const CCommsLogRecord& record, int index) {
        const std::string indexText = CCommsLogText::indexText(index);
        const std::string time = text_.timeText(record.time, record.milliseconds);
        const std::string size = CCommsLogText::sizeText(record);
        const std::string message = CCommsLogText::messageText(record);
        writer.addEntry({indexText, time, CCommsLogText::typeText(record.type), size, message});
        stopped = flush && out.size() >= kReportChunk && !flush(out);
        return !stopped;
    };
    const int journalError = records_.readJournal(firstListed, write);
    for (int row = 0; row < rowCount() && !stopped; ++row)
        if (const CCommsLogRecord* record = listed[static_cast<std::size_t>(row)])
            write(*record, recordOfRow(row));
    return journalError;
}

std::string CCommsLogDlg::saveReport(const std::string& path) {
    const OutputFile file = createOutputFile(path);
    if (file.inUse)
        return formatString(kIdsLogFileInUse, path);
    if (file.descriptor < 0)
        return formatString(kIdsFileErrorOnWrite, systemErrorText(file.error));
    int error = 0;
    const auto flush = [&](std::string& chunk) {
        error = writeAll(file.descriptor, chunk.data(), chunk.size());
        chunk.clear();
        return error == 0;
    };
    std::string chunk;
    chunk.reserve(kReportChunk + kReportChunk / 8);
    const int journalError = writeReport(chunk, flush);
    if (error == 0)
        flush(chunk);
    if (close(file.descriptor) != 0 && error == 0)
        error = errno;
    if (error != 0)
        return formatString(kIdsFileErrorOnWrite, systemErrorText(error));
    if (journalError != 0)
        return formatString(kIdsLogJournalUnread, records_.journalPath().c_str(),
                            systemErrorText(journalError).c_str());
    return {};
}

// The settings file's name gives way to the report's; a settings file of another name (one set
// by the environment) is never offered for overwriting.
std::string CCommsLogDlg::defaultReportPath(const std::string& settingsPath) {
    const std::size_t slash = settingsPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : settingsPath.substr(0, slash + 1);
    return folder + std::string(loadString(kIdsLogReportFileName));
}
