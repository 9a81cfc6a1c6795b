#include "windows/temp_comms_dlg.h"

#include "resources/string_ids.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

bool parseIntegerField(std::string_view text, int& value) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    std::size_t digitsAt = !text.empty() && (text.front() == '+' || text.front() == '-') ? 1 : 0;
    if (digitsAt >= text.size())
        return false;
    for (std::size_t i = digitsAt; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    const std::string digits(text);
    errno = 0;
    const long long number = std::strtoll(digits.c_str(), nullptr, 10);
    if (errno == ERANGE || number < INT_MIN || number > INT_MAX)
        return false;
    value = static_cast<int>(number);
    return true;
}

unsigned CTempCommsDlg::time1LabelId() const {
    return mediaType == MediaType::TcpIp ? kIdsCommsConnectionTimeout : kIdsCommsInitialCharDelay;
}

unsigned CTempCommsDlg::time2LabelId() const {
    return mediaType == MediaType::TcpIp ? kIdsCommsMessageTimeout : kIdsCommsCharDelay;
}

CTempCommsDlg::Field CTempCommsDlg::readFields(const std::string& retriesText,
                                               const std::string& time1Text,
                                               const std::string& time2Text) {
    int newRetries = 0;
    int newTime1 = 0;
    int newTime2 = 0;
    if (!parseIntegerField(retriesText, newRetries))
        return Field::Retries;
    if (!parseIntegerField(time1Text, newTime1))
        return Field::Time1;
    if (!parseIntegerField(time2Text, newTime2))
        return Field::Time2;
    retries = newRetries;
    time1 = newTime1;
    time2 = newTime2;
    return Field::None;
}
