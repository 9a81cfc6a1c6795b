#include "windows/field_rules.h"

#include "protocol/field_text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

IntegerField readIntegerField(std::string_view text, IntegerRule rule) {
    const std::optional<std::int32_t> value = readWholeNumber(text);
    if (!value)
        return {std::nullopt, std::string(loadString(kIdsEnterInteger))};
    if (rule.ranged && (*value < rule.low || *value > rule.high))
        return {std::nullopt,
                substituteArgs(loadString(kIdsEnterIntegerBetween),
                               {std::to_string(rule.low), std::to_string(rule.high)})};
    return {*value, {}};
}
