#include "config/demo_locations.h"

#include "config/settings_file.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <cerrno>
#include <cstdint>
#include <sys/stat.h>

namespace {

constexpr std::uint32_t kLoopbackAddress = 0x7F000001; // 127.0.0.1
constexpr std::int32_t kDemoTime2Ms = 500;

} // namespace

void addDemoLocations(CSettingsFile& settings, int tcpPort, int comNumber) {
    CLocation tcp(kMediaCodeTcpIp);
    tcp.name = std::string(loadString(kIdsDemoTcpLocationName));
    tcp.modbusType = ModbusType::ModbusTcp;
    tcp.modbusId = kDemoModbusId;
    tcp.ipAddress = kLoopbackAddress;
    tcp.tcpPort = tcpPort;
    tcp.time1 = kDemoTime1Ms;
    tcp.time2 = kDemoTime2Ms;
    settings.append(tcp);

    CLocation rtu(kMediaCodeDirect);
    rtu.name = std::string(loadString(kIdsDemoRtuLocationName));
    rtu.modbusType = ModbusType::Rtu;
    rtu.modbusId = kDemoModbusId;
    rtu.portName = "COM" + std::to_string(comNumber);
    rtu.time1 = kDemoTime1Ms;
    settings.append(rtu);
}

bool settingsFileMissing(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) != 0 && errno == ENOENT;
}

DemoSettingsResult writeDemoSettings(CSettingsFile& settings, const std::string& path, int tcpPort,
                                     int comNumber) {
    if (!settingsFileMissing(path))
        return DemoSettingsResult::AlreadyExists;
    settings.path = path;
    settings.lastLocationName.clear();
    settings.removeAll();
    addDemoLocations(settings, tcpPort, comNumber);
    return settings.save() ? DemoSettingsResult::Written : DemoSettingsResult::Failed;
}
