#pragma once

#include <optional>
#include <string>

// The command line of vantrel-run.
struct RunOptions {
    std::string sequencePath;
    std::string location; // a location of the settings file
    std::string tcp;      // HOST:PORT
    std::string serial;   // COMn or a device path
    int baud = 9600;
    std::string parity = "none";
    int stopBits = 1;
    std::string framing; // rtu, ascii or tcp; empty: tcp for --tcp, rtu for --serial
    std::optional<int> modbusId;
    std::string reportPath;
    std::string jsonPath;
    std::string junitPath;
    int repeat = 1;
    int durationSeconds = 0;
    std::string settingsPath;
    bool quiet = false;
};

enum class OptionsResult { Run, Help, Invalid };

// Reads the command line. Help puts the usage into `message`; Invalid puts why there.
OptionsResult parseRunOptions(int argc, const char* const argv[], RunOptions& options,
                              std::string& message);
