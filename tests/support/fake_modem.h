#pragma once

// A Hayes-style modem on the far end of a pseudo-terminal, for the dialing tests of the comms
// layer and of the Connect window.

#include "platform/clock.h"
#include "tests/support/test_frames.h"
#include "tests/support/test_serial_support.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct FakeModemSetup {
    // Echoes each command back, as a modem with E1 does.
    bool echo = false;
    // After CONNECT, answers any Modbus RTU request as a unit whose registers all hold 1, until
    // "+++" takes it back to command mode.
    bool carriesData = false;
    std::string initAnswer = "OK";
    std::string escapeAnswer = "OK";
    // Answers to successive dial commands; the last one repeats.
    std::deque<std::string> dialAnswers{"CONNECT 9600"};
};

// Answers are "\r\n<text>\r\n"; an empty answer is silence.
class CFakeModem {
public:
    explicit CFakeModem(const CPtyPair& line, FakeModemSetup setup = {})
        : line_(line), setup_(std::move(setup)) {
        thread_ = std::thread([this] { run(); });
    }
    ~CFakeModem() {
        stop_ = true;
        thread_.join();
    }
    CFakeModem(const CFakeModem&) = delete;
    CFakeModem& operator=(const CFakeModem&) = delete;

    void setInitAnswer(std::string a) { set(setup_.initAnswer, std::move(a)); }
    void setEscapeAnswer(std::string a) { set(setup_.escapeAnswer, std::move(a)); }
    void setDialAnswers(std::deque<std::string> a) {
        std::lock_guard lock(lock_);
        setup_.dialAnswers = std::move(a);
    }
    std::vector<std::string> commands() const {
        std::lock_guard lock(lock_);
        return commands_;
    }
    // Commands heard and left unanswered.
    int silences() const { return silences_; }
    int dials() const {
        int count = 0;
        for (const std::string& command : commands())
            count += command.rfind("ATDT", 0) == 0 ? 1 : 0;
        return count;
    }

private:
    void set(std::string& field, std::string value) {
        std::lock_guard lock(lock_);
        field = std::move(value);
    }
    std::string reply(const std::string& command) {
        std::lock_guard lock(lock_);
        commands_.push_back(command);
        if (command == "+++")
            return setup_.escapeAnswer;
        if (command == "ATH")
            return "OK";
        if (command.rfind("ATDT", 0) != 0)
            return setup_.initAnswer;
        std::deque<std::string>& dials = setup_.dialAnswers;
        const std::string answer = dials.empty() ? "" : dials.front();
        if (dials.size() > 1)
            dials.pop_front();
        dataMode_ = setup_.carriesData && answer.rfind("CONNECT", 0) == 0;
        return answer;
    }
    void answer(const std::string& command) {
        const std::string text = reply(command);
        if (text.empty())
            ++silences_;
        if (setup_.echo && command != "+++")
            line_.send(command + "\r");
        if (!text.empty()) {
            sleepMs(20);
            line_.send("\r\n" + text + "\r\n");
        }
    }
    void carryData(std::string& pending) {
        if (pending == "+++") {
            dataMode_ = false;
            pending.clear();
            answer("+++");
        } else if (pending.size() >= 8) {
            const auto unit = static_cast<std::uint8_t>(pending[0]);
            pending.clear();
            line_.send(rtuFrame({unit, 3, 2, 0, 1}));
        }
    }
    void run() {
        std::string pending;
        const std::uint32_t start = tickCount();
        while (!stop_ && tickCount() - start < 120000) {
            const auto bytes = line_.receive(1, 20);
            pending.append(bytes.begin(), bytes.end());
            if (dataMode_) {
                carryData(pending);
                continue;
            }
            if (pending == "+++") {
                pending.clear();
                answer("+++");
            }
            for (std::size_t cr; (cr = pending.find('\r')) != std::string::npos;) {
                const std::string command = pending.substr(0, cr);
                pending.erase(0, cr + 1);
                answer(command);
            }
        }
    }

    const CPtyPair& line_;
    mutable std::mutex lock_;
    FakeModemSetup setup_;
    std::vector<std::string> commands_;
    std::atomic<int> silences_{0};
    std::atomic<bool> dataMode_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
