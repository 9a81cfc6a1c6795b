#pragma once

#include "platform/window_messages.h"
#include "protocol/modbus_message.h"

#include <cstdint>

// Kinds of job, and the wParam values of WM_COMMS_RESULT.
enum class JobType : std::uint8_t {
    ModbusRequest = 1,
    ModemCommand = 2,
    // Not a job: the wParam of the notice posted before each further attempt of a ModemCommand.
    Retrying = 3,
};

// The largest request a job may carry: one frame buffer.
constexpr int kMaxRequestLength = kFrameBufferSize;

// One queued request. The buffers belong to the submitter and must stay valid until
// WM_COMMS_RESULT with the job's type arrives or the submitter has dropped its jobs (or its
// window has unregistered).
//
// What a ModbusRequest job hands back, before its result is posted, so that the submitter shows
// what was on the wire:
// - `request` holds the frame as it last went out (a Modbus/TCP request carries the transaction
//   identifier of its last attempt instead of the one it was queued with);
// - `response` holds, when the result is 0, the reply as extracted, with the identifier as it
//   came back; otherwise every byte the last attempt received after sending, in the order they
//   arrived (a reply from another unit, one with a bad check value, a part of a reply), possibly
//   none.
struct CCommsJob {
    JobType type = JobType::ModbusRequest;
    std::uint8_t* request = nullptr;              // the frame or command text to send
    const std::uint16_t* requestLength = nullptr; // bytes to send, 1 to 640
    std::uint8_t* response = nullptr;             // receives the response, 640 bytes or more
    std::uint16_t* responseLength = nullptr;      // receives the number of response bytes
    WindowHandle notifyWindow = 0;                // receives WM_COMMS_RESULT; key of dropping
};
