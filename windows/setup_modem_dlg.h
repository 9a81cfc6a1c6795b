#pragma once

#include "windows/editor_fields.h"

#include <cstdint>
#include <string>

// The four modem values edited by "Setup Modem".
struct ModemValues {
    std::string initString;
    std::int32_t connectTimeout = 0;
    std::int32_t redialWait = 0;
    std::int32_t disconnectAfter = 0;
};

// "Setup Modem", opened from the location editor: the modem's initialization string and its
// three times, the Defaults button and the checks of OK.
class CSetupModemDlg {
public:
    explicit CSetupModemDlg(const ModemValues& values);

    // Defaults: the modem defaults of a new location.
    void setDefaults();
    // OK: the three numbers must be integers, checked in the order of the fields.
    EditorCheck accept();

    const ModemValues& values() const { return values_; }

    std::string initString;
    std::string connectTimeoutText;
    std::string redialWaitText;
    std::string disconnectAfterText;

private:
    void showValues();

    ModemValues values_;
};
