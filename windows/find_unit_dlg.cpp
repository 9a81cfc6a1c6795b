#include "windows/find_unit_dlg.h"

#include "comms/client_socket.h"
#include "comms/comms_context.h"
#include "comms/port_map.h"
#include "platform/clock.h"
#include "protocol/unit_identification.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "windows/port_line_settings.h"
#include "windows/vantrel_doc.h"

#include <algorithm>
#include <cstdio>

namespace {

// A connection that has not come within this long (or the probe time-out, if longer) is given up.
constexpr std::uint32_t kConnectLimitMs = 1000;
constexpr std::uint8_t kRunIndicatorOn = 0xFF;
constexpr std::size_t kServerIdTextStart = 2;

int frameFormatOf(FindFraming framing) {
    switch (framing) {
    case FindFraming::Ascii:
        return kFrameAscii;
    case FindFraming::ModbusTcp:
        return kFrameModbusTcp;
    default:
        return kFrameRtu;
    }
}

ModbusType modbusTypeOf(FindFraming framing) {
    switch (framing) {
    case FindFraming::Ascii:
        return ModbusType::Ascii;
    case FindFraming::ModbusTcp:
        return ModbusType::ModbusTcp;
    default:
        return ModbusType::Rtu;
    }
}

std::string printable(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] >= 0x20 && bytes[i] < 0x7F)
            text += static_cast<char>(bytes[i]);
    }
    return text;
}

std::string deviceIdText(const DeviceIdentification& identification) {
    std::string text;
    for (const DeviceIdObject& object : identification.objects) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(object.value.data());
        const std::string value = printable(bytes, object.value.size());
        if (value.empty())
            continue;
        text += text.empty() ? value : " " + value;
    }
    return text;
}

std::string serverIdText(const ServerIdReport& report) {
    char id[8];
    std::snprintf(id, sizeof id, "0x%02X", report.data.front());
    const bool running = report.data.size() > 1 && report.data[1] == kRunIndicatorOn;
    std::string rest;
    if (report.data.size() > kServerIdTextStart)
        rest = printable(report.data.data() + kServerIdTextStart,
                         report.data.size() - kServerIdTextStart);
    return formatString(kIdsFindServerId, std::string(id),
                        std::string(loadString(kIdsFindRunIndicator + (running ? 1U : 0U))),
                        rest.empty() ? std::string() : ", " + rest);
}

} // namespace

CFindUnitDlg::CFindUnitDlg(CVantrelDoc& document, IFindUnitView& view, WindowHandle notifyWindow)
    : document_(document), view_(view), notifyWindow_(notifyWindow) {}

CFindUnitDlg::~CFindUnitDlg() {
    if (state_ != FindState::Idle && state_ != FindState::Done)
        stopSweep();
}

FieldCheck<FindField> CFindUnitDlg::start() {
    if (state_ != FindState::Idle && state_ != FindState::Done)
        return {};
    if (document_.online != 0) {
        view_.messageBox(std::string(loadString(kIdsFindOnline)));
        return {};
    }
    FindCheck checked = checkFindForm(form);
    if (!checked.check.accepted)
        return checked.check;
    CCommsContext& context = document_.context();
    if (!context.engine.startThread(context)) {
        view_.messageBox(std::string(loadString(kIdsThreadStartFailed)));
        return {};
    }
    plan_ = std::move(checked.plan);
    results_.clear();
    deadPorts_.clear();
    note_.clear();
    endText_.clear();
    done_ = 0;
    state_ = FindState::Running;
    nextProbe();
    view_.sweepChanged();
    return {};
}

void CFindUnitDlg::pause() {
    if (state_ != FindState::Running)
        return;
    state_ = FindState::Paused;
    view_.sweepChanged();
}

void CFindUnitDlg::resume() {
    if (state_ != FindState::Paused)
        return;
    state_ = FindState::Running;
    if (step_ == Step::None && !connecting_)
        nextProbe();
    view_.sweepChanged();
}

void CFindUnitDlg::cancel() {
    if (state_ != FindState::Running && state_ != FindState::Paused)
        return;
    state_ = FindState::Cancelling;
    if (step_ == Step::None && !connecting_)
        finish(std::string(loadString(kIdsFindCancelled)));
    else
        view_.sweepChanged();
}

void CFindUnitDlg::shutdown() {
    if (state_ == FindState::Idle || state_ == FindState::Done)
        return;
    stopSweep();
    view_.stopConnectTicks();
}

void CFindUnitDlg::stopSweep() {
    CCommsEngine& engine = document_.context().engine;
    if (step_ != Step::None) {
        engine.abortCurrentJob();
        engine.cancelJobs(notifyWindow_);
    }
    step_ = Step::None;
    closeLine();
    state_ = FindState::Done;
    endText_ = loadString(kIdsFindCancelled);
}

void CFindUnitDlg::nextProbe() {
    if (state_ == FindState::Cancelling) {
        finish(std::string(loadString(kIdsFindCancelled)));
        return;
    }
    if (state_ != FindState::Running)
        return;
    while (done_ < plan_.probeCount() && deadPorts_.count(plan_.probe(done_).setting.tcpPort) != 0)
        ++done_;
    if (done_ >= plan_.probeCount()) {
        finish(results_.empty() ? std::string(loadString(kIdsFindNoneFound))
                                : formatString(kIdsFindFound, static_cast<int>(results_.size())));
        return;
    }
    const FindProbe probe = plan_.probe(done_);
    if (!settingReady(probe.setting) && !openSetting(probe.setting))
        return;
    prepareMessage(probe.setting, probe.unitId);
    send(Step::Probe);
}

bool CFindUnitDlg::settingReady(const FindSetting& setting) const {
    if (!lineOpen_)
        return false;
    if (setting.serial())
        return openSetting_ == setting;
    return openSetting_.tcpPort == setting.tcpPort && document_.socketConnected();
}

bool CFindUnitDlg::openSetting(const FindSetting& setting) {
    if (setting.serial())
        return openSerial(setting);
    startTcpConnect(setting);
    return false;
}

bool CFindUnitDlg::openSerial(const FindSetting& setting) {
    closeLine();
    CLocation line;
    line.baudIndex = setting.baudIndex;
    line.parityIndex = setting.parityIndex;
    line.stopBitsIndex = setting.stopBitsIndex;
    line.dataBitsIndex = setting.dataBitsIndex();
    const std::optional<int> number = readComNumber(plan_.portName, ComNaming::PortName);
    const std::optional<PortLineSettings> settings = portLineSettings(line);
    if (!number || !settings || !openLinePort(document_.context().serialPort, *number, *settings)) {
        const std::string text(loadString(kIdsPortOpenFailed));
        view_.messageBox(text);
        finish(text + (number ? portRefusalHint(*number) : std::string()));
        return false;
    }
    lineOpen_ = true;
    openSetting_ = setting;
    return true;
}

void CFindUnitDlg::startTcpConnect(const FindSetting& setting) {
    closeLine();
    CCommsContext& context = document_.context();
    context.socket.connected = 0;
    context.socket.connectError = 0;
    openSetting_ = setting;
    const int result =
        context.socket.connectTo(plan_.ipAddress, static_cast<std::uint16_t>(setting.tcpPort));
    if (result != 0) {
        skipTcpPort(result);
        return;
    }
    connecting_ = true;
    connectStart_ = tickCount();
    view_.startConnectTicks();
}

void CFindUnitDlg::onConnectTick() {
    if (!connecting_)
        return;
    CClientSocket& socket = document_.context().socket;
    const std::uint32_t limit =
        std::max(kConnectLimitMs, static_cast<std::uint32_t>(plan_.timeoutMs));
    if (state_ == FindState::Cancelling) {
        finish(std::string(loadString(kIdsFindCancelled)));
    } else if (socket.connected.load() != 0) {
        connecting_ = false;
        view_.stopConnectTicks();
        lineOpen_ = true;
        nextProbe();
        view_.sweepChanged();
    } else if (const int error = socket.connectError.load(); error != 0) {
        skipTcpPort(error);
    } else if (tickCount() - connectStart_ > limit) {
        skipTcpPort(kResultConnectTimedOut);
    }
}

// No connection to this port: its probes are passed over, and the reason is kept for the end.
void CFindUnitDlg::skipTcpPort(int error) {
    closeLine();
    const std::string reason = error == kResultUnknownTcpError
                                   ? document_.context().socket.unknownErrorText()
                                   : std::string(loadString(static_cast<unsigned>(error)));
    note_ = formatString(kIdsFindConnectFailed, openSetting_.tcpPort, reason);
    deadPorts_.insert(openSetting_.tcpPort);
    nextProbe();
    view_.sweepChanged();
}

void CFindUnitDlg::prepareMessage(const FindSetting& setting, int unitId) {
    CModbusMessage& message = document_.message();
    message.applyFraming(frameFormatOf(setting.framing), kAddressingIndexLogical,
                         static_cast<std::uint8_t>(unitId));
    const bool serial = setting.serial();
    const auto baud = static_cast<std::size_t>(setting.baudIndex);
    message.serialLink = serial ? 1 : 0;
    message.removeEcho = 0;
    message.retries = 0;
    message.time1 = plan_.timeoutMs;
    message.time2 =
        serial ? std::min(plan_.timeoutMs, kDirectTime2ByBaud.at(baud)) : plan_.timeoutMs;
    message.readPause = serial ? readPauseForBaudIndex(setting.baudIndex) : 0;
}

void CFindUnitDlg::send(Step step) {
    CModbusMessage& message = document_.message();
    int length = 0;
    int result = 0;
    if (step == Step::Probe)
        result = buildProbeRequest(message, request_, length);
    else if (step == Step::DeviceId)
        result = buildReadDeviceId(message, request_, length);
    else
        result = buildReportServerId(message, request_, length);
    requestLength_ = static_cast<std::uint16_t>(length);
    responseLength_ = 0;
    if (result == 0)
        result =
            document_.context().engine.queueJob(JobType::ModbusRequest, request_, &requestLength_,
                                                response_, &responseLength_, notifyWindow_);
    if (result != 0) {
        finish(std::string(loadString(static_cast<unsigned>(result))));
        return;
    }
    step_ = step;
    sentAt_ = tickCount();
}

void CFindUnitDlg::onCommsResult(WParam wParam, LParam lParam) {
    if (wParam != static_cast<WParam>(JobType::ModbusRequest) || step_ == Step::None)
        return;
    const Step step = step_;
    step_ = Step::None;
    const auto result = static_cast<int>(lParam);
    if (result == kResultUnknownPortError) {
        const std::string text =
            formatString(kIdsFindPortLost, std::string(loadString(kResultUnknownPortError)));
        view_.messageBox(text);
        finish(text);
        return;
    }
    if (step == Step::Probe)
        onProbeResult(result);
    else
        onIdentificationResult(step, result);
}

void CFindUnitDlg::onProbeResult(int result) {
    // A normal answer or an exception: either way a unit is there.
    const bool exception = document_.message().exceptionReceived.load() == 1;
    if (result != 0 && !exception) {
        advance();
        return;
    }
    const FindProbe probe = plan_.probe(done_);
    pending_ = {probe.setting, probe.unitId, static_cast<int>(tickCount() - sentAt_), {}};
    if (exception)
        pending_.identification = formatString(
            kIdsFindExceptionAnswer, std::string(loadString(static_cast<unsigned>(result))));
    identifyOrKeep(Step::DeviceId);
}

// Asks the unit found who it is, unless the sweep is being stopped.
void CFindUnitDlg::identifyOrKeep(Step step) {
    if (state_ == FindState::Running) {
        send(step);
        return;
    }
    keepFound();
}

void CFindUnitDlg::onIdentificationResult(Step step, int result) {
    const std::vector<std::uint8_t> pdu =
        result == 0 ? replyPdu(document_.message(), response_, responseLength_)
                    : std::vector<std::uint8_t>{};
    const int length = static_cast<int>(pdu.size());
    if (step == Step::DeviceId) {
        DeviceIdentification identification;
        if (result == 0 && decodeDeviceIdentification(pdu.data(), length, identification) == 0) {
            if (const std::string text = deviceIdText(identification); !text.empty())
                pending_.identification = text;
            keepFound();
            return;
        }
        identifyOrKeep(Step::ServerId);
        return;
    }
    ServerIdReport report;
    if (result == 0 && decodeReportServerId(pdu.data(), length, report) == 0)
        pending_.identification = serverIdText(report);
    keepFound();
}

void CFindUnitDlg::keepFound() {
    results_.push_back(pending_);
    advance();
}

void CFindUnitDlg::advance() {
    ++done_;
    if (plan_.stopAtFirst && !results_.empty()) {
        finish(formatString(kIdsFindFound, static_cast<int>(results_.size())));
        return;
    }
    nextProbe();
    view_.sweepChanged();
}

void CFindUnitDlg::finish(const std::string& text) {
    closeLine();
    step_ = Step::None;
    state_ = FindState::Done;
    endText_ = note_.empty() ? text : text + "  " + note_;
    view_.sweepChanged();
}

void CFindUnitDlg::closeLine() {
    if (connecting_)
        view_.stopConnectTicks();
    connecting_ = false;
    lineOpen_ = false;
    document_.closeSerialPort();
    document_.closeSocket();
    document_.message().serialLink = 0;
}

std::string CFindUnitDlg::progressText() const {
    const int total = plan_.probeCount();
    // A sweep that ended (found, cancelled or failed) has nothing left to wait for.
    if (state_ == FindState::Done)
        return formatString(kIdsFindProgressEnded, done_, total);
    const int left = total - done_;
    return formatString(kIdsFindProgress, done_, total, left,
                        durationText(std::int64_t{left} * plan_.timeoutMs));
}

std::string CFindUnitDlg::activityText() const {
    switch (state_) {
    case FindState::Running:
        if (done_ < plan_.probeCount()) {
            const FindProbe probe = plan_.probe(done_);
            return formatString(kIdsFindTrying, settingText(plan_, probe.setting), probe.unitId);
        }
        return {};
    case FindState::Paused:
        return std::string(loadString(kIdsFindPaused));
    case FindState::Cancelling:
        return std::string(loadString(kIdsFindCancelling));
    case FindState::Done:
        return endText_;
    case FindState::Idle:
        break;
    }
    const FindCheck checked = checkFindForm(form);
    return checked.check.accepted ? sweepLengthText(checked.plan) : std::string();
}

std::vector<std::string> CFindUnitDlg::resultRow(int row) const {
    const FindResult& result = results_.at(static_cast<std::size_t>(row));
    return {settingText(plan_, result.setting), std::to_string(result.unitId),
            result.identification.empty() ? std::string(loadString(kIdsFindNoIdentification))
                                          : result.identification,
            std::to_string(result.responseMs)};
}

CLocation CFindUnitDlg::locationFor(int row) const {
    const FindResult& result = results_.at(static_cast<std::size_t>(row));
    const FindSetting& setting = result.setting;
    CLocation location(setting.serial() ? kMediaCodeDirect : kMediaCodeTcpIp);
    location.modbusType = modbusTypeOf(setting.framing);
    location.modbusId = result.unitId;
    if (setting.serial()) {
        location.name = formatString(kIdsFindLocationSerialName, result.unitId, plan_.portName);
        location.portName = plan_.portName;
        location.baudIndex = setting.baudIndex;
        location.parityIndex = setting.parityIndex;
        location.stopBitsIndex = setting.stopBitsIndex;
        location.dataBitsIndex = setting.dataBitsIndex();
        location.time2 = kDirectTime2ByBaud.at(static_cast<std::size_t>(setting.baudIndex));
    } else {
        location.name = formatString(kIdsFindLocationTcpName, result.unitId,
                                     dottedAddress(plan_.ipAddress), setting.tcpPort);
        location.ipAddress = plan_.ipAddress;
        location.tcpPort = setting.tcpPort;
    }
    return location;
}
