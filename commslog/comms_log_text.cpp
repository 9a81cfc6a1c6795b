#include "commslog/comms_log_text.h"

#include "resources/string_table.h"

#include <ctime>

namespace {

constexpr std::string_view kDesignatorLetters = "aApPmM";
constexpr std::size_t kMaxTimeText = 128;
constexpr char kHexDigits[] = "0123456789ABCDEF";
// Two digits and a blank.
constexpr std::size_t kHexCharsPerByte = 3;
// The time separator and the milliseconds, e.g. ":045".
constexpr std::string_view kMillisecondFormat = "%s%03d";

std::string formatTime(const std::string& format, const std::tm& local) {
    if (format.empty())
        return {};
    char buffer[kMaxTimeText];
    const std::size_t length = std::strftime(buffer, sizeof buffer, format.c_str(), &local);
    return std::string(buffer, length);
}

} // namespace

std::string insertMilliseconds(std::string_view timeText, std::string_view millisecondText) {
    const std::size_t letter = timeText.find_first_of(kDesignatorLetters);
    std::string text(timeText);
    if (letter == std::string_view::npos || letter == 0)
        text.append(millisecondText);
    else if (timeText[letter - 1] == ' ')
        text.insert(letter - 1, millisecondText);
    else // a designator right after the seconds: the seconds stay whole
        text.insert(letter, millisecondText);
    return text;
}

const CCommsLogText::TimeParts& CCommsLogText::timeParts(std::int32_t time) {
    if (cached_ && cachedTime_ == time)
        return cachedParts_;
    const std::time_t seconds = time;
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        local = std::tm{};
    const std::string timeOfDay = formatTime(format_.timeFormat, local);
    const std::string date = formatTime(format_.dateFormat, local);
    // A marker stands for the millisecond text so that the insertion rule splits the time once.
    const std::string marked = insertMilliseconds(timeOfDay, std::string(1, '\0'));
    const std::size_t split = marked.find('\0');
    cachedParts_.beforeMilliseconds = marked.substr(0, split);
    cachedParts_.afterMilliseconds = marked.substr(split + 1) + " " + date;
    cachedTime_ = time;
    cached_ = true;
    return cachedParts_;
}

std::string CCommsLogText::millisecondText(unsigned milliseconds) const {
    return formatText(kMillisecondFormat, format_.timeSeparator, milliseconds);
}

std::string CCommsLogText::timeText(std::int32_t time, unsigned milliseconds) {
    const TimeParts& parts = timeParts(time);
    return parts.beforeMilliseconds + millisecondText(milliseconds) + parts.afterMilliseconds;
}

std::string CCommsLogText::indexText(int index) {
    return std::to_string(index);
}

std::string_view CCommsLogText::typeText(unsigned type) {
    switch (static_cast<CommsLogType>(type)) {
    case CommsLogType::Connected:
        return loadString(kIdsLogTypeConnected);
    case CommsLogType::Tx:
        return loadString(kIdsLogTypeTx);
    case CommsLogType::Rx:
        return loadString(kIdsLogTypeRx);
    case CommsLogType::Disconnected:
        return loadString(kIdsLogTypeDisconnected);
    case CommsLogType::Error:
        return loadString(kIdsLogTypeError);
    case CommsLogType::Reconnected:
        return loadString(kIdsLogTypeReconnected);
    case CommsLogType::RxFlush:
        return loadString(kIdsLogTypeRxFlush);
    case CommsLogType::Finding:
        return loadString(kIdsLogTypeFinding);
    }
    return loadString(kIdsLogTypeUnknown);
}

bool CCommsLogText::carriesText(const CCommsLogRecord& record) {
    return record.type == static_cast<std::uint16_t>(CommsLogType::Error) ||
           record.type == static_cast<std::uint16_t>(CommsLogType::Finding);
}

std::string CCommsLogText::sizeText(const CCommsLogRecord& record) {
    if (carriesText(record))
        return "0";
    return std::to_string(record.size);
}

std::uint32_t CCommsLogText::errorCode(const CCommsLogRecord& record) {
    std::uint32_t code = 0;
    const unsigned bytes = record.size < 4 ? record.size : 4;
    for (unsigned i = 0; i < bytes; ++i)
        code |= static_cast<std::uint32_t>(record.data[i]) << (8 * i);
    return code;
}

std::string CCommsLogText::messageText(const CCommsLogRecord& record) {
    if (carriesText(record))
        return std::string(loadString(errorCode(record)));
    const std::size_t length = hexMessageLength(record);
    std::string text(length, ' ');
    for (std::size_t at = 0; at < length; ++at)
        text[at] = hexMessageChar(record, at);
    return text;
}

std::size_t CCommsLogText::hexMessageLength(const CCommsLogRecord& record) {
    return kHexCharsPerByte * record.size;
}

char CCommsLogText::hexMessageChar(const CCommsLogRecord& record, std::size_t at) {
    const std::uint8_t byte = record.data[at / kHexCharsPerByte];
    switch (at % kHexCharsPerByte) {
    case 0:
        return kHexDigits[byte >> 4];
    case 1:
        return kHexDigits[byte & 0x0F];
    default:
        return ' ';
    }
}

std::string CCommsLogText::cellText(const CCommsLogRecord& record, int index, int column) {
    switch (column) {
    case 0:
        return indexText(index);
    case 1:
        return timeText(record.time, record.milliseconds);
    case 2:
        return std::string(typeText(record.type));
    case 3:
        return sizeText(record);
    case 4:
        return messageText(record);
    default:
        return {};
    }
}
