#include "runner/run_main.h"

#include "comms/comms_context.h"
#include "comms/port_map.h"
#include "config/settings_file.h"
#include "platform/file_output.h"
#include "platform/message_queue.h"
#include "platform/paths.h"
#include "platform/system_errors.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "runner/log_spool.h"
#include "runner/run_options.h"
#include "runner/run_report.h"
#include "runner/sequence_reader.h"
#include "runner/sequence_run.h"
#include "runner/step_exchange.h"
#include "runner/unit_link.h"
#include "windows/message_box.h"
#include "windows/vantrel_doc.h"

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <netdb.h>
#include <unistd.h>

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void onInterrupt(int /*signal*/) {
    gInterrupted.store(true);
}

// Ctrl+C and SIGTERM end the run through the flag while the guard lives; the handlers before it
// come back afterwards.
class CInterruptGuard {
public:
    CInterruptGuard() {
        gInterrupted.store(false);
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &previousInt_);
        ::sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~CInterruptGuard() {
        ::sigaction(SIGINT, &previousInt_, nullptr);
        ::sigaction(SIGTERM, &previousTerm_, nullptr);
    }
    CInterruptGuard(const CInterruptGuard&) = delete;
    CInterruptGuard& operator=(const CInterruptGuard&) = delete;

private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

void complain(const std::string& text) {
    std::fprintf(stderr, "vantrel-run: %s\n", text.c_str());
}

// A location built from the command line lives in a private folder with its settings file and,
// for a device path, a COM link to the device; the folder goes when the run ends.
class CPrivateFolder {
public:
    ~CPrivateFolder() {
        if (path_.empty())
            return;
        for (const std::string& file : files_)
            ::unlink(file.c_str());
        ::rmdir(path_.c_str());
    }
    bool create() {
        char name[] = "/tmp/vantrel-run-XXXXXX";
        if (::mkdtemp(name) == nullptr)
            return false;
        path_ = name;
        return true;
    }
    std::string file(const std::string& name) {
        files_.push_back(path_ + "/" + name);
        return files_.back();
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::vector<std::string> files_;
};

// What the run connects to: the settings holding the location, and its name.
struct Target {
    CSettingsFile settings;
    std::string locationName;
    CLocation location;
    CPrivateFolder folder;
};

std::string tcpLocation(const RunOptions& o, CLocation& location) {
    const auto colon = o.tcp.rfind(':');
    const std::string host = colon == std::string::npos ? std::string() : o.tcp.substr(0, colon);
    const int port = colon == std::string::npos ? 0 : std::atoi(o.tcp.c_str() + colon + 1);
    if (host.empty() || port < 1 || port > 65535)
        return substituteArgs(loadString(kIdsRunBadTcp), {o.tcp});
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return substituteArgs(loadString(kIdsRunBadHost), {host});
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    ::freeaddrinfo(found);
    location.setDefaults(kMediaCodeTcpIp);
    location.ipAddress = ntohl(address.sin_addr.s_addr);
    location.tcpPort = port;
    location.modbusType = ModbusType::ModbusTcp;
    return {};
}

std::string serialLocation(const RunOptions& o, Target& target) {
    CLocation& location = target.location;
    location.setDefaults(kMediaCodeDirect);
    location.portName = o.serial;
    if (o.serial.starts_with('/') || !readComNumber(o.serial, ComNaming::PortName)) {
        // A device path gets a COM link of its own, where the port map looks first.
        const std::string link = target.folder.file("COM1");
        if (::symlink(o.serial.c_str(), link.c_str()) != 0)
            return substituteArgs(loadString(kIdsRunBadSerial), {o.serial});
        ::setenv("VANTREL_PORTS_DIR", target.folder.path().c_str(), 1);
        location.portName = "COM1";
    }
    for (std::size_t i = 0; i < kBaudRates.size(); ++i)
        if (kBaudRates[i] == o.baud)
            location.baudIndex = static_cast<std::int32_t>(i);
    location.time2 = kDirectTime2ByBaud[static_cast<std::size_t>(location.baudIndex)];
    location.parityIndex = o.parity == "even"  ? kParityEven
                           : o.parity == "odd" ? kParityOdd
                                               : kParityNone;
    location.stopBitsIndex = o.stopBits - 1;
    location.modbusType = ModbusType::Rtu;
    return {};
}

std::string commandLineTarget(const RunOptions& o, Target& target) {
    if (!target.folder.create())
        return std::string(loadString(kIdsRunNoTempFolder));
    const std::string error =
        o.tcp.empty() ? serialLocation(o, target) : tcpLocation(o, target.location);
    if (!error.empty())
        return error;
    if (o.framing == "rtu")
        target.location.modbusType = ModbusType::Rtu;
    else if (o.framing == "ascii")
        target.location.modbusType = ModbusType::Ascii;
    else if (o.framing == "tcp")
        target.location.modbusType = ModbusType::ModbusTcp;
    target.location.name = o.tcp.empty() ? o.serial : o.tcp;
    target.locationName = target.location.name;
    target.settings.path = target.folder.file("settings.dat");
    target.settings.append(target.location);
    return {};
}

// The settings file the windows use: --settings, VANTREL_SETTINGS, beside the program, or the
// user's configuration folder.
std::string settingsTarget(const RunOptions& o, Target& target) {
    const std::string fileName(loadString(kIdsSettingsFileName));
    std::string path = o.settingsPath;
    if (path.empty())
        path = resolveSettingsPath(
            replaceHelpFileName(helpFilePath(executableDirectory(), "vantrel"), fileName),
            fileName);
    target.settings.path = path;
    setPortsDirectory(directoryOf(path) + "/ports");
    if (!target.settings.load())
        return substituteArgs(loadString(kIdsRunBadSettings), {path});
    for (int i = 0; i < target.settings.count(); ++i)
        if (const CLocation* l = target.settings.getLocation(i); l && l->name == o.location) {
            target.location = *l;
            target.locationName = o.location;
            return {};
        }
    return substituteArgs(loadString(kIdsRunNoSuchLocation), {o.location});
}

// Builds every step's request as the window would, before anything is sent.
std::string checkSteps(const Sequence& sequence, CStepExchange& exchange, const std::string& path) {
    for (const SequenceStep& step : sequence.steps) {
        const auto refused = exchange.check(step.request);
        if (!refused)
            continue;
        const auto key = step.keys.find(refused->key);
        const SourcePosition at = key != step.keys.end() ? key->second : step.at;
        return sequenceErrorText(path, {at, refused->text});
    }
    return {};
}

class CSilentBox final : public IMessageBox {
public:
    void showMessage(const std::string& text) override { complain(text); }
};

bool writeFile(const std::string& path, const std::string& head, const std::string& tailPath = {}) {
    if (path.empty())
        return true;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << head;
    if (!tailPath.empty()) {
        std::ifstream tail(tailPath, std::ios::binary);
        out << tail.rdbuf();
    }
    out.flush();
    if (!out) {
        complain(substituteArgs(loadString(kIdsRunCannotWrite), {path}));
        return false;
    }
    return true;
}

void writeReports(RunReport& report, const RunOptions& o, CLogSpool& spool) {
    report.finished = std::time(nullptr);
    spool.close();
    // Records whose spool write failed are gone: the report says less than the run did.
    if (spool.error() != 0)
        complain(substituteArgs(loadString(kIdsRunSpoolFailed),
                                {spool.path(), systemErrorText(spool.error())}));
    writeFile(o.reportPath, textReportHead(report), spool.path());
    if (!spool.path().empty())
        ::unlink(spool.path().c_str());
    writeFile(o.jsonPath, jsonReport(report));
    writeFile(o.junitPath, junitReport(report));
}

// A run in which no send was answered and every one timed out never reached the unit.
void judgeSilence(RunReport& report) {
    bool anySent = false;
    for (const StepResult& s : report.steps) {
        if (s.replies > 0 || (s.ran() && s.last.engineResult != kResultTimedOut))
            return;
        anySent = anySent || s.ran();
    }
    if (anySent && report.end == RunEnd::Completed) {
        report.end = RunEnd::Unreachable;
        report.endText = std::string(loadString(kIdsRunNoAnswer));
    }
}

// The verdict block on the terminal, without the report's line ends.
void printVerdict(const RunReport& report) {
    std::string text = textVerdict(report);
    std::erase(text, '\r');
    std::fputs(text.c_str(), report.passed() ? stdout : stderr);
}

struct Session {
    const RunOptions& options;
    const Sequence& sequence;
    Target& target;
};

int runSession(const Session& s) {
    CVantrelDoc document;
    CSilentBox box;
    if (!document.onNewDocument(box))
        return kExitUnreachable;
    CMessageQueue queue;
    const CLocation& l = s.target.location;
    CStepExchange exchange(
        document, queue,
        {l.mediaType, l.modbusType, s.options.modbusId.value_or(l.modbusId),
         l.modiconCompatible != 0 ? kAddressingIndexModicon : kAddressingIndexLogical, ","});
    if (const std::string error = checkSteps(s.sequence, exchange, s.options.sequencePath);
        !error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitBadInput;
    }
    RunReport report;
    report.sequencePath = s.options.sequencePath;
    report.sequenceName = s.sequence.name;
    report.unit = s.sequence.unit;
    report.location =
        s.target.locationName + " (" +
        std::string(loadString(kModbusTypeTextBase + static_cast<unsigned>(l.modbusType))) + ")";
    report.started = std::time(nullptr);
    CLogSpool spool;
    if (!s.options.reportPath.empty() && spool.open(s.options.reportPath + ".log-part") != 0) {
        complain(substituteArgs(loadString(kIdsRunCannotWrite), {s.options.reportPath}));
        return kExitBadInput;
    }
    CProgressPrinter progress(stdout, ::isatty(STDOUT_FILENO) != 0, s.options.quiet);
    CSequenceRun run(s.sequence, exchange, spool, document.context().engine.logRecords, progress);
    for (const SequenceStep& step : s.sequence.steps)
        report.steps.emplace_back(step);
    CUnitLink link(document, s.target.settings, queue);
    if (const std::string failure = link.connect(s.target.locationName, gInterrupted);
        !failure.empty()) {
        report.end = gInterrupted.load() ? RunEnd::Interrupted : RunEnd::Unreachable;
        report.endText = failure;
    } else {
        run.run(report, {s.options.repeat, s.options.durationSeconds}, gInterrupted);
        judgeSilence(report);
    }
    spool.drain(document.context().engine.logRecords);
    writeReports(report, s.options, spool);
    if (!s.options.quiet || report.exitCode() != kExitPassed)
        printVerdict(report);
    link.disconnect();
    return report.exitCode();
}

} // namespace

int runVantrelRun(int argc, const char* const argv[]) {
    RunOptions options;
    std::string message;
    switch (parseRunOptions(argc, argv, options, message)) {
    case OptionsResult::Help:
        std::fputs(message.c_str(), stdout);
        return kExitPassed;
    case OptionsResult::Invalid:
        complain(message);
        return kExitBadInput;
    case OptionsResult::Run:
        break;
    }
    const SequenceReadResult read = readSequenceFile(options.sequencePath);
    if (!read.sequence) {
        std::fprintf(stderr, "%s\n", sequenceErrorText(options.sequencePath, read.error).c_str());
        return kExitBadInput;
    }
    Target target;
    const std::string error = options.location.empty() ? commandLineTarget(options, target)
                                                       : settingsTarget(options, target);
    if (!error.empty()) {
        complain(error);
        return kExitBadInput;
    }
    const CInterruptGuard interrupts;
    return runSession({options, *read.sequence, target});
}
