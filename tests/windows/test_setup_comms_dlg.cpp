#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "tests/support/row_names.h"
#include "tests/support/texts.h"
#include "windows/setup_comms_dlg.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using vantrel_test::PrintTo;
using vantrel_test::rowName;

class CListedPorts : public IPortSource {
public:
    CListedPorts(std::vector<int> numbers, bool succeeds = true)
        : numbers_(std::move(numbers)), succeeds_(succeeds) {}
    bool enumerate(std::vector<int>& ports) override {
        ports = numbers_;
        return succeeds_;
    }
    std::string devicePath(int port) override { return "/dev/ttyUSB" + std::to_string(port); }
    std::string stableName(int port) override {
        return port == 3 ? "/dev/serial/by-id/usb-FTDI_A50285BI-if00-port0" : "";
    }

private:
    std::vector<int> numbers_;
    bool succeeds_;
};

TEST(ModbusIdSpin, WrapsAtBothEnds) {
    EXPECT_EQ(stepModbusId("247", 1), 0);
    EXPECT_EQ(stepModbusId("0", -1), 247);
    EXPECT_EQ(stepModbusId("12", 1), 13);
    EXPECT_EQ(stepModbusId("", 1), 1);
    EXPECT_EQ(stepModbusId("300", -1), 247);
}

// Opening: the port list and the stored-port check.

struct OpenCase {
    const char* name = "";
    std::vector<int> ports = {};
    bool enumerates = true;
    int mediaCode = kMediaCodeDirect;
    const char* portName = "COM1";
    std::vector<unsigned> messageIds = {};
    std::vector<std::string> entries = {};
    int selected = 0;
};

class EditorOpen : public ::testing::TestWithParam<OpenCase> {};

TEST_P(EditorOpen, ListsPortsAndChecksTheStoredOne) {
    const OpenCase& row = GetParam();
    CLocation location(row.mediaCode);
    location.portName = row.portName;
    CSetupCommsDlg editor(location, {}, false);
    CListedPorts ports(row.ports, row.enumerates);
    const auto messages = editor.open(ports);
    ASSERT_EQ(messages.size(), row.messageIds.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const unsigned id = row.messageIds[i];
        EXPECT_EQ(messages[i].text,
                  id == kIdsConfiguredPortAbsent ? formatString(id, row.portName) : text(id));
        EXPECT_EQ(messages[i].warning, id == kIdsConfiguredPortAbsent);
    }
    EXPECT_EQ(editor.portEntries(), row.entries);
    EXPECT_EQ(editor.form.portIndex, row.selected);
}

INSTANTIATE_TEST_SUITE_P(Ports, EditorOpen,
                         ::testing::Values(OpenCase{.name = "StoredPortPresent",
                                                    .ports = {1, 2},
                                                    .portName = "COM2",
                                                    .entries = {"COM1", "COM2"},
                                                    .selected = 1},
                                           OpenCase{.name = "SortedAsText",
                                                    .ports = {2, 10, 1},
                                                    .portName = "COM2",
                                                    .entries = {"COM1", "COM10", "COM2"},
                                                    .selected = 2},
                                           OpenCase{.name = "StoredPortAbsent",
                                                    .ports = {4, 5},
                                                    .portName = "COM3",
                                                    .messageIds = {kIdsConfiguredPortAbsent},
                                                    .entries = {"COM4", "COM5"}},
                                           OpenCase{.name = "TcpIpStoredPortAbsent",
                                                    .ports = {4},
                                                    .mediaCode = kMediaCodeTcpIp,
                                                    .messageIds = {kIdsConfiguredPortAbsent},
                                                    .entries = {"COM4"}},
                                           OpenCase{.name = "NoPortAtAll",
                                                    .ports = {},
                                                    .messageIds = {kIdsNoCommPorts},
                                                    .selected = -1},
                                           OpenCase{.name = "EnumerationFails",
                                                    .ports = {1},
                                                    .enumerates = false,
                                                    .messageIds = {kIdsNoCommPorts},
                                                    .selected = -1}),
                         rowName<OpenCase>);

TEST(EditorOpen, DeviceTextNamesTheDeviceAndItsStableName) {
    CLocation location;
    location.portName = "COM3";
    CSetupCommsDlg editor(location, {}, false);
    CListedPorts ports({3, 7});
    editor.open(ports);
    EXPECT_EQ(editor.deviceText(),
              "COM3 = /dev/ttyUSB3\n/dev/serial/by-id/usb-FTDI_A50285BI-if00-port0");
    editor.form.portIndex = 1;
    editor.portChanged();
    EXPECT_EQ(editor.deviceText(), "COM7 = /dev/ttyUSB7");
    EXPECT_EQ(editor.values().portName, "COM7");
}

// Changing the media type: typed values stay, the rest takes the new medium's defaults.

struct MediaChangeCase {
    const char* name = "";
    int fromCode = 0;
    int toIndex = 0;
    std::function<void(CommsForm&)> typed = {};
    std::function<void(const CSetupCommsDlg&)> expect = {};
};

class MediaChange : public ::testing::TestWithParam<MediaChangeCase> {};

TEST_P(MediaChange, KeepsTypedValuesAndResetsTheRest) {
    CLocation location(GetParam().fromCode);
    location.portName = "COM2";
    location.number = "5551234";
    CSetupCommsDlg editor(location, {}, false);
    CListedPorts ports({1, 2});
    editor.open(ports);
    GetParam().typed(editor.form);
    editor.form.mediaIndex = GetParam().toIndex;
    editor.mediaTypeChanged();
    GetParam().expect(editor);
}

INSTANTIATE_TEST_SUITE_P(
    Media, MediaChange,
    ::testing::Values(MediaChangeCase{.name = "DirectToSatellite",
                                      .fromCode = kMediaCodeDirect,
                                      .toIndex = 2,
                                      .typed =
                                          [](CommsForm& form) {
                                              form.baudIndex = 6;
                                              form.retriesText = "5";
                                              form.modbusIdText = "12";
                                              form.name = "Pump 4";
                                          },
                                      .expect =
                                          [](const CSetupCommsDlg& editor) {
                                              const CommsForm& form = editor.form;
                                              EXPECT_EQ(form.baudIndex, 6);
                                              EXPECT_EQ(form.retriesText, "5");
                                              EXPECT_EQ(form.modbusIdText, "12");
                                              EXPECT_EQ(form.name, "Pump 4");
                                              EXPECT_EQ(form.modbusTypeIndex, 1);
                                              EXPECT_EQ(form.dataBitsIndex, 0);
                                              EXPECT_EQ(form.stopBitsIndex, 1);
                                              EXPECT_EQ(form.parityIndex, kParityEven);
                                              EXPECT_EQ(form.time1Text, "5000");
                                              EXPECT_EQ(form.time2Text, "3000");
                                              EXPECT_EQ(form.portIndex, 1);
                                              EXPECT_EQ(editor.layout().numberLabelId,
                                                        kIdsCommsSatelliteNumber);
                                          }},
                      MediaChangeCase{.name = "ModemToDirectAt300Baud",
                                      .fromCode = kMediaCodeModem,
                                      .toIndex = 0,
                                      .typed = [](CommsForm& form) { form.baudIndex = 0; },
                                      .expect =
                                          [](const CSetupCommsDlg& editor) {
                                              EXPECT_EQ(editor.form.number, "");
                                              EXPECT_EQ(editor.form.time2Text, "100");
                                              EXPECT_EQ(editor.form.baudIndex, 0);
                                              EXPECT_FALSE(editor.layout().numberEdit);
                                              EXPECT_TRUE(editor.layout().rs485TwoWire);
                                          }},
                      MediaChangeCase{
                          .name = "DirectToTcpIpKeepsNameAndUnparsedIdFallsBack",
                          .fromCode = kMediaCodeDirect,
                          .toIndex = 3,
                          .typed =
                              [](CommsForm& form) {
                                  form.modbusIdText = "x";
                                  form.ipAddress = 0x0A000001;
                                  form.modiconCompatible = true;
                              },
                          .expect =
                              [](const CSetupCommsDlg& editor) {
                                  EXPECT_EQ(editor.form.modbusIdText, "1");
                                  EXPECT_TRUE(editor.form.modiconCompatible);
                                  EXPECT_EQ(editor.form.tcpPortText, "6000");
                                  EXPECT_EQ(editor.form.ipAddress, 0u);
                                  const CommsLayout layout = editor.layout();
                                  EXPECT_EQ(layout.portLabelId, kIdsCommsTcpPort);
                                  EXPECT_EQ(layout.time1LabelId, kIdsCommsConnectionTimeout);
                                  EXPECT_EQ(layout.time2LabelId, kIdsCommsMessageTimeout);
                                  EXPECT_TRUE(layout.addressField && layout.tcpPortEdit);
                                  EXPECT_FALSE(layout.portList || layout.serialLine ||
                                               layout.numberEdit);
                              }},
                      MediaChangeCase{.name = "SatelliteToModemKeepsNumberAndResetsModemValues",
                                      .fromCode = kMediaCodeSatellite,
                                      .toIndex = 1,
                                      .typed = [](CommsForm& form) { form.number = "881234"; },
                                      .expect =
                                          [](const CSetupCommsDlg& editor) {
                                              EXPECT_EQ(editor.form.number, "881234");
                                              EXPECT_EQ(editor.form.modbusTypeIndex, 0);
                                              EXPECT_EQ(editor.form.time1Text, "1000");
                                              EXPECT_EQ(editor.modemValues().connectTimeout, 60);
                                              EXPECT_TRUE(editor.layout().modemButton);
                                          }}),
    rowName<MediaChangeCase>);

TEST(EditorEvents, BaudAndModbusTypeSetTheirDependentFields) {
    CSetupCommsDlg editor(CLocation(kMediaCodeModem), {}, false);
    CListedPorts ports({1});
    editor.open(ports);
    editor.form.mediaIndex = 0;
    editor.mediaTypeChanged();
    editor.form.baudIndex = 1;
    editor.baudChanged();
    EXPECT_EQ(editor.form.time2Text, "200");

    editor.form.mediaIndex = 3;
    editor.mediaTypeChanged();
    editor.form.baudIndex = 0;
    editor.baudChanged();
    EXPECT_EQ(editor.form.time2Text, "2000"); // only Direct follows the baud rate
    editor.form.tcpPortText = "1234";
    editor.form.modbusTypeIndex = 2;
    editor.modbusTypeClicked();
    EXPECT_EQ(editor.form.tcpPortText, "502");
    EXPECT_EQ(editor.layout().portLabelId, kIdsCommsModbusTcpPort);
    editor.form.modbusTypeIndex = 0;
    editor.modbusTypeClicked();
    EXPECT_EQ(editor.form.tcpPortText, "6000");
    EXPECT_EQ(editor.layout().portLabelId, kIdsCommsTcpPort);
}

// OK: the checks in their order, with the field that gets the focus.

struct AcceptCase {
    const char* name = "";
    bool isNew = true;
    std::function<void(CSetupCommsDlg&)> change = {};
    unsigned messageId = 0; // 0: accepted
    EditorField focus = EditorField::None;
};

class EditorAccept : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(EditorAccept, ChecksInOrder) {
    const AcceptCase& row = GetParam();
    CLocation location;
    location.name = "Tank";
    location.portName = "COM3";
    CSetupCommsDlg editor(location, {"Tank", "Well 2"}, row.isNew);
    CListedPorts ports({1, 3});
    editor.open(ports);
    editor.form.name = row.isNew ? "New" : "Tank";
    row.change(editor);
    const CLocation before = editor.values();
    const FieldCheck check = editor.accept();
    EXPECT_EQ(check.accepted, row.messageId == 0);
    EXPECT_EQ(check.focus, row.focus);
    if (row.messageId == 0) {
        EXPECT_EQ(editor.values().name, editor.form.name);
        return;
    }
    EXPECT_EQ(check.message, row.messageId == kIdsEnterIntegerBetween
                                 ? "Please enter an integer between 0 and 247."
                                 : text(row.messageId));
    EXPECT_EQ(editor.values(), before) << "a refused OK stores nothing";
}

AcceptCase refused(const char* name, std::function<void(CSetupCommsDlg&)> change, unsigned id,
                   EditorField focus) {
    return {.name = name, .change = std::move(change), .messageId = id, .focus = focus};
}

AcceptCase accepted(const char* name, std::function<void(CSetupCommsDlg&)> change) {
    return {.name = name, .change = std::move(change)};
}

INSTANTIATE_TEST_SUITE_P(
    Checks, EditorAccept,
    ::testing::Values(
        refused(
            "EmptyName", [](CSetupCommsDlg& e) { e.form.name = ""; }, kIdsEnterLocationName,
            EditorField::Name),
        accepted("OneCharacterName", [](CSetupCommsDlg& e) { e.form.name = "A"; }),
        accepted("LongNames",
                 [](CSetupCommsDlg& e) {
                     e.form.name = std::string(255, 'n');
                     ASSERT_TRUE(e.accept().accepted);
                     e.form.name = std::string(300, 'n');
                 }),
        accepted("NonAsciiName", [](CSetupCommsDlg& e) { e.form.name = "Pumpe Süd – Ölwerk"; }),
        refused(
            "DuplicateName", [](CSetupCommsDlg& e) { e.form.name = "Well 2"; },
            kIdsDuplicateLocationName, EditorField::Name),
        accepted("DuplicateIsCaseSensitive", [](CSetupCommsDlg& e) { e.form.name = "WELL 2"; }),
        AcceptCase{.name = "EditKeepingItsName", .isNew = false, .change = [](CSetupCommsDlg&) {}},
        AcceptCase{.name = "RenameOntoAnotherAfterMediaChange",
                   .isNew = false,
                   .change =
                       [](CSetupCommsDlg& e) {
                           e.form.mediaIndex = 3;
                           e.mediaTypeChanged();
                           e.form.name = "Well 2";
                       },
                   .messageId = kIdsDuplicateLocationName,
                   .focus = EditorField::Name},
        refused(
            "RetriesFirst",
            [](CSetupCommsDlg& e) {
                e.form.retriesText = "two";
                e.form.time1Text = "";
            },
            kIdsEnterInteger, EditorField::Retries),
        refused(
            "TcpPortSign", [](CSetupCommsDlg& e) { e.form.tcpPortText = "+"; }, kIdsEnterInteger,
            EditorField::TcpPort),
        refused(
            "Time1Empty", [](CSetupCommsDlg& e) { e.form.time1Text = ""; }, kIdsEnterInteger,
            EditorField::Time1),
        refused(
            "Time2Huge", [](CSetupCommsDlg& e) { e.form.time2Text = "4294967296"; },
            kIdsEnterInteger, EditorField::Time2),
        refused(
            "ModbusIdBlank", [](CSetupCommsDlg& e) { e.form.modbusIdText = " "; }, kIdsEnterInteger,
            EditorField::ModbusId),
        refused(
            "ModbusId248", [](CSetupCommsDlg& e) { e.form.modbusIdText = "248"; },
            kIdsEnterIntegerBetween, EditorField::ModbusId),
        refused(
            "ModbusIdNegative", [](CSetupCommsDlg& e) { e.form.modbusIdText = "-1"; },
            kIdsEnterIntegerBetween, EditorField::ModbusId),
        accepted("ModbusId0", [](CSetupCommsDlg& e) { e.form.modbusIdText = "0"; }),
        accepted("NoRangeOnOtherFields",
                 [](CSetupCommsDlg& e) {
                     e.form.time1Text = " -5 ";
                     e.form.tcpPortText = "70000";
                     e.form.mediaIndex = 3;
                     e.form.ipAddress = 0;
                 })),
    rowName<AcceptCase>);

TEST(EditorAccept, ReturnsThePortOrAddressByMedia) {
    CLocation location;
    location.portName = "COM9";
    location.ipAddress = 0xC0A80114;
    CSetupCommsDlg absent(location, {}, true);
    CListedPorts ports({4, 5});
    absent.open(ports);
    absent.form.name = "X";
    ASSERT_TRUE(absent.accept().accepted);
    EXPECT_EQ(absent.values().portName, "COM4") << "the first port replaces an absent one";
    EXPECT_EQ(absent.values().ipAddress, 0xC0A80114u) << "a serial location keeps its address";

    location.setDefaults(kMediaCodeTcpIp);
    location.portName = "COM9";
    CSetupCommsDlg tcp(location, {}, true);
    tcp.open(ports);
    tcp.form.name = "X";
    tcp.form.ipAddress = 0xFFFFFFFE;
    ASSERT_TRUE(tcp.accept().accepted);
    EXPECT_EQ(tcp.values().portName, "COM9");
    EXPECT_EQ(tcp.values().ipAddress, 0xFFFFFFFEu);

    CListedPorts none({});
    CSetupCommsDlg empty(CLocation(), {}, true);
    empty.open(none);
    empty.form.name = "X";
    ASSERT_TRUE(empty.accept().accepted) << "the editor works on without serial ports";
    EXPECT_EQ(empty.values().portName, "");
}

TEST(SetupModem, DefaultsAndChecksInFieldOrder) {
    CSetupModemDlg modem(
        {.initString = "ATZ", .connectTimeout = 5, .redialWait = 6, .disconnectAfter = 7});
    modem.connectTimeoutText = "x";
    modem.redialWaitText = "";
    FieldCheck check = modem.accept();
    EXPECT_FALSE(check.accepted);
    EXPECT_EQ(check.focus, EditorField::ConnectTimeout);
    EXPECT_EQ(modem.values().connectTimeout, 5);
    modem.connectTimeoutText = "-3";
    check = modem.accept();
    EXPECT_EQ(check.focus, EditorField::RedialWait);
    modem.setDefaults();
    EXPECT_EQ(modem.initString, "AT &F E0 M1");
    EXPECT_EQ(modem.disconnectAfterText, "15");
    modem.connectTimeoutText = " 90 ";
    ASSERT_TRUE(modem.accept().accepted);
    EXPECT_EQ(modem.values().connectTimeout, 90);
    EXPECT_EQ(modem.values().redialWait, 10);
}

} // namespace
