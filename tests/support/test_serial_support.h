#pragma once

// Pseudo-terminal pairs and a temporary ports directory for the serial tests.

#include "comms/port_map.h"
#include "platform/clock.h"
#include "tests/support/peer_process.h"
#include "tests/support/temp_folder.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

// A pseudo-terminal pair: the test holds the master (the far end of the line); the slave is what
// the program opens as its serial device.
class CPtyPair {
public:
    CPtyPair() {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (::openpty(&master_, &slave_, name, &raw, nullptr) == 0) {
            slavePath_ = name;
            ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        }
    }
    ~CPtyPair() {
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
    }
    CPtyPair(const CPtyPair&) = delete;
    CPtyPair& operator=(const CPtyPair&) = delete;

    bool valid() const { return master_ >= 0; }
    // The far end hangs up.
    void closeMaster() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }
    int master() const { return master_; }
    int slave() const { return slave_; }
    const std::string& slavePath() const { return slavePath_; }

    void send(const std::vector<std::uint8_t>& bytes) const {
        std::size_t done = 0;
        for (int i = 0; i < 1000 && done < bytes.size(); ++i) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else
                sleepMs(1);
        }
    }
    void send(const std::string& text) const {
        send(std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    // Collects what the program wrote until `count` bytes have come or timeoutMs has passed.
    std::vector<std::uint8_t> receive(std::size_t count, int timeoutMs) const {
        std::vector<std::uint8_t> out;
        const std::uint32_t start = tickCount();
        while (out.size() < count) {
            const int left = timeoutMs - static_cast<int>(tickCount() - start);
            if (left <= 0)
                break;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, left) <= 0)
                break;
            std::uint8_t buffer[640];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0)
                out.insert(out.end(), buffer, buffer + n);
            else if (n < 0 && errno != EAGAIN)
                break;
        }
        return out;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// A temporary ports directory made the port map's directory for the life of the object.
class CTempPortsDir {
public:
    CTempPortsDir() : folder_("vantrel-ports"), path_(folder_.path()) {
        ::unsetenv("VANTREL_PORTS_DIR");
        setPortsDirectory(path_);
    }
    ~CTempPortsDir() { setPortsDirectory({}); }
    CTempPortsDir(const CTempPortsDir&) = delete;
    CTempPortsDir& operator=(const CTempPortsDir&) = delete;

    const std::string& path() const { return path_; }
    // Makes COM<n> (or any other name) a link to target.
    void link(const std::string& name, const std::string& target) const {
        std::error_code ec;
        std::filesystem::create_symlink(target, path_ + "/" + name, ec);
    }

private:
    CTempFolder folder_;
    std::string path_;
};

// socat joining two pseudo-terminals, one linked as `a`, the other as `b`.
class CSocatLine {
public:
    CSocatLine(const std::string& a, const std::string& b) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const std::string left = "PTY,raw,echo=0,link=" + a;
            const std::string right = "PTY,raw,echo=0,link=" + b;
            ::execl("/usr/bin/socat", "socat", left.c_str(), right.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        struct stat st {};
        for (int i = 0; i < 500 && !(::stat(a.c_str(), &st) == 0 && ::stat(b.c_str(), &st) == 0);
             ++i)
            sleepMs(10);
        ready_ = ::stat(a.c_str(), &st) == 0 && ::stat(b.c_str(), &st) == 0;
    }
    ~CSocatLine() {
        if (pid_ > 0)
            ::kill(pid_, SIGTERM);
        reapChild(pid_);
    }
    CSocatLine(const CSocatLine&) = delete;
    CSocatLine& operator=(const CSocatLine&) = delete;
    bool ready() const { return ready_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};
