#pragma once

// Puts the document online at a location without the Connect dialog: the socket connected to
// 127.0.0.1 or the serial port opened on the device COMn is mapped to, and the engine
// parameters of the transaction object set from the location. The one place where the window
// tests connect.

#include "app/vantrel_doc.h"
#include "comms/comms_context.h"
#include "config/location.h"
#include "platform/clock.h"

#include <cstdint>

constexpr std::uint32_t kLoopbackAddress = 0x7F000001;

inline void setEngineParameters(CVantrelDoc& document, const CLocation& location) {
    CModbusMessage& m = document.message();
    m.modbusId = static_cast<std::uint8_t>(location.modbusId);
    m.retries = location.retries;
    m.time1 = location.time1;
    m.time2 = location.time2;
    m.serialLink = location.isTcpIp() ? 0 : 1;
    m.binaryMode = location.modbusType == ModbusType::Ascii ? 0 : 1;
    m.tcpMode = location.modbusType == ModbusType::ModbusTcp ? 1 : 0;
    m.readPause = location.isTcpIp() ? 0 : readPauseForBaudIndex(location.baudIndex);
    document.currentLocation = location;
    document.hasCurrentLocation = true;
    document.online = 1;
}

// Connects to the location's TCP port on 127.0.0.1; true once connected (within 5 s).
inline bool connectDocument(CVantrelDoc& document, const CLocation& location) {
    CClientSocket& socket = document.context().socket;
    if (socket.connectTo(kLoopbackAddress, static_cast<std::uint16_t>(location.tcpPort)) != 0)
        return false;
    for (int i = 0; i < 500 && socket.connected.load() == 0 && socket.connectError.load() == 0; ++i)
        sleepMs(10);
    if (socket.connected.load() != 1)
        return false;
    setEngineParameters(document, location);
    return true;
}

// Opens the location's port (COMn through the port map) at its settings; true when open.
inline bool connectDocumentSerial(CVantrelDoc& document, const CLocation& location,
                                  int portNumber) {
    CSerialPort& port = document.context().serialPort;
    port.open(portNumber,
              static_cast<std::uint32_t>(kBaudRates[static_cast<std::size_t>(location.baudIndex)]),
              Parity::None, 8, StopBits::One, FlowControl::None, true);
    if (!port.isOpen())
        return false;
    port.setTimeouts({kReadIntervalImmediate, 0, 0, 0, 0});
    setEngineParameters(document, location);
    return true;
}
