#pragma once

#include "diagnosis/evidence.h"

#include <cstdint>
#include <string>
#include <vector>

// The causes a failed or suspect exchange is put down to, each with its texts in the string
// table: statement, evidence and next check at causeTextId(cause) + 0, 1 and 2.
enum class Cause : std::uint8_t {
    ConnectionRefused,
    ConnectTimedOut,
    ClosedAfterRequest,
    TransactionIdZero,
    LateAnswer,
    EchoNotRemoved,
    ReplyTakenForEcho,
    AnswersForEveryId,
    WrongUnitId,
    UnitSpeaksAscii,
    UnitSpeaksRtu,
    UnitSpeaksModbusTcp,
    UnitSpeaksRtuOverTcp,
    ParityErrors,
    FramingErrors,
    LineSettingsMismatch,
    LineNoise,
    TryInputRegisters,
    TryHoldingRegisters,
    AddressOffByOne,
    BlockLimit,
    GatewayPath,
    GatewayTarget,
    UnitCountsRegisters,
    UnitCountsValues,
    WordOrder,
    NothingOverTcp,
    NothingOnSerialLine,
    kCount,
};

inline constexpr unsigned kDiagnosisTextFirst = 13020;
inline constexpr unsigned kDiagnosisTextsPerCause = 4;

constexpr unsigned causeTextId(Cause cause) {
    return kDiagnosisTextFirst + kDiagnosisTextsPerCause * static_cast<unsigned>(cause);
}

// One likely cause: a short statement, the bytes or times it rests on, and what to check next.
struct Finding {
    Cause cause = Cause::NothingOnSerialLine;
    std::string statement;
    std::string evidence;
    std::string nextCheck;
};

// The likely causes of what one request saw, most likely first; none for a healthy exchange. A
// cause is named only when the evidence singles it out. Pure: no clock, no I/O.
std::vector<Finding> diagnose(const DiagnosisEvidence& evidence);
