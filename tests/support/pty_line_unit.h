#pragma once

// A unit on the far end of a pseudo-terminal that answers only when the line is set as its own:
// before each answer it reads the terminal's settings (the program's end and the test's end share
// them) and keeps quiet unless the baud rate, the stop bits and the parity match. The terminal
// driver clears the parity-enable bit of a pseudo-terminal but keeps the odd-parity bit, so the
// unit tells odd parity from the others; even and none look the same to it.

#include "platform/events.h"
#include "protocol/check_values.h"
#include "tests/support/test_frames.h"
#include "tests/support/test_serial_support.h"

#include <atomic>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

struct LineUnitSettings {
    std::uint8_t id = 1;
    speed_t speed = B9600;
    bool twoStopBits = false;
    bool oddParity = false;
    // Answers function 03 with exception 01 instead of a register.
    bool refusesReads = false;
    // The vendor of its Read Device Identification; empty: function 43 is refused.
    std::string vendor{};
    // The data of its Report Server ID; empty: function 17 is refused.
    Bytes serverId{};
};

class CPtyLineUnit {
public:
    CPtyLineUnit(const CPtyPair& line, LineUnitSettings settings)
        : line_(line), settings_(std::move(settings)) {
        thread_ = std::thread([this] { run(); });
    }
    ~CPtyLineUnit() {
        stop_.set();
        thread_.join();
    }
    CPtyLineUnit(const CPtyLineUnit&) = delete;
    CPtyLineUnit& operator=(const CPtyLineUnit&) = delete;

    // Requests heard so far, at any line setting.
    int requests() const { return requests_.load(); }

private:
    static std::size_t requestLength(std::uint8_t function) {
        switch (function) {
        case 0x03:
            return 8;
        case 0x2B:
            return 7;
        case 0x11:
            return 4;
        default:
            return 0;
        }
    }

    bool lineIsMine() const {
        termios tty{};
        if (::tcgetattr(line_.slave(), &tty) != 0)
            return false;
        return ::cfgetospeed(&tty) == settings_.speed &&
               ((tty.c_cflag & CSTOPB) != 0) == settings_.twoStopBits &&
               ((tty.c_cflag & PARODD) != 0) == settings_.oddParity;
    }

    Bytes answer(const Bytes& request) const {
        const std::uint8_t function = request[1];
        auto refuse = [&] { return rtuFrame({settings_.id, std::uint8_t(function | 0x80), 0x01}); };
        if (function == 0x03)
            return settings_.refusesReads ? refuse() : rtuFrame({settings_.id, 3, 2, 0x12, 0x34});
        if (function == 0x2B) {
            if (settings_.vendor.empty())
                return refuse();
            Bytes pdu{
                settings_.id, 0x2B, 0x0E, 0x01, 0x01,
                0x00,         0x00, 0x01, 0x00, static_cast<std::uint8_t>(settings_.vendor.size())};
            pdu.insert(pdu.end(), settings_.vendor.begin(), settings_.vendor.end());
            return rtuFrame(pdu);
        }
        if (settings_.serverId.empty())
            return refuse();
        Bytes pdu{settings_.id, 0x11, static_cast<std::uint8_t>(settings_.serverId.size())};
        pdu.insert(pdu.end(), settings_.serverId.begin(), settings_.serverId.end());
        return rtuFrame(pdu);
    }

    // Takes whole requests off the front of `pending`; drops what cannot start one.
    void serve(Bytes& pending) {
        while (pending.size() >= 2) {
            const std::size_t length = requestLength(pending[1]);
            if (length == 0) {
                pending.clear();
                return;
            }
            if (pending.size() < length)
                return;
            const Bytes request(pending.begin(), pending.begin() + static_cast<long>(length));
            pending.erase(pending.begin(), pending.begin() + static_cast<long>(length));
            ++requests_;
            if (request == rtuFrame(Bytes(request.begin(), request.end() - 2)) &&
                request[0] == settings_.id && lineIsMine())
                line_.send(answer(request));
        }
    }

    void run() {
        Bytes pending;
        while (true) {
            pollfd fds[2] = {{line_.master(), POLLIN, 0}, {stop_.fd(), POLLIN, 0}};
            if (::poll(fds, 2, 10000) <= 0 || fds[1].revents != 0)
                return;
            std::uint8_t buffer[256];
            const ssize_t n = ::read(line_.master(), buffer, sizeof buffer);
            if (n <= 0)
                continue;
            pending.insert(pending.end(), buffer, buffer + n);
            serve(pending);
        }
    }

    const CPtyPair& line_;
    LineUnitSettings settings_;
    std::atomic<int> requests_{0};
    CEvent stop_;
    std::thread thread_;
};
