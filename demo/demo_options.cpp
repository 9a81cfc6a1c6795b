#include "demo/demo_options.h"

#include "comms/port_map.h"
#include "config/demo_locations.h"

#include <charconv>
#include <string_view>

namespace {

constexpr int kMaxTcpPort = 65535;

constexpr const char* kUsage =
    "Usage: vantrel-demo-unit [OPTION]...\n"
    "A Modbus unit for trying Vantrel without a field unit. It answers as unit 1 until Ctrl+C.\n"
    "\n"
    "  --tcp-port N          Modbus/TCP on 127.0.0.1:N (default 1502; 0: any free port)\n"
    "  --rtu-tcp-port N      RTU frames over TCP on 127.0.0.1:N (default 1503; 0: any free port)\n"
    "  --com N               link the serial end as COM<N> (default 9)\n"
    "  --ports-dir DIR       the ports folder for the link (default: VANTREL_PORTS_DIR, else\n"
    "                        \"ports\" beside the program's settings file)\n"
    "  --no-serial           no serial end\n"
    "  --write-settings FILE write a settings file holding the two demo locations, only when\n"
    "                        FILE does not exist yet\n"
    "  --help                show this text\n"
    "\n"
    "Coil n is on where n is odd, discrete input n where n is even; holding register n holds n,\n"
    "input register n holds 10000 + n (n = 0..9999). Writes are kept while the unit runs.\n"
    "A request starting at address 9000 is answered after 2 s, at 9001 never, at 9002 with\n"
    "exception 04.\n";

bool parseNumber(std::string_view text, int low, int high, int& value) {
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

// Options that take a number: the option's name, where the value goes and its bounds.
struct NumberOption {
    std::string_view name;
    int DemoOptions::*field;
    int low;
    int high;
};

constexpr NumberOption kNumberOptions[] = {
    {"--tcp-port", &DemoOptions::tcpPort, 0, kMaxTcpPort},
    {"--rtu-tcp-port", &DemoOptions::rtuOverTcpPort, 0, kMaxTcpPort},
    {"--com", &DemoOptions::comNumber, 1, kMaxComPort},
};

// Reads the option at argv[index] and its value; advances `index` past what it used. Returns
// false with the reason in `message`.
bool parseOne(int argc, const char* const argv[], int& index, DemoOptions& options,
              std::string& message) {
    const std::string_view name = argv[index];
    if (name == "--no-serial") {
        options.serial = false;
        return true;
    }
    if (index + 1 >= argc) {
        message = "unknown option or missing value: " + std::string(name) + " (see --help)";
        return false;
    }
    const char* value = argv[++index];
    for (const NumberOption& option : kNumberOptions) {
        if (name != option.name)
            continue;
        if (parseNumber(value, option.low, option.high, options.*option.field))
            return true;
        message = std::string(name) + " takes a number from " + std::to_string(option.low) +
                  " to " + std::to_string(option.high) + ", not \"" + value + "\"";
        return false;
    }
    if (name == "--ports-dir") {
        options.portsDirectory = value;
        return true;
    }
    if (name == "--write-settings") {
        options.settingsFile = value;
        return true;
    }
    message = "unknown option: " + std::string(name) + " (see --help)";
    return false;
}

} // namespace

DemoOptions::DemoOptions()
    : tcpPort(kDemoTcpPort), rtuOverTcpPort(kDemoRtuOverTcpPort), comNumber(kDemoComNumber) {}

DemoOptionsResult parseDemoOptions(int argc, const char* const argv[], DemoOptions& options,
                                   std::string& message) {
    for (int index = 1; index < argc; ++index) {
        if (std::string_view(argv[index]) == "--help") {
            message = kUsage;
            return DemoOptionsResult::Help;
        }
        if (!parseOne(argc, argv, index, options, message))
            return DemoOptionsResult::Invalid;
    }
    return DemoOptionsResult::Run;
}
