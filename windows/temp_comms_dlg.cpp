#include "windows/temp_comms_dlg.h"

#include "protocol/field_text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <optional>

unsigned CTempCommsDlg::time1LabelId() const {
    return mediaType == MediaType::TcpIp ? kIdsCommsConnectionTimeout : kIdsCommsInitialCharDelay;
}

unsigned CTempCommsDlg::time2LabelId() const {
    return mediaType == MediaType::TcpIp ? kIdsCommsMessageTimeout : kIdsCommsCharDelay;
}

FieldCheck<CTempCommsDlg::Field> CTempCommsDlg::readFields(const std::string& retriesText,
                                                           const std::string& time1Text,
                                                           const std::string& time2Text) {
    const auto refused = [](Field field) {
        return FieldCheck<Field>::refused(field, std::string(loadString(kIdsEnterInteger)));
    };
    const std::optional<int> newRetries = readWholeNumber(retriesText);
    if (!newRetries)
        return refused(Field::Retries);
    const std::optional<int> newTime1 = readWholeNumber(time1Text);
    if (!newTime1)
        return refused(Field::Time1);
    const std::optional<int> newTime2 = readWholeNumber(time2Text);
    if (!newTime2)
        return refused(Field::Time2);
    retries = *newRetries;
    time1 = *newTime1;
    time2 = *newTime2;
    return {};
}
