#pragma once

// Result codes of a Modbus request. Each is the string-table identifier of its text; 0 is success.
constexpr int kResultOk = 0;
constexpr int kResultMessageTooLong = 5003;     // "Modbus message size exceeds limit!"
constexpr int kResultResponseTooLong = 5004;    // response would exceed the message size limit
constexpr int kResultWrongByteCount = 5005;     // number of bytes returned is not correct
constexpr int kResultTimedOut = 5006;           // raised by the transports
constexpr int kResultInvalidResponse = 5007;    // response too short
constexpr int kResultInvalidCrc = 5008;         // "Response from unit had an invalid CRC."
constexpr int kResultIllegalFunction = 5009;    // exception 01
constexpr int kResultIllegalDataAddress = 5010; // exception 02
constexpr int kResultIllegalDataValue = 5011;   // exception 03
constexpr int kResultDeviceFailure = 5012;      // exception 04
constexpr int kResultAcknowledge = 5013;        // exception 05
constexpr int kResultUnknownException = 5014;   // any other exception code
constexpr int kResultByteCountTooLarge = 5017;  // "The return byte count exceeded the maximum!"
constexpr int kResultBroadcastNotAllowed = 5018;
constexpr int kResultCoilNotForced = 5019;
constexpr int kResultRegisterNotPreset = 5020;
constexpr int kResultTooManyToWrite = 5021;
constexpr int kResultBusy = 5023;       // exception 06
constexpr int kResultInvalidLrc = 5024; // "Response from unit had an invalid LRC."
constexpr int kResultRegistersNotPreset = 5026;
constexpr int kResultNegativeAck = 5027;   // exception 07
constexpr int kResultMemoryParity = 5029;  // exception 08
constexpr int kResultGatewayPath = 5030;   // exception 0A
constexpr int kResultGatewayTarget = 5031; // exception 0B
constexpr int kResultBroadcastSent = 5041; // "Broadcast Message - no response required."

// Results of the serial line and the socket that readers of an exchange tell apart (the
// diagnosis among them).
constexpr int kResultPortOverrun = 5033;     // the port's receive buffer overran
constexpr int kResultPortParity = 5034;      // parity error reported by the port
constexpr int kResultPortFraming = 5035;     // framing error reported by the port
constexpr int kResultPortBreak = 5036;       // break condition on the line
constexpr int kResultConnectTimedOut = 5502; // the TCP connect found no peer in time
constexpr int kResultConnectRefused = 5507;  // nothing listens on the port
constexpr int kResultSocketTimedOut = 5517;  // the socket's own time-out
constexpr int kResultNoTcpConnection = 5534; // "There is no TCP/IP connection."

constexpr int kResultTypeNotSupported = 7015; // the data type has no builder for the function
constexpr int kResultInvalidData = 7016;      // a value cannot be read in its type
