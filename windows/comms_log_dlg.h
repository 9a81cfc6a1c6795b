#pragma once

#include "commslog/comms_log_store.h"
#include "commslog/comms_log_text.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The records the window lists: the comms log store in the program, a crafted log in tests.
class ICommsLogRecords {
public:
    virtual ~ICommsLogRecords() = default;
    // Number of records, read under the log lock.
    virtual int count() const = 0;
    // The record at `index`, or null when it cannot be fetched.
    virtual const CCommsLogRecord* record(int index) const = 0;
    virtual void clear() = 0;

    // A log that keeps only its newest records in memory: records before firstInMemory are in
    // its journal, read back with readJournal; pins keep fetched records valid meanwhile. A log
    // held whole has none of that.
    virtual int firstInMemory() const { return 0; }
    virtual int
    readJournal(int /*limit*/,
                const std::function<bool(const CCommsLogRecord&, int)>& /*visit*/) const {
        return 0;
    }
    virtual void pin() const {}
    virtual void unpin() const {}
    // The bound, the journal's path (empty: no journal, nothing leaves memory) and the errno of
    // its last failed write.
    virtual int memoryBound() const { return 0; }
    virtual std::string journalPath() const { return {}; }
    virtual int journalError() const { return 0; }
};

class CCommsLogStoreRecords final : public ICommsLogRecords {
public:
    explicit CCommsLogStoreRecords(CCommsLogStore& store) : store_(store) {}
    int count() const override { return store_.count(); }
    const CCommsLogRecord* record(int index) const override { return store_.record(index); }
    void clear() override { store_.clearLog(); }
    int firstInMemory() const override { return store_.firstInMemory(); }
    int readJournal(int limit,
                    const std::function<bool(const CCommsLogRecord&, int)>& visit) const override {
        return store_.readJournal(limit, visit);
    }
    void pin() const override { store_.pin(); }
    void unpin() const override { store_.unpin(); }
    int memoryBound() const override { return store_.memoryBound(); }
    std::string journalPath() const override { return store_.journalPath(); }
    int journalError() const override { return store_.journalError(); }

private:
    CCommsLogStore& store_;
};

// What the logic shows and asks of its window.
class ICommsLogWindow {
public:
    virtual ~ICommsLogWindow() = default;
    // Rows first..last are about to be appended, and have been.
    virtual void beginAddRows(int first, int last) = 0;
    virtual void endAddRows() = 0;
    // Every row is about to change (sort, clear), and has.
    virtual void beginResetRows() = 0;
    virtual void endResetRows() = 0;
    // Rows first..last are about to go (their records went to the journal), and have.
    virtual void beginRemoveRows(int first, int last) = 0;
    virtual void endRemoveRows() = 0;
    // The line about the list's bound and the journal; empty when the log has no journal.
    virtual void showJournalNote(const std::string& text) = 0;
    // Shows the status control with `text`, or hides it.
    virtual void showStatus(const std::string& text) = 0;
    virtual void hideStatus() = 0;
    // Refresh, Save to File and Clear Log.
    virtual void enableButtons(bool enabled) = 0;
    // Timer 4: one tick after 200 ms; stopping drops a tick not yet delivered.
    virtual void startBatchTimer() = 0;
    virtual void stopBatchTimer() = 0;
    // Save to File: the Yes/No question 7022; the Save As dialog (an empty result is Cancel); a
    // message box; the report shown to the user: true when a viewer runs that calls
    // viewerClosed when it ends, false when nothing waits (the desktop took the report, or
    // nothing could show it and the window said so).
    virtual bool askRefreshBeforeSave() = 0;
    virtual std::string askReportPath(const std::string& defaultPath) = 0;
    virtual void showMessage(const std::string& text) = 0;
    virtual bool startViewer(const std::string& path) = 0;
    // Whether the list shows its last row, and scrolling it there.
    virtual bool showsLastRow() const = 0;
    virtual void showLastRow() = 0;
};

// The Communications Log window's logic: lists the log in batches, tells the time between two
// rows, sorts, refreshes, clears and saves the report.
class CCommsLogDlg {
public:
    static constexpr int kBatchRows = 400;
    static constexpr int kBatchTimerId = 4;
    static constexpr int kBatchTimerMs = 200;
    static constexpr int kColumnCount = 5;
    // A frame of this many bytes (a Modbus/TCP read request) shows whole in the Message column
    // of a window just opened.
    static constexpr int kWholeFrameBytes = 12;

    // What the window measures with its font, in pixels with the room around a cell's text:
    // the widest text of each of the first four columns, the Message text of a frame of
    // kWholeFrameBytes bytes, and the widest Message text listed so far.
    struct TextWidths {
        std::array<int, kColumnCount - 1> columns{};
        int wholeFrame = 0;
        int widestMessage = 0;
    };

    // The sort remembered for the program run, shared by every opening of the window.
    struct SortState {
        int column = 0;
        bool ascending = false;
    };
    static SortState lastSort;

    CCommsLogDlg(ICommsLogRecords& records, std::atomic<std::int32_t>& logEnabled,
                 ICommsLogWindow& window, LogTimeFormat format, std::string settingsPath);

    // Opening: the progress text, timer 4 and the buttons disabled until the first batch.
    void onOpen();
    void onTimer();
    void onRefresh();
    void onClearLog();
    void onSaveToFile();
    // The viewer on the saved report has ended.
    void viewerClosed();
    // A click in the list: `selectedRanges` are the selected rows as (first, last) pairs.
    void onListClick(const std::vector<std::pair<int, int>>& selectedRanges);
    void onColumnClick(int column);

    int rowCount() const { return static_cast<int>(rows_.size()); }
    // The record a row shows (its index in the log), or -1.
    int recordOfRow(int row) const;
    std::string cellText(int row, int column);
    static std::string columnTitle(int column);
    const LogTimeFormat& timeFormat() const { return text_.format(); }
    // Column widths of the opening set, or of the narrower set.
    static std::array<int, kColumnCount> columnWidths(int listWidth, bool narrow);
    // The widths shown in a list `listWidth` wide: the opening or narrower set, each of the first
    // four widened to its texts; the Message column takes what is left, at least a whole frame
    // and the widest Message listed, so that no frame is cut: a longer one scrolls sideways.
    static std::array<int, kColumnCount> fittedWidths(int listWidth, bool narrow,
                                                      const TextWidths& texts);
    // The narrowest list whose opening widths leave the Message column a whole frame.
    static int openingListWidth(const TextWidths& texts);
    // The widths for a resize: the narrower and the opening set in turn, narrower first.
    std::array<int, kColumnCount> resizeWidths(int listWidth, const TextWidths& texts);
    // The Message text of a frame of kWholeFrameBytes bytes whose digits are all `digit`.
    static std::string wholeFrameSample(char digit);

    // "Item %03d and %03d time difference is %0.3f seconds." for two rows, or nothing when a
    // row has no record. The items are the rows' log indexes, which are their positions until
    // the list is sorted.
    std::optional<std::string> timeDifferenceText(int firstRow, int secondRow) const;
    // The default report path: the settings file's name replaced by "VantrelLog"; a settings
    // path with another name gives "VantrelLog" in its folder.
    static std::string defaultReportPath(const std::string& settingsPath);
    // Writes the report to `path`: the journal's records, oldest first, then every row in list
    // order. Returns an empty text, or the message to show (7902, 7901 or 13804 filled in).
    std::string saveReport(const std::string& path);
    // Appends the report to `out`. With `flush`, hands `out` over whenever it has grown large
    // (flush empties it; false stops the report). Returns 0 or the errno of a journal that
    // could not be read.
    int writeReport(std::string& out, const std::function<bool(std::string&)>& flush = {});
    // The text of the journal note for the log as it stands.
    std::string journalNote() const;

    int nextRecord = 0;
    unsigned progressId = kIdsLogProgressFirst;
    int progressStep = 1;
    bool busy = false;

private:
    // Keeps the records the logic fetched valid while it uses them.
    class CPin {
    public:
        explicit CPin(const ICommsLogRecords& records) : records_(records) { records_.pin(); }
        ~CPin() { records_.unpin(); }
        CPin(const CPin&) = delete;
        CPin& operator=(const CPin&) = delete;

    private:
        const ICommsLogRecords& records_;
    };

    void addRecords(int start, int limit);
    void dropJournaledRows();
    void advanceProgress();
    void listEverything();
    void sortRows(int column, bool ascending);
    bool sortByTimeKeys(bool ascending);
    void sortByTimeText(bool ascending);
    void sortByMessage(bool ascending);
    template <typename KeyOf> void sortByKey(KeyOf keyOf, bool ascending);
    const CCommsLogRecord* recordAt(int row) const;

    ICommsLogRecords& records_;
    std::atomic<std::int32_t>& logEnabled_;
    ICommsLogWindow& window_;
    CCommsLogText text_;
    std::string settingsPath_;
    std::vector<std::int32_t> rows_; // the record index of each row, in list order
    bool narrowNext_ = true;
};
