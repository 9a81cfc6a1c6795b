#pragma once

#include "config/location.h"
#include "protocol/modbus_limits.h"
#include "windows/editor_fields.h"
#include "windows/setup_modem_dlg.h"

#include <cstdint>
#include <string>
#include <vector>

// The decisions of the location editor ("Setup Communications"): what each media type shows and
// how it labels it, the events of the fields, and the checks of OK. The window only copies its
// controls into a form, calls an event and shows the form again.

// TCP ports the Modbus type buttons put into the TCP port field.
constexpr std::int32_t kTcpPortModbusTcp = 502;
constexpr std::int32_t kTcpPortRtuOverTcp = 6000;

// The Modbus ID the up-down control shows after `steps` steps (negative: down) from the number in
// `text`, wrapping from 247 to 0 and back. A text that holds no ID in range starts from 0.
std::int32_t stepModbusId(const std::string& text, int steps);

// A message box the editor asks for; a warning shows the warning icon.
struct EditorMessage {
    std::string text;
    bool warning = false;
};

// The contents of the editor's controls: texts of the edits, indexes of the lists and radio
// groups, states of the check boxes.
struct CommsForm {
    int mediaIndex = 0;
    int modbusTypeIndex = 0;
    std::string modbusIdText;
    bool modiconCompatible = false;
    std::string name;
    std::string number;
    std::uint32_t ipAddress = 0;
    int portIndex = -1; // in the port list; -1 when nothing is selected
    std::string tcpPortText;
    int baudIndex = 5;
    std::string time1Text;
    std::string time2Text;
    std::string retriesText;
    int dataBitsIndex = 1;
    int stopBitsIndex = 0;
    int parityIndex = kParityNone;
    bool rs485TwoWire = false;
};

// Which media-dependent controls a media type shows, and the texts of the labels that change.
// A label identifier of 0 means the label is hidden.
struct CommsLayout {
    bool modbusTcpButton = false;
    bool numberEdit = false;
    bool addressField = false;
    bool portList = true;
    bool tcpPortEdit = false;
    bool serialLine = true; // baud rate, data bits, stop bits and parity with their labels
    bool modemButton = false;
    bool rs485TwoWire = true;
    unsigned numberLabelId = 0;
    unsigned portLabelId = 0;
    unsigned time1LabelId = 0;
    unsigned time2LabelId = 0;
};

// The layout for a media type; the TCP/IP port label depends on the selected Modbus type.
CommsLayout commsLayout(MediaType mediaType, int modbusTypeIndex);

// The serial ports of the machine as the editor needs them.
class IPortSource {
public:
    virtual ~IPortSource() = default;
    // Fills `ports` with the COM numbers present. Returns false when the enumeration failed.
    virtual bool enumerate(std::vector<int>& ports) = 0;
    // The device COM<port> stands for on this machine, empty when none.
    virtual std::string devicePath(int port) = 0;
    // A name of that device that stays the same across reboots and replugging, empty when none.
    virtual std::string stableName(int port) = 0;
};

// The location editor. Holds the working values of one location; the caller copies them back
// only when accept() succeeds.
class CSetupCommsDlg {
public:
    CSetupCommsDlg(const CLocation& location, std::vector<std::string> names, bool isNewLocation);

    // Opening: shows the values and runs the first activation of the media-type routine with the
    // ports of `ports` (kept for deviceText). Returns the messages to show, in order.
    std::vector<EditorMessage> open(IPortSource& ports);

    // Events; the window has copied its controls into `form` before each and shows `form`
    // after it.
    void mediaTypeChanged();
    void baudChanged();
    void portChanged();
    void modbusTypeClicked();

    ModemValues modemValues() const;
    void setModemValues(const ModemValues& values);

    // OK: reads and checks the form in the order of the checks. On success the working values
    // hold the form; on failure they are unchanged.
    EditorCheck accept();

    const CLocation& values() const { return values_; }
    const std::vector<std::string>& portEntries() const { return portEntries_; }
    CommsLayout layout() const;
    MediaType mediaType() const { return static_cast<MediaType>(form.mediaIndex); }
    // "COM3 = /dev/ttyUSB0" for the selected port, with the stable name on a second line when
    // there is one; empty when nothing is selected or the port maps to nothing.
    std::string deviceText() const;

    CommsForm form;

private:
    void fillPortList(std::vector<EditorMessage>& messages);
    void checkStoredPort(std::vector<EditorMessage>& messages);
    void showValues();
    void selectPort(const std::string& portName);
    std::string selectedPortName() const;

    CLocation values_;
    std::vector<std::string> names_;
    bool isNewLocation_;
    std::string nameAtOpening_;
    std::vector<int> portNumbers_;
    std::vector<std::string> portEntries_;
    IPortSource* ports_ = nullptr;
};
