#pragma once

#include "commslog/comms_log_store.h"
#include "config/location.h"
#include "windows/message_box.h"
#include "windows/register_table_dlg.h"

#include <cstdint>
#include <functional>
#include <memory>

class CCommsContext;
class CModbusMessage;
class CSettingsFile;

// The one document: the comms context (serial port, socket, engine with its thread and log, the
// transaction object), the location connected to and the connection state.
class CVantrelDoc {
public:
    CVantrelDoc();
    // Stops the comms thread, waiting at most 10 s, before the members go.
    ~CVantrelDoc();
    CVantrelDoc(const CVantrelDoc&) = delete;
    CVantrelDoc& operator=(const CVantrelDoc&) = delete;

    // Starts the comms thread unless it runs already. Returns false, after message 5058, when
    // it cannot be started.
    bool onNewDocument(IMessageBox& messageBox);
    // Stops the comms thread, waiting at most 10 s. Returns true when it has ended (or never
    // ran).
    bool stopCommsThread();
    // Saves the settings file; called when the program closes the document.
    void onCloseDocument(CSettingsFile& settings);

    CCommsContext& context() { return *context_; }
    CModbusMessage& message();
    const CModbusMessage& message() const;

    int logComms() const;
    void setLogComms(int value);
    bool commsThreadRunning() const;
    bool modemConnected() const;
    // Adds to the modem idle time; returns the new value.
    int addModemIdleMs(int milliseconds);

    // Aborts the job the comms thread is serving, waiting at most 10 s for it to give up.
    void abortCurrentJob();
    // Drops every queued job, waiting at most 10 s for the comms thread to confirm.
    void dropQueuedJobs();
    void closeSocket();
    void closeSerialPort();
    // Goes offline: the job in hand is aborted, queued ones dropped, the socket closed and, for a
    // modem still off hook, `hangUpModem` run before the serial port closes.
    void goOffline(const std::function<void()>& hangUpModem);
    std::uint32_t socketCloseError() const;
    bool socketConnected() const;
    bool socketLinkBroken() const;
    // Adds a record to the comms log; returns 0 or the store's result code.
    int addLogRecord(CommsLogType type, unsigned size, const void* data);

    // The copy of the location connected to, replaced at every successful connect.
    CLocation currentLocation;
    bool hasCurrentLocation = false;
    int online = 0;
    int reconnecting = 0;
    int modemIdleLimitMs = 0;
    // The Test window's reads, for the register tables.
    CReadFeed readFeed;

private:
    std::unique_ptr<CCommsContext> context_;
};
