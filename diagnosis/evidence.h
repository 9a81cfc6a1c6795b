#pragma once

#include "commslog/comms_log_store.h"

#include <cstdint>
#include <optional>
#include <vector>

// What one request saw, gathered from what the exchange and its log already keep: the input of
// diagnose().

// One record of the exchange as the comms log kept it.
struct ExchangeRecord {
    CommsLogType type = CommsLogType::Tx;
    std::int64_t atMs = 0;           // milliseconds since 1970-01-01 UTC
    std::vector<std::uint8_t> bytes; // the record's data; empty for an ERROR record
    int code = 0;                    // an ERROR record's result code
};

// How the location reaches its unit, as far as a diagnosis needs it.
struct LinkFacts {
    bool serialLine = false; // a direct, modem or satellite line; false for TCP/IP
    int framing = 0;         // FrameFormat of protocol/modbus_message.h
    int baudRate = 0;        // bits per second; serial lines only
    bool removeEcho = false; // the location's echo removal (two-wire RS-485)
    int addressingIndex = 0; // AddressingIndex of protocol/modbus_message.h
    int time1Ms = 0;         // serial: before the first byte; TCP/IP: to connect
    int time2Ms = 0;         // serial: between bytes; TCP/IP: for the reply
};

// What the operator asked for, in the form's terms.
struct RequestFacts {
    int dataType = 0;     // kDataType... of protocol/data_types.h; 0 when none applies
    int startAddress = 0; // as entered, before the addressing mode applies
    int quantity = 0;     // values as entered
};

// The request before this one, for an answer to it that arrives now.
struct PreviousExchange {
    std::vector<std::uint8_t> requestSent;
    std::int64_t txAtMs = 0;
    int result = 0;
};

struct DiagnosisEvidence {
    std::vector<std::uint8_t> requestBuilt; // as the builders framed it
    std::vector<std::uint8_t> requestSent;  // as it last went out (Modbus/TCP: its identifier)
    std::vector<ExchangeRecord> records;    // the exchange's log records, oldest first
    int result = 0;                         // the result code shown to the operator
    LinkFacts link;
    RequestFacts request;
    std::optional<PreviousExchange> previous;
    std::vector<int> recentResults; // the results of the requests before, oldest first
};

// The records of `log` from index `first` on, as evidence records. Reader thread only, as
// CCommsLogStore::record.
std::vector<ExchangeRecord> exchangeRecords(const CCommsLogStore& log, int first);
