#pragma once

#include "config/location.h"

#include <cstdint>
#include <optional>
#include <string>

class CSerialPort;

// The line settings a location asks of the serial port, in the port's own codes.
struct PortLineSettings {
    std::uint32_t baudRate = 0;
    int parity = 0;   // Parity:: code
    int dataBits = 0; // 7 or 8
    int stopBits = 0; // StopBits:: code
};

// Maps the location's indexes to the port's codes: parity index 0 (Even), 1 (Odd), 2 (None) to
// Parity::Even, Parity::Odd, Parity::None (the port numbers them 0, 3, 2: its 1 is Mark);
// stop-bit index 0 to StopBits::One and 1 to StopBits::Two; data bits = index + 7; the baud rate
// of the baud index. Returns nothing when an index lies outside its list (a damaged settings
// file), so that the line is never opened with settings nobody chose.
std::optional<PortLineSettings> portLineSettings(const CLocation& location);

// Opens COM<portNumber> with the line settings for the engine's exchanges: DTR and RTS raised,
// 640-byte queues, reads that return at once. False, with the port closed, when the device cannot
// be opened or refuses the settings.
bool openLinePort(CSerialPort& port, int portNumber, const PortLineSettings& line);

// "  " and how to get the right to open COM<portNumber> when its device refuses this user;
// empty otherwise.
std::string portRefusalHint(int portNumber);
