#pragma once

#include "platform/window_messages.h"

#include <cstdint>
#include <string>
#include <string_view>

// Text of the AT commands sent to a dial-up or satellite modem.

// The initialisation command: `initString` + CR, prefixed with "AT" when the string is empty,
// with nothing when it already starts with "AT", and with "AT " otherwise.
std::string modemInitCommand(std::string_view initString);
// "ATDT" + number + CR.
std::string modemDialCommand(std::string_view number);
// The escape to command mode (no CR) and the hang-up command.
constexpr std::string_view kModemEscape = "+++";
constexpr std::string_view kModemHangUp = "ATH\r";

// A modem's answer as the comms thread returned it.
struct ModemAnswer {
    std::string text;      // every byte of the answer
    std::string line;      // the text after the first CR LF, up to the next CR or LF
    char resultChar = ' '; // first character after the first CR LF (a numeric result), else blank

    // True when `word` occurs anywhere in the answer (case-sensitive).
    bool contains(std::string_view word) const { return text.find(word) != std::string::npos; }
};

ModemAnswer readModemAnswer(const std::uint8_t* response, int length);

// Submits modem commands to the comms thread. The engine adapter implements it; each job's result
// arrives later as WM_COMMS_RESULT at the window given.
class IModemJobQueue {
public:
    virtual ~IModemJobQueue() = default;
    // Queues `*length` bytes of `command` as a modem command; the answer goes to `response`
    // (640 bytes) and `*responseLength`. Every buffer must stay valid until the job's result has
    // arrived. Returns 0 or the result code of the refusal.
    virtual int queueModemCommand(std::uint8_t* command, std::uint16_t* length,
                                  std::uint8_t* response, std::uint16_t* responseLength,
                                  WindowHandle notifyWindow) = 0;
    // Aborts the job being served, waiting (bounded) for the comms thread to acknowledge.
    virtual void abortCurrentJob() = 0;
};

class CCommsEngine;

// Modem commands as ModemCommand jobs of the comms engine.
class CEngineModemJobs final : public IModemJobQueue {
public:
    explicit CEngineModemJobs(CCommsEngine& engine) : engine_(engine) {}
    int queueModemCommand(std::uint8_t* command, std::uint16_t* length, std::uint8_t* response,
                          std::uint16_t* responseLength, WindowHandle notifyWindow) override;
    void abortCurrentJob() override;

private:
    CCommsEngine& engine_;
};
