#pragma once

#include <string>

class CSettingsFile;

// The demo unit (vantrel-demo-unit) and the two locations that reach it, so that the program can
// be tried without a field unit.

// Where the demo unit listens unless told otherwise: Modbus/TCP, RTU frames over TCP, and the
// COM number its pseudo-terminal is linked under in the ports folder.
constexpr int kDemoTcpPort = 1502;
constexpr int kDemoRtuOverTcpPort = 1503;
constexpr int kDemoComNumber = 9;
// The unit's Modbus ID on the serial line.
constexpr int kDemoModbusId = 1;
// Time 1 of both demo locations: the unit answers at once, so a time-out shows quickly.
constexpr int kDemoTime1Ms = 1000;

// Appends the locations "Demo unit (Modbus/TCP)" (127.0.0.1, `tcpPort`) and "Demo unit (RTU)"
// (Direct, COM`comNumber`) to the settings' list.
void addDemoLocations(CSettingsFile& settings, int tcpPort = kDemoTcpPort,
                      int comNumber = kDemoComNumber);

// What writeDemoSettings did.
enum class DemoSettingsResult {
    Written,
    AlreadyExists, // a file (or anything else) stands at the path: left as it is
    Failed,        // the save failed; the reporter of `settings` was told why
};

// Writes a settings file at `path` holding only the demo locations, unless something already
// exists at `path`. `settings` supplies the reporter and is left holding what was written.
DemoSettingsResult writeDemoSettings(CSettingsFile& settings, const std::string& path,
                                     int tcpPort = kDemoTcpPort, int comNumber = kDemoComNumber);

// True when nothing exists at `path` (the first start of the program with that settings file).
bool settingsFileMissing(const std::string& path);
