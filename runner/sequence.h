#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// A sequence: a named list of requests to a unit, each in the terms of the Test Modbus
// Communications window, with what its reply must show.

// Where a key or a table was read: 1-based line and column; 0 when it was not read from a file.
struct SourcePosition {
    int line = 0;
    int column = 0;
};

// A request as the Test window's form holds it. Fields left at -1 take the location's value
// (Modbus ID, addressing) or the window's default for the framing (check value mode).
struct StepRequest {
    int functionIndex = 2;           // TestFunctionIndex: 2 is Read Holding Registers (03)
    int userFunction = 0;            // the code of a User Defined request
    int dataType = 0;                // 0: the function's default type
    bool typeFromDefaults = false;   // a header's type applies where the function offers it
    int addressingIndex = -1;        // 0 Logical, 1 Register, 2 Modicon Compatible
    int modbusId = -1;               // 0-247
    int address = 0;                 // data register, or the diagnostics sub-function
    int quantity = 1;                // values, points, or the diagnostics data value
    int stringSize = 0;              // ASCII String only
    std::vector<std::string> values; // values to write, or the bytes of a User Defined request
    int checkMode = -1;              // TestCheckMode
    std::string checkValue;          // two hexadecimal bytes, with checkMode user defined
};

// What the reply of a step must show; an expectation left empty is not checked.
struct StepExpectation {
    std::vector<std::string> values; // the values read, equal (within tolerance)
    std::optional<double> minimum;   // every value read at least this
    std::optional<double> maximum;   // every value read at most this
    std::optional<double> tolerance; // allowed difference of each value from `values`
    std::optional<int> exception;    // the unit answers with this exception code
    std::optional<int> byteCount;    // the byte count of a read reply
    std::optional<int> maxMs;        // response time under this many milliseconds
    double passRatePercent = 100.0;  // share of the repeats that must pass
};

struct SequenceStep {
    std::string name;
    SourcePosition at;                          // the step's table
    std::map<std::string, SourcePosition> keys; // every key of the step, by name
    StepRequest request;
    StepExpectation expect;
    int repeat = 1; // sends of the request
};

struct Sequence {
    std::string name;
    std::string unit;
    std::vector<SequenceStep> steps;
};

// Names of the values of the request's enumerations as sequence files write them.
struct NamedValue {
    const char* name;
    int value;
};
// Data types (values of protocol/data_types.h).
extern const std::vector<NamedValue> kSequenceDataTypes;
// Addressing modes (index into the window's list).
extern const std::vector<NamedValue> kSequenceAddressing;
// Check value modes (TestCheckMode).
extern const std::vector<NamedValue> kSequenceCheckModes;
// The Modbus function codes a step may name, and their index in the window's list.
extern const std::vector<NamedValue> kSequenceFunctions;

// The name of `value` in `names`, or null.
const char* nameOfValue(const std::vector<NamedValue>& names, int value);
