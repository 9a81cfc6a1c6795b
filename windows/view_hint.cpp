#include "windows/view_hint.h"

#include "resources/string_ids.h"
#include "resources/string_table.h"

std::string viewHintText(bool online, const std::string& locationName) {
    if (!online)
        return std::string(loadString(kIdsViewHintOffline));
    return substituteArgs(loadString(kIdsViewHintOnline), {locationName});
}
