#include "windows/machine_ports.h"

#include "comms/port_enum.h"

#include <utility>

CMachinePorts::CMachinePorts(int osClass, std::string byIdDirectory)
    : osClass_(osClass), byIdDirectory_(std::move(byIdDirectory)) {}

bool CMachinePorts::enumerate(std::vector<int>& ports) {
    return enumeratePorts(osClass_, ports);
}

std::string CMachinePorts::devicePath(int port) {
    return comPortDevice(port);
}

std::string CMachinePorts::stableName(int port) {
    return stableDeviceName(comPortDevice(port), byIdDirectory_);
}
