#include "comms/port_enum.h"

#include "comms/port_map.h"
#include "platform/device_nodes.h"

#include <algorithm>
#include <string>

bool enumPortsByOpening(std::vector<int>& ports) {
    ports.clear();
    for (const auto& entry : mapComPorts()) {
        // A port that is busy or not ours to open is present all the same.
        const TerminalProbe probe = probeTerminal(entry.path);
        if (probe == TerminalProbe::Terminal || probe == TerminalProbe::Busy)
            ports.push_back(entry.number);
    }
    return true;
}

bool enumPortsByDosDevices(std::vector<int>& ports) {
    ports.clear();
    std::vector<std::string> names;
    if (const std::string dir = portsDirectory(); !dir.empty())
        names = directoryEntries(dir);
    for (const auto& entry : mapComPorts())
        names.push_back("COM" + std::to_string(entry.number));
    std::vector<int> all;
    appendComNumbers(names, all);
    for (const int n : all) {
        if (std::find(ports.begin(), ports.end(), n) == ports.end())
            ports.push_back(n);
    }
    return true;
}

bool enumPortsByCommConfig(std::vector<int>& ports) {
    ports.clear();
    for (const auto& entry : mapComPorts()) {
        if (isCharacterDevice(entry.path))
            ports.push_back(entry.number);
    }
    return true;
}

bool enumeratePorts(int osClass, std::vector<int>& ports) {
    if (osClass < 4)
        return enumPortsByOpening(ports);
    if (osClass <= 6)
        return enumPortsByDosDevices(ports);
    return enumPortsByCommConfig(ports);
}
