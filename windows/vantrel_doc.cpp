#include "windows/vantrel_doc.h"

#include "comms/comms_context.h"
#include "config/settings_file.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

CVantrelDoc::CVantrelDoc() : context_(std::make_unique<CCommsContext>()) {}

CVantrelDoc::~CVantrelDoc() {
    stopCommsThread();
}

bool CVantrelDoc::stopCommsThread() {
    return context_->engine.stopThread(*context_);
}

bool CVantrelDoc::onNewDocument(IMessageBox& messageBox) {
    if (context_->commsThreadRunning)
        return true;
    if (!context_->engine.startThread(*context_)) {
        messageBox.showWarning(std::string(loadString(kIdsThreadStartFailed)));
        return false;
    }
    return true;
}

void CVantrelDoc::onCloseDocument(CSettingsFile& settings) {
    settings.save();
}

CModbusMessage& CVantrelDoc::message() {
    return context_->message;
}
const CModbusMessage& CVantrelDoc::message() const {
    return context_->message;
}

int CVantrelDoc::logComms() const {
    return context_->logComms;
}
void CVantrelDoc::setLogComms(int value) {
    context_->logComms = value;
}
bool CVantrelDoc::commsThreadRunning() const {
    return context_->commsThreadRunning != 0;
}
bool CVantrelDoc::modemConnected() const {
    return context_->modemConnected != 0;
}

int CVantrelDoc::addModemIdleMs(int milliseconds) {
    return context_->modemIdleMs.fetch_add(milliseconds) + milliseconds;
}

void CVantrelDoc::abortCurrentJob() {
    context_->engine.abortCurrentJob();
}
void CVantrelDoc::dropQueuedJobs() {
    context_->engine.cancelJobs(0);
}
void CVantrelDoc::closeSocket() {
    context_->socket.disconnect();
}

void CVantrelDoc::closeSerialPort() {
    try {
        context_->serialPort.close();
    } catch (const CSerialException&) {
        // Closing goes ahead whatever the device says; there is nothing left to tell the user.
    }
}

std::uint32_t CVantrelDoc::socketCloseError() const {
    return static_cast<std::uint32_t>(context_->socket.closeError.load());
}
bool CVantrelDoc::socketConnected() const {
    return context_->socket.connected != 0;
}
bool CVantrelDoc::socketLinkBroken() const {
    return context_->socket.linkBroken != 0;
}

int CVantrelDoc::addLogRecord(CommsLogType type, unsigned size, const void* data) {
    return context_->engine.addLogRecord(static_cast<unsigned>(type), size, data);
}

void CVantrelDoc::goOffline(const std::function<void()>& hangUpModem) {
    const bool wasOnline = online != 0;
    online = 0;
    if (wasOnline)
        abortCurrentJob();
    dropQueuedJobs();
    closeSocket();
    if (modemConnected())
        hangUpModem();
    closeSerialPort();
}
