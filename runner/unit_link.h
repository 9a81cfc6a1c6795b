#pragma once

#include "windows/connect_dlg.h"

#include <atomic>
#include <map>
#include <string>

class CMessageQueue;
class CSettingsFile;
class CVantrelDoc;

// Connects the document to a location of the settings file through the Connect dialog's own
// logic (TCP/IP, direct serial lines, modem dialing), driving its timers and the engine's
// results from a message queue instead of a window.
class CUnitLink final : private IConnectWindow {
public:
    CUnitLink(CVantrelDoc& document, CSettingsFile& settings, CMessageQueue& queue);

    // Connects to the location named `name`; empty when connected, otherwise why not.
    std::string connect(const std::string& name, const std::atomic<bool>& interrupt);
    // Goes offline as Online > Disconnect does: a modem left off hook is hung up before its
    // port closes.
    void disconnect();

private:
    void driveUntilDone(CConnectDlg& dialog, const std::atomic<bool>& interrupt);
    int nextTimerWaitMs() const;
    void fireDueTimers(CConnectDlg& dialog);

    // IConnectWindow
    void setLocationText(const std::string&) override {}
    void setStatusText(const std::string&) override {}
    void setModemResponse(const std::string&) override {}
    void enableButtons(bool) override {}
    void showAbort(bool) override {}
    void messageBox(const std::string& text) override;
    void startTimer(int id) override;
    void stopTimer(int id) override;
    // The hang-up window's logic, its one tick and its results driven here.
    void runHangUp() override;
    void closeDialog() override { closed_ = true; }

    CVantrelDoc& document_;
    CSettingsFile& settings_;
    CMessageQueue& queue_;
    std::map<int, std::uint32_t> timersDue_; // timer id: tick count of its next tick
    std::string failure_;
    bool closed_ = false;
};
