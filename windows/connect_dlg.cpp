#include "windows/connect_dlg.h"

#include "comms/client_socket.h"
#include "comms/comms_context.h"
#include "comms/port_map.h"
#include "config/settings_file.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "windows/port_line_settings.h"
#include "windows/vantrel_doc.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int kMsPerSecond = 1000;

} // namespace

std::array<int, 4> connectColumnWidths(int width) {
    return {width / 4, width * 3 / 10, width / 10, width * 3 / 8};
}

CConnectDlg::CConnectDlg(CVantrelDoc& document, CSettingsFile& settings, IConnectWindow& window,
                         IModemJobQueue& jobs, WindowHandle notifyWindow,
                         std::string decimalSeparator)
    : document_(document), settings_(settings), window_(window),
      dialer_(jobs, document.message(), *this, notifyWindow),
      decimalSeparator_(std::move(decimalSeparator)) {}

bool CConnectDlg::initialise() {
    selectedRow = -1;
    dialer_.dialState = DialIdle;
    dialer_.callPlaced = 0;
    document_.context().modemConnected = 0;
    window_.setStatusText({});
    window_.showAbort(false);
    rows_.clear();
    bool anyLocation = false;
    for (int index = 0; index < settings_.count(); ++index) {
        const CLocation* location = settings_.getLocation(index);
        // An empty entry of a damaged file keeps its row, so rows and list indexes agree.
        if (location == nullptr) {
            rows_.push_back({});
            continue;
        }
        anyLocation = true;
        rows_.push_back({location->name, location->numberText(decimalSeparator_),
                         location->mediaText(), location->detailsText()});
        if (selectedRow < 0 && location->name == settings_.lastLocationName)
            selectedRow = index;
    }
    if (!anyLocation) {
        window_.messageBox(std::string(loadString(kIdsNoLocations)));
        window_.closeDialog();
        return false;
    }
    if (selectedRow < 0)
        selectedRow = 0;
    if (document_.reconnecting) {
        document_.closeSocket();
        connect();
    }
    return true;
}

void CConnectDlg::connect() {
    if (connecting_)
        return;
    dialer_.callPlaced = 0;
    if (selectedRow < 0 || selectedRow >= static_cast<int>(rows_.size())) {
        window_.messageBox(std::string(loadString(kIdsSelectLocation)));
        return;
    }
    const CLocation* location = settings_.getLocation(selectedRow);
    if (location == nullptr) {
        window_.messageBox(std::string(loadString(kIdsLocationsChanged)));
        return;
    }
    location_ = *location;
    connecting_ = true;
    window_.enableButtons(false);
    window_.setLocationText(location_.name);
    window_.setStatusText(std::string(loadString(kIdsInitiating)));
    if (location_.isTcpIp())
        connectTcp();
    else
        connectSerial();
}

void CConnectDlg::connectTcp() {
    CCommsContext& context = document_.context();
    context.message.serialLink = 0;
    context.socket.connected = 0;
    context.socket.connectError = 0;
    elapsedMs_ = 0;
    timeLimitMs_ = location_.time1;
    const int result = context.socket.connectTo(location_.ipAddress,
                                                static_cast<std::uint16_t>(location_.tcpPort));
    if (result != 0) {
        reportTcpError(result);
        return;
    }
    tcpConnecting_ = true;
    window_.startTimer(kTimerTcpConnect);
}

void CConnectDlg::tcpTick() {
    if (!tcpConnecting_)
        return;
    CClientSocket& socket = document_.context().socket;
    elapsedMs_ += kTimerTcpConnectMs;
    if (elapsedMs_ % kMsPerSecond == 0)
        window_.setStatusText(formatString(kIdsWaitingForConnect, elapsedMs_ / kMsPerSecond));
    if (socket.connected != 0) {
        tcpConnecting_ = false;
        window_.stopTimer(kTimerTcpConnect);
        finishConnected();
    } else if (const int error = socket.connectError; error != 0) {
        tcpConnecting_ = false;
        window_.stopTimer(kTimerTcpConnect);
        reportTcpError(error);
    } else if (elapsedMs_ > timeLimitMs_) {
        tcpConnecting_ = false;
        window_.stopTimer(kTimerTcpConnect);
        socket.disconnect();
        reportTcpError(static_cast<int>(kIdsTcpTimedOut));
    }
}

void CConnectDlg::reportTcpError(int code) {
    const std::string detail = code == kResultUnknownTcpError
                                   ? document_.context().socket.unknownErrorText()
                                   : std::string(loadString(static_cast<unsigned>(code)));
    const std::string text = formatString(
        document_.reconnecting ? kIdsTcpReconnectFailed : kIdsTcpUnableToConnect, detail.c_str());
    connecting_ = false;
    window_.messageBox(text);
    window_.setStatusText(text);
    window_.enableButtons(true);
}

void CConnectDlg::connectSerial() {
    const std::optional<int> portNumber = readComNumber(location_.portName, ComNaming::PortName);
    if (!portNumber) {
        reportSerialError(kIdsInvalidPortNumber);
        return;
    }
    if (!openPort(*portNumber)) {
        reportSerialError(kIdsPortOpenFailed, portRefusalHint(*portNumber));
        return;
    }
    loadSerialEngineParameters();
    if (location_.mediaType == MediaType::Direct)
        finishConnected();
    else
        startDialing();
}

bool CConnectDlg::openPort(int portNumber) {
    const std::optional<PortLineSettings> line = portLineSettings(location_);
    return line && openLinePort(document_.context().serialPort, portNumber, *line);
}

void CConnectDlg::loadSerialEngineParameters() {
    CModbusMessage& message = document_.message();
    message.readPause = readPauseForBaudIndex(location_.baudIndex);
    message.modemTimeout = location_.connectTimeout * kMsPerSecond;
    message.retries = location_.retries;
    message.serialLink = 1;
    message.setFrameFormat(static_cast<int>(location_.modbusType));
}

void CConnectDlg::startDialing() {
    ModemDialSettings settings;
    settings.initString = location_.modemInitString;
    settings.number = location_.number;
    settings.connectTimeout = location_.connectTimeout;
    settings.redialWait = location_.redialWait;
    settings.disconnectAfter = location_.disconnectAfter;
    settings.retries = location_.retries;
    settings.time1 = location_.time1;
    settings.time2 = location_.time2;
    settings.modbusId = static_cast<std::uint8_t>(location_.modbusId & 0xFF);
    dialing_ = true;
    window_.startTimer(kTimerDialing);
    dialer_.start(settings);
}

void CConnectDlg::reportSerialError(unsigned code, const std::string& statusSuffix) {
    const std::string text(loadString(code));
    connecting_ = false;
    window_.messageBox(text);
    window_.setStatusText(text + statusSuffix);
    window_.enableButtons(true);
}

void CConnectDlg::finishConnected() {
    CModbusMessage& message = document_.message();
    message.applyFraming(static_cast<int>(location_.modbusType),
                         location_.modiconCompatible != 0 ? kAddressingIndexModicon
                                                          : kAddressingIndexLogical,
                         static_cast<std::uint8_t>(location_.modbusId & 0xFF));
    message.removeEcho = location_.rs485TwoWire;
    message.time1 = location_.time1;
    message.time2 = location_.time2;
    message.retries = location_.retries;
    settings_.lastLocationName = location_.name;
    settings_.save();
    document_.currentLocation = location_;
    document_.hasCurrentLocation = true;
    window_.setStatusText(formatString(kIdsConnectedTo, location_.name.c_str()));
    document_.context().socket.closeError = 0;
    document_.online = 1;
    connecting_ = false;
    dialing_ = false;
    window_.closeDialog();
}

void CConnectDlg::abort() {
    if (!dialing_)
        return;
    dialer_.abort();
}

void CConnectDlg::onTimer(int id) {
    if (id == kTimerTcpConnect)
        tcpTick();
    else if (id == kTimerDialing && dialing_)
        dialer_.onTimer();
}

void CConnectDlg::onCommsResult(WParam wParam, LParam lParam) {
    if (dialing_)
        dialer_.onCommsResult(wParam, lParam);
}

void CConnectDlg::statusText(const std::string& text) {
    window_.setStatusText(text);
}
void CConnectDlg::messageBox(unsigned id) {
    window_.messageBox(std::string(loadString(id)));
}
void CConnectDlg::modemResponse(const std::string& line) {
    window_.setModemResponse(line);
}
void CConnectDlg::showAbort(bool visible) {
    window_.showAbort(visible);
}
void CConnectDlg::stopTimer() {
    window_.stopTimer(kTimerDialing);
}

void CConnectDlg::connected(std::int32_t idleLimitMs) {
    CCommsContext& context = document_.context();
    context.modemIdleMs = 0;
    document_.modemIdleLimitMs = idleLimitMs;
    context.modemConnected = 1;
    window_.stopTimer(kTimerDialing);
    finishConnected();
}

void CConnectDlg::goOffline() {
    document_.online = 0;
}
void CConnectDlg::runHangUp() {
    window_.runHangUp();
}
void CConnectDlg::closePort() {
    document_.context().modemConnected = 0;
    document_.closeSerialPort();
}

void CConnectDlg::dialingStopped() {
    dialing_ = false;
    connecting_ = false;
    window_.stopTimer(kTimerDialing);
    window_.enableButtons(true);
}
