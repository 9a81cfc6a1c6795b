#include "comms/modem_hangup.h"

#include "comms/comms_job.h"
#include "resources/string_table.h"

#include <algorithm>
#include <cstring>

CModemHangUp::CModemHangUp(IModemJobQueue& jobs, CModbusMessage& message,
                           IModemHangUpObserver& observer, WindowHandle notifyWindow)
    : jobs_(jobs), message_(message), observer_(observer), window_(notifyWindow) {}

void CModemHangUp::open() {
    observer_.statusText(std::string(loadString(5057)));
}

void CModemHangUp::queueCommand() {
    const std::string_view text = commandIsEscape_ ? kModemEscape : kModemHangUp;
    std::memcpy(command_, text.data(), text.size());
    commandLength_ = static_cast<std::uint16_t>(text.size());
    responseLength_ = 0;
    if (jobs_.queueModemCommand(command_, &commandLength_, response_, &responseLength_, window_) !=
        0) {
        // No result will ever come for a refused job: end here rather than wait for ever.
        message_.retries = savedRetries_;
        finished_ = true;
        observer_.statusText(std::string(loadString(5056)));
        observer_.hungUp();
    }
}

void CModemHangUp::onTimer() {
    observer_.stopTimer();
    if (ticked_)
        return;
    ticked_ = true;
    savedRetries_ = message_.retries;
    message_.retries = 0;
    message_.time1 = 3000;
    commandIsEscape_ = true;
    retryCount_ = 0;
    escapeCount_ = 0;
    queueCommand();
}

void CModemHangUp::onCommsResult(WParam wParam, LParam lParam) {
    if (finished_ || !ticked_)
        return;
    message_.retries = savedRetries_;
    const ModemAnswer answer =
        readModemAnswer(response_, std::min<int>(responseLength_, kFrameBufferSize));
    observer_.modemResponse(answer.line);
    if (wParam == static_cast<WParam>(JobType::Retrying)) {
        ++retryCount_;
        observer_.statusText(formatString(5061, retryCount_));
        return;
    }
    if (lParam != 0)
        observer_.statusText(std::string(loadString(static_cast<unsigned>(lParam))));
    if (commandIsEscape_) {
        const char rc = answer.resultChar;
        if (answer.contains("OK") || rc == '0' || answer.contains("+++") || lParam != 0 ||
            answer.contains("NO CARRIER") || rc == '3') {
            observer_.statusText(std::string(loadString(5057)));
            commandIsEscape_ = false;
            retryCount_ = 0;
        } else if (++escapeCount_ >= kMaxEscapes) {
            // A modem that keeps answering something else would hold the dialog open for ever;
            // the hang-up command is the last thing worth trying.
            commandIsEscape_ = false;
        }
        queueCommand();
        return;
    }
    finished_ = true;
    observer_.statusText(std::string(loadString(5056)));
    observer_.hungUp();
}
