#include "runner/sequence.h"

#include "protocol/data_types.h"

// The names in files are lower case, without blanks, so that they are easy to type.
const std::vector<NamedValue> kSequenceDataTypes = {
    {"boolean", kDataTypeBoolean}, {"hex8", kDataTypeHex8},     {"int8", kDataTypeInt8},
    {"uint8", kDataTypeUInt8},     {"int16", kDataTypeInt16},   {"uint16", kDataTypeUInt16},
    {"int32", kDataTypeInt32},     {"uint32", kDataTypeUInt32}, {"float", kDataTypeFloat},
    {"double", kDataTypeDouble},   {"string", kDataTypeString},
};

const std::vector<NamedValue> kSequenceAddressing = {
    {"logical", 0},
    {"register", 1},
    {"modicon", 2},
};

const std::vector<NamedValue> kSequenceCheckModes = {
    {"automatic", 0},
    {"user", 1},
    {"none", 2},
};

const std::vector<NamedValue> kSequenceFunctions = {
    {"1", 0}, {"2", 1}, {"3", 2}, {"4", 3},  {"5", 4},
    {"6", 5}, {"7", 6}, {"8", 7}, {"15", 8}, {"16", 9},
};

const char* nameOfValue(const std::vector<NamedValue>& names, int value) {
    for (const NamedValue& n : names)
        if (n.value == value)
            return n.name;
    return nullptr;
}
