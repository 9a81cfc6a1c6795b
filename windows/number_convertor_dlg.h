#pragma once

#include "platform/window_messages.h"
#include "windows/register_table_dlg.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Positions in the Number Convertor's data type list (texts 8052 to 8060 in this order, then the
// 64-bit integers, 13270 and 13271).
enum ConvertorType : int {
    ConvertInt8 = 0,
    ConvertUInt8 = 1,
    ConvertInt16 = 2,
    ConvertUInt16 = 3,
    ConvertInt32 = 4,
    ConvertUInt32 = 5,
    ConvertFloat = 6,
    ConvertDouble = 7,
    ConvertString = 8,
    ConvertInt64 = 9,
    ConvertUInt64 = 10,
};

// Positions in the byte order list (texts 8070 to 8072). Modicon is offered only for Float and
// Double (the 64-bit integers are Motorola or Intel like the other integers); NoOrder means nothing
// is selected, which converts as Motorola.
enum ConvertorOrder : int {
    NoOrder = -1,
    OrderMotorola = 0,
    OrderIntel = 1,
    OrderModicon = 2,
};

enum class ConvertorField { Value, Hexadecimal };

// Outcome of one conversion: 0 and the text for the other field, or the string-table identifier
// of the failure (7016 unreadable input, 7015 unknown data type) and an empty text.
struct ConversionResult {
    unsigned result = 0;
    std::string text;
};

// Turns the value text into the register bytes of `dataType` in `byteOrder`, written as
// two-digit hexadecimal numbers most significant first ("3F 80 00 00"); an ASCII String gives
// each character's byte followed by a blank. Numbers are read with "." as the decimal point
// whatever the locale, from the start of the text, the rest ignored; integers wrap to the width
// of the type ("-1" as a 16-bit value is FF FF). The value text is UTF-8; an ASCII String takes
// one byte per character, so only characters up to U+00FF are accepted.
ConversionResult convertValueToHex(int dataType, int byteOrder, std::string_view valueText);

// Reads the hexadecimal text back into a value of `dataType` in `byteOrder`. Integers and Float
// are one hexadecimal number once the blanks are removed; Double and ASCII String are byte
// groups, separated by blanks when the text holds any, otherwise by `listSeparator`. Fails with
// 7016 when a number or group is not hexadecimal, when it holds more bytes than the type (or a
// group more than one byte), or when a Double is given more than 8 groups. The value of an ASCII
// String is returned as UTF-8, one character per byte.
ConversionResult convertHexToValue(int dataType, int byteOrder, std::string_view hexText,
                                   std::string_view listSeparator);

// What the convertor shows and asks of its window.
class INumberConvertorObserver {
public:
    virtual ~INumberConvertorObserver() = default;
    // A message box with the string-table text of `id`.
    virtual void messageBox(unsigned id) = 0;
    // Put the focus into `field` and select its whole text.
    virtual void focusField(ConvertorField field) = 0;
};

// The Number Convertor's form and its Convert command. Its window copies the widgets into the
// fields before Convert and shows the texts afterwards.
class CNumberConvertorDlg {
public:
    CNumberConvertorDlg(INumberConvertorObserver& observer, std::string listSeparator);

    // The texts of the data type list, in list order.
    static std::vector<unsigned> dataTypeTexts();
    // The texts of the byte order list for the selected data type.
    std::vector<unsigned> byteOrderTexts() const;

    // A new data type was selected: the byte order list is rebuilt and the selected order kept
    // when the new list still has it, otherwise nothing stays selected.
    void selectDataType(int index);

    // Converts from the hexadecimal side when it holds text, otherwise from the value side, and
    // writes the result into the other field. Both fields filled is refused with 7010 and the
    // hexadecimal field focused, so that nothing typed is overwritten. A failure shows its
    // message, focuses the field that was read and leaves the other field unchanged.
    void convert();

    // The register bytes of the last conversion read as each wide type in each order, as the
    // Register Table shows a register's: what the bytes would be had the unit laid them out
    // otherwise. Empty before the first conversion.
    OrderReadings allOrders() const { return readAllOrders(registerBytes_); }

    int dataTypeIndex = ConvertFloat;
    int byteOrderIndex = OrderMotorola;
    std::string valueText;
    std::string hexText;
    WindowHandle opener = 0;

private:
    INumberConvertorObserver& observer_;
    std::string listSeparator_;
    // The bytes of the hexadecimal field after the last conversion, in the order written.
    std::vector<std::uint8_t> registerBytes_;
};
