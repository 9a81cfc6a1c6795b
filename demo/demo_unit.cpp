// vantrel-demo-unit: a small Modbus unit for trying Vantrel without a field unit. libmodbus does
// the protocol; this file holds the data table, the fault addresses and the wiring: Modbus/TCP
// and RTU frames over TCP on 127.0.0.1, and RTU on a pseudo-terminal linked as COM<n> in the
// program's ports folder.

#include "comms/port_map.h"
#include "config/demo_locations.h"
#include "config/settings_file.h"
#include "demo/demo_options.h"
#include "demo/demo_table.h"
#include "platform/paths.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <list>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kProgram = "vantrel-demo-unit";
constexpr int kListenBacklog = 8;
constexpr std::uint32_t kIndicationTimeoutSec = 1;
constexpr int kUnusedBaud = 19200;

// One line on the standard error: a reason or a note.
void say(const std::string& line) {
    std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str());
}

std::string errorText(int error) {
    return std::strerror(error);
}

// A socket listening on 127.0.0.1:`port` (0: the kernel chooses); -1 after reporting why not.
int listenOnLoopback(int port, const char* what, int& boundPort) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        say(std::string("cannot open a socket: ") + errorText(errno));
        return -1;
    }
    const int reuse = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, kListenBacklog) != 0) {
        const int error = errno;
        ::close(fd);
        say(std::string("cannot listen for ") + what + " on 127.0.0.1:" + std::to_string(port) +
            " (" + errorText(error) + "); choose another port with its option, see --help");
        return -1;
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    boundPort = ntohs(address.sin_port);
    return fd;
}

// The ports folder the program looks in: VANTREL_PORTS_DIR, else "ports" beside the settings
// file the program would use.
std::string defaultPortsDirectory() {
    const std::string fileName(loadString(kIdsSettingsFileName));
    const std::string settings =
        resolveSettingsPath(executableDirectory() + "/" + fileName, fileName);
    setPortsDirectory(directoryOf(settings) + "/ports");
    return portsDirectory();
}

// The serial end: a pseudo-terminal whose other end is linked as COM<n> in the ports folder.
class CSerialEnd {
public:
    CSerialEnd() = default;
    CSerialEnd(const CSerialEnd&) = delete;
    CSerialEnd& operator=(const CSerialEnd&) = delete;
    ~CSerialEnd() { close(); }

    // Opens the pseudo-terminal and places the link; false after reporting why not.
    bool open(const std::string& directory, int comNumber) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            say("cannot open a pseudo-terminal: " + errorText(errno));
            return false;
        }
        device_ = ::ptsname(master_);
        // Held open so the line stays up between the program's connections.
        slave_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios settings{};
        if (slave_ < 0 || ::tcgetattr(slave_, &settings) != 0) {
            say("cannot open " + device_ + ": " + errorText(errno));
            return false;
        }
        ::cfmakeraw(&settings);
        ::tcsetattr(slave_, TCSANOW, &settings);
        return placeLink(directory, comNumber);
    }

    void close() {
        if (!link_.empty()) {
            // Only our own link goes: another unit may have taken the name since.
            char target[256] = {};
            const ssize_t length = ::readlink(link_.c_str(), target, sizeof target - 1);
            if (length > 0 && device_ == std::string(target, static_cast<std::size_t>(length)))
                ::unlink(link_.c_str());
            link_.clear();
        }
        for (int* fd : {&slave_, &master_}) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        }
    }

    int master() const { return master_; }
    const std::string& device() const { return device_; }
    const std::string& link() const { return link_; }

private:
    bool placeLink(const std::string& directory, int comNumber) {
        if (directory.empty()) {
            say("no ports folder: set VANTREL_PORTS_DIR or use --ports-dir");
            return false;
        }
        ::mkdir(directory.c_str(), 0777);
        const std::string path = directory + "/COM" + std::to_string(comNumber);
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0) {
            // A link left behind by a unit that was killed is replaced; anything else is not ours.
            if (!S_ISLNK(info.st_mode)) {
                say(path + " exists and is no link; choose another COM number with --com");
                return false;
            }
            ::unlink(path.c_str());
        }
        if (::symlink(device_.c_str(), path.c_str()) != 0) {
            say("cannot link " + path + ": " + errorText(errno));
            return false;
        }
        link_ = path;
        return true;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string device_;
    std::string link_;
};

enum class Framing { ModbusTcp, Rtu };

// One libmodbus context on one descriptor: a TCP client of either framing, or the serial end.
struct Endpoint {
    int fd = -1;
    modbus_t* context = nullptr;
    bool stream = true; // a TCP connection, closed on a receive failure
    Framing framing = Framing::ModbusTcp;
};

// A request whose answer is held back until `due`.
struct HeldReply {
    int fd;
    std::vector<std::uint8_t> query;
    Clock::time_point due;
};

class CDemoUnit {
public:
    explicit CDemoUnit(const DemoOptions& options) : options_(options) {}
    CDemoUnit(const CDemoUnit&) = delete;
    CDemoUnit& operator=(const CDemoUnit&) = delete;
    ~CDemoUnit() {
        for (Endpoint& endpoint : endpoints_)
            release(endpoint);
        for (int fd : {tcpListener_, rtuListener_, signals_})
            if (fd >= 0)
                ::close(fd);
        if (table_ != nullptr)
            modbus_mapping_free(table_);
    }

    // Listens, links the serial end and writes the settings when asked; false after reporting.
    bool start() {
        table_ = newDemoTable();
        if (table_ == nullptr || !watchSignals())
            return false;
        tcpListener_ = listenOnLoopback(options_.tcpPort, "Modbus/TCP", tcpPort_);
        if (tcpListener_ < 0)
            return false;
        rtuListener_ = listenOnLoopback(options_.rtuOverTcpPort, "RTU over TCP", rtuPort_);
        if (rtuListener_ < 0)
            return false;
        if (options_.serial && !startSerial())
            return false;
        writeSettings();
        return true;
    }

    void printReady() const {
        std::string line = std::string(kProgram) +
                           ": ready: Modbus/TCP on 127.0.0.1:" + std::to_string(tcpPort_) +
                           ", RTU over TCP on 127.0.0.1:" + std::to_string(rtuPort_);
        if (options_.serial)
            line += ", RTU on COM" + std::to_string(options_.comNumber) + " (" + serial_.link() +
                    " -> " + serial_.device() + ")";
        std::printf("%s; Ctrl+C ends it\n", line.c_str());
        std::fflush(stdout);
    }

    // Serves until SIGINT or SIGTERM.
    void run() {
        while (!stopping_) {
            std::vector<pollfd> fds = pollSet();
            const int ready = ::poll(fds.data(), fds.size(), pollTimeoutMs());
            if (ready < 0 && errno != EINTR)
                break;
            sendDueReplies();
            if (ready > 0)
                handle(fds);
        }
    }

private:
    bool watchSignals() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        sigprocmask(SIG_BLOCK, &set, nullptr);
        std::signal(SIGPIPE, SIG_IGN);
        signals_ = ::signalfd(-1, &set, SFD_CLOEXEC);
        return signals_ >= 0;
    }

    bool startSerial() {
        const std::string directory =
            options_.portsDirectory.empty() ? defaultPortsDirectory() : options_.portsDirectory;
        if (!serial_.open(directory, options_.comNumber))
            return false;
        Endpoint endpoint = newEndpoint(serial_.master(), Framing::Rtu);
        endpoint.stream = false;
        endpoints_.push_back(endpoint);
        return endpoint.context != nullptr;
    }

    void writeSettings() const {
        if (options_.settingsFile.empty())
            return;
        CSettingsFile settings;
        switch (writeDemoSettings(settings, options_.settingsFile, tcpPort_, options_.comNumber)) {
        case DemoSettingsResult::Written:
            say("wrote the demo locations to " + options_.settingsFile);
            break;
        case DemoSettingsResult::AlreadyExists:
            say(options_.settingsFile + " exists; left as it is");
            break;
        case DemoSettingsResult::Failed:
            say("cannot write " + options_.settingsFile);
            break;
        }
    }

    static Endpoint newEndpoint(int fd, Framing framing) {
        Endpoint endpoint;
        endpoint.fd = fd;
        endpoint.framing = framing;
        // Only the descriptor set below is used: the device name and address name nothing.
        endpoint.context = framing == Framing::ModbusTcp
                               ? modbus_new_tcp("127.0.0.1", 0)
                               : modbus_new_rtu("/dev/null", kUnusedBaud, 'N', 8, 1);
        if (endpoint.context == nullptr)
            return endpoint;
        modbus_set_socket(endpoint.context, fd);
        modbus_set_slave(endpoint.context, kDemoModbusId);
        // A request cut short never stalls the other connections for long.
        modbus_set_indication_timeout(endpoint.context, kIndicationTimeoutSec, 0);
        return endpoint;
    }

    static void release(Endpoint& endpoint) {
        if (endpoint.context != nullptr)
            modbus_free(endpoint.context);
        if (endpoint.stream && endpoint.fd >= 0)
            ::close(endpoint.fd);
        endpoint = Endpoint{};
    }

    std::vector<pollfd> pollSet() const {
        std::vector<pollfd> fds = {
            {signals_, POLLIN, 0}, {tcpListener_, POLLIN, 0}, {rtuListener_, POLLIN, 0}};
        for (const Endpoint& endpoint : endpoints_)
            fds.push_back({endpoint.fd, POLLIN, 0});
        return fds;
    }

    int pollTimeoutMs() const {
        if (held_.empty())
            return -1;
        const auto next = std::min_element(held_.begin(), held_.end(), [](auto& a, auto& b) {
                              return a.due < b.due;
                          })->due;
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
        return static_cast<int>(std::clamp<long long>(wait, 0, 60000));
    }

    void handle(const std::vector<pollfd>& fds) {
        if (fds[0].revents != 0)
            stopping_ = true;
        if (fds[1].revents != 0)
            accept(tcpListener_, Framing::ModbusTcp);
        if (fds[2].revents != 0)
            accept(rtuListener_, Framing::Rtu);
        // Endpoints accepted just now were not in this poll; the others keep their order.
        std::vector<int> readable;
        for (std::size_t i = 3; i < fds.size(); ++i)
            if (fds[i].revents != 0)
                readable.push_back(fds[i].fd);
        for (const int fd : readable)
            serve(fd);
    }

    void accept(int listener, Framing framing) {
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        Endpoint endpoint = newEndpoint(client, framing);
        if (endpoint.context == nullptr) {
            ::close(client);
            return;
        }
        endpoints_.push_back(endpoint);
    }

    Endpoint* endpointOf(int fd) {
        for (Endpoint& endpoint : endpoints_)
            if (endpoint.fd == fd)
                return &endpoint;
        return nullptr;
    }

    void serve(int fd) {
        Endpoint* endpoint = endpointOf(fd);
        if (endpoint == nullptr)
            return;
        std::uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        const int length = modbus_receive(endpoint->context, query);
        if (length > 0) {
            answer(*endpoint, query, length);
        } else if (length < 0 && endpoint->stream && !keepsConnection(errno)) {
            drop(fd);
        } else if (length < 0 && endpoint->framing == Framing::Rtu) {
            discardPendingInput(fd);
        }
    }

    // An RTU frame libmodbus could not take in (a bad CRC, a function whose length it does not
    // know) leaves bytes behind that would spoil the next request: a line goes quiet between
    // frames, so whatever follows at once belongs to the damaged one.
    static void discardPendingInput(int fd) {
        constexpr int kQuietMs = 50;
        std::uint8_t scrap[MODBUS_RTU_MAX_ADU_LENGTH];
        pollfd poller{fd, POLLIN, 0};
        for (int round = 0; round < 100 && ::poll(&poller, 1, kQuietMs) > 0; ++round) {
            if (::read(fd, scrap, sizeof scrap) <= 0)
                break;
        }
    }

    // Damaged or cut-short frames are answered by nothing, as on a real line; the client stays.
    static bool keepsConnection(int error) {
        return error == EMBBADCRC || error == EMBBADDATA || error == ETIMEDOUT ||
               error == EMBMDATA || error == EMBBADSLAVE;
    }

    void drop(int fd) {
        held_.remove_if([fd](const HeldReply& reply) { return reply.fd == fd; });
        const auto it = std::find_if(endpoints_.begin(), endpoints_.end(),
                                     [fd](const Endpoint& endpoint) { return endpoint.fd == fd; });
        if (it == endpoints_.end())
            return;
        release(*it);
        endpoints_.erase(it);
    }

    void answer(Endpoint& endpoint, const std::uint8_t* query, int length) {
        const int header = modbus_get_header_length(endpoint.context);
        const std::vector<std::uint8_t> own =
            ownAnswer(query, length, header, endpoint.framing == Framing::Rtu);
        if (!own.empty()) {
            // A failed send shows at the next receive, which drops a broken connection.
            [[maybe_unused]] const ssize_t sent =
                endpoint.stream ? ::send(endpoint.fd, own.data(), own.size(), MSG_NOSIGNAL)
                                : ::write(endpoint.fd, own.data(), own.size());
            return;
        }
        switch (faultOf(query + header, length - header)) {
        case DemoFault::None:
            modbus_reply(endpoint.context, query, length, table_);
            break;
        case DemoFault::LateAnswer:
            held_.push_back({endpoint.fd, std::vector<std::uint8_t>(query, query + length),
                             Clock::now() + std::chrono::milliseconds(kDemoLateAnswerMs)});
            break;
        case DemoFault::NoAnswer:
            break;
        case DemoFault::ExceptionAnswer:
            modbus_reply_exception(endpoint.context, query, kDemoFaultException);
            break;
        }
    }

    void sendDueReplies() {
        const auto now = Clock::now();
        for (auto it = held_.begin(); it != held_.end();) {
            Endpoint* endpoint = endpointOf(it->fd);
            if (it->due > now) {
                ++it;
                continue;
            }
            if (endpoint != nullptr)
                modbus_reply(endpoint->context, it->query.data(),
                             static_cast<int>(it->query.size()), table_);
            it = held_.erase(it);
        }
    }

    const DemoOptions& options_;
    modbus_mapping_t* table_ = nullptr;
    int signals_ = -1;
    int tcpListener_ = -1;
    int rtuListener_ = -1;
    int tcpPort_ = 0;
    int rtuPort_ = 0;
    CSerialEnd serial_;
    std::vector<Endpoint> endpoints_;
    std::list<HeldReply> held_;
    bool stopping_ = false;
};

} // namespace

int main(int argc, char* argv[]) {
    DemoOptions options;
    std::string message;
    switch (parseDemoOptions(argc, argv, options, message)) {
    case DemoOptionsResult::Run:
        break;
    case DemoOptionsResult::Help:
        std::fputs(message.c_str(), stdout);
        return 0;
    case DemoOptionsResult::Invalid:
        say(message);
        return 2;
    }
    CDemoUnit unit(options);
    if (!unit.start())
        return 1;
    unit.printReady();
    unit.run();
    return 0;
}
