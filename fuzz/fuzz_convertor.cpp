// Feeds arbitrary texts through the Number Convertor in both directions, with every data type
// and byte order and both kinds of group separator, and checks that what it writes reads back.

#include "windows/number_convertor_dlg.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    // One type and one order beyond each end of the lists, so that bad indexes are tried too.
    const int type = data[0] % 13 - 1;
    const int order = data[1] % 5 - 1;
    const std::string_view separator = (data[0] & 0x80) != 0 ? ";" : ",";
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    const ConversionResult hex = convertValueToHex(type, order, text);
    if (hex.result == 0) {
        // Bytes the convertor wrote always read back as a value of the same type.
        const ConversionResult back = convertHexToValue(type, order, hex.text, separator);
        if (back.result != 0 && !hex.text.empty())
            std::abort();
    }

    const ConversionResult value = convertHexToValue(type, order, text, separator);
    if (value.result == 0 && type == ConvertString) {
        // A string read from bytes gives the same bytes again.
        const ConversionResult again = convertValueToHex(type, order, value.text);
        const ConversionResult reread = convertHexToValue(type, order, again.text, separator);
        if (again.result != 0 || reread.text != value.text)
            std::abort();
    }
    return 0;
}
