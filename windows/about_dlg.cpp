#include "windows/about_dlg.h"

#include "resources/string_ids.h"
#include "resources/string_table.h"

std::string aboutVersionLine(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS) {
    const unsigned major = fileVersionMS >> 16;
    const unsigned minor = fileVersionMS & 0xFFFFu;
    if (fileVersionLS != 0)
        return formatString(kIdsVersionFull, major, minor, fileVersionLS >> 16,
                            fileVersionLS & 0xFFFFu);
    return formatString(kIdsVersionShort, major, minor);
}
