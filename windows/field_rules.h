#pragma once

#include <optional>
#include <string>
#include <string_view>

// What the windows' checks share: the outcome of a check with the field that gets the focus, and
// the reading of integer fields with their messages.

// The outcome of a window's check: accepted, or the message to show and the field to focus.
template <typename Field> struct FieldCheck {
    bool accepted = true;
    std::string message;
    Field focus{};

    static FieldCheck refused(Field field, std::string text) {
        return {false, std::move(text), field};
    }
};

// What an integer field takes: any whole number in 32 bits, or one between two bounds.
struct IntegerRule {
    bool ranged = false;
    int low = 0;
    int high = 0;
};

constexpr IntegerRule integerBetween(int low, int high) {
    return {true, low, high};
}

// The result of reading an integer field: a value, or the message that refuses it.
struct IntegerField {
    std::optional<int> value;
    std::string message; // empty when the value is accepted
};

// Reads a whole number with optional sign and surrounding blanks ("Please enter an integer."
// otherwise); a ranged rule refuses a number outside it with "Please enter an integer between
// low and high.".
IntegerField readIntegerField(std::string_view text, IntegerRule rule = {});
