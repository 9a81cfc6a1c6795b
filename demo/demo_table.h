#pragma once

#include <cstdint>
#include <modbus.h>
#include <vector>

// What the demo unit serves: a table a user can recognise, and a few start addresses that show
// what failures look like.

// Addresses 0..9999 of each kind: coil n is on where n is odd, discrete input n where n is even,
// holding register n holds n, input register n holds 10000 + n. Writes are kept while the unit
// runs.
constexpr int kDemoTableSize = 10000;
constexpr std::uint16_t kDemoInputRegisterBase = 10000;

// A request whose start address is one of these gets, whatever its function:
constexpr int kDemoLateAnswerAddress = 9000;      // its answer after kDemoLateAnswerMs
constexpr int kDemoNoAnswerAddress = 9001;        // no answer at all
constexpr int kDemoExceptionAnswerAddress = 9002; // exception answer 04 (server failure)
constexpr int kDemoLateAnswerMs = 2000;
constexpr std::uint8_t kDemoFaultException = 4;

enum class DemoFault { None, LateAnswer, NoAnswer, ExceptionAnswer };

// The table above; null when out of memory. Free with modbus_mapping_free.
modbus_mapping_t* newDemoTable();

// The fault a request asks for by its start address. `pdu` is the request from its function
// code on, `length` its byte count with whatever follows. Functions without a start address
// (07, 08, 11 and user-defined codes) and requests too short to hold one get None.
DemoFault faultOf(const std::uint8_t* pdu, int length);

// The exception status byte of function 07: the first eight coils (on where n is odd).
constexpr std::uint8_t kDemoExceptionStatus = 0xAA;

// The answer to 07 Read Exception Status, which libmodbus does not serve. `adu` is the whole
// request of `length` bytes whose function code stands at `headerLength`; `rtu` says whether it
// ends in a CRC. Empty for every other request, which libmodbus answers.
std::vector<std::uint8_t> ownAnswer(const std::uint8_t* adu, int length, int headerLength,
                                    bool rtu);
