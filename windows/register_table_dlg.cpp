#include "windows/register_table_dlg.h"

#include "platform/file_output.h"
#include "platform/system_errors.h"
#include "protocol/value_codecs.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <ctime>
#include <unistd.h>

namespace {

constexpr std::size_t kRegisterBytes = 2;
constexpr int kAddressSpace = 65536;
constexpr int kBitsPerRegister = 16;
constexpr char kUnprintable = '.';
// The Number Convertor's names of the byte orders.
constexpr unsigned kMotorolaText = 8070;
constexpr unsigned kIntelText = 8071;
constexpr unsigned kModiconText = 8072;

bool isBitsFunction(int function) {
    return function == 1 || function == 2;
}

template <typename T> std::string shortest(T value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string hexWord(std::uint16_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(4, '0');
    for (int i = 3; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xFU];
        value = static_cast<std::uint16_t>(value >> 4U);
    }
    return text;
}

std::string binaryWord(std::uint16_t value) {
    std::string text;
    text.reserve(kBitsPerRegister + 1);
    for (int bit = kBitsPerRegister - 1; bit >= 0; --bit) {
        text.push_back(((value >> static_cast<unsigned>(bit)) & 1U) != 0 ? '1' : '0');
        if (bit == kBitsPerRegister / 2)
            text.push_back(' ');
    }
    return text;
}

char printable(std::uint8_t byte) {
    return byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : kUnprintable;
}

std::size_t typeIndex(WideType type) {
    return static_cast<std::size_t>(type);
}

std::size_t orderIndex(WordOrder order) {
    return static_cast<std::size_t>(order);
}

bool isNotANumber(const WideNumber& number) {
    const auto* floating = std::get_if<double>(&number);
    return floating != nullptr && std::isnan(*floating);
}

// NaN equals nothing, itself included: a NaN that stays is still the same reading.
bool sameReading(const std::optional<WideNumber>& a, const std::optional<WideNumber>& b) {
    return a == b || (a && b && isNotANumber(*a) && isNotANumber(*b));
}

std::string plausibleMark(bool plausible) {
    return plausible ? std::string("1") : std::string();
}

} // namespace

void CReadFeed::publish(const ReadOutcome& outcome) {
    last_ = outcome;
    if (outcome.passed)
        lastPassed_ = outcome;
    // A listener may unsubscribe while it is told: walk a copy of the ids.
    std::vector<int> ids;
    ids.reserve(listeners_.size());
    for (const auto& entry : listeners_)
        ids.push_back(entry.first);
    for (const int id : ids) {
        const auto it = listeners_.find(id);
        if (it != listeners_.end())
            it->second(outcome);
    }
}

int CReadFeed::subscribe(Listener listener) {
    const int id = nextId_++;
    listeners_.emplace(id, std::move(listener));
    return id;
}

void CReadFeed::unsubscribe(int id) {
    listeners_.erase(id);
}

std::string formatWideNumber(const WideNumber& number, WideType type) {
    if (const auto* floating = std::get_if<double>(&number))
        return type == WideType::Float32 ? shortest(static_cast<float>(*floating))
                                         : shortest(*floating);
    if (const auto* signedValue = std::get_if<std::int64_t>(&number))
        return std::to_string(*signedValue);
    return std::to_string(std::get<std::uint64_t>(number));
}

std::array<bool, 4> distinctPlausibleOrders(std::span<const std::uint8_t> bytes, WideType type) {
    const std::array<bool, 4> marks = plausibleOrders(bytes, type);
    if (std::all_of(marks.begin(), marks.end(), [](bool mark) { return mark; }))
        return {};
    return marks;
}

OrderReadings readAllOrders(std::span<const std::uint8_t> bytes) {
    OrderReadings readings;
    for (std::size_t t = 0; t < kWideTypes.size(); ++t) {
        const std::array<bool, 4> marks = distinctPlausibleOrders(bytes, kWideTypes[t]);
        for (std::size_t o = 0; o < kWordOrders.size(); ++o) {
            const std::optional<WideNumber> number = readWide(bytes, kWideTypes[t], kWordOrders[o]);
            readings[t][o] = {number ? formatWideNumber(*number, kWideTypes[t]) : std::string(),
                              marks[o]};
        }
    }
    return readings;
}

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted.push_back('"');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

std::string rfc3339(const UtcTime& time) {
    std::tm parts{};
    const auto seconds = static_cast<std::time_t>(time.seconds);
    if (gmtime_r(&seconds, &parts) == nullptr)
        return {};
    char buffer[40];
    const std::size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &parts);
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03uZ", static_cast<unsigned>(time.milliseconds % 1000));
    return std::string(buffer, length) + millis;
}

CRegisterTableDlg::CRegisterTableDlg(CReadFeed& feed) : feed_(feed) {
    if (feed_.lastPassed())
        onResult(*feed_.lastPassed(), 0);
    if (feed_.last() && !feed_.last()->passed)
        onResult(*feed_.last(), 0);
}

void CRegisterTableDlg::onResult(const ReadOutcome& outcome, std::uint32_t tick) {
    if (!outcome.passed) {
        stale_ = hasRead_;
        ++generation_;
        return;
    }
    if (!isBitsFunction(outcome.read.function) && outcome.read.function != 3 &&
        outcome.read.function != 4)
        return;
    if (!hasRead_ || !sameLayout(outcome.read) || outcome.run != run_)
        takeLayout(outcome);
    else
        updateRows(outcome.read, tick);
    lastGood_ = outcome.at;
    stale_ = false;
    ++generation_;
}

bool CRegisterTableDlg::sameLayout(const RegisterRead& read) const {
    return read.function == read_.function && read.wireStart == read_.wireStart &&
           read.enteredStart == read_.enteredStart && read.data.size() == read_.data.size();
}

void CRegisterTableDlg::takeLayout(const ReadOutcome& outcome) {
    hasRead_ = true;
    run_ = outcome.run;
    read_ = outcome.read;
    const std::size_t count = holdsBits() ? read_.data.size() : read_.data.size() / kRegisterBytes;
    rows_.assign(count, Row{});
    for (std::size_t i = 0; i < count; ++i) {
        rows_[i].value = holdsBits() ? read_.data[i] : getUInt16(&read_.data[i * kRegisterBytes]);
        restart(i);
    }
}

void CRegisterTableDlg::updateRows(const RegisterRead& read, std::uint32_t tick) {
    // Compares the bytes first: a row whose value and pinned span are unchanged costs nothing.
    std::copy(read.data.begin(), read.data.end(), read_.data.begin());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        const std::uint16_t value =
            holdsBits() ? read_.data[i] : getUInt16(&read_.data[i * kRegisterBytes]);
        if (value != row.value) {
            row.value = value;
            row.changedTick = tick;
            row.everChanged = true;
        }
        // The pins are the feed's: another table may have pinned the row anew.
        if (pinOf(i) != row.pin) {
            restart(i);
            continue;
        }
        const std::optional<WideNumber> before = row.tracked;
        track(i);
        if (!sameReading(row.tracked, before))
            ++row.changes;
    }
}

std::optional<WideNumber> CRegisterTableDlg::trackedValue(std::size_t row) const {
    if (const std::optional<RowPin> pin = pinOf(row))
        return readWide(bytesFrom(row), pin->type, pin->order);
    return WideNumber{std::uint64_t{rows_[row].value}};
}

void CRegisterTableDlg::track(std::size_t row) {
    Row& r = rows_[row];
    const std::optional<WideNumber> value = trackedValue(row);
    r.tracked = value;
    // NaN orders against nothing: taken, it would stay the minimum and maximum for good.
    if (!value || isNotANumber(*value))
        return;
    // Values of one row are always of one alternative, so the variant's order is the value's.
    if (!r.minimum || *value < *r.minimum)
        r.minimum = value;
    if (!r.maximum || *r.maximum < *value)
        r.maximum = value;
}

void CRegisterTableDlg::restart(std::size_t row) {
    Row& r = rows_[row];
    r.pin = pinOf(row);
    r.minimum.reset();
    r.maximum.reset();
    r.changes = 0;
    track(row);
}

int CRegisterTableDlg::wireAddress(std::size_t row) const {
    return (read_.wireStart + static_cast<int>(row)) % kAddressSpace;
}

std::span<const std::uint8_t> CRegisterTableDlg::bytesFrom(std::size_t row) const {
    if (holdsBits())
        return {};
    return std::span<const std::uint8_t>(read_.data).subspan(row * kRegisterBytes);
}

bool CRegisterTableDlg::changedAt(std::size_t row, std::uint32_t tick) const {
    return row < rows_.size() && rows_[row].everChanged &&
           tick - rows_[row].changedTick < kChangeMarkMs;
}

std::string CRegisterTableDlg::cellText(std::size_t row, int column) const {
    if (row >= rows_.size())
        return {};
    const Row& r = rows_[row];
    const std::uint16_t value = r.value;
    const std::optional<RowPin> pin = pinOf(row);
    const WideType pinnedType = r.pin ? r.pin->type : WideType::UInt64;
    switch (column) {
    case kColAddress:
        return std::to_string(read_.enteredStart + static_cast<int>(row));
    case kColWire:
        return std::to_string(wireAddress(row));
    case kColHex:
        return holdsBits() ? std::to_string(value) : hexWord(value);
    case kColUnsigned:
        return std::to_string(value);
    case kColSigned:
        return holdsBits() ? std::to_string(value)
                           : std::to_string(static_cast<std::int16_t>(value));
    case kColBinary:
        return holdsBits() ? std::to_string(value) : binaryWord(value);
    case kColAscii:
        if (holdsBits())
            return {};
        return {printable(static_cast<std::uint8_t>(value >> 8U)),
                printable(static_cast<std::uint8_t>(value & 0xFFU))};
    case kColPinned:
        return pin ? wideText(row, pin->type, pin->order) : std::string();
    case kColMinimum:
        return r.minimum ? formatWideNumber(*r.minimum, pinnedType) : std::string();
    case kColMaximum:
        return r.maximum ? formatWideNumber(*r.maximum, pinnedType) : std::string();
    case kColChanges:
        return std::to_string(r.changes);
    default:
        return {};
    }
}

std::string CRegisterTableDlg::wideText(std::size_t row, WideType type, WordOrder order) const {
    if (row >= rows_.size())
        return {};
    const std::optional<WideNumber> number = readWide(bytesFrom(row), type, order);
    return number ? formatWideNumber(*number, type) : std::string();
}

std::array<bool, 4> CRegisterTableDlg::plausible(std::size_t row, WideType type) const {
    if (row >= rows_.size())
        return {};
    return distinctPlausibleOrders(bytesFrom(row), type);
}

OrderReadings CRegisterTableDlg::allOrders(std::size_t row) const {
    return readAllOrders(row < rows_.size() ? bytesFrom(row) : std::span<const std::uint8_t>());
}

std::optional<RowPin> CRegisterTableDlg::pinOf(std::size_t row) const {
    if (row >= rows_.size() || holdsBits())
        return std::nullopt;
    const auto it = feed_.pins.find(wireAddress(row));
    if (it == feed_.pins.end())
        return std::nullopt;
    return it->second;
}

void CRegisterTableDlg::setPin(std::size_t row, std::optional<RowPin> pin) {
    if (row >= rows_.size() || holdsBits())
        return;
    if (pin)
        feed_.pins[wireAddress(row)] = *pin;
    else
        feed_.pins.erase(wireAddress(row));
    restart(row);
    ++generation_;
}

std::string CRegisterTableDlg::statusText() const {
    if (!hasRead_)
        return std::string(loadString(kIdsRegTableNoRead));
    const std::string time = rfc3339(lastGood_);
    if (stale_)
        return substituteArgs(loadString(kIdsRegTableStale), {time});
    return substituteArgs(loadString(kIdsRegTableLastRead), {time, std::to_string(rows_.size())});
}

std::string CRegisterTableDlg::columnTitle(int column) {
    return std::string(loadString(kIdsRegTableColumnFirst + static_cast<unsigned>(column)));
}

std::string CRegisterTableDlg::typeTitle(WideType type) {
    return std::string(loadString(kIdsRegTableTypeFirst + static_cast<unsigned>(typeIndex(type))));
}

std::string CRegisterTableDlg::orderTitle(WordOrder order) {
    return std::string(
        loadString(kIdsRegTableOrderFirst + static_cast<unsigned>(orderIndex(order))));
}

std::string CRegisterTableDlg::orderHeader(WordOrder order) {
    std::string header = orderTitle(order);
    switch (order) {
    case WordOrder::ABCD:
        return header + "\n" + std::string(loadString(kMotorolaText));
    case WordOrder::CDAB:
        return header + "\n" + std::string(loadString(kModiconText));
    case WordOrder::DCBA:
        return header + "\n" + std::string(loadString(kIntelText));
    case WordOrder::BADC:
        break;
    }
    return header;
}

void CRegisterTableDlg::appendRowCsv(std::string& out, std::size_t row) const {
    const std::string lead = cellText(row, kColAddress) + "," + cellText(row, kColWire) + ",";
    for (const int column : {kColHex, kColUnsigned, kColSigned, kColBinary, kColAscii}) {
        if (holdsBits() && column != kColUnsigned)
            continue;
        out +=
            lead + csvField(columnTitle(column)) + ",," + csvField(cellText(row, column)) + ",\r\n";
    }
    if (holdsBits())
        return;
    for (const WideType type : kWideTypes) {
        const std::array<bool, 4> marks = plausible(row, type);
        for (const WordOrder order : kWordOrders)
            out += lead + csvField(typeTitle(type)) + "," + orderTitle(order) + "," +
                   wideText(row, type, order) + "," + plausibleMark(marks[orderIndex(order)]) +
                   "\r\n";
    }
}

std::string CRegisterTableDlg::tableCsv() const {
    std::string out = std::string(loadString(kIdsRegTableCsvHeader)) + "\r\n";
    for (std::size_t row = 0; row < rows_.size(); ++row)
        appendRowCsv(out, row);
    return out;
}

std::string CRegisterTableDlg::seriesHeader() const {
    std::string out = csvField(loadString(kIdsRegTableTimeHeader));
    bool anyPinned = false;
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (const std::optional<RowPin> pin = pinOf(row)) {
            anyPinned = true;
            out += "," + csvField(cellText(row, kColAddress) + " " + typeTitle(pin->type) + " " +
                                  orderTitle(pin->order));
        }
    }
    if (!anyPinned) {
        for (std::size_t row = 0; row < rows_.size(); ++row)
            out += "," + cellText(row, kColAddress);
    }
    return out + "\r\n";
}

std::string CRegisterTableDlg::seriesLine() const {
    std::string out = rfc3339(lastGood_);
    bool anyPinned = false;
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (pinOf(row)) {
            anyPinned = true;
            out += "," + cellText(row, kColPinned);
        }
    }
    if (!anyPinned) {
        for (std::size_t row = 0; row < rows_.size(); ++row)
            out += "," + cellText(row, kColUnsigned);
    }
    return out + "\r\n";
}

CCsvFile::~CCsvFile() {
    close();
}

std::string CCsvFile::open(const std::string& path) {
    close();
    const OutputFile file = createOutputFile(path);
    if (file.descriptor < 0)
        return systemErrorText(file.inUse ? EBUSY : file.error);
    descriptor_ = file.descriptor;
    return {};
}

std::string CCsvFile::write(std::string_view text) {
    if (descriptor_ < 0)
        return systemErrorText(EBADF);
    // Straight to the kernel, unbuffered: a line written survives the program ending.
    const int error = writeAll(descriptor_, text.data(), text.size());
    if (error == 0)
        return {};
    close();
    return systemErrorText(error);
}

void CCsvFile::close() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
}

std::string writeCsvFile(const std::string& path, std::string_view text) {
    CCsvFile file;
    std::string reason = file.open(path);
    if (reason.empty())
        reason = file.write(text);
    if (reason.empty())
        return {};
    return substituteArgs(loadString(kIdsRegTableWriteFailed), {path, reason});
}
