#include "windows/setup_comms_dlg.h"

#include "comms/port_map.h"
#include "protocol/field_text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int kMediaTypeCount = 4;
constexpr int kModbusTcpIndex = static_cast<int>(ModbusType::ModbusTcp);

std::string integerText(std::int32_t value) {
    return std::to_string(value);
}

EditorCheck refuse(unsigned id, EditorField field) {
    return EditorCheck::refused(field, std::string(loadString(id)));
}

} // namespace

std::int32_t stepModbusId(const std::string& text, int steps) {
    std::int32_t value = readWholeNumber(text).value_or(kModbusIdMin);
    if (value < kModbusIdMin || value > kModbusIdMax)
        value = kModbusIdMin;
    constexpr int span = kModbusIdMax - kModbusIdMin + 1;
    const int offset = ((value - kModbusIdMin + steps) % span + span) % span;
    return kModbusIdMin + offset;
}

CommsLayout commsLayout(MediaType mediaType, int modbusTypeIndex) {
    CommsLayout layout;
    layout.portLabelId = kIdsCommsCommPort;
    layout.time1LabelId = kIdsCommsInitialCharDelay;
    layout.time2LabelId = kIdsCommsCharDelay;
    switch (mediaType) {
    case MediaType::Modem:
    case MediaType::Satellite:
        layout.numberEdit = true;
        layout.numberLabelId =
            mediaType == MediaType::Modem ? kIdsCommsPhoneNumber : kIdsCommsSatelliteNumber;
        layout.modemButton = true;
        layout.rs485TwoWire = false;
        break;
    case MediaType::TcpIp:
        layout.modbusTcpButton = true;
        layout.numberLabelId = kIdsCommsIpAddress;
        layout.addressField = true;
        layout.portList = false;
        layout.tcpPortEdit = true;
        layout.serialLine = false;
        layout.rs485TwoWire = false;
        layout.portLabelId =
            modbusTypeIndex == kModbusTcpIndex ? kIdsCommsModbusTcpPort : kIdsCommsTcpPort;
        layout.time1LabelId = kIdsCommsConnectionTimeout;
        layout.time2LabelId = kIdsCommsMessageTimeout;
        break;
    default:
        break;
    }
    return layout;
}

CSetupCommsDlg::CSetupCommsDlg(const CLocation& location, std::vector<std::string> names,
                               bool isNewLocation)
    : values_(location), names_(std::move(names)), isNewLocation_(isNewLocation),
      nameAtOpening_(location.name) {
    // A media type outside the list (a damaged file) is edited as the Direct it connects as.
    const auto media = static_cast<int>(values_.mediaType);
    if (media < 0 || media >= kMediaTypeCount)
        values_.mediaType = MediaType::Direct;
    showValues();
}

std::vector<EditorMessage> CSetupCommsDlg::open(IPortSource& ports) {
    ports_ = &ports;
    std::vector<EditorMessage> messages;
    fillPortList(messages);
    checkStoredPort(messages);
    showValues();
    return messages;
}

void CSetupCommsDlg::fillPortList(std::vector<EditorMessage>& messages) {
    portNumbers_.clear();
    portEntries_.clear();
    const bool enumerated = ports_->enumerate(portNumbers_);
    if (enumerated) {
        for (const int number : portNumbers_)
            portEntries_.push_back(formatText("COM%d", number));
    }
    // The list is sorted as text, so COM10 comes before COM2.
    std::sort(portEntries_.begin(), portEntries_.end());
    portEntries_.erase(std::unique(portEntries_.begin(), portEntries_.end()), portEntries_.end());
    // A machine without serial ports is told so, not that it falls back to a first port.
    if (portEntries_.empty())
        messages.push_back({std::string(loadString(kIdsNoCommPorts)), false});
}

void CSetupCommsDlg::checkStoredPort(std::vector<EditorMessage>& messages) {
    if (portEntries_.empty()) {
        form.portIndex = -1;
        return;
    }
    const auto found = std::find(portEntries_.begin(), portEntries_.end(), values_.portName);
    if (found != portEntries_.end()) {
        form.portIndex = static_cast<int>(found - portEntries_.begin());
        return;
    }
    messages.push_back({formatString(kIdsConfiguredPortAbsent, values_.portName), true});
    form.portIndex = 0;
}

void CSetupCommsDlg::showValues() {
    form.mediaIndex = static_cast<int>(values_.mediaType);
    form.modbusTypeIndex = static_cast<int>(values_.modbusType);
    form.modbusIdText = integerText(values_.modbusId);
    form.modiconCompatible = values_.modiconCompatible != 0;
    form.name = values_.name;
    form.number = values_.number;
    form.ipAddress = values_.ipAddress;
    form.tcpPortText = integerText(values_.tcpPort);
    form.baudIndex = values_.baudIndex;
    form.time1Text = integerText(values_.time1);
    form.time2Text = integerText(values_.time2);
    form.retriesText = integerText(values_.retries);
    form.dataBitsIndex = values_.dataBitsIndex;
    form.stopBitsIndex = values_.stopBitsIndex;
    form.parityIndex = values_.parityIndex;
    form.rs485TwoWire = values_.rs485TwoWire != 0;
}

std::string CSetupCommsDlg::selectedPortName() const {
    if (form.portIndex < 0 || form.portIndex >= static_cast<int>(portEntries_.size()))
        return {};
    return portEntries_[static_cast<std::size_t>(form.portIndex)];
}

void CSetupCommsDlg::selectPort(const std::string& portName) {
    const auto found = std::find(portEntries_.begin(), portEntries_.end(), portName);
    if (found != portEntries_.end())
        form.portIndex = static_cast<int>(found - portEntries_.begin());
    else
        form.portIndex = portEntries_.empty() ? -1 : 0;
}

void CSetupCommsDlg::mediaTypeChanged() {
    const int mediaCode = kMediaCodeDirect + form.mediaIndex;
    const CLocation defaults(mediaCode);

    // What the user typed or picked stays.
    values_.modbusId = readWholeNumber(form.modbusIdText).value_or(values_.modbusId);
    values_.retries = readWholeNumber(form.retriesText).value_or(values_.retries);
    values_.modiconCompatible = form.modiconCompatible ? 1 : 0;
    values_.name = form.name;
    values_.number = form.number;
    values_.baudIndex = form.baudIndex;
    if (const std::string selected = selectedPortName(); !selected.empty())
        values_.portName = selected;

    // The rest takes the new medium's defaults.
    values_.mediaType = defaults.mediaType;
    values_.modbusType = defaults.modbusType;
    values_.time1 = defaults.time1;
    values_.time2 = defaults.time2;
    values_.rs485TwoWire = defaults.rs485TwoWire;
    values_.dataBitsIndex = defaults.dataBitsIndex;
    values_.stopBitsIndex = defaults.stopBitsIndex;
    values_.parityIndex = defaults.parityIndex;
    values_.modemInitString = defaults.modemInitString;
    values_.connectTimeout = defaults.connectTimeout;
    values_.redialWait = defaults.redialWait;
    values_.disconnectAfter = defaults.disconnectAfter;
    values_.tcpPort = defaults.tcpPort;
    values_.ipAddress = defaults.ipAddress;

    if (values_.mediaType == MediaType::Direct)
        values_.number.clear();
    if (values_.mediaType != MediaType::TcpIp)
        selectPort(values_.portName);
    showValues();
}

void CSetupCommsDlg::baudChanged() {
    values_.baudIndex = form.baudIndex;
    if (mediaType() == MediaType::Direct && form.baudIndex >= 0 && form.baudIndex < kBaudIndexCount)
        form.time2Text = integerText(kDirectTime2ByBaud[static_cast<std::size_t>(form.baudIndex)]);
}

void CSetupCommsDlg::portChanged() {
    if (const std::string selected = selectedPortName(); !selected.empty())
        values_.portName = selected;
}

void CSetupCommsDlg::modbusTypeClicked() {
    values_.modbusType = static_cast<ModbusType>(form.modbusTypeIndex);
    if (form.modbusTypeIndex == kModbusTcpIndex)
        values_.tcpPort = kTcpPortModbusTcp;
    else if (mediaType() == MediaType::TcpIp)
        values_.tcpPort = kTcpPortRtuOverTcp;
    else
        return;
    form.tcpPortText = integerText(values_.tcpPort);
}

ModemValues CSetupCommsDlg::modemValues() const {
    return {values_.modemInitString, values_.connectTimeout, values_.redialWait,
            values_.disconnectAfter};
}

void CSetupCommsDlg::setModemValues(const ModemValues& values) {
    values_.modemInitString = values.initString;
    values_.connectTimeout = values.connectTimeout;
    values_.redialWait = values.redialWait;
    values_.disconnectAfter = values.disconnectAfter;
}

EditorCheck CSetupCommsDlg::accept() {
    if (form.name.empty())
        return refuse(kIdsEnterLocationName, EditorField::Name);
    if (isNewLocation_ || form.name != nameAtOpening_) {
        if (std::find(names_.begin(), names_.end(), form.name) != names_.end())
            return refuse(kIdsDuplicateLocationName, EditorField::Name);
    }
    CLocation read = values_;
    read.name = form.name;
    if (mediaType() == MediaType::TcpIp)
        read.ipAddress = form.ipAddress;
    else
        read.portName = selectedPortName();

    EditorCheck check;
    if (!checkIntegerField(form.retriesText, read.retries, EditorField::Retries, check) ||
        !checkIntegerField(form.tcpPortText, read.tcpPort, EditorField::TcpPort, check) ||
        !checkIntegerField(form.time1Text, read.time1, EditorField::Time1, check) ||
        !checkIntegerField(form.time2Text, read.time2, EditorField::Time2, check) ||
        !checkIntegerField(form.modbusIdText, read.modbusId, EditorField::ModbusId, check,
                           integerBetween(kModbusIdMin, kModbusIdMax)))
        return check;

    read.mediaType = static_cast<MediaType>(form.mediaIndex);
    read.modbusType = static_cast<ModbusType>(form.modbusTypeIndex);
    read.modiconCompatible = form.modiconCompatible ? 1 : 0;
    read.number = form.number;
    read.baudIndex = form.baudIndex;
    read.dataBitsIndex = form.dataBitsIndex;
    read.stopBitsIndex = form.stopBitsIndex;
    read.parityIndex = form.parityIndex;
    read.rs485TwoWire = form.rs485TwoWire ? 1 : 0;
    values_ = read;
    return {};
}

CommsLayout CSetupCommsDlg::layout() const {
    return commsLayout(mediaType(), form.modbusTypeIndex);
}

std::string CSetupCommsDlg::deviceText() const {
    const std::string portName = selectedPortName();
    if (!ports_ || portName.empty())
        return {};
    const int number = readComNumber(portName, ComNaming::PortName).value_or(0);
    const std::string device = ports_->devicePath(number);
    if (device.empty())
        return {};
    std::string text = formatString(kIdsPortDevice, portName, device);
    if (const std::string stable = ports_->stableName(number); !stable.empty())
        text += "\n" + stable;
    return text;
}
