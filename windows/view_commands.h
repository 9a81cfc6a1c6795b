#pragma once

#include "platform/process.h"
#include "windows/message_box.h"
#include "windows/view_dialogs.h"

#include <functional>
#include <string>

class CModbusMessage;
class CSettingsFile;
class CVantrelDoc;

// What the view's commands do, apart from the window they run in.
class CViewCommands {
public:
    CViewCommands(CVantrelDoc& document, CSettingsFile& settings, IViewDialogs& dialogs,
                  IMessageBox& messageBox, std::function<void()> postStatusRefresh);

    void toggleLogCommunications();
    void locations();
    // Connect...: message 7002 when no location is set up, else the Connect dialog and what
    // follows it.
    void connect();
    // Disconnect: the disconnect sequence, then the disconnected record (and the socket's close
    // error when the link was TCP/IP) in the log when logging is on.
    void disconnect();
    void temporaryCommsSetup();
    // Find Unit...: the finder, which may add a location to the settings.
    void findUnit();
    // Test Comms...: message 7009 without a current location, else the test dialog.
    void testComms();
    // Shows `path` with the configured viewer, waiting for it to end, or hands it to the
    // desktop; says so, naming the file, when nothing could show it.
    void releaseNotes(const std::string& path);
    // Shows the help document in the same way, without waiting.
    void helpTopics(const std::string& path);

    // Abort the current job, drop queued jobs, close the socket, hang up a modem call and close
    // the serial port. Does nothing when the comms thread is not running.
    void disconnectSequence();
    // One tick of the 5-second watchdog: modem idle time and TCP/IP link loss.
    void watchdogTick();

    static constexpr int kWatchdogMs = 5000;

private:
    void afterConnectDialog();
    void showDocument(const std::string& path, bool wait);

    CVantrelDoc& document_;
    CSettingsFile& settings_;
    IViewDialogs& dialogs_;
    IMessageBox& messageBox_;
    std::function<void()> postStatusRefresh_;
};

// Change Temporary Settings, from the view or the Test dialog: the retries and time-outs of
// `message` through the temporary settings dialog. True when the user accepted new values (the
// status bar then needs to show them).
bool changeTemporarySettings(CModbusMessage& message, MediaType mediaType, IViewDialogs& dialogs);

// What to tell the user when `file` could not be shown, and how they may view it.
std::string fileNotShownText(const ShowResult& result, const std::string& file);
