#pragma once

// Named identifiers of the string table: texts that have no number of their own in the message
// catalogue, and the numbered texts the application shell loads. Result codes keep their names
// beside the code that raises them.

// Descriptions of settings-file failures, filled into 7900 / 7901 ("%1" = the file's path).
constexpr unsigned kIdsFileBadPath = 7910;
constexpr unsigned kIdsFileTooManyOpen = 7911;
constexpr unsigned kIdsFileAccessDenied = 7912;
constexpr unsigned kIdsFileDirectoryFull = 7913;
constexpr unsigned kIdsFileHardwareIo = 7914;
constexpr unsigned kIdsFileSharingViolation = 7915;
constexpr unsigned kIdsFileLockingViolation = 7916;
constexpr unsigned kIdsFileDiskFull = 7917;
constexpr unsigned kIdsFileGeneric = 7918;
constexpr unsigned kIdsFileEndOfFile = 7919;
constexpr unsigned kIdsFileBadFormat = 7920;
constexpr unsigned kIdsFileBadClass = 7921;
constexpr unsigned kIdsFileOutOfMemory = 7922;
constexpr unsigned kIdsFileUnnamed = 7923; // "an unnamed file"

// Menu bar: titles and items (ranges of ten per menu).
constexpr unsigned kIdsMenuSetup = 11000;
constexpr unsigned kIdsMenuLogCommunications = 11001;
constexpr unsigned kIdsMenuLocations = 11002;
constexpr unsigned kIdsMenuOnline = 11010;
constexpr unsigned kIdsMenuConnect = 11011;
constexpr unsigned kIdsMenuDisconnect = 11012;
constexpr unsigned kIdsMenuTemporaryCommsSetup = 11013;
constexpr unsigned kIdsMenuTestComms = 11014;
constexpr unsigned kIdsMenuView = 11020;
constexpr unsigned kIdsMenuCommsLog = 11021;
constexpr unsigned kIdsMenuToolbar = 11022;
constexpr unsigned kIdsMenuStatusBar = 11023;
constexpr unsigned kIdsMenuHelp = 11030;
constexpr unsigned kIdsMenuHelpTopics = 11031;
constexpr unsigned kIdsMenuReleaseNotes = 11032;
constexpr unsigned kIdsMenuConvertor = 11033;
constexpr unsigned kIdsMenuAbout = 11034;

// Command prompts shown in the first status-bar pane (menu item number + 100).
constexpr unsigned kIdsPromptLogCommunications = 11101;
constexpr unsigned kIdsPromptLocations = 11102;
constexpr unsigned kIdsPromptConnect = 11111;
constexpr unsigned kIdsPromptDisconnect = 11112;
constexpr unsigned kIdsPromptTemporaryCommsSetup = 11113;
constexpr unsigned kIdsPromptTestComms = 11114;
constexpr unsigned kIdsPromptCommsLog = 11121;
constexpr unsigned kIdsPromptToolbar = 11122;
constexpr unsigned kIdsPromptStatusBar = 11123;
constexpr unsigned kIdsPromptHelpTopics = 11131;
constexpr unsigned kIdsPromptReleaseNotes = 11132;
constexpr unsigned kIdsPromptConvertor = 11133;
constexpr unsigned kIdsPromptAbout = 11134;
constexpr unsigned kIdsPromptContextHelp = 11135;

// Toolbar button tooltips (menu item number + 200).
constexpr unsigned kIdsTipLocations = 11202;
constexpr unsigned kIdsTipConnect = 11211;
constexpr unsigned kIdsTipDisconnect = 11212;
constexpr unsigned kIdsTipTemporaryCommsSetup = 11213;
constexpr unsigned kIdsTipTestComms = 11214;
constexpr unsigned kIdsTipCommsLog = 11221;
constexpr unsigned kIdsTipConvertor = 11233;
constexpr unsigned kIdsTipAbout = 11234;
constexpr unsigned kIdsTipContextHelp = 11235;

// Main window, start-up splash and release-notes viewer.
constexpr unsigned kIdsMainTitle = 11300;
constexpr unsigned kIdsSplashNotice = 11301;
constexpr unsigned kIdsSplashOk = 11302; // "&OK"
constexpr unsigned kIdsCreateProcessFailed = 11303;

// Push buttons shared by the dialogs.
constexpr unsigned kIdsButtonOk = 11900;
constexpr unsigned kIdsButtonCancel = 11901;

// Test Modbus Communications dialog: title, labels and push buttons. Its Modbus ID label is the
// location editor's (10022) and its radio buttons are the Modbus type texts (8025-8027).
constexpr unsigned kIdsTestTitle = 11400;
constexpr unsigned kIdsTestModbusTypeLabel = 11401;
constexpr unsigned kIdsTestFunctionCodeLabel = 11402;
constexpr unsigned kIdsTestDataTypeLabel = 11403;
constexpr unsigned kIdsTestDataRegisterLabel = 11404;
constexpr unsigned kIdsTestDiagCodeLabel = 11405;
constexpr unsigned kIdsTestNoOfValuesLabel = 11406;
constexpr unsigned kIdsTestNoOfPointsLabel = 11407;
constexpr unsigned kIdsTestDataValueLabel = 11408;
constexpr unsigned kIdsTestStringSizeLabel = 11409;
constexpr unsigned kIdsTestDataValuesLabel = 11410;   // "%s" = the list separator
constexpr unsigned kIdsTestStringValuesLabel = 11411; // "%s" = the list separator
constexpr unsigned kIdsTestCrcLabel = 11412;
constexpr unsigned kIdsTestLrcLabel = 11413;
constexpr unsigned kIdsTestTransmitMessageLabel = 11414;
constexpr unsigned kIdsTestReceiveMessageLabel = 11415;
constexpr unsigned kIdsTestTransmit = 11420;
constexpr unsigned kIdsTestRepeat = 11421;
constexpr unsigned kIdsTestStop = 11422;
constexpr unsigned kIdsTestConvertor = 11423;
constexpr unsigned kIdsTestCommsLog = 11424;
constexpr unsigned kIdsTestChangeTemporarySettings = 11425;

// Integer field checks of every dialog ("%1" and "%2" = the bounds).
constexpr unsigned kIdsEnterInteger = 11500;
constexpr unsigned kIdsEnterIntegerBetween = 11501;

// Location editor: the RS-485 check box and the data-bit and stop-bit radio buttons.
constexpr unsigned kIdsRs485TwoWire = 11600;
constexpr unsigned kIdsDataBits7 = 11601;
constexpr unsigned kIdsDataBits8 = 11602;
constexpr unsigned kIdsStopBits1 = 11603;
constexpr unsigned kIdsStopBits2 = 11604;

// Communications Log window and its report file. The report header line is the title, 51
// blanks and "Page %d" (10518); its column titles are those of the list (10508-10512).
constexpr unsigned kIdsLogTimeDifference = 11700;
constexpr unsigned kIdsLogReportTitle = 11701;
constexpr unsigned kIdsLogFileFilter = 11702;

// Modem hang-up dialog: initial texts of its two lines.
constexpr unsigned kIdsHangUpStatus = 11800;
constexpr unsigned kIdsHangUpModemResponse = 11801;

// Application shell: start-up, main frame, status bar, About box and view commands.
constexpr unsigned kIdsVersionShort = 129; // "... - v%d.%02d"
constexpr unsigned kIdsAboutDate = 130;
constexpr unsigned kIdsUnsupportedSystem = 131;
constexpr unsigned kIdsSettingsFileName = 132;
constexpr unsigned kIdsReleaseNotesFileName = 148;
constexpr unsigned kIdsPaneMessage = 150;
constexpr unsigned kIdsPaneIndicators = 151;
constexpr unsigned kIdsPaneConnection = 152;
constexpr unsigned kIdsVersionFull = 172; // "Vantrel - v%d.%02d.%02d.%d"
constexpr unsigned kIdsThreadStartFailed = 5058;
constexpr unsigned kIdsNoLocations = 7002;
constexpr unsigned kIdsLocationNotValid = 7009;
constexpr unsigned kIdsOffline = 9005;
constexpr unsigned kIdsAboutTitle = 10102;
