#pragma once

#include "comms/port_map.h"
#include "windows/setup_comms_dlg.h"

#include <string>
#include <vector>

// The serial ports of this machine: the enumeration chosen by the operating-system class, the
// port map for the device of each COM name and udev's stable names.
class CMachinePorts : public IPortSource {
public:
    explicit CMachinePorts(int osClass, std::string byIdDirectory = kSerialByIdDirectory);
    bool enumerate(std::vector<int>& ports) override;
    std::string devicePath(int port) override;
    std::string stableName(int port) override;

private:
    int osClass_;
    std::string byIdDirectory_;
};
