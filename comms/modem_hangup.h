#pragma once

#include "comms/modem_commands.h"
#include "protocol/modbus_message.h"

#include <cstdint>
#include <string>

// What the hang-up shows and asks of its window (the modem hang-up dialog) and the document.
class IModemHangUpObserver {
public:
    virtual ~IModemHangUpObserver() = default;
    virtual void statusText(const std::string& text) = 0;
    virtual void modemResponse(const std::string& line) = 0;
    // Stop the one-shot timer (timer 2).
    virtual void stopTimer() = 0;
    // The modem is on hook: the document's modem is no longer connected; close the dialog.
    virtual void hungUp() = 0;
};

// Hangs a modem up: "+++" to reach command mode (repeated until the modem answers it in a way
// that shows it is in command mode or the job fails), then "ATH\r". Runs on the user-interface
// thread, driven by its window's timer 2 (one tick, 1000 ms after open) and WM_COMMS_RESULT.
class CModemHangUp {
public:
    CModemHangUp(IModemJobQueue& jobs, CModbusMessage& message, IModemHangUpObserver& observer,
                 WindowHandle notifyWindow);

    // Shows "Hanging up..."; the caller then starts timer 2.
    void open();
    void onTimer();
    void onCommsResult(WParam wParam, LParam lParam);

    bool finished() const { return finished_; }
    int retryCount() const { return retryCount_; }
    bool escapeSent() const { return commandIsEscape_; }

private:
    void queueCommand();

    IModemJobQueue& jobs_;
    CModbusMessage& message_;
    IModemHangUpObserver& observer_;
    WindowHandle window_;
    bool ticked_ = false;
    bool finished_ = false;
    bool commandIsEscape_ = true;
    std::int32_t savedRetries_ = 0;
    int retryCount_ = 0;
    int escapeCount_ = 0;
    static constexpr int kMaxEscapes = 3;
    std::uint8_t command_[8] = {};
    std::uint16_t commandLength_ = 0;
    std::uint8_t response_[kFrameBufferSize] = {};
    std::uint16_t responseLength_ = 0;
};
