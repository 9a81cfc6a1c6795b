#include "windows/status_bar.h"

#include "config/location.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace {

// Layouts of the connection pane pieces (numbers only, nothing to translate).
constexpr std::string_view kPaneTcpAddress = "IP %d.%d.%d.%d TCP %d";
constexpr std::string_view kPaneTcpDetails = "ID %d  %d,%d,%d";
constexpr std::string_view kPaneSerialDetails = "ID %d  %s,%s,%lld,%lld,%c,  %d,%d,%d";

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
}

} // namespace

int activityBlinkLength(unsigned amount) {
    if (amount <= 10)
        return 10;
    if (amount >= 200)
        return 30;
    return 20;
}

void CActivityIndicator::start(unsigned amount) {
    blinkLength_ = activityBlinkLength(amount);
    counter_ = 0;
}

int CActivityIndicator::tick() {
    if (blinkLength_ == 0)
        return -1;
    int frame = -1;
    if (counter_ == 0)
        frame = 1;
    ++counter_;
    if (counter_ >= blinkLength_) {
        blinkLength_ = 0;
        frame = 0;
    }
    return frame;
}

void CActivityIndicator::reset() {
    blinkLength_ = 0;
    counter_ = 0;
}

IndicatorPlacement placeIndicators(int left, int top, int right, int bottom) {
    ++left;
    ++top;
    --right;
    --bottom;
    const int height = bottom - top;
    const int half = (right - left) / 2;
    return IndicatorPlacement{
        left + 1, right - half - left - 2, left + half + 1, right - (left + half + 1) - 1, top,
        height};
}

std::string connectionPaneText(const ConnectionPaneInput& input) {
    if (!input.online || input.location == nullptr) {
        std::string text(loadString(kIdsOffline));
        if (input.closeError != 0) {
            text += " - ";
            text += loadString(input.closeError);
        }
        return text;
    }
    const CLocation& location = *input.location;
    std::string text = location.name + "   ";
    std::string details;
    if (location.mediaType == MediaType::TcpIp) {
        const std::uint32_t ip = location.ipAddress;
        std::string address = formatText(
            kPaneTcpAddress, static_cast<int>(ip >> 24), static_cast<int>((ip >> 16) & 0xFF),
            static_cast<int>((ip >> 8) & 0xFF), static_cast<int>(ip & 0xFF), location.tcpPort);
        replaceAll(address, ".", input.decimalSeparator);
        text += address;
        details =
            formatText(kPaneTcpDetails, input.modbusId, input.time1, input.time2, input.retries);
    } else {
        if (location.mediaType == MediaType::Modem || location.mediaType == MediaType::Satellite)
            text += location.number;
        // An index outside the lists (a damaged settings file) must not pick up a neighbouring
        // text of the table: the baud rate then shows empty and the parity as "?".
        const bool baudValid = location.baudIndex >= 0 && location.baudIndex < kBaudIndexCount;
        const bool parityValid =
            location.parityIndex >= kParityEven && location.parityIndex <= kParityNone;
        const std::string baud(
            baudValid ? loadString(kBaudTextBase + static_cast<unsigned>(location.baudIndex))
                      : std::string_view{});
        const std::string_view parity =
            parityValid ? loadString(kParityTextBase + static_cast<unsigned>(location.parityIndex))
                        : std::string_view{};
        const char parityLetter = parity.empty() ? '?' : parity.front();
        // Widened so that any stored index, however damaged, prints without overflow.
        details = formatText(kPaneSerialDetails, input.modbusId, location.portName.c_str(),
                             baud.c_str(), static_cast<long long>(location.dataBitsIndex) + 7,
                             static_cast<long long>(location.stopBitsIndex) + 1, parityLetter,
                             input.time1, input.time2, input.retries);
    }
    text += "   ";
    text += details;
    return text;
}
