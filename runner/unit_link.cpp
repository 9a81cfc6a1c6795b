#include "runner/unit_link.h"

#include "comms/comms_context.h"
#include "comms/modem_commands.h"
#include "config/settings_file.h"
#include "platform/clock.h"
#include "platform/message_queue.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "windows/modem_hang_up_dlg.h"
#include "windows/vantrel_doc.h"

#include <algorithm>

namespace {

constexpr int kIdleWaitMs = 100;
// The hang-up ends by itself (each modem command has its own time-out); this only guards the
// run against a sequence that never reports its end.
constexpr std::uint32_t kHangUpLimitMs = 60000;

int periodOf(int timer) {
    return timer == kTimerDialing ? kTimerDialingMs : kTimerTcpConnectMs;
}

// The hang-up window without widgets: its one-shot timer and whether it has closed.
class CHangUpState final : public IModemHangUpWindow {
public:
    void setStatusText(const std::string&) override {}
    void setModemResponse(const std::string&) override {}
    void startTimer() override {
        timerDue = tickCount() + CModemHangUpDlg::kTimerHangUpMs;
        timerRunning = true;
    }
    void stopTimer() override { timerRunning = false; }
    void closeDialog() override { closed = true; }

    // How long to wait for a result before the timer is due.
    int waitMs() const {
        if (!timerRunning)
            return kIdleWaitMs;
        return std::clamp(static_cast<std::int32_t>(timerDue - tickCount()), 0, kIdleWaitMs);
    }
    bool timerDueNow() const {
        return timerRunning && static_cast<std::int32_t>(tickCount() - timerDue) >= 0;
    }

    std::uint32_t timerDue = 0;
    bool timerRunning = false;
    bool closed = false;
};

} // namespace

CUnitLink::CUnitLink(CVantrelDoc& document, CSettingsFile& settings, CMessageQueue& queue)
    : document_(document), settings_(settings), queue_(queue) {}

std::string CUnitLink::connect(const std::string& name, const std::atomic<bool>& interrupt) {
    CEngineModemJobs jobs(document_.context().engine);
    CConnectDlg dialog(document_, settings_, *this, jobs, queue_.handle(), ".");
    failure_.clear();
    closed_ = false;
    if (!dialog.initialise())
        return failure_;
    dialog.selectedRow = -1;
    for (int row = 0; row < settings_.count(); ++row)
        if (const CLocation* location = settings_.getLocation(row);
            location && location->name == name)
            dialog.selectedRow = row;
    if (dialog.selectedRow < 0)
        return substituteArgs(loadString(kIdsRunNoSuchLocation), {name});
    dialog.connect();
    driveUntilDone(dialog, interrupt);
    if (document_.online == 1)
        return {};
    return failure_.empty() ? std::string(loadString(kIdsRunNotConnected)) : failure_;
}

void CUnitLink::driveUntilDone(CConnectDlg& dialog, const std::atomic<bool>& interrupt) {
    bool abortSent = false;
    while (dialog.connecting() && !closed_) {
        if (interrupt.load() && !abortSent) {
            abortSent = true;
            dialog.abort();
            // A TCP connect ends at its own time limit; nothing else to stop.
        }
        if (const auto message = queue_.take(nextTimerWaitMs());
            message && message->message == WM_COMMS_RESULT)
            dialog.onCommsResult(message->wParam, message->lParam);
        fireDueTimers(dialog);
        if (interrupt.load() && !dialog.connecting())
            break;
    }
}

int CUnitLink::nextTimerWaitMs() const {
    const std::uint32_t now = tickCount();
    int wait = kIdleWaitMs;
    for (const auto& [id, due] : timersDue_) {
        (void)id;
        const auto left = static_cast<std::int32_t>(due - now);
        wait = std::clamp(left, 0, wait);
    }
    return wait;
}

void CUnitLink::fireDueTimers(CConnectDlg& dialog) {
    const std::uint32_t now = tickCount();
    // A timer may be stopped by its own tick: walk a copy.
    const auto timers = timersDue_;
    for (const auto& [id, due] : timers) {
        if (static_cast<std::int32_t>(now - due) < 0 || !timersDue_.contains(id))
            continue;
        timersDue_[id] = due + static_cast<std::uint32_t>(periodOf(id));
        dialog.onTimer(id);
    }
}

void CUnitLink::disconnect() {
    document_.goOffline([this] { runHangUp(); });
}

void CUnitLink::runHangUp() {
    CHangUpState window;
    CEngineModemJobs jobs(document_.context().engine);
    // Its own queue: results of the Connect logic's jobs wait in queue_ until the hang-up ends.
    CMessageQueue results;
    CModemHangUpDlg hangUp(document_, window, jobs, results.handle());
    hangUp.open();
    const std::uint32_t start = tickCount();
    while (!window.closed && tickCount() - start < kHangUpLimitMs) {
        if (const auto message = results.take(window.waitMs());
            message && message->message == WM_COMMS_RESULT)
            hangUp.onCommsResult(message->wParam, message->lParam);
        if (window.timerDueNow()) {
            window.timerRunning = false;
            hangUp.onTimer();
        }
    }
}

void CUnitLink::messageBox(const std::string& text) {
    if (failure_.empty())
        failure_ = text;
}

void CUnitLink::startTimer(int id) {
    timersDue_[id] = tickCount() + static_cast<std::uint32_t>(periodOf(id));
}

void CUnitLink::stopTimer(int id) {
    timersDue_.erase(id);
}
