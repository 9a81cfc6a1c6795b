#pragma once

#include <cstdint>
#include <string>

// What the location editor ("Setup Communications") and its "Setup Modem" dialog share: the
// reading of integer fields and the outcome of OK with the field that gets the focus.

// Reads an integer field: a whole number with an optional sign and blanks around it. Returns false
// for anything else, an empty text and a number outside 32 bits included.
bool parseFieldInteger(const std::string& text, std::int32_t& value);

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

// The outcome of OK: accepted, or the message to show and the field to focus.
struct FieldCheck {
    bool accepted = true;
    std::string message;
    EditorField focus = EditorField::None;
};

// Runs one integer check of OK; on failure fills `check` with the message and the field.
bool checkIntegerField(const std::string& text, std::int32_t& value, EditorField field,
                       FieldCheck& check);
