#include "windows/temp_comms_dlg.h"

#include "protocol/field_text.h"
#include "resources/string_ids.h"

#include <optional>

unsigned CTempCommsDlg::time1LabelId() const {
    return mediaType == MediaType::TcpIp ? kIdsCommsConnectionTimeout : kIdsCommsInitialCharDelay;
}

unsigned CTempCommsDlg::time2LabelId() const {
    return mediaType == MediaType::TcpIp ? kIdsCommsMessageTimeout : kIdsCommsCharDelay;
}

CTempCommsDlg::Field CTempCommsDlg::readFields(const std::string& retriesText,
                                               const std::string& time1Text,
                                               const std::string& time2Text) {
    const std::optional<int> newRetries = readWholeNumber(retriesText);
    if (!newRetries)
        return Field::Retries;
    const std::optional<int> newTime1 = readWholeNumber(time1Text);
    if (!newTime1)
        return Field::Time1;
    const std::optional<int> newTime2 = readWholeNumber(time2Text);
    if (!newTime2)
        return Field::Time2;
    retries = *newRetries;
    time1 = *newTime1;
    time2 = *newTime2;
    return Field::None;
}
