#pragma once

#include "platform/clock.h"
#include "protocol/word_orders.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The data of one read as the unit answered it.
struct RegisterRead {
    int function = 0;     // 1 to 4
    int enteredStart = 0; // the start address as the operator entered it
    int wireStart = 0;    // the start address sent on the wire
    // 03 and 04: the register bytes as received; 01 and 02: one byte, 0 or 1, per point.
    std::vector<std::uint8_t> data;
};

// What one exchange of the Test window brought: a read's data when it passed, and when.
struct ReadOutcome {
    bool passed = false;
    RegisterRead read;
    UtcTime at{};
    std::uint32_t responseMs = 0;
    // Counts the Repeat runs of the Test window; the table's minimum, maximum and changes start
    // again when it changes.
    std::uint32_t run = 0;
};

// The type and order the operator chose to follow on one row.
struct RowPin {
    WideType type = WideType::Float32;
    WordOrder order = WordOrder::ABCD;
    bool operator==(const RowPin&) const = default;
};

// The reads of the Test window, passed on to the register tables that show them. It keeps the
// last outcome, so that a table opened later starts with it, and the pins, keyed by the address
// on the wire, so that they last while the program runs.
class CReadFeed {
public:
    using Listener = std::function<void(const ReadOutcome&)>;

    void publish(const ReadOutcome& outcome);
    int subscribe(Listener listener);
    void unsubscribe(int id);
    const std::optional<ReadOutcome>& lastPassed() const { return lastPassed_; }
    const std::optional<ReadOutcome>& last() const { return last_; }

    std::map<int, RowPin> pins;

private:
    std::optional<ReadOutcome> last_;
    std::optional<ReadOutcome> lastPassed_;
    std::map<int, Listener> listeners_;
    int nextId_ = 1;
};

// A value written as the table and its files show it: integers in full, floating values in the
// fewest digits that read back to the same value, "." as the decimal point whatever the locale.
std::string formatWideNumber(const WideNumber& number, WideType type);

// One cell of the every-order grid: a reading and whether it is plausible.
struct OrderReading {
    std::string text;
    bool plausible = false;
    bool operator==(const OrderReading&) const = default;
};

// The readings of the bytes at the start of `bytes` as each type of kWideTypes (the rows) in each
// order of kWordOrders (the columns); a cell the bytes do not fill is empty.
using OrderReadings = std::array<std::array<OrderReading, kWordOrders.size()>, kWideTypes.size()>;

// Which orders of the value at the start of `bytes` read plausibly, indexed like kWordOrders;
// none when all four do, since a mark on every order singles none out (zeros, or the bytes of
// another type).
std::array<bool, 4> distinctPlausibleOrders(std::span<const std::uint8_t> bytes, WideType type);

OrderReadings readAllOrders(std::span<const std::uint8_t> bytes);

// One field of a CSV line: quoted, with its quotes doubled, when it holds a comma, a quote or a
// line break.
std::string csvField(std::string_view text);

// A UTC time as RFC 3339 with milliseconds: 2026-12-08T12:30:05.123Z.
std::string rfc3339(const UtcTime& time);

// The Register Table's logic: the rows of the last passing read, every order of the values that
// span two or four registers with the plausible ones marked, the pins, each row's minimum,
// maximum and changes, and whether the table is stale.
class CRegisterTableDlg {
public:
    enum Column : int {
        kColAddress,
        kColWire,
        kColHex,
        kColUnsigned,
        kColSigned,
        kColBinary,
        kColAscii,
        kColPinned,
        kColMinimum,
        kColMaximum,
        kColChanges,
        kColumnCount,
    };

    // How long a changed cell stays marked.
    static constexpr std::uint32_t kChangeMarkMs = 1000;

    explicit CRegisterTableDlg(CReadFeed& feed);

    // A passing read updates the rows in place; a failed exchange leaves them and marks the
    // table stale. `tick` is the monotonic time the change marks are measured from.
    void onResult(const ReadOutcome& outcome, std::uint32_t tick);

    std::size_t rowCount() const { return rows_.size(); }
    bool holdsBits() const { return read_.function == 1 || read_.function == 2; }
    bool stale() const { return stale_; }
    // Counts every update that changed the rows: a binder repaints when it moves.
    std::uint64_t generation() const { return generation_; }

    std::string cellText(std::size_t row, int column) const;
    // The row's own value changed within kChangeMarkMs of `tick`.
    bool changedAt(std::size_t row, std::uint32_t tick) const;

    // The value that starts at `row` read as `type` in `order`; empty when the read ends before
    // the value does, and for bits.
    std::string wideText(std::size_t row, WideType type, WordOrder order) const;
    // Which orders of the value at `row` read plausibly, indexed like kWordOrders; none when all
    // four do.
    std::array<bool, 4> plausible(std::size_t row, WideType type) const;
    // Every type in every order of the value that starts at `row`.
    OrderReadings allOrders(std::size_t row) const;

    // The row's pinned value, else its register's; none when the read ends before the value.
    std::optional<WideNumber> trackedNumber(std::size_t row) const {
        return row < rows_.size() ? trackedValue(row) : std::nullopt;
    }

    std::optional<RowPin> pinOf(std::size_t row) const;
    // Pins (or with none, unpins) the row; its minimum, maximum and changes start again.
    void setPin(std::size_t row, std::optional<RowPin> pin);

    // The line under the table: the last good read's time, stale or not.
    std::string statusText() const;

    // The whole table: a header, then one line per row and type.
    std::string tableCsv() const;
    // The header and one line of the series: the UTC time, then each pinned value in row order
    // (every register's unsigned value when nothing is pinned).
    std::string seriesHeader() const;
    std::string seriesLine() const;

    static std::string columnTitle(int column);
    static std::string typeTitle(WideType type);
    static std::string orderTitle(WordOrder order);
    // The order's letters over the Number Convertor's name for it, where it has one.
    static std::string orderHeader(WordOrder order);

private:
    struct Row {
        std::uint16_t value = 0;
        std::optional<WideNumber> minimum;
        std::optional<WideNumber> maximum;
        std::optional<WideNumber> tracked; // the pinned value, or the register's
        std::optional<RowPin> pin;         // the pin the minimum and maximum were taken under
        std::uint32_t changes = 0;
        std::uint32_t changedTick = 0;
        bool everChanged = false;
    };

    bool sameLayout(const RegisterRead& read) const;
    void takeLayout(const ReadOutcome& outcome);
    void updateRows(const RegisterRead& read, std::uint32_t tick);
    std::optional<WideNumber> trackedValue(std::size_t row) const;
    void track(std::size_t row);
    void restart(std::size_t row);
    int wireAddress(std::size_t row) const;
    std::span<const std::uint8_t> bytesFrom(std::size_t row) const;
    void appendRowCsv(std::string& out, std::size_t row) const;

    CReadFeed& feed_;
    RegisterRead read_;
    std::vector<Row> rows_;
    UtcTime lastGood_{};
    std::uint32_t run_ = 0;
    bool stale_ = false;
    bool hasRead_ = false;
    std::uint64_t generation_ = 0;
};

// A CSV file written line by line while the program runs: each line goes to the disk as it
// comes, so that nothing written is lost if the program ends.
class CCsvFile {
public:
    CCsvFile() = default;
    ~CCsvFile();
    CCsvFile(const CCsvFile&) = delete;
    CCsvFile& operator=(const CCsvFile&) = delete;

    // Creates or truncates `path`; returns empty, or the system's reason it cannot be written.
    std::string open(const std::string& path);
    // Returns empty, or the system's reason; the file is closed after a failure.
    std::string write(std::string_view text);
    void close();
    bool isOpen() const { return descriptor_ >= 0; }

private:
    int descriptor_ = -1;
};

// Writes `text` to a new file at `path`; returns empty, or the message to show, with the
// system's reason.
std::string writeCsvFile(const std::string& path, std::string_view text);
