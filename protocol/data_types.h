#pragma once

#include <vector>

// Data types, addressing modes and byte orders. Each identifier is the string-table number of
// the item's text and serves as the item's value in the lists that offer it.
constexpr int kDataTypeBoolean = 8050;
constexpr int kDataTypeHex8 = 8051;
constexpr int kDataTypeInt8 = 8052;
constexpr int kDataTypeUInt8 = 8053;
constexpr int kDataTypeInt16 = 8054;
constexpr int kDataTypeUInt16 = 8055;
constexpr int kDataTypeInt32 = 8056;
constexpr int kDataTypeUInt32 = 8057;
constexpr int kDataTypeFloat = 8058;
constexpr int kDataTypeDouble = 8059;
constexpr int kDataTypeString = 8060;

constexpr int kAddressingLogical = 8064;
constexpr int kAddressingRegister = 8065;
constexpr int kAddressingModicon = 8066;

constexpr int kByteOrderMotorola = 8070;
constexpr int kByteOrderIntel = 8071;
constexpr int kByteOrderModicon = 8072;

// Longest ASCII String value, in characters.
constexpr int kMaxStringSize = 250;

// The data types a function code offers, in list order, and the one selected by default.
struct DataTypeChoice {
    std::vector<int> types; // empty for function 08 (the list is hidden)
    int defaultType = 0;    // 0 when no type applies
    bool listEnabled = false;
};

// Returns the data types offered for `functionCode` (1-8, 15, 16), or for a user-defined
// function when `userDefined` is set. Unknown codes offer nothing.
DataTypeChoice dataTypeChoice(int functionCode, bool userDefined);
