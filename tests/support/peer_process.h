#pragma once

// An independent Modbus unit run as a child process: it prints its port on its first line of
// output and ends when its standard input closes.

#include "platform/clock.h"

#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Waits up to 3 s for the child to end by itself, then kills it; a pid of 0 or less is no child.
inline void reapChild(pid_t pid) {
    if (pid <= 0)
        return;
    for (int i = 0; i < 300; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        sleepMs(10);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

// In a forked child: becomes the program `argv` names by path, or ends with 127.
[[noreturn]] inline void execChild(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

class CPeerProcess {
public:
    // Starts `argv` and reads the port it prints, waiting up to 15 s.
    explicit CPeerProcess(const std::vector<std::string>& argv) {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            execChild(argv);
        }
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
        std::string line;
        const std::uint32_t start = tickCount();
        while (pid_ > 0 && line.find('\n') == std::string::npos && tickCount() - start < 15000) {
            pollfd fd{stdout_, POLLIN, 0};
            if (::poll(&fd, 1, 500) <= 0)
                continue;
            char buffer[64];
            const ssize_t n = ::read(stdout_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<std::size_t>(n));
        }
        port_ = static_cast<std::uint16_t>(std::atoi(line.c_str()));
    }
    ~CPeerProcess() {
        if (stdin_ >= 0)
            ::close(stdin_);
        if (stdout_ >= 0)
            ::close(stdout_);
        reapChild(pid_);
    }
    CPeerProcess(const CPeerProcess&) = delete;
    CPeerProcess& operator=(const CPeerProcess&) = delete;

    // The unit's port; 0 when it did not start.
    std::uint16_t port() const { return port_; }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::uint16_t port_ = 0;
};
