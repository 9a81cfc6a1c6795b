#pragma once

// What the benchmarks that drive the real Test window share: a view whose dialogs open nothing,
// and a document put online over Modbus/TCP to a unit on this machine.

#include "app/app_dialogs.h"
#include "comms/comms_context.h"
#include "platform/clock.h"
#include "windows/vantrel_doc.h"

#include <cstdint>

class CNoDialogs : public IAppDialogs {
public:
    void showSplash() override {}
    void showAbout() override {}
    bool runLocations(CSettingsFile&) override { return false; }
    void runConnect(CVantrelDoc&, CSettingsFile&) override {}
    void runHangUp(CVantrelDoc&) override {}
    void runTest(CVantrelDoc&, int, ModbusType, int) override {}
    bool runTemporaryComms(MediaType, int&, int&, int&) override { return false; }
    QWidget* createCommsLog(WindowHandle) override { return nullptr; }
    QWidget* createConvertor(WindowHandle) override { return nullptr; }
};

// Connects the document's socket to 127.0.0.1:`port` with no retries and 2 s time-outs, as the
// Connect dialog would leave a TCP/IP location online.
inline bool connectDocument(CVantrelDoc& document, std::uint16_t port) {
    CClientSocket& socket = document.context().socket;
    if (socket.connectTo(0x7F000001, port) != 0)
        return false;
    for (int i = 0; i < 500 && socket.connected.load() == 0; ++i)
        sleepMs(10);
    CModbusMessage& m = document.message();
    m.serialLink = 0;
    m.retries = 0;
    m.time1 = 2000;
    m.time2 = 2000;
    document.online = 1;
    return socket.connected.load() == 1;
}
