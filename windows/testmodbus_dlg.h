#pragma once

#include "config/location.h"
#include "protocol/modbus_message.h"
#include "windows/diagnosis_view.h"
#include "windows/field_rules.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The fields of the Test Modbus Communications window that can take the focus after a check.
enum class TestField {
    None,
    ModbusId,
    FunctionCode,
    UserFunction,
    StartAddress,
    Quantity,
    StringSize,
    DataValues,
    CheckValue,
    Transmit,
    Repeat,
};

// A check of the Test window's form: accepted, or the message and the field that gets the focus.
using TestCheck = FieldCheck<TestField>;

// Index of each function in the function code list (texts 8030-8040).
enum TestFunctionIndex : int {
    kFnReadCoils = 0,
    kFnReadInputs,
    kFnReadHolding,
    kFnReadInput,
    kFnForceCoil,
    kFnPresetRegister,
    kFnReadExceptionStatus,
    kFnDiagnostics,
    kFnForceCoils,
    kFnPresetRegisters,
    kFnUserDefined,
    kFunctionCount,
};

// Index of each check value mode in its list (texts 8061-8063).
enum TestCheckMode : int { kCheckAutomatic = 0, kCheckUserDefined = 1, kCheckNotUsed = 2 };

// Everything the window shows: the operator's entries as text, the frame boxes, and the layout
// the logic decides (what is visible, enabled and how it is labelled).
struct TestModbusForm {
    int modbusType = 0;      // ModbusType 0 RTU, 1 ASCII, 2 Modbus/TCP
    int addressingIndex = 0; // 0 Logical, 1 Register, 2 Modicon Compatible
    std::string modbusId;
    int functionIndex = kFnReadHolding;
    std::string userFunction = "255";
    int dataType = 0; // selected type id; 0 when the list is empty
    std::string startAddress = "0";
    std::string quantity = "0";
    std::string stringSize = "0";
    std::string dataValues;
    int checkMode = kCheckAutomatic;
    std::string checkValue;
    std::string transmitText;
    std::string receiveText;

    std::vector<int> dataTypes; // the data type list, type ids in order
    bool dataTypeVisible = true;
    bool dataTypeEnabled = true;
    bool startVisible = true;
    bool quantityVisible = true;
    bool quantityEnabled = true;
    bool stringSizeVisible = false;
    bool userFunctionVisible = false;
    bool dataValuesReadOnly = true;
    unsigned startLabel = 0;
    unsigned quantityLabel = 0;
    std::string dataValuesLabel;
    unsigned checkLabel = 0;
    bool checkModeEnabled = true;
    bool checkValueVisible = false;
    bool rtuEnabled = true;
    bool asciiEnabled = true;
    bool tcpEnabled = true;
    bool tcpVisible = true;
    bool transmitEnabled = true;
    bool cancelEnabled = true;
    unsigned repeatLabel = 0;
    std::string statistics; // empty until a request has been sent
    // "Likely cause: ..." below the statistics, and every finding in full; empty when the last
    // exchange gave none. Cleared by the next Transmit (in Repeat, by Repeat).
    std::string likelyCause;
    std::string causeDetails;
};

// What the logic asks of its window and of the document behind it.
class ITestModbusHost {
public:
    virtual ~ITestModbusHost() = default;
    // Shows the form as it stands, then a message box; returns when it is acknowledged.
    virtual void showMessage(const std::string& text) = 0;
    // Gives the field the focus with all its text selected.
    virtual void setFocus(TestField field) = 0;
    // Queues a Modbus request job for this window; returns queueJob's result. The engine writes
    // the frame as sent back into `request` before the result comes.
    virtual int queueRequest(std::uint8_t* request, const std::uint16_t* requestLength,
                             std::uint8_t* response, std::uint16_t* responseLength) = 0;
    virtual void postStatusRefresh() = 0;
    virtual void abortCurrentJob() = 0;
    // Drops the queued jobs of this window, waiting at most 10 s.
    virtual void dropQueuedJobs() = 0;
    // The text shown for 5518, the socket's last unknown error.
    virtual std::string unknownErrorText() = 0;
    // Milliseconds from a monotonic clock.
    virtual std::uint32_t tickCount() = 0;
    // The comms log the exchanges are recorded in, and the line's bits per second (0 for TCP/IP):
    // what the diagnosis of an exchange reads. Without a log the exchanges are not diagnosed.
    virtual CCommsLogStore* commsLog() { return nullptr; }
    virtual int baudRate() { return 0; }
};

// Response times and outcomes of the exchanges since Repeat started or since a single Transmit.
struct TestStatistics {
    int sent = 0;
    int passed = 0;
    int failed = 0;
    std::uint32_t lastMs = 0;
    std::uint32_t fastestMs = 0;
    std::uint32_t slowestMs = 0;
    std::uint64_t totalMs = 0;
    void reset() { *this = {}; }
    void record(std::uint32_t ms, bool pass);
    // The line shown under the buttons.
    std::string text() const;
};

// The request on screen as a sequence step records it: the entries as Transmit reads them, and
// the values the last reply to a read of the same function gave (empty when there are none).
struct TestStepEntries {
    int functionIndex = kFnReadHolding;
    int userFunction = 0;
    int dataType = 0;
    int addressingIndex = 0;
    int modbusId = 0;
    int startAddress = 0;
    int quantity = 0;
    int stringSize = 0;
    std::vector<std::string> values; // the values to write, or a User Defined request's bytes
    int checkMode = kCheckAutomatic;
    std::string checkValue;
    std::vector<std::string> received;
};

// Splits data values: strings on the list separator; other values on single spaces when the
// text holds a space, otherwise on the list separator. Empty pieces are skipped; at most
// `maxTokens` are returned.
std::vector<std::string> tokenizeValues(std::string_view text, std::string_view listSeparator,
                                        bool strings, std::size_t maxTokens);

// A frame as shown in the frame boxes: every byte as two hex digits and a space; for ASCII
// framing a blank line and the characters, each between two spaces and one.
std::string formatFrameText(const std::uint8_t* bytes, int length, bool asciiFraming);

// The function code a list index stands for (User Defined: 0), -1 outside the list.
int functionCodeOfIndex(int functionIndex);

// The Test Modbus Communications dialog's decisions: the form, its checks, the request it
// builds and queues, the result it shows, repeating and closing. The window binds its widgets
// to `form` and forwards events here.
class CTestModbusDlg {
public:
    struct Setup {
        MediaType mediaType = MediaType::TcpIp;
        ModbusType modbusType = ModbusType::ModbusTcp;
        int modbusId = 1;
        int addressingMode = 0; // index into the addressing list
        std::string listSeparator = ",";
    };

    CTestModbusDlg(CModbusMessage& message, ITestModbusHost& host, Setup setup);

    void onInitDialog();
    void onFunctionChanged();
    void onDataTypeChanged();
    void onCheckModeChanged();
    void onModbusTypeChanged();
    // Transmit.
    void onTransmit();
    void onRepeat();
    // Enter: Stop while repeating, otherwise Transmit while it is enabled.
    void onEnterKey();
    // WM_COMMS_RESULT. A result that the dialog does not wait for is dropped.
    void onCommsResult(unsigned jobType, int result);
    void onCancel();
    const CDiagnosisView& diagnosis() const { return diagnosis_; }
    // Save Step: the request on screen, checked as Transmit checks it; nothing after the
    // message of an entry that Transmit would refuse.
    std::optional<TestStepEntries> stepEntries();

    bool waiting() const { return waiting_; }
    bool repeating() const { return repeating_; }
    bool closing() const { return closing_; }
    const TestStatistics& statistics() const { return statistics_; }
    const std::uint8_t* requestFrame() const { return request_; }
    std::uint16_t requestLength() const { return requestLength_; }

    TestModbusForm form;

private:
    // The request as it was sent: its result is decoded with these, whatever the operator has
    // changed in the form since.
    struct SentRequest {
        int functionIndex = 0;
        int dataType = 0;
        std::uint16_t quantity = 0;
        std::uint16_t stringSize = 0;
        bool asciiFraming = false;
        int startAddress = 0;
    };
    // The integer fields as read from the form.
    struct ReadFields {
        int modbusId = 0;
        int userFunction = 0;
        int startAddress = 0;
        int quantity = 0;
        int stringSize = 0;
    };

    bool readForm(ReadFields& fields);
    void setFraming(const ReadFields& fields);
    bool checkForm(const ReadFields& fields, int& functionCode);
    int buildRequest(const ReadFields& fields, int functionCode);
    int buildReadRegisters(const ReadFields& fields, int functionCode, int& length);
    int buildForceCoil(const ReadFields& fields, int& length);
    int buildPresetSingle(const ReadFields& fields, int& length);
    int buildPresetMultiple(const ReadFields& fields, int& length);
    // Returns `code`; a refusal with a text is shown with the focus on the data values box.
    int refuseValues(int code, std::string text);
    int buildUserDefined(int functionCode, int& length);
    int applyCheckValueOption(int& length, int pending);
    void transmitOrFail(int code);
    void fail(int code);
    void failAt(const TestCheck& refusal);
    bool isBroadcastRequest() const;
    int checkAndDecode();
    int decodeRegisters(const std::uint8_t* frame, int length);
    void clearReadResults();
    void stopRepeating();
    void setTransmitEnabled();
    std::string messageText(int code);
    bool asciiFraming() const { return form.modbusType == static_cast<int>(ModbusType::Ascii); }
    // The diagnosis of each exchange (testmodbus_diagnosis.cpp).
    void clearDiagnosis();
    void beginDiagnosis();
    DiagnosisEvidence exchangeEvidence() const;
    void showDiagnosis(DiagnosisEvidence evidence, int result);
    std::vector<std::string> tokens(std::size_t maxTokens, bool strings) const;

    CModbusMessage& message_;
    ITestModbusHost& host_;
    Setup setup_;
    std::uint8_t request_[kFrameBufferSize] = {};
    std::uint16_t requestLength_ = 0;
    std::uint8_t response_[kFrameBufferSize] = {};
    std::uint16_t responseLength_ = 0;
    SentRequest sent_;
    bool repeating_ = false;
    bool closing_ = false;
    bool waiting_ = false;
    // Transmit takes the focus back from Stop once it is enabled again.
    bool focusTransmit_ = false;
    // Why the data values were refused; shown with the focus on the data values box.
    std::string valuesRefusal_;
    std::uint32_t queuedAt_ = 0;
    TestStatistics statistics_;
    CDiagnosisView diagnosis_;
    std::vector<std::uint8_t> builtRequest_; // the request as built, before the engine stamps it
};
