#include "protocol/data_types.h"

namespace {

std::vector<int> typeRange(int first, int last) {
    std::vector<int> types;
    for (int id = first; id <= last; ++id)
        types.push_back(id);
    return types;
}

} // namespace

DataTypeChoice dataTypeChoice(int functionCode, bool userDefined) {
    if (userDefined)
        return {{kDataTypeHex8}, kDataTypeHex8, false};
    switch (functionCode) {
    case 1:
    case 2:
    case 5:
    case 15:
        return {{kDataTypeBoolean}, kDataTypeBoolean, false};
    case 3:
    case 4:
        return {typeRange(kDataTypeInt8, kDataTypeString), kDataTypeUInt16, true};
    case 6:
    case 16:
        return {typeRange(kDataTypeHex8, kDataTypeString), kDataTypeUInt16, true};
    case 7:
        return {typeRange(kDataTypeBoolean, kDataTypeUInt8), kDataTypeBoolean, true};
    default:
        return {};
    }
}
