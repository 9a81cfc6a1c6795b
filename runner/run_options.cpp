#include "runner/run_options.h"

#include "config/location.h"
#include "protocol/modbus_limits.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <CLI/CLI.hpp>
#include <vector>

namespace {

constexpr int kMaxRepeat = 1000000;
constexpr int kMaxDurationSeconds = 366 * 24 * 3600;

std::string text(unsigned id) {
    return std::string(loadString(id));
}

void addConnectionOptions(CLI::App& app, RunOptions& o) {
    auto* location = app.add_option("--location", o.location, text(kIdsRunOptLocation));
    auto* tcp = app.add_option("--tcp", o.tcp, text(kIdsRunOptTcp));
    auto* serial = app.add_option("--serial", o.serial, text(kIdsRunOptSerial));
    location->excludes(tcp)->excludes(serial);
    tcp->excludes(serial);
    const std::vector<int> bauds(kBaudRates.begin(), kBaudRates.end());
    app.add_option("--baud", o.baud, text(kIdsRunOptBaud))
        ->check(CLI::IsMember(bauds))
        ->needs(serial);
    app.add_option("--parity", o.parity, text(kIdsRunOptParity))
        ->check(CLI::IsMember({"none", "even", "odd"}))
        ->needs(serial);
    app.add_option("--stop-bits", o.stopBits, text(kIdsRunOptStopBits))
        ->check(CLI::IsMember({1, 2}))
        ->needs(serial);
    app.add_option("--framing", o.framing, text(kIdsRunOptFraming))
        ->check(CLI::IsMember({"rtu", "ascii", "tcp"}))
        ->excludes(location);
    app.add_option("--id", o.modbusId, text(kIdsRunOptId))
        ->check(CLI::Range(kModbusIdMin, kModbusIdMax));
    app.add_option("--settings", o.settingsPath, text(kIdsRunOptSettings))->needs(location);
}

void addRunOptions(CLI::App& app, RunOptions& o) {
    app.add_option("--report", o.reportPath, text(kIdsRunOptReport));
    app.add_option("--json", o.jsonPath, text(kIdsRunOptJson));
    app.add_option("--junit", o.junitPath, text(kIdsRunOptJunit));
    auto* repeat = app.add_option("--repeat", o.repeat, text(kIdsRunOptRepeat))
                       ->check(CLI::Range(1, kMaxRepeat));
    app.add_option("--duration", o.durationSeconds, text(kIdsRunOptDuration))
        ->check(CLI::Range(1, kMaxDurationSeconds))
        ->excludes(repeat);
    app.add_flag("--quiet,-q", o.quiet, text(kIdsRunOptQuiet));
}

} // namespace

OptionsResult parseRunOptions(int argc, const char* const argv[], RunOptions& options,
                              std::string& message) {
    CLI::App app(text(kIdsRunDescription), "vantrel-run");
    app.footer(text(kIdsRunFooter));
    app.add_option("SEQUENCE", options.sequencePath, text(kIdsRunOptSequence))->required();
    addConnectionOptions(app, options);
    addRunOptions(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        message = app.help();
        return OptionsResult::Help;
    } catch (const CLI::ParseError& error) {
        message = error.what();
        return OptionsResult::Invalid;
    }
    if (options.location.empty() && options.tcp.empty() && options.serial.empty()) {
        message = text(kIdsRunNeedsTarget);
        return OptionsResult::Invalid;
    }
    return OptionsResult::Run;
}
