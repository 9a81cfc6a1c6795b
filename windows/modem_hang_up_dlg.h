#pragma once

#include "comms/modem_commands.h"
#include "comms/modem_hangup.h"

#include <string>

class CVantrelDoc;

// What the modem hang-up window's logic shows and asks of its window.
class IModemHangUpWindow {
public:
    virtual ~IModemHangUpWindow() = default;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setModemResponse(const std::string& text) = 0;
    // Starts or stops the one-shot timer of CModemHangUpDlg::kTimerHangUpMs.
    virtual void startTimer() = 0;
    virtual void stopTimer() = 0;
    // Closes the window as accepted.
    virtual void closeDialog() = 0;
};

// "Disconnecting Modem...": hangs the modem up (CModemHangUp) and, once the modem is on hook,
// marks the document's modem no longer connected and closes the window. The window cannot be
// closed before that, so the modem is never left off hook. Runs on the user-interface thread;
// its window forwards the timer tick and WM_COMMS_RESULT.
class CModemHangUpDlg : private IModemHangUpObserver {
public:
    // Timer 2: one tick, a second after the window opens.
    static constexpr int kTimerHangUpMs = 1000;

    // `notifyWindow` receives the results of the modem commands.
    CModemHangUpDlg(CVantrelDoc& document, IModemHangUpWindow& window, IModemJobQueue& jobs,
                    WindowHandle notifyWindow);

    // Shows the opening texts, then "Hanging up...", and starts the timer.
    void open();
    void onTimer() { hangUp_.onTimer(); }
    void onCommsResult(WParam wParam, LParam lParam) { hangUp_.onCommsResult(wParam, lParam); }
    // Closing is allowed only once the hang-up sequence has ended.
    bool canClose() const { return hangUp_.finished(); }

private:
    // IModemHangUpObserver
    void statusText(const std::string& text) override;
    void modemResponse(const std::string& line) override;
    void stopTimer() override;
    void hungUp() override;

    CVantrelDoc& document_;
    IModemHangUpWindow& window_;
    // Owns the buffers the comms thread fills for the modem commands.
    CModemHangUp hangUp_;
};
