#include "diagnosis/diagnose.h"

#include "diagnosis/exchange_view.h"

#include <array>

namespace {

// Most likely first: what ends the exchange before the unit is reached, then what the bytes
// that came back show about the link, then what the unit said about the request, and last the
// silence, which every other cause can also produce.
constexpr std::array<Recogniser, static_cast<std::size_t>(Cause::kCount)> kRecognisers = {
    recogniseConnectionRefused,   recogniseConnectTimedOut,      recogniseClosedAfterRequest,
    recogniseTransactionIdZero,   recogniseLateAnswer,           recogniseEchoNotRemoved,
    recogniseReplyTakenForEcho,   recogniseUnitSpeaksAscii,      recogniseUnitSpeaksRtu,
    recogniseUnitSpeaksModbusTcp, recogniseUnitSpeaksRtuOverTcp, recogniseAnswersForEveryId,
    recogniseWrongUnitId,         recogniseParityErrors,         recogniseFramingErrors,
    recogniseGatewayPath,         recogniseGatewayTarget,        recogniseTryInputRegisters,
    recogniseTryHoldingRegisters, recogniseAddressOffByOne,      recogniseUnitCountsRegisters,
    recogniseUnitCountsValues,    recogniseBlockLimit,           recogniseWordOrder,
    recogniseLineNoise,           recogniseLineSettingsMismatch, recogniseNothingOverTcp,
    recogniseNothingOnSerialLine,
};

} // namespace

std::vector<Finding> diagnose(const DiagnosisEvidence& evidence) {
    const ExchangeView view(evidence);
    std::vector<Finding> findings;
    for (const Recogniser recognise : kRecognisers) {
        if (auto finding = recognise(view))
            findings.push_back(std::move(*finding));
    }
    return findings;
}
