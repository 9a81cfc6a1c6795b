#pragma once

#include "platform/window_messages.h"

#include <cstdint>

// Kinds of job, and the wParam values of WM_COMMS_RESULT.
enum class JobType : std::uint8_t {
    ModbusRequest = 1,
    ModemCommand = 2,
    // Not a job: the wParam of the notice posted before each further attempt of a ModemCommand.
    Retrying = 3,
};

constexpr int kMaxRequestLength = 640;

// One queued request. The buffers belong to the submitter and must stay valid until
// WM_COMMS_RESULT with the job's type arrives or the submitter has dropped its jobs (or its
// window has unregistered).
struct CCommsJob {
    JobType type = JobType::ModbusRequest;
    const std::uint8_t* request = nullptr;        // the frame or command text to send
    const std::uint16_t* requestLength = nullptr; // bytes to send, 1 to 640
    std::uint8_t* response = nullptr;             // receives the response, 640 bytes or more
    std::uint16_t* responseLength = nullptr;      // receives the number of response bytes
    WindowHandle notifyWindow = 0;                // receives WM_COMMS_RESULT; key of dropping
};
