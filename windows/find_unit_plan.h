#pragma once

#include "config/location.h"
#include "windows/field_rules.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What the finder sweeps and in which order: the form of the Find Unit window, its checks, and
// the plan of probes it turns into, most likely settings first.

enum class FindMedium : std::uint8_t { Serial, Tcp };
enum class FindFraming : std::uint8_t { Rtu, Ascii, ModbusTcp, RtuOverTcp };

// The fields that get the focus when the form is refused.
enum class FindField : std::uint8_t {
    Port,
    Framings,
    BaudRates,
    Parities,
    StopBits,
    FirstId,
    LastId,
    Timeout,
    Address,
    TcpPort,
    OtherPorts,
};

// The unit IDs each medium may sweep, and what the form starts with. Address 0 is a broadcast,
// which the engine sends without waiting for an answer: no sweep can hear a unit there.
constexpr int kFindSerialFirstId = 1;
constexpr int kFindSerialLastId = 247;
constexpr int kFindTcpFirstId = 1;
constexpr int kFindTcpLastId = 255;
constexpr int kFindTimeoutMinMs = 10;
constexpr int kFindTimeoutMaxMs = 10000;
constexpr int kFindDefaultTimeoutMs = 100;
constexpr int kFindDefaultTcpPort = 502;
constexpr int kFindTcpPortMax = 65535;
constexpr int kStopBitsIndexCount = 2;
constexpr int kParityIndexCount = 3;

// The contents of the Find Unit window's controls. Check boxes are indexed as the location's
// lists: baud index, parity index (Even, Odd, None), stop-bit index (1, 2).
struct FindForm {
    FindMedium medium = FindMedium::Serial;
    std::string portName; // "COM4"; empty when no port is chosen
    bool rtu = true;
    bool ascii = false;
    // 9600, 19200, 38400, 57600 and 115200: the rates most units ship with.
    std::array<bool, kBaudIndexCount> baudRates = {false, false, false, false, false,
                                                   true,  true,  true,  true,  true};
    std::array<bool, kParityIndexCount> parities = {true, false, true};
    std::array<bool, kStopBitsIndexCount> stopBits = {true, false};
    std::string firstIdText = "1";
    std::string lastIdText = "247";
    std::string timeoutText = "100";
    bool stopAtFirst = true;
    std::uint32_t ipAddress = 0;
    std::string tcpPortText = "502";
    std::string otherPortsText;
    bool modbusTcp = true;
    bool rtuOverTcp = false;
};

// One line setting or connection to try: the framing, and the serial line or the TCP port.
struct FindSetting {
    FindFraming framing = FindFraming::Rtu;
    int baudIndex = 0;
    int parityIndex = kParityNone;
    int stopBitsIndex = 0;
    int tcpPort = 0;

    bool operator==(const FindSetting&) const = default;
    bool serial() const { return framing == FindFraming::Rtu || framing == FindFraming::Ascii; }
    // 7 data bits for ASCII, the line Modbus ASCII is defined on; 8 for RTU.
    int dataBitsIndex() const { return framing == FindFraming::Ascii ? 0 : 1; }
};

// One probe: a setting and a unit ID.
struct FindProbe {
    FindSetting setting;
    int unitId = 0;
};

// The sweep: the settings in likely-first order, and the IDs in two passes, the likely IDs at
// every setting before the rest, so that a unit on a common ID is found early whatever its line.
struct FindPlan {
    FindMedium medium = FindMedium::Serial;
    std::string portName;
    std::uint32_t ipAddress = 0;
    std::vector<FindSetting> settings;
    std::vector<int> likelyIds;
    std::vector<int> otherIds;
    int timeoutMs = kFindDefaultTimeoutMs;
    bool stopAtFirst = true;

    int probeCount() const;
    // Probe `index`, 0 to probeCount() - 1.
    FindProbe probe(int index) const;
};

// The form's check, and the plan when it passes.
struct FindCheck {
    FieldCheck<FindField> check;
    FindPlan plan;
};

// Checks the form of its medium and makes the plan.
FindCheck checkFindForm(const FindForm& form);

// What the ID fields start with for a medium.
void setFindMedium(FindForm& form, FindMedium medium);

// "2470 probes × 100 ms = 4 min 7 s if no unit answers." for the plan: the time-outs alone.
std::string sweepLengthText(const FindPlan& plan);
// "4 min 7 s", or "7 s" under a minute.
std::string durationText(std::int64_t milliseconds);
// "COM4  9600 8N1  RTU" or "127.0.0.1:502  Modbus/TCP".
std::string settingText(const FindPlan& plan, const FindSetting& setting);
