#include "comms/modem_dialer.h"

#include "comms/comms_job.h"
#include "platform/clock.h"
#include "resources/string_table.h"

#include <algorithm>
#include <cstring>

CModemDialer::CModemDialer(IModemJobQueue& jobs, CModbusMessage& message,
                           IModemDialObserver& observer, WindowHandle notifyWindow)
    : jobs_(jobs), message_(message), observer_(observer), window_(notifyWindow) {}

void CModemDialer::start(const ModemDialSettings& settings) {
    settings_ = settings;
    message_.modbusId = settings.modbusId;
    callPlaced = 0;
    enterState(DialInitSent);
}

void CModemDialer::send(const std::string& command) {
    const std::size_t n = std::min(command.size(), sizeof command_);
    std::memcpy(command_, command.data(), n);
    commandLength_ = static_cast<std::uint16_t>(n);
    responseLength_ = 0;
    if (const int result = jobs_.queueModemCommand(command_, &commandLength_, response_,
                                                   &responseLength_, window_);
        result != 0) {
        // A refused job never produces a result; treat it as the failed command it is. Code 1
        // (the comms thread is stopping) has no text.
        if (result != 1)
            observer_.messageBox(static_cast<unsigned>(result));
        enterState(DialFailed);
    }
}

void CModemDialer::enterState(int state) {
    dialState = state;
    switch (state) {
    case DialInitSent:
        message_.time1 = settings_.time1;
        message_.time2 = settings_.time2;
        redialCount = 0;
        send(modemInitCommand(settings_.initString));
        break;
    case DialDialSent:
        message_.time1 = settings_.connectTimeout * 1000 + dialAnswerMarginMs;
        message_.time2 = settings_.time2;
        observer_.statusText(formatString(5049, settings_.number.c_str()));
        elapsed = 0;
        callPlaced = 1;
        observer_.showAbort(true);
        send(modemDialCommand(settings_.number));
        break;
    case DialRedialWait:
        callPlaced = 0;
        elapsed = 0;
        redialCountdown = settings_.redialWait;
        break;
    case DialConnectWait:
        elapsed = 0;
        connectLimit = settings_.connectTimeout;
        break;
    case DialFailed:
        stopDialing();
        break;
    default:
        break;
    }
}

void CModemDialer::stopDialing() {
    observer_.goOffline();
    message_.time2 = settings_.time2;
    if (callPlaced) {
        callPlaced = 0;
        observer_.runHangUp();
    }
    observer_.closePort();
    observer_.statusText(std::string(loadString(5056)));
    observer_.showAbort(false);
    observer_.dialingStopped();
}

void CModemDialer::onCommsResult(WParam wParam, LParam lParam) {
    if (wParam == static_cast<WParam>(JobType::Retrying))
        return;
    const ModemAnswer answer =
        readModemAnswer(response_, std::min<int>(responseLength_, kFrameBufferSize));
    observer_.modemResponse(answer.line);
    if (lParam != 0)
        observer_.messageBox(static_cast<unsigned>(lParam));
    const char rc = answer.resultChar;
    switch (dialState) {
    case DialInitSent:
        if (answer.contains("OK") || rc == '0') {
            elapsed = 0;
            enterState(DialDialSent);
        } else {
            enterState(DialFailed);
        }
        break;
    case DialDialSent:
    case DialConnectWait:
        if (answer.contains("CONNECT") || rc == '1' || rc == '5') {
            sleepMs(connectSettleMs);
            dialState = DialIdle;
            observer_.connected(settings_.disconnectAfter * 60000);
        } else if (answer.contains("BUSY") || rc == '7' || answer.contains("NO ANSWER") ||
                   rc == '8') {
            ++redialCount;
            enterState(redialCount > settings_.retries ? DialFailed : DialRedialWait);
        } else {
            enterState(DialFailed);
        }
        break;
    default:
        break;
    }
}

void CModemDialer::onTimer() {
    ++elapsed;
    switch (dialState) {
    case DialDialSent:
        if (elapsed >= 3)
            enterState(DialConnectWait);
        break;
    case DialRedialWait: {
        observer_.statusText(formatString(5059, redialCountdown));
        const int before = redialCountdown--;
        // A redial wait of 0 seconds redials on the next tick instead of never.
        if (before <= 1)
            enterState(DialDialSent);
        break;
    }
    case DialConnectWait:
        observer_.statusText(formatString(5048, elapsed));
        if (elapsed > connectLimit) {
            observer_.stopTimer();
            enterState(DialFailed);
            observer_.messageBox(5054);
            observer_.statusText(std::string(loadString(5054)));
        }
        break;
    default:
        break;
    }
}

void CModemDialer::abort() {
    dialState = DialIdle;
    observer_.stopTimer();
    observer_.statusText(std::string(loadString(5060)));
    jobs_.abortCurrentJob();
    observer_.showAbort(false);
    stopDialing();
}
