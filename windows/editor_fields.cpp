#include "windows/editor_fields.h"

bool checkIntegerField(const std::string& text, std::int32_t& value, EditorField field,
                       EditorCheck& check, IntegerRule rule) {
    const IntegerField read = readIntegerField(text, rule);
    if (read.value) {
        value = *read.value;
        return true;
    }
    check = EditorCheck::refused(field, read.message);
    return false;
}
