#include "runner/step_exchange.h"

#include "comms/client_socket.h"
#include "comms/comms_context.h"
#include "comms/comms_engine.h"
#include "config/location.h"
#include "platform/clock.h"
#include "platform/message_queue.h"
#include "protocol/data_types.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "windows/vantrel_doc.h"

#include <algorithm>

namespace {

// The engine always answers a queued job; after an abort it does so within its controller wait.
constexpr int kResultPollMs = 100;
constexpr std::uint8_t kExceptionFlag = 0x80;
// Functions 01 to 04 read, and their replies carry a byte count.
constexpr int kLastReadFunction = 4;

// The key of a sequence step that a field of the window is read from.
std::string keyOfField(TestField field) {
    switch (field) {
    case TestField::ModbusId:
        return "id";
    case TestField::FunctionCode:
        return "function";
    case TestField::UserFunction:
        return "user_function";
    case TestField::StartAddress:
        return "register";
    case TestField::Quantity:
        return "quantity";
    case TestField::StringSize:
        return "string_size";
    case TestField::DataValues:
        return "values";
    case TestField::CheckValue:
        return "check_value";
    default:
        return {};
    }
}

std::string joined(const std::vector<std::string>& values, const std::string& separator) {
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i)
        text += (i > 0 ? separator : std::string()) + values[i];
    return text;
}

} // namespace

CStepExchange::CStepExchange(CVantrelDoc& document, CMessageQueue& queue,
                             CTestModbusDlg::Setup setup)
    : document_(document), queue_(queue), dialog_(document.message(), *this, std::move(setup)) {}

std::optional<StepRefusal> CStepExchange::fillForm(const StepRequest& r) {
    TestModbusForm& form = dialog_.form;
    dialog_.onInitDialog();
    form.functionIndex = r.functionIndex;
    dialog_.onFunctionChanged();
    const bool offered =
        std::find(form.dataTypes.begin(), form.dataTypes.end(), r.dataType) != form.dataTypes.end();
    if (r.dataType != 0 && (offered || !r.typeFromDefaults)) {
        if (!offered)
            return StepRefusal{"type", std::string(loadString(kIdsSeqTypeNotOffered))};
        form.dataType = r.dataType;
        dialog_.onDataTypeChanged();
    }
    if (r.modbusId >= 0)
        form.modbusId = std::to_string(r.modbusId);
    if (r.addressingIndex >= 0)
        form.addressingIndex = r.addressingIndex;
    form.userFunction = std::to_string(r.userFunction);
    form.startAddress = std::to_string(r.address);
    if (form.quantityEnabled)
        form.quantity = std::to_string(r.quantity);
    form.stringSize = std::to_string(r.stringSize);
    // Strings are separated by the list separator; numbers and bytes by blanks, as typed.
    const bool strings = form.dataType == kDataTypeString && form.functionIndex != kFnUserDefined;
    form.dataValues = joined(r.values, strings ? std::string(",") : std::string(" "));
    if (r.checkMode >= 0 && form.checkModeEnabled) {
        form.checkMode = r.checkMode;
        dialog_.onCheckModeChanged();
    }
    form.checkValue = r.checkValue;
    return std::nullopt;
}

std::optional<StepRefusal> CStepExchange::check(const StepRequest& request) {
    if (auto refused = fillForm(request))
        return refused;
    dryRun_ = true;
    queued_ = false;
    shownText_.clear();
    focus_ = TestField::None;
    dialog_.onTransmit();
    dryRun_ = false;
    if (queued_)
        return std::nullopt;
    return StepRefusal{keyOfField(focus_), shownText_};
}

ExchangeOutcome CStepExchange::send(const StepRequest& request,
                                    const std::atomic<bool>& interrupt) {
    ExchangeOutcome outcome;
    fillForm(request);
    queued_ = false;
    shownText_.clear();
    dialog_.onTransmit();
    if (!queued_) {
        outcome.failureText = shownText_;
        outcome.engineResult = kResultStopping;
        return outcome;
    }
    awaitResult(outcome, interrupt);
    return outcome;
}

void CStepExchange::awaitResult(ExchangeOutcome& outcome, const std::atomic<bool>& interrupt) {
    std::uint32_t abortedAt = 0;
    for (;;) {
        const auto message = queue_.waitFor(WM_COMMS_RESULT, kResultPollMs);
        if (message && message->wParam == static_cast<WParam>(JobType::ModbusRequest)) {
            outcome.engineResult = static_cast<int>(message->lParam);
            // The buffers as the engine handed them back, before the window converts them.
            outcome.request.assign(request_, request_ + *requestLength_);
            outcome.response.assign(response_,
                                    response_ + std::min<int>(*responseLength_, kFrameBufferSize));
            dialog_.onCommsResult(static_cast<unsigned>(message->wParam),
                                  static_cast<int>(message->lParam));
            break;
        }
        if (interrupt.load() && abortedAt == 0) {
            outcome.interrupted = true;
            abortedAt = ::tickCount();
            document_.abortCurrentJob();
        } else if (abortedAt != 0 && ::tickCount() - abortedAt > kControllerWaitMs) {
            break;
        }
    }
    outcome.interrupted = outcome.interrupted || interrupt.load();
    outcome.windowPassed = shownText_.empty() && outcome.engineResult == 0;
    outcome.failureText = shownText_;
    outcome.values = dialog_.form.dataValues;
    outcome.findings = dialog_.diagnosis().findings();
    outcome.elapsedMs = dialog_.statistics().lastMs;
    readReplyFacts(outcome);
}

void CStepExchange::readReplyFacts(ExchangeOutcome& outcome) const {
    std::vector<std::uint8_t> reply = outcome.response;
    CModbusMessage& message = document_.message();
    if (dialog_.form.modbusType == static_cast<int>(ModbusType::Ascii)) {
        int length = static_cast<int>(reply.size());
        reply.resize(std::max<std::size_t>(reply.size(), 1));
        message.asciiToBinary(reply.data(), length);
        reply.resize(static_cast<std::size_t>(std::max(length, 0)));
    }
    const auto offset = static_cast<std::size_t>(message.frameOffset());
    if (reply.size() <= offset + 2)
        return;
    const int function = reply[offset + 1];
    if ((function & kExceptionFlag) != 0)
        outcome.exceptionCode = reply[offset + 2];
    else if (function <= kLastReadFunction || dialog_.form.functionIndex == kFnUserDefined)
        outcome.byteCount = reply[offset + 2];
}

void CStepExchange::showMessage(const std::string& text) {
    // The dry run's refusal to queue is how it ends; only the refusals before it count.
    if (dryRun_ && queued_)
        return;
    if (shownText_.empty())
        shownText_ = text;
}

void CStepExchange::setFocus(TestField field) {
    if (focus_ == TestField::None)
        focus_ = field;
}

int CStepExchange::queueRequest(std::uint8_t* request, const std::uint16_t* requestLength,
                                std::uint8_t* response, std::uint16_t* responseLength) {
    queued_ = true;
    request_ = request;
    requestLength_ = requestLength;
    response_ = response;
    responseLength_ = responseLength;
    if (dryRun_)
        return kResultStopping;
    return document_.context().engine.queueJob(JobType::ModbusRequest, request, requestLength,
                                               response, responseLength, queue_.handle());
}

void CStepExchange::abortCurrentJob() {
    document_.abortCurrentJob();
}

void CStepExchange::dropQueuedJobs() {
    document_.dropQueuedJobs();
}

std::string CStepExchange::unknownErrorText() {
    return document_.context().socket.unknownErrorText();
}

std::uint32_t CStepExchange::tickCount() {
    return ::tickCount();
}

// The dialog diagnoses each exchange from the records the engine logged for it, as in the window.
CCommsLogStore* CStepExchange::commsLog() {
    return &document_.context().engine.logRecords;
}

int CStepExchange::baudRate() {
    return baudRateOfIndex(document_.currentLocation.baudIndex);
}
