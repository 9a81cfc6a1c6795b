#include "windows/find_unit_plan.h"

#include "comms/client_socket.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <algorithm>
#include <optional>

namespace {

// Baud indexes from the most to the least common: 9600, 19200, 38400, 115200, 57600, then the
// slower rates from the fastest down.
constexpr std::array<int, kBaudIndexCount> kBaudOrder = {5, 6, 7, 9, 8, 4, 3, 2, 1, 0};
// Parity indexes: none, even, odd.
constexpr std::array<int, kParityIndexCount> kParityOrder = {kParityNone, kParityEven, kParityOdd};
// The IDs units leave the factory with, tried at every setting before the rest; gateways add 255.
constexpr std::array<int, 3> kLikelySerialIds = {1, 2, 247};
constexpr std::array<int, 4> kLikelyTcpIds = {1, 255, 2, 247};
constexpr std::int64_t kMsPerSecond = 1000;
constexpr std::int64_t kSecondsPerMinute = 60;

using Check = FieldCheck<FindField>;

void addSerialSettings(const FindForm& form, FindFraming framing, FindPlan& plan) {
    for (const int baud : kBaudOrder) {
        if (!form.baudRates[static_cast<std::size_t>(baud)])
            continue;
        for (int stop = 0; stop < kStopBitsIndexCount; ++stop) {
            if (!form.stopBits[static_cast<std::size_t>(stop)])
                continue;
            for (const int parity : kParityOrder) {
                if (form.parities[static_cast<std::size_t>(parity)])
                    plan.settings.push_back({framing, baud, parity, stop, 0});
            }
        }
    }
}

template <std::size_t N>
void splitIds(const std::array<int, N>& likely, int first, int last, FindPlan& plan) {
    for (const int id : likely) {
        if (id >= first && id <= last)
            plan.likelyIds.push_back(id);
    }
    for (int id = first; id <= last; ++id) {
        if (std::find(plan.likelyIds.begin(), plan.likelyIds.end(), id) == plan.likelyIds.end())
            plan.otherIds.push_back(id);
    }
}

// Reads the ID range and the time-out, which both media share.
Check checkCommonFields(const FindForm& form, int lowest, int highest, FindPlan& plan) {
    const IntegerField first = readIntegerField(form.firstIdText, integerBetween(lowest, highest));
    if (!first.value)
        return Check::refused(FindField::FirstId, first.message);
    const IntegerField last = readIntegerField(form.lastIdText, integerBetween(lowest, highest));
    if (!last.value)
        return Check::refused(FindField::LastId, last.message);
    if (*first.value > *last.value)
        return Check::refused(FindField::LastId, std::string(loadString(kIdsFindIdOrder)));
    const IntegerField timeout =
        readIntegerField(form.timeoutText, integerBetween(kFindTimeoutMinMs, kFindTimeoutMaxMs));
    if (!timeout.value)
        return Check::refused(FindField::Timeout, timeout.message);
    plan.timeoutMs = *timeout.value;
    plan.stopAtFirst = form.stopAtFirst;
    if (form.medium == FindMedium::Serial)
        splitIds(kLikelySerialIds, *first.value, *last.value, plan);
    else
        splitIds(kLikelyTcpIds, *first.value, *last.value, plan);
    return {};
}

Check checkSerialForm(const FindForm& form, FindPlan& plan) {
    auto none = [](const auto& boxes) {
        return std::none_of(boxes.begin(), boxes.end(), [](bool on) { return on; });
    };
    if (form.portName.empty())
        return Check::refused(FindField::Port, std::string(loadString(kIdsFindNoPort)));
    if (!form.rtu && !form.ascii)
        return Check::refused(FindField::Framings, std::string(loadString(kIdsFindNoFraming)));
    if (none(form.baudRates))
        return Check::refused(FindField::BaudRates, std::string(loadString(kIdsFindNoBaud)));
    if (none(form.parities))
        return Check::refused(FindField::Parities, std::string(loadString(kIdsFindNoParity)));
    if (none(form.stopBits))
        return Check::refused(FindField::StopBits, std::string(loadString(kIdsFindNoStopBits)));
    if (const Check common = checkCommonFields(form, kFindSerialFirstId, kFindSerialLastId, plan);
        !common.accepted)
        return common;
    plan.portName = form.portName;
    if (form.rtu)
        addSerialSettings(form, FindFraming::Rtu, plan);
    if (form.ascii)
        addSerialSettings(form, FindFraming::Ascii, plan);
    return {};
}

// The other ports: numbers separated by blanks or commas; nothing when one of them is not a port.
std::optional<std::vector<int>> readPortList(const std::string& text) {
    std::vector<int> ports;
    std::string word;
    auto take = [&] {
        if (word.empty())
            return true;
        const IntegerField port = readIntegerField(word, integerBetween(1, kFindTcpPortMax));
        word.clear();
        if (!port.value)
            return false;
        ports.push_back(*port.value);
        return true;
    };
    for (const char c : text) {
        if (c == ' ' || c == ',' || c == ';' || c == '\t') {
            if (!take())
                return std::nullopt;
        } else {
            word += c;
        }
    }
    if (!take())
        return std::nullopt;
    return ports;
}

Check checkTcpForm(const FindForm& form, FindPlan& plan) {
    if (form.ipAddress == 0)
        return Check::refused(FindField::Address, std::string(loadString(kIdsFindNoAddress)));
    const IntegerField port =
        readIntegerField(form.tcpPortText, integerBetween(1, kFindTcpPortMax));
    if (!port.value)
        return Check::refused(FindField::TcpPort, port.message);
    const std::optional<std::vector<int>> others = readPortList(form.otherPortsText);
    if (!others)
        return Check::refused(FindField::OtherPorts, std::string(loadString(kIdsFindBadPortList)));
    if (!form.modbusTcp && !form.rtuOverTcp)
        return Check::refused(FindField::Framings, std::string(loadString(kIdsFindNoFraming)));
    if (const Check common = checkCommonFields(form, kFindTcpFirstId, kFindTcpLastId, plan);
        !common.accepted)
        return common;
    plan.ipAddress = form.ipAddress;
    std::vector<int> ports{*port.value};
    for (const int other : *others) {
        if (std::find(ports.begin(), ports.end(), other) == ports.end())
            ports.push_back(other);
    }
    for (const int tcpPort : ports) {
        if (form.modbusTcp)
            plan.settings.push_back({FindFraming::ModbusTcp, 0, 0, 0, tcpPort});
        if (form.rtuOverTcp)
            plan.settings.push_back({FindFraming::RtuOverTcp, 0, 0, 0, tcpPort});
    }
    return {};
}

unsigned framingTextId(FindFraming framing) {
    switch (framing) {
    case FindFraming::Ascii:
        return kModbusTypeTextBase + static_cast<unsigned>(ModbusType::Ascii);
    case FindFraming::ModbusTcp:
        return kModbusTypeTextBase + static_cast<unsigned>(ModbusType::ModbusTcp);
    case FindFraming::RtuOverTcp:
        return kIdsFindRtuOverTcp;
    case FindFraming::Rtu:
        break;
    }
    return kModbusTypeTextBase + static_cast<unsigned>(ModbusType::Rtu);
}

} // namespace

int FindPlan::probeCount() const {
    return static_cast<int>(settings.size() * (likelyIds.size() + otherIds.size()));
}

FindProbe FindPlan::probe(int index) const {
    const auto at = static_cast<std::size_t>(index);
    const std::size_t firstPass = settings.size() * likelyIds.size();
    const bool likely = at < firstPass;
    const std::vector<int>& ids = likely ? likelyIds : otherIds;
    const std::size_t within = likely ? at : at - firstPass;
    return {settings[within / ids.size()], ids[within % ids.size()]};
}

FindCheck checkFindForm(const FindForm& form) {
    FindCheck result;
    result.plan.medium = form.medium;
    result.check = form.medium == FindMedium::Serial ? checkSerialForm(form, result.plan)
                                                     : checkTcpForm(form, result.plan);
    return result;
}

void setFindMedium(FindForm& form, FindMedium medium) {
    if (form.medium == medium)
        return;
    form.medium = medium;
    const bool serial = medium == FindMedium::Serial;
    form.firstIdText = std::to_string(serial ? kFindSerialFirstId : kFindTcpFirstId);
    form.lastIdText = std::to_string(serial ? kFindSerialLastId : kFindTcpLastId);
}

std::string durationText(std::int64_t milliseconds) {
    const std::int64_t seconds =
        (std::max<std::int64_t>(milliseconds, 0) + kMsPerSecond - 1) / kMsPerSecond;
    if (seconds < kSecondsPerMinute)
        return formatString(kIdsFindSeconds, static_cast<int>(seconds));
    return formatString(kIdsFindMinutes, static_cast<int>(seconds / kSecondsPerMinute),
                        static_cast<int>(seconds % kSecondsPerMinute));
}

std::string sweepLengthText(const FindPlan& plan) {
    const std::int64_t total = std::int64_t{plan.probeCount()} * plan.timeoutMs;
    return formatString(kIdsFindSweepLength, plan.probeCount(), plan.timeoutMs,
                        durationText(total));
}

std::string settingText(const FindPlan& plan, const FindSetting& setting) {
    const std::string framing(loadString(framingTextId(setting.framing)));
    if (!setting.serial())
        return formatString(kIdsFindTcpSetting, dottedAddress(plan.ipAddress), setting.tcpPort,
                            framing);
    const std::string baud(loadString(kBaudTextBase + static_cast<unsigned>(setting.baudIndex)));
    const std::string parity(
        loadString(kIdsFindParityLetters + static_cast<unsigned>(setting.parityIndex)));
    const std::string stop(
        loadString(kIdsFindStopBitsText + static_cast<unsigned>(setting.stopBitsIndex)));
    return formatString(kIdsFindSerialSetting, plan.portName, baud,
                        dataBitsFromIndex(setting.dataBitsIndex()), parity, stop, framing);
}
