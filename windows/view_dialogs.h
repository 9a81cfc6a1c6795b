#pragma once

#include "config/location.h"
#include "platform/window_messages.h"

class CSettingsFile;
class CVantrelDoc;

// The windows the view's commands open. The application opens the real dialogs; tests record
// the calls instead.
class IViewDialogs {
public:
    virtual ~IViewDialogs() = default;

    // The start-up splash, modal.
    virtual void showSplash() = 0;
    // The About box, modal.
    virtual void showAbout() = 0;
    // Setup Locations, modal. Returns true when the user pressed OK, changes or not; the dialog
    // has then put its list into `settings` (as deep copies).
    virtual bool runLocations(CSettingsFile& settings) = 0;
    // The Connect dialog, modal; when it connects it copies the location into the document's
    // currentLocation, sets hasCurrentLocation and puts the document online.
    virtual void runConnect(CVantrelDoc& document, CSettingsFile& settings) = 0;
    // The modem hang-up dialog, modal; it clears modemConnected when the modem has hung up.
    virtual void runHangUp(CVantrelDoc& document) = 0;
    // Test Modbus Communications, modal, on the document's current location and transaction
    // object. `addressingMode` is 2 (Modicon Compatible) or 0 (Logical Addressing).
    virtual void runTest(CVantrelDoc& document, int modbusId, ModbusType modbusType,
                         int addressingMode) = 0;
    // Find Unit, modal: sweeps for units offline; Create Location adds to `settings` and saves.
    virtual void runFindUnit(CVantrelDoc& /*document*/, CSettingsFile& /*settings*/) {}
    // Change Temporary Comms Parameters, modal. Returns true, with the three values changed, on
    // OK.
    virtual bool runTemporaryComms(MediaType mediaType, int& retries, int& time1, int& time2) = 0;
};
