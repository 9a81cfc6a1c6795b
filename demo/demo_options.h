#pragma once

#include <string>

// The demo unit's command line.
struct DemoOptions {
    int tcpPort;                // Modbus/TCP; 0: the kernel chooses
    int rtuOverTcpPort;         // RTU frames over TCP; 0: the kernel chooses
    int comNumber;              // the COM name the serial end is linked under
    bool serial = true;         // false: no pseudo-terminal and no link
    std::string portsDirectory; // empty: where the program looks
    std::string settingsFile;   // empty: write none

    DemoOptions();
};

enum class DemoOptionsResult { Run, Help, Invalid };

// Reads the options into `options`. Help puts the usage text into `message`; Invalid puts a
// one-line reason there.
DemoOptionsResult parseDemoOptions(int argc, const char* const argv[], DemoOptions& options,
                                   std::string& message);
