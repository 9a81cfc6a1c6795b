#pragma once

#include "windows/field_rules.h"

#include <cstdint>
#include <string>

// What the location editor ("Setup Communications") and its "Setup Modem" dialog share: the
// fields the checks of OK can focus and the reading of an integer field under them.

// The fields the checks of OK can send the focus to.
enum class EditorField {
    None,
    Name,
    Retries,
    TcpPort,
    Time1,
    Time2,
    ModbusId,
    ConnectTimeout,
    RedialWait,
    DisconnectAfter,
};

using EditorCheck = FieldCheck<EditorField>;

// Runs one integer check of OK under `rule`; on failure fills `check` with the message and the
// field.
bool checkIntegerField(const std::string& text, std::int32_t& value, EditorField field,
                       EditorCheck& check, IntegerRule rule = {});
