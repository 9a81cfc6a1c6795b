#include "windows/setup_modem_dlg.h"

#include "config/location.h"

CSetupModemDlg::CSetupModemDlg(const ModemValues& values) : values_(values) {
    showValues();
}

void CSetupModemDlg::showValues() {
    initString = values_.initString;
    connectTimeoutText = std::to_string(values_.connectTimeout);
    redialWaitText = std::to_string(values_.redialWait);
    disconnectAfterText = std::to_string(values_.disconnectAfter);
}

void CSetupModemDlg::setDefaults() {
    const CLocation defaults;
    values_ = {defaults.modemInitString, defaults.connectTimeout, defaults.redialWait,
               defaults.disconnectAfter};
    showValues();
}

EditorCheck CSetupModemDlg::accept() {
    ModemValues read = values_;
    read.initString = initString;
    EditorCheck check;
    if (!checkIntegerField(connectTimeoutText, read.connectTimeout, EditorField::ConnectTimeout,
                           check) ||
        !checkIntegerField(redialWaitText, read.redialWait, EditorField::RedialWait, check) ||
        !checkIntegerField(disconnectAfterText, read.disconnectAfter, EditorField::DisconnectAfter,
                           check))
        return check;
    values_ = read;
    return {};
}
