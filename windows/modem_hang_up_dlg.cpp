#include "windows/modem_hang_up_dlg.h"

#include "comms/comms_context.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "windows/vantrel_doc.h"

CModemHangUpDlg::CModemHangUpDlg(CVantrelDoc& document, IModemHangUpWindow& window,
                                 IModemJobQueue& jobs, WindowHandle notifyWindow)
    : document_(document), window_(window), hangUp_(jobs, document.message(), *this, notifyWindow) {
}

void CModemHangUpDlg::open() {
    window_.setStatusText(std::string(loadString(kIdsHangUpStatus)));
    window_.setModemResponse(std::string(loadString(kIdsHangUpModemResponse)));
    hangUp_.open();
    window_.startTimer();
}

void CModemHangUpDlg::statusText(const std::string& text) {
    window_.setStatusText(text);
}

void CModemHangUpDlg::modemResponse(const std::string& line) {
    window_.setModemResponse(line);
}

void CModemHangUpDlg::stopTimer() {
    window_.stopTimer();
}

void CModemHangUpDlg::hungUp() {
    document_.context().modemConnected = 0;
    window_.closeDialog();
}
