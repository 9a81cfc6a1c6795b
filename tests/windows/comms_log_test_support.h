#pragma once

#include "windows/comms_log_dlg.h"

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

// A log with chosen times: records the store would stamp with the clock.
class CCraftedLog final : public ICommsLogRecords {
public:
    explicit CCraftedLog(std::atomic<std::int32_t>* logEnabled = nullptr)
        : logEnabled_(logEnabled) {}

    void add(unsigned type, std::int32_t time, unsigned milliseconds,
             const std::vector<std::uint8_t>& data = {}) {
        auto record = std::make_unique<CCommsLogRecord>();
        record->type = static_cast<std::uint16_t>(type);
        record->time = time;
        record->milliseconds = static_cast<std::uint16_t>(milliseconds);
        record->size = static_cast<std::uint16_t>(data.size());
        if (!data.empty()) {
            record->data = std::make_unique<std::uint8_t[]>(data.size());
            std::memcpy(record->data.get(), data.data(), data.size());
        }
        records_.push_back(std::move(record));
    }
    void addError(std::uint32_t code, std::int32_t time, unsigned milliseconds) {
        add(5, time, milliseconds,
            {static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(code >> 8),
             static_cast<std::uint8_t>(code >> 16), static_cast<std::uint8_t>(code >> 24)});
    }

    int count() const override { return static_cast<int>(records_.size()); }
    const CCommsLogRecord* record(int index) const override {
        if (index < 0 || index >= count() || unfetchable.count(index) != 0)
            return nullptr;
        return records_[static_cast<std::size_t>(index)].get();
    }
    void clear() override {
        logEnabledDuringClear = logEnabled_ ? logEnabled_->load() : -1;
        records_.clear();
    }

    std::set<int> unfetchable;
    int logEnabledDuringClear = -1;

private:
    std::atomic<std::int32_t>* logEnabled_;
    std::vector<std::unique_ptr<CCommsLogRecord>> records_;
};

// A window that records what the logic shows and answers its questions as told.
class CRecordingLogWindow final : public ICommsLogWindow {
public:
    void beginAddRows(int first, int last) override { added.emplace_back(first, last); }
    void endAddRows() override {}
    void beginResetRows() override { ++resets; }
    void endResetRows() override {}
    void beginRemoveRows(int first, int last) override { removed.emplace_back(first, last); }
    void endRemoveRows() override {}
    void showJournalNote(const std::string& text) override { journalNote = text; }
    void showStatus(const std::string& text) override {
        status = text;
        statusVisible = true;
        statusTexts.push_back(text);
    }
    void hideStatus() override { statusVisible = false; }
    void enableButtons(bool enabled) override { buttonsEnabled = enabled; }
    void startBatchTimer() override { timerRunning = true; }
    void stopBatchTimer() override { timerRunning = false; }
    bool askRefreshBeforeSave() override { return refreshAnswer; }
    std::string askReportPath(const std::string& defaultPath) override {
        offeredPath = defaultPath;
        return reportPath;
    }
    void showMessage(const std::string& text) override { messages.push_back(text); }
    bool startViewer(const std::string& path) override {
        viewedPath = path;
        return viewerStarts;
    }
    bool showsLastRow() const override { return atLastRow; }
    void showLastRow() override { ++scrolledToLastRow; }

    std::vector<std::pair<int, int>> added;
    std::vector<std::pair<int, int>> removed;
    std::string journalNote;
    int resets = 0;
    std::string status;
    bool statusVisible = true;
    std::vector<std::string> statusTexts;
    bool buttonsEnabled = true;
    bool timerRunning = false;
    bool refreshAnswer = false;
    std::string reportPath;
    std::string offeredPath;
    std::vector<std::string> messages;
    std::string viewedPath;
    bool viewerStarts = true;
    bool atLastRow = true;
    int scrolledToLastRow = 0;
};

// 2006-12-06 10:15:30 UTC.
constexpr std::int32_t kMorning = 1165400130;

// The formats of an English 12-hour clock, with the tests' time zone fixed to UTC.
inline LogTimeFormat twelveHourFormat() {
    return {":", "%I:%M:%S %p", "%m/%d/%Y"};
}
