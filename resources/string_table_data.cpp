#include "resources/string_table_data.h"

using namespace std::string_view_literals;

const StringEntry kStringTable[] = {
    {5003, "Modbus message size exceeds limit!"sv},
};

const std::size_t kStringTableSize = sizeof(kStringTable) / sizeof(kStringTable[0]);
