#pragma once

#include <vector>

// Serial port enumeration for the port list of the communications settings. Each routine clears
// `ports` first, appends COM numbers (1..255) and returns true on completion.

// Lists every COM number whose device opens, or exists but is in use or not accessible.
bool enumPortsByOpening(std::vector<int>& ports);
// Lists the COM<n> names the machine knows: the links of the ports directory (in directory order)
// followed by the numbered serial devices, each number once.
bool enumPortsByDosDevices(std::vector<int>& ports);
// Lists every COM number the port map resolves to a terminal device.
bool enumPortsByCommConfig(std::vector<int>& ports);

// Runs the routine for the operating-system class: below 4 by opening, 4 to 6 by the device
// names, above 6 by the port map. Returns that routine's result.
bool enumeratePorts(int osClass, std::vector<int>& ports);
