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

// Number Convertor: window title, list labels, Convert button and the messages of Convert.
constexpr unsigned kIdsConvertorTitle = 10260;
constexpr unsigned kIdsConvertorDataTypeLabel = 10261;
constexpr unsigned kIdsConvertorHexFormatLabel = 10262;
constexpr unsigned kIdsConvertorConvert = 10263;
constexpr unsigned kIdsConvertorBothSides = 7010;
// Location editor ("Setup Communications"), Setup Modem and Setup Locations.
constexpr unsigned kIdsNoCommPorts = 7000;
constexpr unsigned kIdsSelectLocation = 7004;
constexpr unsigned kIdsLocationInvalid = 7005;
constexpr unsigned kIdsConfirmDeleteLocation = 7006; // "%s" = the location's name
constexpr unsigned kIdsDuplicateLocationName = 7007;
constexpr unsigned kIdsEnterLocationName = 7008;
constexpr unsigned kIdsConfiguredPortAbsent = 7023; // "%s" = the stored port name
constexpr unsigned kIdsDialogOk = 9000;
constexpr unsigned kIdsDialogCancel = 9001;
constexpr unsigned kIdsDialogAdd = 9002;
constexpr unsigned kIdsDialogEdit = 9003;
constexpr unsigned kIdsDialogDelete = 9004;
constexpr unsigned kIdsDialogDefaults = 9009;
constexpr unsigned kIdsCommsTitle = 10000;
constexpr unsigned kIdsCommsMediaType = 10001;
constexpr unsigned kIdsCommsModbusType = 10002;
constexpr unsigned kIdsCommsCommPort = 10003;
constexpr unsigned kIdsCommsBaudRate = 10004;
constexpr unsigned kIdsCommsDataBits = 10005;
constexpr unsigned kIdsCommsStopBits = 10006;
constexpr unsigned kIdsCommsParity = 10007;
constexpr unsigned kIdsCommsInitialCharDelay = 10008;
constexpr unsigned kIdsCommsCharDelay = 10009;
constexpr unsigned kIdsCommsRetries = 10010;
constexpr unsigned kIdsCommsIpAddress = 10011;
constexpr unsigned kIdsCommsTcpPort = 10012;
constexpr unsigned kIdsCommsConnectionTimeout = 10013;
constexpr unsigned kIdsCommsMessageTimeout = 10014;
constexpr unsigned kIdsCommsLocationName = 10015;
constexpr unsigned kIdsCommsPhoneNumber = 10016;
constexpr unsigned kIdsCommsSatelliteNumber = 10017;
constexpr unsigned kIdsCommsModbusId = 10022;
constexpr unsigned kIdsCommsMs = 10023;
constexpr unsigned kIdsCommsModiconCompatible = 10024;
constexpr unsigned kIdsCommsModbusTcpPort = 10025;
constexpr unsigned kIdsLocationsTitle = 10400;
constexpr unsigned kIdsLocationsColumnLocation = 10401;
constexpr unsigned kIdsLocationsColumnMedia = 10402;
constexpr unsigned kIdsLocationsColumnNumber = 10403;
constexpr unsigned kIdsLocationsColumnDetails = 10404;
constexpr unsigned kIdsModemTitle = 10700;
constexpr unsigned kIdsModemConnectWithin = 10702;
constexpr unsigned kIdsModemConnectSeconds = 10703;
constexpr unsigned kIdsModemRedialWait = 10704;
constexpr unsigned kIdsModemRedialSeconds = 10705;
constexpr unsigned kIdsModemInitString = 10706;
constexpr unsigned kIdsModemSettingsButton = 10707;
constexpr unsigned kIdsModemDisconnectAfter = 10708;
constexpr unsigned kIdsModemDisconnectMinutes = 10709;
// The device a COM name stands for on this machine: "COM3 = /dev/ttyUSB0".
constexpr unsigned kIdsPortDevice = 12000;
// Test Modbus Communications dialog: the statistics line under the buttons ("%1"-"%3": requests
// sent, passed and failed; "%4"-"%7": response times of the last, fastest, mean and slowest
// exchange).
constexpr unsigned kIdsTestStatistics = 12200;
// The engine refused the request because its thread is ending.
constexpr unsigned kIdsTestNotQueued = 12202;
// Test dialog: data values refused before a write, so that only values the operator typed are
// sent. "%1": the values the write needs, "%2": the values entered; or "%1": the value's position,
// "%2": the value as typed, "%3"-"%4": the range of its type (12302: "%3" the type).
constexpr unsigned kIdsTestValueCount = 12300;
constexpr unsigned kIdsTestValueOutOfRange = 12301;
constexpr unsigned kIdsTestValueNotFinite = 12302;
// The demo unit's locations and the main view's hint of the next step ("%1" = the location in
// use).
constexpr unsigned kIdsDemoTcpLocationName = 12500;
constexpr unsigned kIdsDemoRtuLocationName = 12501;
constexpr unsigned kIdsViewHintOffline = 12510;
constexpr unsigned kIdsViewHintOnline = 12511;
// Showing files and starting from the command line: a file nothing could show ("%s": the
// file), a configured viewer that could not start ("%s": the viewer, the file, the system's
// reason), the usage text, an unknown option ("%s": the option), an option without its value
// ("%s": the option), and a start without a display.
constexpr unsigned kIdsFileNotShown = 12600;
constexpr unsigned kIdsViewerNotStarted = 12601;
constexpr unsigned kIdsUsage = 12602;
constexpr unsigned kIdsUnknownOption = 12603;
constexpr unsigned kIdsOptionNeedsValue = 12604;
constexpr unsigned kIdsNoDisplay = 12605;
// Connect dialog: the sentence added after 5028 when the serial device exists but refuses the
// user ("%s": the device, the group that owns it, the group again).
constexpr unsigned kIdsSerialPermissionHint = 12100;

// Messages, titles and list bases of the Connect, hang-up, temporary parameters, Test and
// Communications Log windows.
constexpr unsigned kIdsLogReportFileName = 139;
constexpr unsigned kIdsInitiating = 5000;
constexpr unsigned kIdsConnectedTo = 5002;
constexpr unsigned kIdsPortOpenFailed = 5028;
constexpr unsigned kIdsWaitingForConnect = 5048;
constexpr unsigned kIdsTcpUnableToConnect = 5503;
constexpr unsigned kIdsTcpReconnectFailed = 5533;
constexpr unsigned kIdsInvalidPortNumber = 7001;
constexpr unsigned kIdsNoLocations = 7002;
constexpr unsigned kIdsLocationsChanged = 7003;
constexpr unsigned kIdsLocationNotValid = 7009;
constexpr unsigned kIdsLogRefreshBeforeSave = 7022;
constexpr unsigned kIdsFileErrorOnRead = 7900;
constexpr unsigned kIdsFileErrorOnWrite = 7901;
constexpr unsigned kIdsLogFileInUse = 7902;
constexpr unsigned kIdsModbusTypeFirst = 8025;
constexpr unsigned kIdsFunctionFirst = 8030;
constexpr unsigned kIdsCheckModeFirst = 8061;
constexpr unsigned kIdsAddressingFirst = 8064;
constexpr unsigned kIdsPass = 9007;
constexpr unsigned kIdsFail = 9008;
constexpr unsigned kIdsMilliseconds = 9011;
constexpr unsigned kIdsTempCommsTitle = 10018;
constexpr unsigned kIdsConnectTitle = 10300;
constexpr unsigned kIdsConnectButton = 10301;
constexpr unsigned kIdsAbortButton = 10305;
constexpr unsigned kIdsHangUpTitle = 10310;
constexpr unsigned kIdsLogWindowTitle = 10500;
constexpr unsigned kIdsLogClearLog = 10501;
constexpr unsigned kIdsLogRefresh = 10502;
constexpr unsigned kIdsLogTypeConnected = 10503;
constexpr unsigned kIdsLogTypeTx = 10504;
constexpr unsigned kIdsLogTypeRx = 10505;
constexpr unsigned kIdsLogTypeDisconnected = 10506;
constexpr unsigned kIdsLogTypeError = 10507;
constexpr unsigned kIdsLogColumnIndex = 10508; // 10508-10512: the five column titles
constexpr unsigned kIdsLogTypeReconnected = 10513;
constexpr unsigned kIdsLogTimeDifferenceText = 10514;
constexpr unsigned kIdsLogTypeRxFlush = 10515;
constexpr unsigned kIdsLogTypeUnknown = 10516;
constexpr unsigned kIdsLogSaveToFile = 10517;
constexpr unsigned kIdsLogPage = 10518;
constexpr unsigned kIdsLogProgressFirst = 10519; // 10519-10523: "Displaying Logs." ...
constexpr unsigned kIdsLogProgressLast = 10523;
constexpr unsigned kIdsLogDisplayComplete = 10524;

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
constexpr unsigned kIdsOffline = 9005;
constexpr unsigned kIdsAboutTitle = 10102;

// Likely causes of a failed exchange: the Test dialog's line and details, the log's FINDING
// record and the help page. Each cause's statement, evidence and next check are at
// causeTextId (diagnosis/diagnose.h) + 0, 1, 2; 13012-13015 name the word orders.
constexpr unsigned kIdsDiagLikelyCause = 13000;
constexpr unsigned kIdsDiagDetails = 13001;
constexpr unsigned kIdsDiagRepeatCount = 13002;
constexpr unsigned kIdsLogTypeFinding = 13003;
constexpr unsigned kIdsDiagEvidence = 13004;
constexpr unsigned kIdsDiagNextCheck = 13005;
constexpr unsigned kIdsDiagFindingsTitle = 13006;
constexpr unsigned kIdsDiagEchoAlone = 13010;
constexpr unsigned kIdsDiagEchoGlued = 13011;
constexpr unsigned kIdsDiagOrderFirst = 13012;
constexpr unsigned kIdsDiagHelpTitle = 13016;
constexpr unsigned kIdsDiagHelpIntro = 13017;
// Register Table with its trend and files, and the Test window's soak options (13200-13399).
constexpr unsigned kIdsRegTableTitle = 13200;
constexpr unsigned kIdsRegTableButton = 13201;
constexpr unsigned kIdsMenuRegisterTable = 13202;
constexpr unsigned kIdsPromptRegisterTable = 13203;
constexpr unsigned kIdsTipRegisterTable = 13204;
constexpr unsigned kIdsRegTableColumnFirst = 13205; // 13205-13215: the table's column titles
constexpr unsigned kIdsRegTableTypeFirst = 13216;   // 13216-13221: Float ... 64-bit unsigned
constexpr unsigned kIdsRegTableOrderFirst = 13222;  // 13222-13225: ABCD, CDAB, BADC, DCBA
constexpr unsigned kIdsRegTableNoRead = 13226;
constexpr unsigned kIdsRegTableLastRead = 13227;
constexpr unsigned kIdsRegTableStale = 13228;
constexpr unsigned kIdsRegTableExport = 13229;
constexpr unsigned kIdsRegTableSeriesStart = 13230;
constexpr unsigned kIdsRegTableSeriesStop = 13231;
constexpr unsigned kIdsRegTableWriteFailed = 13232;
constexpr unsigned kIdsRegTableSeriesFailed = 13233;
constexpr unsigned kIdsRegTableCsvHeader = 13234;
constexpr unsigned kIdsRegTableTimeHeader = 13235;
constexpr unsigned kIdsRegTablePin = 13236;
constexpr unsigned kIdsRegTableUnpin = 13237;
constexpr unsigned kIdsRegTableOrdersOf = 13238;
constexpr unsigned kIdsRegTableModiconNote = 13239;
constexpr unsigned kIdsRegTablePlausible = 13240;
constexpr unsigned kIdsRegTableCsvFilter = 13241;
constexpr unsigned kIdsRegTableTrend = 13243;
constexpr unsigned kIdsRegTableResponseAxis = 13244;
constexpr unsigned kIdsRegTableTimeAxis = 13245;
constexpr unsigned kIdsRegTableResponseTime = 13246;
constexpr unsigned kIdsRegTableTrendTitle = 13247;
constexpr unsigned kIdsConvertorInt64 = 13270;
constexpr unsigned kIdsConvertorUInt64 = 13271;
constexpr unsigned kIdsConvertorAllOrders = 13272;
constexpr unsigned kIdsTestRepeatInterval = 13260;
constexpr unsigned kIdsTestKeepRepeating = 13261;
constexpr unsigned kIdsTestSoakFailures = 13262;
constexpr unsigned kIdsTestSoakFailureEntry = 13263;
// vantrel-run: sequence files, expectations, reports and the command line; Save Step.
constexpr unsigned kIdsSeqErrorAt = 13400;
constexpr unsigned kIdsSeqCannotRead = 13401;
constexpr unsigned kIdsSeqUnknownKey = 13402;
constexpr unsigned kIdsSeqWrongType = 13403;
constexpr unsigned kIdsSeqKindInteger = 13404;
constexpr unsigned kIdsSeqKindNumber = 13405;
constexpr unsigned kIdsSeqKindString = 13406;
constexpr unsigned kIdsSeqKindValue = 13407;
constexpr unsigned kIdsSeqKindArray = 13408;
constexpr unsigned kIdsSeqKindTable = 13409;
constexpr unsigned kIdsSeqKindSteps = 13410;
constexpr unsigned kIdsSeqOutOfRange = 13411;
constexpr unsigned kIdsSeqNotOneOf = 13412;
constexpr unsigned kIdsSeqToleranceNeedsValues = 13413;
constexpr unsigned kIdsSeqOneFunction = 13414;
constexpr unsigned kIdsSeqStepDefaultName = 13415;
constexpr unsigned kIdsSeqNoSteps = 13416;
constexpr unsigned kIdsSeqTypeNotOffered = 13417;
constexpr unsigned kIdsSeqValueCount = 13418;
constexpr unsigned kIdsSeqValueDiffers = 13419;
constexpr unsigned kIdsSeqValueNotNumber = 13420;
constexpr unsigned kIdsSeqValueBelow = 13421;
constexpr unsigned kIdsSeqValueAbove = 13422;
constexpr unsigned kIdsSeqOtherException = 13423;
constexpr unsigned kIdsSeqNoException = 13424;
constexpr unsigned kIdsSeqNormalReply = 13425;
constexpr unsigned kIdsSeqByteCount = 13426;
constexpr unsigned kIdsSeqTooSlow = 13427;
constexpr unsigned kIdsRepPass = 13428;
constexpr unsigned kIdsRepFail = 13429;
constexpr unsigned kIdsRepNotRun = 13430;
constexpr unsigned kIdsRepSequence = 13431;
constexpr unsigned kIdsRepUnit = 13432;
constexpr unsigned kIdsRepLocation = 13433;
constexpr unsigned kIdsRepStarted = 13434;
constexpr unsigned kIdsRepFinished = 13435;
constexpr unsigned kIdsRepSteps = 13436;
constexpr unsigned kIdsRepTimes = 13437;
constexpr unsigned kIdsRepEnded = 13438;
constexpr unsigned kIdsRepStepsTitle = 13439;
constexpr unsigned kIdsRepStepLine = 13440;
constexpr unsigned kIdsRepRequest = 13441;
constexpr unsigned kIdsRepReply = 13442;
constexpr unsigned kIdsRepValues = 13443;
constexpr unsigned kIdsRepWhy = 13444;
constexpr unsigned kIdsRunProgressLine = 13445;
constexpr unsigned kIdsRunInterrupted = 13446;
constexpr unsigned kIdsRunNoAnswer = 13447;
constexpr unsigned kIdsRunDescription = 13448;
constexpr unsigned kIdsRunFooter = 13449;
constexpr unsigned kIdsRunOptSequence = 13450;
constexpr unsigned kIdsRunOptLocation = 13451;
constexpr unsigned kIdsRunOptTcp = 13452;
constexpr unsigned kIdsRunOptSerial = 13453;
constexpr unsigned kIdsRunOptBaud = 13454;
constexpr unsigned kIdsRunOptParity = 13455;
constexpr unsigned kIdsRunOptStopBits = 13456;
constexpr unsigned kIdsRunOptFraming = 13457;
constexpr unsigned kIdsRunOptId = 13458;
constexpr unsigned kIdsRunOptSettings = 13459;
constexpr unsigned kIdsRunOptReport = 13460;
constexpr unsigned kIdsRunOptJson = 13461;
constexpr unsigned kIdsRunOptJunit = 13462;
constexpr unsigned kIdsRunOptRepeat = 13463;
constexpr unsigned kIdsRunOptDuration = 13464;
constexpr unsigned kIdsRunOptQuiet = 13465;
constexpr unsigned kIdsRunNeedsTarget = 13466;
constexpr unsigned kIdsRunNoSuchLocation = 13467;
constexpr unsigned kIdsRunNotConnected = 13468;
constexpr unsigned kIdsRunBadTcp = 13469;
constexpr unsigned kIdsRunBadHost = 13470;
constexpr unsigned kIdsRunBadSerial = 13471;
constexpr unsigned kIdsRunNoTempFolder = 13472;
constexpr unsigned kIdsRunBadSettings = 13473;
constexpr unsigned kIdsRunCannotWrite = 13474;
constexpr unsigned kIdsTestSaveStep = 13475;
constexpr unsigned kIdsTestSaveStepTitle = 13476;
constexpr unsigned kIdsTestSaveStepFilter = 13477;
constexpr unsigned kIdsTestSaveStepFailed = 13478;
constexpr unsigned kIdsTestSaveStepName = 13479;
// A failed step's likely causes in the run reports.
constexpr unsigned kIdsRepCause = 13480;
constexpr unsigned kIdsRepNextCheck = 13481;
constexpr unsigned kIdsRunSpoolFailed = 13482;
// Find Unit: the sweep of line settings and IDs for a unit that answers.
constexpr unsigned kIdsMenuFindUnit = 13600;
constexpr unsigned kIdsPromptFindUnit = 13601;
constexpr unsigned kIdsFindTitle = 13602;
constexpr unsigned kIdsFindSerialMedium = 13603;
constexpr unsigned kIdsFindTcpMedium = 13604;
constexpr unsigned kIdsFindPortLabel = 13605;
constexpr unsigned kIdsFindFramingsLabel = 13606;
constexpr unsigned kIdsFindBaudLabel = 13607;
constexpr unsigned kIdsFindParityLabel = 13608;
constexpr unsigned kIdsFindStopBitsLabel = 13609;
constexpr unsigned kIdsFindIdRangeLabel = 13610;
constexpr unsigned kIdsFindIdTo = 13611;
constexpr unsigned kIdsFindTimeoutLabel = 13612;
constexpr unsigned kIdsFindStopAtFirst = 13613;
constexpr unsigned kIdsFindAddressLabel = 13614;
constexpr unsigned kIdsFindTcpPortLabel = 13615;
constexpr unsigned kIdsFindOtherPortsLabel = 13616;
constexpr unsigned kIdsFindRtuOverTcp = 13617;
constexpr unsigned kIdsFindStart = 13618;
constexpr unsigned kIdsFindPause = 13619;
constexpr unsigned kIdsFindResume = 13620;
constexpr unsigned kIdsFindCancel = 13621;
constexpr unsigned kIdsFindCreateLocation = 13622;
constexpr unsigned kIdsFindClose = 13623;
constexpr unsigned kIdsFindColumnSettings = 13624; // 13624-13627: the four result columns
constexpr unsigned kIdsFindSweepLength = 13628;
constexpr unsigned kIdsFindProgress = 13629;
constexpr unsigned kIdsFindTrying = 13630;
constexpr unsigned kIdsFindSerialSetting = 13631;
constexpr unsigned kIdsFindTcpSetting = 13632;
constexpr unsigned kIdsFindMinutes = 13633;
constexpr unsigned kIdsFindSeconds = 13634;
constexpr unsigned kIdsFindOnline = 13635;
constexpr unsigned kIdsFindNoPort = 13636;
constexpr unsigned kIdsFindNoFraming = 13637;
constexpr unsigned kIdsFindNoBaud = 13638;
constexpr unsigned kIdsFindNoParity = 13639;
constexpr unsigned kIdsFindNoStopBits = 13640;
constexpr unsigned kIdsFindIdOrder = 13641;
constexpr unsigned kIdsFindBadPortList = 13642;
constexpr unsigned kIdsFindNoAddress = 13643;
constexpr unsigned kIdsFindFound = 13644;
constexpr unsigned kIdsFindNoneFound = 13645;
constexpr unsigned kIdsFindCancelled = 13646;
constexpr unsigned kIdsFindPortLost = 13647;
constexpr unsigned kIdsFindPaused = 13648;
constexpr unsigned kIdsFindCancelling = 13649;
constexpr unsigned kIdsFindNoIdentification = 13650;
constexpr unsigned kIdsFindRunIndicator = 13651; // 13651-13652: off, on
constexpr unsigned kIdsFindServerId = 13653;
constexpr unsigned kIdsFindExceptionAnswer = 13654;
constexpr unsigned kIdsFindLocationSerialName = 13655;
constexpr unsigned kIdsFindLocationTcpName = 13656;
constexpr unsigned kIdsFindParityLetters = 13657; // 13657-13659: by parity index
constexpr unsigned kIdsFindStopBitsText = 13660;  // 13660-13661: "1", "2"
constexpr unsigned kIdsFindLocationSaved = 13662;
constexpr unsigned kIdsFindConnectFailed = 13663;
constexpr unsigned kIdsFindButton = 13664;
constexpr unsigned kIdsFindResultsLabel = 13665;
constexpr unsigned kIdsFindProgressEnded = 13666;
// Communications Log bound and journal: the journal's file name beside the settings file, and
// the window's line about them ("%d": the bound or a count of records, "%s": the journal's
// path, then the system's reason), and a journal a saved report could not read.
constexpr unsigned kIdsLogJournalFileName = 13800;
constexpr unsigned kIdsLogBoundNote = 13801;
constexpr unsigned kIdsLogJournalNote = 13802;
constexpr unsigned kIdsLogJournalFailed = 13803;
constexpr unsigned kIdsLogJournalUnread = 13804;
