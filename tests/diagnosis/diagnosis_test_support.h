#pragma once

// Requests run through the engine as the Test dialog runs them, each with the evidence of what it
// saw gathered from the log, for the diagnosis tests and benchmark.

#include "diagnosis/diagnose.h"
#include "protocol/typed_requests.h"
#include "tests/support/engine_test_support.h"

#include <optional>
#include <vector>

// A request's result as the Test dialog judges it: the engine's, then the decoder's verdict on a
// read's byte count.
inline int checkedResult(CModbusMessage& message, int engineResult, Bytes reply,
                         const RequestFacts& facts, int function) {
    if (engineResult != 0 || function < 1 || function > 4)
        return engineResult;
    int length = static_cast<int>(reply.size());
    if (message.binaryMode == 0)
        message.asciiToBinary(reply.data(), length);
    ReadValues values;
    if (function <= 2) {
        std::vector<std::uint8_t> bits;
        return message.decodeBits(reply.data(), length, static_cast<std::uint16_t>(facts.quantity),
                                  bits);
    }
    return decodeTypedRegisters(
        message, reply.data(), length,
        {facts.dataType, function, 0, static_cast<std::uint16_t>(facts.quantity), 0}, values);
}

class CDiagnosedExchanges {
public:
    CDiagnosedExchanges(CCommsContext& context, LinkFacts link) : context_(context), link_(link) {}

    void setLink(const LinkFacts& link) { link_ = link; }

    // Sends `frame` through the engine and returns what it saw; the next exchange knows this one.
    DiagnosisEvidence exchange(const Bytes& frame, const RequestFacts& facts, int function) {
        const int first = context_.engine.logRecords.count();
        CSubmitter submitter;
        DiagnosisEvidence e;
        e.requestBuilt = frame;
        e.link = link_;
        e.request = facts;
        e.previous = previous_;
        e.recentResults = recent_;
        e.result = -1;
        if (submitter.submit(context_.engine, frame) == 0) {
            if (const auto result = submitter.result())
                e.result = checkedResult(context_.message, static_cast<int>(result->lParam),
                                         submitter.received(), facts, function);
        }
        e.requestSent.assign(submitter.request, submitter.request + submitter.requestLength);
        e.records = exchangeRecords(context_.engine.logRecords, first);
        remember(e);
        return e;
    }

private:
    void remember(const DiagnosisEvidence& e) {
        PreviousExchange p{e.requestSent, 0, e.result};
        for (const ExchangeRecord& r : e.records)
            if (r.type == CommsLogType::Tx)
                p.txAtMs = r.atMs;
        previous_ = p;
        recent_.push_back(e.result);
    }

    CCommsContext& context_;
    LinkFacts link_;
    std::optional<PreviousExchange> previous_;
    std::vector<int> recent_;
};
