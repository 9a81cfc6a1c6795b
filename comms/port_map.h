#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// COM port numbers are kept in settings files so that they move between machines unchanged. The
// port map resolves COM<n> to a device path: first a symlink named COM<n> in the ports directory,
// otherwise the n-th serial device of the machine, numbered /dev/ttyS0.., /dev/ttyUSB0..,
// /dev/ttyACM0.. in that order (each series up to its first missing node), each real terminal
// device taking the lowest COM number not already taken by a link in the ports directory.

constexpr int kMaxComPort = 255;

// Sets the ports directory used when VANTREL_PORTS_DIR is not set (the application passes the
// "ports" directory beside the settings file). Thread-safe.
void setPortsDirectory(const std::string& directory);
// The ports directory in force: VANTREL_PORTS_DIR when set and not empty, else the one set by
// setPortsDirectory (empty when none).
std::string portsDirectory();

// Device path of COM<portNumber>; empty when the number is out of 1..255 or nothing maps to it.
std::string resolveComPort(int portNumber);

// All COM numbers the machine maps, ascending, with their device paths.
struct ComPortEntry {
    int number;
    std::string path;
};
std::vector<ComPortEntry> mapComPorts();

// The two places a COM<n> name is read from.
enum class ComNaming {
    // A location's port name: the decimal integer after the first "COM" (capitals), with anything
    // before it (a device prefix such as \\.\) and after its digits. A number beyond int is held
    // at INT_MAX, so that it maps to no port rather than wrapping into one.
    PortName,
    // An entry of the ports directory: "COM" in any case followed by nothing but 1 to 3 digits
    // forming a number in 1..255.
    LinkName,
};

// The port number `name` stands for under `naming`; nothing when it names no port.
std::optional<int> readComNumber(std::string_view name, ComNaming naming);

// Appends to `numbers` the number of every name that is "COM" (any case) followed by one or more
// decimal digits forming a number in 1..255; other names are skipped. Keeps the names' order.
void appendComNumbers(const std::vector<std::string>& names, std::vector<int>& numbers);

// Where udev keeps a stable name for each USB serial adapter.
constexpr const char* kSerialByIdDirectory = "/dev/serial/by-id";

// The device COM<portNumber> stands for, with every link followed (a link in the ports directory
// to a pseudo-terminal gives /dev/pts/N); empty when nothing maps to the number.
std::string comPortDevice(int portNumber);
// The path of the entry of `byIdDirectory` that leads to `device`, empty when none does.
std::string stableDeviceName(const std::string& device,
                             const std::string& byIdDirectory = kSerialByIdDirectory);
