#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "resources/string_table_data.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <string_view>

namespace {

struct Expected {
    unsigned id;
    std::string_view text;
};

// Every text the program shows, typed from the message catalogue. Blanks that matter (runs of
// two or more, trailing blanks) are written as \040 so that they cannot be lost unnoticed.
const Expected kExpected[] = {
    // Start-up, About box, status bar and file names.
    {129, "Zarnex Modbus Tester - v%d.%02d"},
    {130, "October 11, 2006"},
    {131, "This program can only run on Windows 98, Me, NT, 2000, XP or above operating systems."},
    {132, "VNTLSettings.dat"},
    {139, "VantrelLog"},
    {148, "Vantrel_ReleaseNotes.txt"},
    {150, "For Help, Press F1"},
    {151, "\040\040\040\040\040\040\040\040"},
    {172, "Vantrel - v%d.%02d.%02d.%d"},
    {9005, "Offline"},
    {10102, "About Zarnex Modbus Tester"},

    // Framing, request building and response validation.
    {5003, "Modbus message size exceeds limit!"},
    {5004, "The response to the Modbus request will exceed the message size limit."},
    {5005, "The number of bytes returned from the unit is not correct!"},
    {5006, "Timed out waiting for a response."},
    {5007, "Invalid response received from unit."},
    {5008, "Response from unit had an invalid CRC."},
    {5009, "Exception Code 01 - an illegal function code was sent to unit.\040"},
    {5010, "Exception Code 02 - an illegal data address was sent to unit."},
    {5011, "Exception Code 03 - an illegal data value was sent to the unit."},
    {5012, "Exception Code 04 - failure in associated device."},
    {5013, "Exception Code 05 - acknowledge"},
    {5014, "The unit returned an unknown exception response."},
    {5016, "Invalid write request data."},
    {5017, "The return byte count exceeded the maximum!"},
    {5018, "The function does not support a broadcast Modbus ID."},
    {5019, "The coil was not forced as instructed."},
    {5020, "The register was not preset as instructed."},
    {5021, "The number of registers to write exceeds limit!"},
    {5022, "Unknown return type received from Comms module."},
    {5023, "Exception Code 06 - busy, rejected message."},
    {5024, "Response from unit had an invalid LRC."},
    {5025, "Memory has run out to store comms logs!"},
    {5026, "The registers were not preset correctly."},
    {5027, "Exception Code 07 - Negative Acknowledgement"},
    {5029, "Exception Code 08 - memory parity error"},
    {5030, "Exception Code - 0A - Gateway path unavailable."},
    {5031, "Exception Code - 0B - Gateway target device failed to respond."},
    {5041, "Broadcast Message - no response required."},

    // Engine, serial line and modem.
    {1, ""},
    {5000, "Initiating Communications..."},
    {5001, "Terminating Communications..."},
    {5002, "Connected to %s."},
    {5028, "Failed to open serial port.\040\040Check cable connections.\040\040Check that the port "
           "is not already in use."},
    {5032, "Communications Port Error - Receive Queue Overflow"},
    {5033, "Communications Port Error - Receive Overrun Error"},
    {5034, "Communications Port Error - Receive Parity Error"},
    {5035, "Communications Port Error - Receive Framing error"},
    {5036, "Communications Port Error - Break Detected"},
    {5037, "Communications Port Error - TX Queue is full"},
    {5038, "Communications Port Error - Printer error"},
    {5039, "Communications Port Error - Requested mode unsupported"},
    {5040, "Unknown Communications Port Error."},
    {5048, "Waiting for Connect - time elapsed %d seconds..."},
    {5049, "Dialing %s..."},
    {5054, "Failed to connect to modem."},
    {5056, "Modem is disconnected."},
    {5057, "Hanging up..."},
    {5058, "Error starting up comms thread."},
    {5059, "Waiting for redial %d seconds..."},
    {5060, "Aborting connection...."},
    {5061, "Hanging Up...Retry %d"},

    // TCP/IP.
    {5500, "TCP/IP communications are not available.\040\040Unable to initialize the Winsock "
           "libraries."},
    {5501, "No socket available for TCP/IP communications."},
    {5502, "TCP/IP timed out waiting for connection."},
    {5503, "Unable to connect via TCP/IP.\040\040%s"},
    {5504, "The specified address is already in use."},
    {5505, "The specified address is not available from the local machine."},
    {5506, "Addresses in the specified family cannot be used with this socket."},
    {5507, "The attempt to connect was forcefully rejected."},
    {5508, "A destination address is required."},
    {5509, "The lpSockAddrLen argument is incorrect."},
    {5510, "The socket is already bound to an address."},
    {5511, "The socket is already connected."},
    {5512, "Too many open sockets."},
    {5513, "The network cannot be reached from this host at this time."},
    {5514, "No buffer space is available. The socket cannot be connected."},
    {5515, "The socket is not connected."},
    {5516, "An operation was attempted on something that is not a socket."},
    {5517, "The attempt to connect timed out without establishing a connection."},
    {5518, "Unknown TCP/IP error."},
    {5519, "TCP/IP Winsock libraries not initialized."},
    {5520, "Network is down."},
    {5521, "A blocking Windows Socket call is in progress."},
    {5522, "The socket is marked as nonblocking and the connection cannot be completed "
           "immediately."},
    {5523, "The socket has been shut down; it is not possible to call Receive on a socket after "
           "ShutDown has been invoked with nHow set to 0 or 2."},
    {5524, "The requested address is a broadcast address, but the appropriate flag was not "
           "set.\n"},
    {5525, "The lpBuf argument is not in a valid part of the user address space."},
    {5526, "The Windows Sockets implementation reports a buffer deadlock."},
    {5527, "The socket has been shut down; it is not possible to call Send on a socket after "
           "ShutDown has been invoked with nHow set to 1 or 2."},
    {5528, "The socket is marked as nonblocking and the requested operation would block."},
    {5529, "The socket has not been bound with Bind."},
    {5530, "An established connection was aborted by the software in the host machine."},
    {5531, "An existing connection was forcibly closed by the remote host."},
    {5532, "A socket operation was attempted to an unreachable host."},
    {5533, "Attempt to reconnect via TCP/IP failed.\040\040%s"},
    {5534, "There is no TCP/IP connection."},

    // Operator and configuration messages.
    {7000, "No comm ports found on PC!"},
    {7001, "Invalid Comm Port number.\040\040Please check your setting in the Setup Location "
           "Screen."},
    {7002, "Please setup a location under \"Setup | Locations\"."},
    {7003, "The locations have changed.\040\040\040Please exit and try again."},
    {7004, "Please select a location and try again."},
    {7005, "Location selected is invalid."},
    {7006, "Are you sure you want to delete location %s?"},
    {7007, "There is already a location with that name.\040\040Please enter a different name."},
    {7008, "Please enter a location name."},
    {7009, "The connection location is no longer valid.\040\040Please disconnect and check the "
           "Location setup."},
    {7010, "There are numbers entered on both sides.\040\040Please clear the number you would "
           "like generated."},
    {7012, "Register Count has to be greater than zero for function code %s."},
    {7013, "Function code has to be between 1 and 127 for user defined functions."},
    {7014, "The function code is not supported."},
    {7015, "The data type is not supported for the function code selected."},
    {7016, "Invalid data entered!"},
    {7018, "The string entered is longer than the string length!"},
    {7021, "Unknown Exception Code"},
    {7022, "Would you like to refresh the log before saving to file?"},
    {7023, "The configured port (%s) does not exist - the program is defaulting to the first COM "
           "port in the list.\nTo save the current COM port configuration, press CANCEL on the "
           "Setup Communications dialog."},
    {10216, "String size must be greater than zero."},
    {kIdsEnterInteger, "Please enter an integer."},
    {kIdsEnterIntegerBetween, "Please enter an integer between %1 and %2."},
    {kIdsCreateProcessFailed, "CreateProcess failed."},

    // Settings file failures.
    {7900, "File Error on Read: %s"},
    {7901, "File Error on Write: %s"},
    {7902, "File error on open: %s is currently in use."},
    {kIdsFileBadPath, "%1 contains an invalid path."},
    {kIdsFileTooManyOpen, "%1 could not be opened because there are too many open files."},
    {kIdsFileAccessDenied, "Access to %1 was denied."},
    {kIdsFileDirectoryFull, "%1 could not be created because the directory is full."},
    {kIdsFileHardwareIo, "A hardware I/O error was reported while accessing %1."},
    {kIdsFileSharingViolation, "A sharing violation occurred while accessing %1."},
    {kIdsFileLockingViolation, "A locking violation occurred while accessing %1."},
    {kIdsFileDiskFull, "Disk full while accessing %1."},
    {kIdsFileGeneric, "An unknown error occurred while accessing %1."},
    {kIdsFileEndOfFile, "An attempt was made to access %1 past its end."},
    {kIdsFileBadFormat, "%1 has a bad format."},
    {kIdsFileBadClass, "%1 contained an unexpected object."},
    {kIdsFileOutOfMemory, "Out of memory."},
    {kIdsFileUnnamed, "an unnamed file"},

    // List entries.
    {8000, "Direct"},
    {8001, "Modem"},
    {8002, "Satellite"},
    {8003, "TCP/IP"},
    {8010, "300"},
    {8011, "600"},
    {8012, "1200"},
    {8013, "2400"},
    {8014, "4800"},
    {8015, "9600"},
    {8016, "19200"},
    {8017, "38400"},
    {8018, "57600"},
    {8019, "115200"},
    {8020, "Even"},
    {8021, "Odd"},
    {8022, "None"},
    {8025, "RTU"},
    {8026, "ASCII"},
    {8027, "Modbus/TCP"},
    {8030, "01 - Read Coil Status"},
    {8031, "02 - Read Input Status"},
    {8032, "03 - Read Holding Registers"},
    {8033, "04 - Read Input Registers"},
    {8034, "05 - Force Single Coil"},
    {8035, "06 - Preset Single Register"},
    {8036, "07 - Read Exception Status"},
    {8037, "08 - Diagnostics"},
    {8038, "15 - Force Multiple Coils"},
    {8039, "16 - Preset Multiple Registers"},
    {8040, "User Defined"},
    {8050, "Boolean"},
    {8051, "Hexadecimal 8-bit"},
    {8052, "Integer 8-bit (signed)"},
    {8053, "Integer 8-bit (unsigned)"},
    {8054, "Integer 16-bit (signed)"},
    {8055, "Integer 16-bit (unsigned)"},
    {8056, "Integer 32-bit (signed)"},
    {8057, "Integer 32-bit (unsigned)"},
    {8058, "Float"},
    {8059, "Double"},
    {8060, "ASCII String"},
    {8061, "Automatic"},
    {8062, "User Defined"},
    {8063, "Not Used"},
    {8064, "Logical Addressing"},
    {8065, "Register Addressing"},
    {8066, "Modicon Compatible"},
    {8070, "Motorola (Big Endian)"},
    {8071, "Intel (Little Endian)"},
    {8072, "Modicon"},

    // Buttons and units shared by the dialogs.
    {9000, "&OK"},
    {9001, "&Cancel"},
    {9002, "&Add"},
    {9003, "&Edit"},
    {9004, "&Delete"},
    {9007, "Pass"},
    {9008, "Fail"},
    {9009, "&Defaults"},
    {9011, "ms"},
    {kIdsButtonOk, "OK"},
    {kIdsButtonCancel, "Cancel"},

    // Location editor, temporary parameters and Setup Modem.
    {10000, "Setup Communications"},
    {10001, "Media Type:"},
    {10002, "Modbus Type:"},
    {10003, "Comm Port:"},
    {10004, "Baud Rate:"},
    {10005, "Data Bits:"},
    {10006, "Stop Bits:"},
    {10007, "Parity:"},
    {10008, "Initial Character Delay:"},
    {10009, "Character Delay:"},
    {10010, "Retries:"},
    {10011, "IP Address:"},
    {10012, "TCP Port:"},
    {10013, "Connection Timeout:"},
    {10014, "Message Timeout:"},
    {10015, "Location Name:"},
    {10016, "Phone Number:"},
    {10017, "Satellite Number:"},
    {10018, "Change Communications Parameters"},
    {10022, "Modbus &ID:"},
    {10023, "ms"},
    {10024, "Modicon Compatible"},
    {10025, "Modbus/TCP Port:"},
    {kIdsRs485TwoWire, "485 2-Wire"},
    {kIdsDataBits7, "7"},
    {kIdsDataBits8, "8"},
    {kIdsStopBits1, "1"},
    {kIdsStopBits2, "2"},
    {10700, "Setup Modem"},
    {10702, "Cancel the call if not co&nnected within"},
    {10703, "seconds."},
    {10704, "Wait before &redialing"},
    {10705, "seconds."},
    {10706, "&Initialization String"},
    {10707, "&Modem Settings"},
    {10708, "Disconnect modem after"},
    {10709, "minutes."},

    // Setup Locations, Connect and modem hang-up dialogs.
    {10400, "Setup Locations"},
    {10401, "Location"},
    {10402, "Media"},
    {10403, "Number"},
    {10404, "Details"},
    {10300, "Connect to unit"},
    {10301, "Co&nnect"},
    {10305, "&Abort"},
    {10310, "Disconnecting Modem..."},
    {kIdsHangUpStatus, "Status"},
    {kIdsHangUpModemResponse, "Modem response"},

    // Number Convertor.
    {10260, "Number Convertor"},
    {10261, "Data Type:"},
    {10262, "Hexadecimal Format:"},
    {10263, "Con&vert"},

    // Communications Log window and report.
    {10500, "Communications Log"},
    {10501, "Clear &Log"},
    {10502, "&Refresh"},
    {10503, "CONNECTED"},
    {10504, "TX:\040"},
    {10505, "RX:\040"},
    {10506, "DISCONNECTED"},
    {10507, "ERROR:"},
    {10508, "Index"},
    {10509, "Time"},
    {10510, "Type"},
    {10511, "Size"},
    {10512, "Message"},
    {10513, "RECONNECTED"},
    {10514, "Item %03d and %03d time difference is %0.3f seconds."},
    {10515, "RX FLUSH:"},
    {10516, "UNKNOWN LOG:\040"},
    {10517, "&Save to File"},
    {10518, "Page %d"},
    {10519, "Displaying Logs.\040\040\040\040"},
    {10520, "Displaying Logs..\040\040\040"},
    {10521, "Displaying Logs...\040\040"},
    {10522, "Displaying Logs....\040"},
    {10523, "Displaying Logs....."},
    {10524, "Display Complete"},
    {kIdsLogTimeDifference, "Time Difference:"},
    {kIdsLogReportTitle, "Vantrel - Comms Log"},
    {kIdsLogFileFilter, "*.txt"},

    // Test Modbus Communications dialog.
    {kIdsTestTitle, "Test Modbus Communications"},
    {kIdsTestModbusTypeLabel, "Modbus T&ype:"},
    {kIdsTestFunctionCodeLabel, "&Function Code:"},
    {kIdsTestDataTypeLabel, "&Data Type:"},
    {kIdsTestDataRegisterLabel, "Data &Register:"},
    {kIdsTestDiagCodeLabel, "Dia&g Code:"},
    {kIdsTestNoOfValuesLabel, "&No. of Values:"},
    {kIdsTestNoOfPointsLabel, "&No. of Points:"},
    {kIdsTestDataValueLabel, "Data &Value:"},
    {kIdsTestStringSizeLabel, "String Si&ze"},
    {kIdsTestDataValuesLabel, "Data &Values (use space or '%s' to separate multiple values):"},
    {kIdsTestStringValuesLabel, "Data &Values (use '%s' to separate multiple values):"},
    {kIdsTestCrcLabel, "CRC:"},
    {kIdsTestLrcLabel, "LRC:"},
    {kIdsTestTransmitMessageLabel, "Transmit Message:"},
    {kIdsTestReceiveMessageLabel, "Receive Message:"},
    {kIdsTestTransmit, "&Transmit"},
    {kIdsTestRepeat, "Re&peat"},
    {kIdsTestStop, "&Stop"},
    {kIdsTestConvertor, "Con&vertor"},
    {kIdsTestCommsLog, "Comms &Log"},
    {kIdsTestChangeTemporarySettings, "Change Temporary &Settings"},

    // Menus, command prompts and toolbar tips.
    {kIdsMenuSetup, "&Setup"},
    {kIdsMenuLogCommunications, "Log &Communications"},
    {kIdsMenuLocations, "Locations..."},
    {kIdsMenuOnline, "&Online"},
    {kIdsMenuConnect, "Co&nnect..."},
    {kIdsMenuDisconnect, "Disconnect"},
    {kIdsMenuTemporaryCommsSetup, "Temporarily Change Comms &Setup..."},
    {kIdsMenuTestComms, "&Test Comms..."},
    {kIdsMenuView, "&View"},
    {kIdsMenuCommsLog, "&Comms Log"},
    {kIdsMenuToolbar, "&Toolbar"},
    {kIdsMenuStatusBar, "&Status Bar"},
    {kIdsMenuHelp, "&Help"},
    {kIdsMenuHelpTopics, "&Help Topics"},
    {kIdsMenuReleaseNotes, "&Release Notes"},
    {kIdsMenuConvertor, "Con&vertor"},
    {kIdsMenuAbout, "&About Vantrel..."},
    {kIdsPromptLocations, "Configure Communications Locations and settings"},
    {kIdsPromptConnect, "Go Online"},
    {kIdsPromptDisconnect, "Go Offline"},
    {kIdsPromptTemporaryCommsSetup, "Temporarily Change Comms Setup"},
    {kIdsPromptTestComms, "Test Modbus Communications"},
    {kIdsPromptCommsLog, "View the communications log"},
    {kIdsPromptConvertor, "Number Convertor"},
    {kIdsPromptContextHelp, "Display help for clicked on buttons, menus and windows"},
    {kIdsTipLocations, "Setup Locations"},
    {kIdsTipConnect, "Connect"},
    {kIdsTipDisconnect, "Disconnect"},
    {kIdsTipTemporaryCommsSetup, "Change Comms"},
    {kIdsTipTestComms, "Test Comms"},
    {kIdsTipCommsLog, "View Comms Log"},
    {kIdsTipConvertor, "Converts Data Types"},
    {kIdsTipAbout, "About"},
    {kIdsTipContextHelp, "Help"},
    {kIdsSplashOk, "&OK"},

    // The likely cause of a failed exchange.
    {kIdsDiagLikelyCause, "Likely cause: %1"},
    {kIdsDiagHelpTitle, "When a unit does not answer"},
};

// Texts whose wording is ours: they need only exist and say something.
const unsigned kOwnWording[] = {
    kIdsPromptLogCommunications, kIdsPromptToolbar, kIdsPromptStatusBar, kIdsPromptHelpTopics,
    kIdsPromptReleaseNotes,      kIdsPromptAbout,   kIdsMainTitle,       kIdsSplashNotice,
};

} // namespace

TEST(StringTable, HoldsEveryTextExactly) {
    for (const Expected& e : kExpected) {
        EXPECT_TRUE(hasString(e.id)) << e.id;
        EXPECT_EQ(loadString(e.id), e.text) << e.id;
    }
    for (unsigned id : kOwnWording)
        EXPECT_FALSE(loadString(id).empty()) << id;
}

TEST(StringTable, BlankTextsHaveTheirWidths) {
    EXPECT_EQ(loadString(151), std::string(8, ' '));
    const std::string_view pane = loadString(152);
    EXPECT_GE(pane.size(), 20u);
    EXPECT_EQ(pane.find_first_not_of(' '), std::string_view::npos);
    for (unsigned id = 10519; id <= 10523; ++id)
        EXPECT_EQ(loadString(id).size(), 20u) << id;
}

TEST(StringTable, EntriesAreSortedWithoutDuplicates) {
    ASSERT_GT(kStringTableSize, 0u);
    for (std::size_t i = 1; i < kStringTableSize; ++i)
        EXPECT_LT(kStringTable[i - 1].id, kStringTable[i].id) << "entry " << i;
}

TEST(StringTable, UnknownIdentifierGivesEmptyText) {
    for (unsigned id : {0u, 2u, 5015u, 7011u, 65535u}) {
        EXPECT_TRUE(loadString(id).empty()) << id;
        EXPECT_FALSE(hasString(id)) << id;
    }
    // Result code 1 is an entry without text, unlike an unknown identifier.
    EXPECT_TRUE(hasString(1));
    EXPECT_TRUE(loadString(1).empty());
}

TEST(StringTable, SubstitutesNumberedArguments) {
    EXPECT_EQ(substituteArgs("Please enter an integer between %1 and %2.", {"0", "247"}),
              "Please enter an integer between 0 and 247.");
    EXPECT_EQ(substituteArgs("%1 and %3", {"a"}), "a and %3");
    EXPECT_EQ(substituteArgs(loadString(kIdsFileAccessDenied), {"/tmp/VNTLSettings.dat"}),
              "Access to /tmp/VNTLSettings.dat was denied.");
    EXPECT_EQ(substituteArgs(loadString(kIdsFileEndOfFile), {loadString(kIdsFileUnnamed)}),
              "An attempt was made to access an unnamed file past its end.");
    // An argument that itself holds a placeholder is not expanded again.
    EXPECT_EQ(substituteArgs("%1 %2", {"%2", "x"}), "%2 x");
    EXPECT_EQ(substituteArgs("100% %", {"a"}), "100% %");
}

TEST(StringTable, FormatsPrintfConversions) {
    EXPECT_EQ(formatString(10514, 3, 7, 1.25),
              "Item 003 and 007 time difference is 1.250 seconds.");
    EXPECT_EQ(formatString(10514, 12, 1000, -0.2),
              "Item 012 and 1000 time difference is -0.200 seconds.");
    EXPECT_EQ(formatString(5049, "555-0100"), "Dialing 555-0100...");
    EXPECT_EQ(formatString(5503, "Network is down."),
              "Unable to connect via TCP/IP.  Network is down.");
    EXPECT_EQ(formatString(10518, 12), "Page 12");
    EXPECT_EQ(formatString(172, 2, 7, 1, 3), "Vantrel - v2.07.01.3");
    EXPECT_EQ(formatString(129, 2, 7), "Zarnex Modbus Tester - v2.07");
    EXPECT_EQ(formatString(7006, ""), "Are you sure you want to delete location ?");
    // A text without conversions comes back unchanged; an unknown identifier gives nothing.
    EXPECT_EQ(formatString(5006), "Timed out waiting for a response.");
    EXPECT_EQ(formatString(2, 5), "");
}

namespace {

enum class Colour { Red = 2 };

struct FormatCase {
    const char* name;
    std::string actual;
    std::string expected;
};

} // namespace

TEST(StringTable, FormatConvertsArgumentsToTheirConversions) {
    const std::string name = "Pump 3";
    const std::string_view view = "RX:\040";
    const char* none = nullptr;
    const std::int32_t minusOne = -1;
    const std::uint32_t allOnes = 0xFFFFFFFFu;
    const FormatCase cases[] = {
        // Arguments of the exact type.
        {"widths and precision", formatText("%4s|%-12s|%3s|", "1", "TX: ", "8"),
         "   1|TX:         |  8|"},
        {"hexadecimal bytes", formatText("%02X %02X ", 0x3F, 0x80), "3F 80 "},
        {"character", formatText("%c", 'N'), "N"},
        {"double", formatText("%.15lf", 1.0), "1.000000000000000"},
        {"percent sign", formatText("100%% %d", 5), "100% 5"},
        // Widths that differ from the conversion are printed as the conversion reads them.
        {"int for %ld", formatText("%ld / %lu", minusOne, allOnes), "-1 / 4294967295"},
        {"unsigned for %d", formatText("%d", allOnes), "-1"},
        {"negative int for %u", formatText("%u %X", minusOne, minusOne), "4294967295 FFFFFFFF"},
        {"short conversions", formatText("%hu %hd %hhu", minusOne, 70000, 300), "65535 4464 44"},
        {"64-bit value", formatText("%lld", -5000000000LL), "-5000000000"},
        {"integer for %f", formatText("%0.3f", 2), "2.000"},
        {"float for %d", formatText("%d", 2.9), "2"},
        {"enum and bool", formatText("%d %d", Colour::Red, true), "2 1"},
        // Types narrower than int reach printf promoted to int, their value kept.
        {"narrow unsigned for %d", formatText("ID %d %d", std::uint8_t{200}, std::uint16_t{40000}),
         "ID 200 40000"},
        {"narrow signed for %u %X", formatText("%u %X", std::int8_t{-1}, std::int16_t{-2}),
         "4294967295 FFFFFFFE"},
        // Text in any form.
        {"std::string", formatText("Connected to %s.", name), "Connected to Pump 3."},
        {"string_view", formatText("[%s]", view), "[RX: ]"},
        {"null text", formatText("[%s][%s]", none, nullptr), "[][]"},
        {"long text", formatText("%s!", std::string(300, 'x')), std::string(300, 'x') + "!"},
        {"star width", formatText("%*d|%-*d|", 4, 7, 3, 8), "   7|8  |"},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(c.actual, c.expected) << c.name;
}

TEST(StringTable, FormatLeavesUnprintableConversionsAsWritten) {
    const FormatCase cases[] = {
        {"missing argument", formatText("%d and %d", 5), "5 and %d"},
        {"no arguments", formatString(5503), "Unable to connect via TCP/IP.  %s"},
        {"number for %s keeps later arguments in place", formatText("%s %d", 5, 6), "%s 6"},
        {"text for %d", formatText("%d", "x"), "%d"},
        {"%n is never written", formatText("ab%n", 0), "ab%n"},
        {"unknown conversion", formatText("%k %d", 1, 2), "%k 2"},
        {"cut off at the end", formatText("50%"), "50%"},
        {"cut off after flags", formatText("x%-0", 1), "x%-0"},
        {"huge width", formatText("%99999d", 1), "%99999d"},
        {"huge star width", formatText("%*d", 100000, 1), "%*d"},
        {"star without argument", formatText("%*d"), "%*d"},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(c.actual, c.expected) << c.name;
}
