#include "windows/view_commands.h"

#include "config/settings_file.h"
#include "platform/system_errors.h"
#include "protocol/modbus_message.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "windows/vantrel_doc.h"

#include <cstdint>

CViewCommands::CViewCommands(CVantrelDoc& document, CSettingsFile& settings, IViewDialogs& dialogs,
                             IMessageBox& messageBox, std::function<void()> postStatusRefresh)
    : document_(document), settings_(settings), dialogs_(dialogs), messageBox_(messageBox),
      postStatusRefresh_(std::move(postStatusRefresh)) {}

void CViewCommands::toggleLogCommunications() {
    document_.setLogComms(document_.logComms() ? 0 : 1);
}

void CViewCommands::locations() {
    if (document_.online)
        return;
    if (dialogs_.runLocations(settings_)) {
        settings_.save();
        postStatusRefresh_();
    }
}

void CViewCommands::connect() {
    if (document_.online)
        return;
    // Empty entries left by a damaged settings file are no locations to connect to.
    bool anyLocation = false;
    for (int index = 0; index < settings_.count() && !anyLocation; ++index)
        anyLocation = settings_.getLocation(index) != nullptr;
    if (!anyLocation) {
        messageBox_.showMessage(std::string(loadString(kIdsNoLocations)));
        return;
    }
    dialogs_.runConnect(document_, settings_);
    afterConnectDialog();
}

void CViewCommands::afterConnectDialog() {
    if (document_.online && document_.logComms())
        document_.addLogRecord(document_.reconnecting ? CommsLogType::Reconnected
                                                      : CommsLogType::Connected,
                               0, nullptr);
    postStatusRefresh_();
    if (document_.online && !document_.reconnecting)
        testComms();
}

void CViewCommands::disconnect() {
    disconnectSequence();
    if (document_.logComms()) {
        document_.addLogRecord(CommsLogType::Disconnected, 0, nullptr);
        const std::uint32_t closeError = document_.socketCloseError();
        if (closeError != 0 && document_.message().serialLink == 0) {
            // Least significant byte first, as the exchanges write their result codes.
            const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(closeError),
                                           static_cast<std::uint8_t>(closeError >> 8),
                                           static_cast<std::uint8_t>(closeError >> 16),
                                           static_cast<std::uint8_t>(closeError >> 24)};
            document_.addLogRecord(CommsLogType::Error, sizeof bytes, bytes);
        }
    }
    // The status bar would otherwise go on describing the connection just closed.
    postStatusRefresh_();
}

void CViewCommands::disconnectSequence() {
    if (!document_.commsThreadRunning())
        return;
    document_.goOffline([this] { dialogs_.runHangUp(document_); });
}

void CViewCommands::findUnit() {
    dialogs_.runFindUnit(document_, settings_);
    postStatusRefresh_();
}

void CViewCommands::temporaryCommsSetup() {
    if (!document_.online)
        return;
    if (changeTemporarySettings(document_.message(), document_.currentLocation.mediaType, dialogs_))
        postStatusRefresh_();
}

bool changeTemporarySettings(CModbusMessage& message, MediaType mediaType, IViewDialogs& dialogs) {
    int retries = message.retries;
    int time1 = message.time1;
    int time2 = message.time2;
    if (!dialogs.runTemporaryComms(mediaType, retries, time1, time2))
        return false;
    message.retries = retries;
    message.time1 = time1;
    message.time2 = time2;
    return true;
}

void CViewCommands::testComms() {
    if (!document_.online)
        return;
    if (!document_.hasCurrentLocation) {
        messageBox_.showWarning(std::string(loadString(kIdsLocationNotValid)));
        return;
    }
    const CLocation& location = document_.currentLocation;
    dialogs_.runTest(document_, document_.message().modbusId, location.modbusType,
                     location.modiconCompatible ? kAddressingIndexModicon
                                                : kAddressingIndexLogical);
}

void CViewCommands::releaseNotes(const std::string& path) {
    showDocument(path, true);
}

void CViewCommands::helpTopics(const std::string& path) {
    showDocument(path, false);
}

void CViewCommands::showDocument(const std::string& path, bool wait) {
    const ShowResult result = showFile(path, wait);
    if (!result.shown())
        messageBox_.showWarning(fileNotShownText(result, path));
}

std::string fileNotShownText(const ShowResult& result, const std::string& file) {
    if (result.kind == ShowResult::ViewerFailed)
        return formatString(kIdsViewerNotStarted, result.viewer, file,
                            systemErrorText(result.error));
    return formatString(kIdsFileNotShown, file);
}

void CViewCommands::watchdogTick() {
    if (document_.modemConnected() && document_.online && document_.modemIdleLimitMs != 0) {
        const int idle = document_.addModemIdleMs(kWatchdogMs);
        // An idle call costs money and holds the line: hang it up, as "Disconnect modem after"
        // promises the user.
        if (idle >= document_.modemIdleLimitMs) {
            disconnect();
            return;
        }
    }
    if (document_.online && document_.message().serialLink == 0) {
        if (!document_.socketConnected()) {
            disconnect();
            document_.reconnecting = 1;
            connect();
            document_.reconnecting = 0;
        } else if (document_.socketLinkBroken()) {
            disconnect();
        }
    }
}
