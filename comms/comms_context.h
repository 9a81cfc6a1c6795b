#pragma once

#include "comms/client_socket.h"
#include "comms/comms_engine.h"
#include "comms/serial_port.h"
#include "platform/window_messages.h"
#include "protocol/modbus_message.h"

#include <atomic>
#include <cstdint>

// The part of the document that the comms thread works with. The application's document owns
// one for the whole run. The engine is declared last so that it is destroyed first: its
// destructor ends the thread while the port, socket and message still exist.
class CCommsContext {
public:
    CCommsContext() = default;
    ~CCommsContext() { engine.stopThread(*this); }
    CCommsContext(const CCommsContext&) = delete;
    CCommsContext& operator=(const CCommsContext&) = delete;

    std::atomic<std::int32_t> logComms{1};           // "Log Communications" is on at start
    std::atomic<std::int32_t> commsThreadRunning{0}; // written by the comms thread
    std::atomic<std::int32_t> modemConnected{0};
    std::atomic<std::int32_t> modemIdleMs{0}; // reset by the comms thread at every attempt
    // The main frame, which receives WM_TX_ACTIVITY and WM_RX_ACTIVITY.
    std::atomic<WindowHandle> mainWindow{0};

    CModbusMessage message;
    CSerialPort serialPort;
    CClientSocket socket;
    CCommsEngine engine;
};
