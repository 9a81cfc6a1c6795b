#pragma once

#include "diagnosis/diagnose.h"
#include "runner/sequence.h"
#include "windows/testmodbus_dlg.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CMessageQueue;
class CVantrelDoc;

// What one send of a step gave.
struct ExchangeOutcome {
    int engineResult = 0;               // the engine's result code; 0: a reply came
    bool windowPassed = false;          // the Test window accepted the reply (checks and decoding)
    std::string failureText;            // the window's text of the failure; empty when it passed
    std::vector<std::uint8_t> request;  // as it went on the wire
    std::vector<std::uint8_t> response; // as it arrived
    std::string values;                 // the data values box after the reply
    std::uint32_t elapsedMs = 0;
    bool interrupted = false;
    std::optional<int> exceptionCode; // the reply was an exception with this code
    std::optional<int> byteCount;     // the byte count of a read reply
    std::vector<Finding> findings;    // the likely causes the Test dialog names, most likely first
};

// Why a step's request cannot be built: the key at fault and the window's text.
struct StepRefusal {
    std::string key;
    std::string text;
};

// Sends the requests of steps exactly as the Test Modbus Communications window does: the step
// fills the window's form, Transmit builds and queues the request, and the engine's result
// message goes back to the window, which checks and decodes the reply.
class CStepExchange final : private ITestModbusHost {
public:
    // `queue` is the window that receives the engine's results.
    CStepExchange(CVantrelDoc& document, CMessageQueue& queue, CTestModbusDlg::Setup setup);

    // Builds the step's request without sending it; the refusal when the window would refuse it.
    std::optional<StepRefusal> check(const StepRequest& request);
    // Sends the step's request once and waits for its result. `interrupt` aborts the exchange.
    ExchangeOutcome send(const StepRequest& request, const std::atomic<bool>& interrupt);

    const CTestModbusDlg& dialog() const { return dialog_; }

private:
    std::optional<StepRefusal> fillForm(const StepRequest& request);
    void awaitResult(ExchangeOutcome& outcome, const std::atomic<bool>& interrupt);
    void readReplyFacts(ExchangeOutcome& outcome) const;

    // ITestModbusHost
    void showMessage(const std::string& text) override;
    void setFocus(TestField field) override;
    int queueRequest(std::uint8_t* request, const std::uint16_t* requestLength,
                     std::uint8_t* response, std::uint16_t* responseLength) override;
    void postStatusRefresh() override {}
    void abortCurrentJob() override;
    void dropQueuedJobs() override;
    std::string unknownErrorText() override;
    std::uint32_t tickCount() override;
    CCommsLogStore* commsLog() override;
    int baudRate() override;

    CVantrelDoc& document_;
    CMessageQueue& queue_;
    CTestModbusDlg dialog_;
    bool dryRun_ = false;
    bool queued_ = false;
    std::string shownText_;
    TestField focus_ = TestField::None;
    const std::uint8_t* request_ = nullptr;
    const std::uint16_t* requestLength_ = nullptr;
    const std::uint8_t* response_ = nullptr;
    const std::uint16_t* responseLength_ = nullptr;
};
