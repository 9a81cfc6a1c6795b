#pragma once

#include "comms/modem_commands.h"
#include "protocol/modbus_message.h"

#include <cstdint>
#include <string>

// The parts of a modem location the dialer needs.
struct ModemDialSettings {
    std::string initString = "AT &F E0 M1";
    std::string number;
    int connectTimeout = 60;  // seconds
    int redialWait = 10;      // seconds
    int disconnectAfter = 15; // minutes
    int retries = 2;          // most redials
    int time1 = 2000;
    int time2 = 2000;
    std::uint8_t modbusId = 1;
};

// What the dialing shows and asks of its window (the Connect dialog) and the document.
class IModemDialObserver {
public:
    virtual ~IModemDialObserver() = default;
    virtual void statusText(const std::string& text) = 0;
    // A message box with the string-table text of `id`.
    virtual void messageBox(unsigned id) = 0;
    virtual void modemResponse(const std::string& line) = 0;
    virtual void showAbort(bool visible) = 0;
    // Stop the dialing timer (timer 1).
    virtual void stopTimer() = 0;
    // CONNECT: reset the document's modem idle time, set its idle limit to idleLimitMs and mark
    // the modem connected, then finish the dialog as connected.
    virtual void connected(std::int32_t idleLimitMs) = 0;
    // Stopping: the document goes offline.
    virtual void goOffline() = 0;
    // Stopping with a call placed: run the hang-up dialog to its end (modally).
    virtual void runHangUp() = 0;
    // Stopping: the document's modem is no longer connected; close the serial port.
    virtual void closePort() = 0;
    // Stopping is complete: Connect and Cancel become available again.
    virtual void dialingStopped() = 0;
};

enum DialState : int {
    DialIdle = 0,
    DialInitSent = 1,
    DialDialSent = 2,
    DialRedialWait = 3,
    DialConnectWait = 4,
    DialFailed = 5,
};

// Initialises the modem, dials, redials after BUSY or NO ANSWER, and gives up after the redials
// or the connect limit. Runs on the user-interface thread: its window drives it with the timer-1
// ticks (every 1000 ms) and the WM_COMMS_RESULT messages of the jobs it queues.
class CModemDialer {
public:
    CModemDialer(IModemJobQueue& jobs, CModbusMessage& message, IModemDialObserver& observer,
                 WindowHandle notifyWindow);

    // Starts dialing on an open port: sets the Modbus ID and sends the initialisation command.
    // The caller starts timer 1.
    void start(const ModemDialSettings& settings);
    void onTimer();
    void onCommsResult(WParam wParam, LParam lParam);
    // The Abort button: stops the timer, aborts the running job and stops dialing.
    void abort();

    int dialState = DialIdle;
    int callPlaced = 0;
    int elapsed = 0;
    int connectLimit = 0;
    int redialCountdown = 0;
    int redialCount = 0;
    // The pause after CONNECT before the link is used.
    int connectSettleMs = 1000;
    // How much longer than the connect limit the comms thread waits for the dial's answer.
    int dialAnswerMarginMs = 3000;

private:
    void enterState(int state);
    void send(const std::string& command);
    void stopDialing();

    IModemJobQueue& jobs_;
    CModbusMessage& message_;
    IModemDialObserver& observer_;
    WindowHandle window_;
    ModemDialSettings settings_;
    std::uint8_t command_[kFrameBufferSize] = {};
    std::uint16_t commandLength_ = 0;
    std::uint8_t response_[kFrameBufferSize] = {};
    std::uint16_t responseLength_ = 0;
};
