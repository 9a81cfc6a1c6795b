#include "protocol/check_values.h"
#include "protocol/data_types.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "tests/support/row_names.h"
#include "windows/testmodbus_dlg.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace {

using vantrel_test::PrintTo;

using Bytes = std::vector<std::uint8_t>;

std::string text(unsigned id) {
    return std::string(loadString(id));
}

Bytes withCrc(Bytes frame) {
    const std::uint16_t crc = crc16(frame.data(), static_cast<int>(frame.size()));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

// Records what the logic asks of its window; a queued request can be answered with answer().
class CRecordingHost : public ITestModbusHost {
public:
    void showMessage(const std::string& t) override { messages.push_back(t); }
    void setFocus(TestField field) override { focus = field; }
    int queueRequest(std::uint8_t* request, const std::uint16_t* requestLength,
                     std::uint8_t* response, std::uint16_t* responseLength) override {
        sent.emplace_back(request, request + *requestLength);
        request_ = request;
        response_ = response;
        responseLength_ = responseLength;
        return queueResult;
    }
    void postStatusRefresh() override {}
    void abortCurrentJob() override { calls += "abort "; }
    void dropQueuedJobs() override { calls += "drop "; }
    std::string unknownErrorText() override { return "unknown socket error"; }
    std::uint32_t tickCount() override { return ticks += 5; }

    // As the engine does: the request as it went on the wire (`wire`, if given) is written back,
    // and the bytes received handed over.
    void answer(CTestModbusDlg& dlg, const Bytes& frame, int result = 0, unsigned jobType = 1,
                const Bytes& wire = {}) {
        std::copy(wire.begin(), wire.end(), request_);
        std::copy(frame.begin(), frame.end(), response_);
        *responseLength_ = static_cast<std::uint16_t>(frame.size());
        dlg.onCommsResult(jobType, result);
    }

    std::vector<std::string> messages;
    TestField focus = TestField::None;
    std::vector<Bytes> sent;
    std::string calls;
    int queueResult = 0;
    std::uint32_t ticks = 0;

private:
    std::uint8_t* request_ = nullptr;
    std::uint8_t* response_ = nullptr;
    std::uint16_t* responseLength_ = nullptr;
};

// The dialog opened on a direct RTU location, unit 1, Logical Addressing.
struct Dialog {
    explicit Dialog(ModbusType type = ModbusType::Rtu, MediaType media = MediaType::Direct)
        : dlg(message, host, {media, type, 1, 0, ","}) {
        dlg.onInitDialog();
    }
    void select(int functionIndex, int dataType = 0) {
        dlg.form.functionIndex = functionIndex;
        dlg.onFunctionChanged();
        if (dataType != 0) {
            dlg.form.dataType = dataType;
            dlg.onDataTypeChanged();
        }
    }
    CModbusMessage message;
    CRecordingHost host;
    CTestModbusDlg dlg;
};

// One filled-in form: the fields a row sets (others keep the opening values).
struct FormRow {
    const char* name;
    int function = kFnReadHolding;
    int dataType = 0;
    const char* modbusId = "1";
    const char* start = "0";
    const char* quantity = "1";
    const char* stringSize = "0";
    const char* userFunction = "255";
    const char* values = "";
    int checkMode = kCheckAutomatic;
    const char* checkValue = "";
    ModbusType type = ModbusType::Rtu;
    int addressing = 0;
};

void fill(Dialog& d, const FormRow& row) {
    d.dlg.form.modbusType = static_cast<int>(row.type);
    d.dlg.onModbusTypeChanged();
    d.select(row.function, row.dataType);
    d.dlg.form.addressingIndex = row.addressing;
    d.dlg.form.modbusId = row.modbusId;
    d.dlg.form.startAddress = row.start;
    if (d.dlg.form.quantityEnabled)
        d.dlg.form.quantity = row.quantity;
    d.dlg.form.stringSize = row.stringSize;
    d.dlg.form.userFunction = row.userFunction;
    d.dlg.form.dataValues = row.values;
    d.dlg.form.checkMode = row.checkMode;
    d.dlg.form.checkValue = row.checkValue;
}

// Each refused form shows one message, gives the field the focus, sends nothing and keeps the
// operator's entries.
struct RefusedRow {
    FormRow form;
    std::string message;
    TestField focus;
};

void PrintTo(const RefusedRow& row, std::ostream* os) {
    *os << row.form.name;
}

class RefusedForm : public ::testing::TestWithParam<RefusedRow> {};

TEST_P(RefusedForm, ShowsItsMessageAndFocusesTheField) {
    Dialog d;
    fill(d, GetParam().form);
    const TestModbusForm before = d.dlg.form;
    d.dlg.onTransmit();
    ASSERT_EQ(d.host.messages.size(), 1u);
    EXPECT_EQ(d.host.messages[0], GetParam().message);
    EXPECT_EQ(d.host.focus, GetParam().focus);
    EXPECT_TRUE(d.host.sent.empty());
    EXPECT_TRUE(d.dlg.form.transmitEnabled);
    EXPECT_EQ(d.dlg.form.dataValues, before.dataValues);
    EXPECT_EQ(d.dlg.form.quantity, before.quantity);
}

const std::string kInteger = text(kIdsEnterInteger);

// The refusals of entered values, as the operator reads them.
std::string needs(int needed, int given) {
    return "This write needs exactly " + std::to_string(needed) + " value(s); Data Values holds " +
           std::to_string(given) + ". Nothing was sent.";
}
std::string outside(int position, const char* value, const char* low, const char* high) {
    return "Value " + std::to_string(position) + ", \"" + value + "\", is outside the range " +
           low + " to " + high + ". Nothing was sent.";
}
std::string notFinite(int position, const char* value, const char* type) {
    return "Value " + std::to_string(position) + ", \"" + value +
           "\", is not a finite number within the range of " + type + ". Nothing was sent.";
}
constexpr int kFn16 = kFnPresetRegisters;

INSTANTIATE_TEST_SUITE_P(
    Checks, RefusedForm,
    ::testing::Values(
        RefusedRow{{.name = "quantity_zero_at_opening", .quantity = "0"},
                   "Register Count has to be greater than zero for function code 03 - Read "
                   "Holding Registers.",
                   TestField::Quantity},
        RefusedRow{{.name = "user_function_left_at_255", .function = kFnUserDefined},
                   text(7013),
                   TestField::UserFunction},
        RefusedRow{{.name = "user_function_zero", .function = kFnUserDefined, .userFunction = "0"},
                   text(7013),
                   TestField::UserFunction},
        RefusedRow{{.name = "string_size_zero", .dataType = kDataTypeString, .stringSize = " 0 "},
                   text(10216),
                   TestField::StringSize},
        RefusedRow{{.name = "modbus_id_junk", .modbusId = "1x"}, kInteger, TestField::ModbusId},
        RefusedRow{{.name = "modbus_id_blank", .modbusId = "  "}, kInteger, TestField::ModbusId},
        RefusedRow{{.name = "modbus_id_248", .modbusId = "248"},
                   "Please enter an integer between 0 and 247.",
                   TestField::ModbusId},
        RefusedRow{{.name = "start_negative", .start = "-1"},
                   "Please enter an integer between 0 and 65535.",
                   TestField::StartAddress},
        RefusedRow{{.name = "start_huge", .start = "99999999999999999999"},
                   kInteger,
                   TestField::StartAddress},
        RefusedRow{{.name = "start_two_signs", .start = "+-5"}, kInteger, TestField::StartAddress},
        RefusedRow{{.name = "quantity_empty", .quantity = ""}, kInteger, TestField::Quantity},
        RefusedRow{{.name = "quantity_letters", .quantity = "ten"}, kInteger, TestField::Quantity},
        RefusedRow{{.name = "string_size_251", .dataType = kDataTypeString, .stringSize = "251"},
                   "Please enter an integer between 0 and 250.",
                   TestField::StringSize},
        RefusedRow{{.name = "preset_letters", .function = kFnPresetRegister, .values = "abc"},
                   text(7016),
                   TestField::None},
        RefusedRow{{.name = "preset_empty", .function = kFnPresetRegister, .values = ""},
                   needs(1, 0),
                   TestField::DataValues},
        RefusedRow{{.name = "fn16_empty", .function = kFn16, .quantity = "3"},
                   needs(3, 0),
                   TestField::DataValues},
        RefusedRow{{.name = "fn16_fewer", .function = kFn16, .quantity = "3", .values = "5"},
                   needs(3, 1),
                   TestField::DataValues},
        RefusedRow{{.name = "fn16_more", .function = kFn16, .quantity = "3", .values = "1 2 3 4 5"},
                   needs(3, 5),
                   TestField::DataValues},
        RefusedRow{{.name = "fn16_strings_fewer",
                    .function = kFn16,
                    .dataType = kDataTypeString,
                    .quantity = "2",
                    .stringSize = "4",
                    .values = "AB"},
                   needs(2, 1),
                   TestField::DataValues},
        RefusedRow{{.name = "fn16_uint16_wrap",
                    .function = kFn16,
                    .quantity = "3",
                    .values = "70000 -5 1"},
                   outside(1, "70000", "0", "65535"),
                   TestField::DataValues},
        RefusedRow{{.name = "fn16_int16_below",
                    .function = kFn16,
                    .dataType = kDataTypeInt16,
                    .quantity = "2",
                    .values = "1 -32769"},
                   outside(2, "-32769", "-32768", "32767"),
                   TestField::DataValues},
        RefusedRow{{.name = "fn16_int8_above",
                    .function = kFn16,
                    .dataType = kDataTypeInt8,
                    .values = "128"},
                   outside(1, "128", "-128", "127"),
                   TestField::DataValues},
        RefusedRow{{.name = "fn16_uint32_beyond_64_bits",
                    .function = kFn16,
                    .dataType = kDataTypeUInt32,
                    .values = "99999999999999999999999"},
                   outside(1, "99999999999999999999999", "0", "4294967295"),
                   TestField::DataValues},
        RefusedRow{{.name = "fn16_float_overflow",
                    .function = kFn16,
                    .dataType = kDataTypeFloat,
                    .values = "1e39"},
                   notFinite(1, "1e39", "Float"),
                   TestField::DataValues},
        RefusedRow{{.name = "fn16_float_nan",
                    .function = kFn16,
                    .dataType = kDataTypeFloat,
                    .quantity = "2",
                    .values = "1 nan"},
                   notFinite(2, "nan", "Float"),
                   TestField::DataValues},
        RefusedRow{{.name = "fn16_double_overflow",
                    .function = kFn16,
                    .dataType = kDataTypeDouble,
                    .values = "1e309"},
                   notFinite(1, "1e309", "Double"),
                   TestField::DataValues},
        RefusedRow{{.name = "fn06_extra_token", .function = kFnPresetRegister, .values = "5 6"},
                   needs(1, 2),
                   TestField::DataValues},
        RefusedRow{{.name = "fn06_hex8_above",
                    .function = kFnPresetRegister,
                    .dataType = kDataTypeHex8,
                    .values = "100"},
                   outside(1, "100", "00", "FF"),
                   TestField::DataValues},
        RefusedRow{{.name = "fn15_coil_not_0_or_1",
                    .function = kFnForceCoils,
                    .quantity = "3",
                    .values = "1 2 1"},
                   outside(2, "2", "0", "1"),
                   TestField::DataValues},
        RefusedRow{{.name = "fn05_low_byte_zero", .function = kFnForceCoil, .values = "256"},
                   outside(1, "256", "0", "1"),
                   TestField::DataValues},
        RefusedRow{{.name = "user_defined_byte_above",
                    .function = kFnUserDefined,
                    .userFunction = "65",
                    .values = "0a 100"},
                   outside(2, "100", "00", "FF"),
                   TestField::DataValues},
        RefusedRow{{.name = "preset_string_too_long",
                    .function = kFnPresetRegister,
                    .dataType = kDataTypeString,
                    .stringSize = "4",
                    .values = "ABCDE"},
                   text(7018),
                   TestField::None},
        RefusedRow{{.name = "preset_multiple_hex8_not_supported",
                    .function = kFnPresetRegisters,
                    .dataType = kDataTypeHex8,
                    .values = "1"},
                   text(7015),
                   TestField::None},
        RefusedRow{{.name = "check_value_without_space",
                    .values = "",
                    .checkMode = kCheckUserDefined,
                    .checkValue = "1234"},
                   text(7016),
                   TestField::None},
        RefusedRow{
            {.name = "more_words_than_capacity", .quantity = "126"}, text(5004), TestField::None},
        RefusedRow{{.name = "write_more_than_capacity",
                    .function = kFnPresetRegisters,
                    .quantity = "130",
                    .values = "1 2 3"},
                   text(5021),
                   TestField::None},
        RefusedRow{{.name = "quantity_beyond_16_bits_is_not_taken_modulo",
                    .function = kFnReadCoils,
                    .quantity = "65537"},
                   text(5004),
                   TestField::None},
        RefusedRow{{.name = "broadcast_read", .modbusId = "0"}, text(5018), TestField::None}),
    [](const auto& row) { return std::string(row.param.form.name); });

// The frame each form sends.
struct FrameRow {
    FormRow form;
    Bytes frame; // without the CRC when `crc` is set
    bool crc = true;
};

void PrintTo(const FrameRow& row, std::ostream* os) {
    *os << row.form.name;
}

class SentFrame : public ::testing::TestWithParam<FrameRow> {};

TEST_P(SentFrame, IsBuiltFromTheForm) {
    Dialog d;
    fill(d, GetParam().form);
    d.dlg.onTransmit();
    ASSERT_TRUE(d.host.messages.empty()) << d.host.messages[0];
    ASSERT_EQ(d.host.sent.size(), 1u);
    const Bytes expected = GetParam().crc ? withCrc(GetParam().frame) : GetParam().frame;
    EXPECT_EQ(d.host.sent[0], expected);
    EXPECT_FALSE(d.dlg.form.transmitEnabled);
}

const Bytes kThree16{1, 16, 0, 0, 0, 3, 6, 0, 1, 0, 2, 0, 3};

INSTANTIATE_TEST_SUITE_P(
    Builders, SentFrame,
    ::testing::Values(
        FrameRow{{.name = "fn16_spaces",
                  .function = kFnPresetRegisters,
                  .quantity = "3",
                  .values = "1 2 3"},
                 kThree16},
        FrameRow{{.name = "fn16_list_separator",
                  .function = kFnPresetRegisters,
                  .quantity = "3",
                  .values = "1,2,3"},
                 kThree16},
        FrameRow{{.name = "fn16_space_wins_over_separator",
                  .function = kFnPresetRegisters,
                  .quantity = "2",
                  .values = "1, 2,3"},
                 {1, 16, 0, 0, 0, 2, 4, 0, 1, 0, 2}},
        FrameRow{{.name = "fn16_int16_bounds",
                  .function = kFnPresetRegisters,
                  .dataType = kDataTypeInt16,
                  .quantity = "2",
                  .values = "-32768 32767"},
                 {1, 16, 0, 0, 0, 2, 4, 0x80, 0, 0x7F, 0xFF}},
        FrameRow{{.name = "fn06_uint32_max",
                  .function = kFnPresetRegister,
                  .dataType = kDataTypeUInt32,
                  .values = "4294967295"},
                 {1, 6, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
        FrameRow{{.name = "fn16_line_breaks_separate",
                  .function = kFnPresetRegisters,
                  .quantity = "2",
                  .values = "7\n8"},
                 {1, 16, 0, 0, 0, 2, 4, 0, 7, 0, 8}},
        FrameRow{{.name = "fn06_string_padded",
                  .function = kFnPresetRegister,
                  .dataType = kDataTypeString,
                  .start = "3",
                  .stringSize = "4",
                  .values = "AB"},
                 {1, 6, 0, 3, 'A', 'B', ' ', ' '}},
        FrameRow{
            {.name = "fn06_digits_then_letters", .function = kFnPresetRegister, .values = "12ab"},
            {1, 6, 0, 0, 0, 12}},
        FrameRow{{.name = "fn05_on", .function = kFnForceCoil, .start = "9", .values = "1"},
                 {1, 5, 0, 9, 0xFF, 0}},
        FrameRow{
            {.name = "fn15_points", .function = kFnForceCoils, .quantity = "3", .values = "1 0 1"},
            {1, 15, 0, 0, 0, 3, 1, 5}},
        FrameRow{{.name = "fn03_float_modicon",
                  .dataType = kDataTypeFloat,
                  .start = "1",
                  .quantity = "2",
                  .addressing = 2},
                 {1, 3, 0, 0, 0, 4}},
        FrameRow{{.name = "fn08_diagnostics",
                  .function = kFnDiagnostics,
                  .start = "0",
                  .quantity = "4660"},
                 {1, 8, 0, 0, 0x12, 0x34}},
        FrameRow{{.name = "fn07_hidden_fields_are_not_read",
                  .function = kFnReadExceptionStatus,
                  .start = "junk",
                  .quantity = "junk"},
                 {1, 7}},
        FrameRow{{.name = "fn16_repeated_spaces_are_one_separator",
                  .function = kFnPresetRegisters,
                  .quantity = "2",
                  .values = " 1   2 "},
                 {1, 16, 0, 0, 0, 2, 4, 0, 1, 0, 2}},
        FrameRow{{.name = "user_defined_hex_bytes",
                  .function = kFnUserDefined,
                  .userFunction = "65",
                  .values = "0a FF 3"},
                 {1, 65, 0x0A, 0xFF, 0x03}},
        FrameRow{{.name = "broadcast_write",
                  .function = kFnPresetRegister,
                  .modbusId = "0",
                  .values = "5"},
                 {0, 6, 0, 0, 0, 5}},
        FrameRow{{.name = "crc_not_used", .quantity = "1", .checkMode = kCheckNotUsed},
                 {1, 3, 0, 0, 0, 1},
                 false},
        FrameRow{{.name = "crc_user_defined",
                  .quantity = "1",
                  .checkMode = kCheckUserDefined,
                  .checkValue = "12 34"},
                 {1, 3, 0, 0, 0, 1, 0x12, 0x34},
                 false},
        FrameRow{{.name = "ascii_lrc_not_used",
                  .quantity = "1",
                  .checkMode = kCheckNotUsed,
                  .type = ModbusType::Ascii},
                 {':', '0', '1', '0', '3', '0', '0', '0', '0', '0', '0', '0', '1', '\r', '\n'},
                 false},
        FrameRow{
            {.name = "ascii_lrc_user_defined",
             .quantity = "1",
             .checkMode = kCheckUserDefined,
             .checkValue = "41 42",
             .type = ModbusType::Ascii},
            {':', '0', '1', '0', '3', '0', '0', '0', '0', '0', '0', '0', '1', 'A', 'B', '\r', '\n'},
            false}),
    [](const auto& row) { return std::string(row.param.form.name); });

// What a response shows: the data values and the message, if any.
struct ResultRow {
    ResultRow(FormRow f, Bytes r, int code, std::string v, std::string m = {}, unsigned job = 1)
        : form(f), response(std::move(r)), result(code), values(std::move(v)),
          message(std::move(m)), jobType(job) {}
    FormRow form;
    Bytes response; // RTU, CRC added
    int result = 0;
    std::string values;
    std::string message;
    unsigned jobType = 1;
};

void PrintTo(const ResultRow& row, std::ostream* os) {
    *os << row.form.name;
}

class ShownResult : public ::testing::TestWithParam<ResultRow> {};

TEST_P(ShownResult, IsDecodedAndChecked) {
    Dialog d;
    fill(d, GetParam().form);
    if (d.dlg.form.dataValuesReadOnly)
        d.dlg.form.dataValues = "9, 9"; // the previous read's values
    d.dlg.onTransmit();
    ASSERT_EQ(d.host.sent.size(), 1u);
    d.host.answer(d.dlg, withCrc(GetParam().response), GetParam().result, GetParam().jobType);
    EXPECT_EQ(d.dlg.form.dataValues, GetParam().values);
    if (GetParam().message.empty())
        EXPECT_TRUE(d.host.messages.empty()) << d.host.messages[0];
    else
        EXPECT_EQ(d.host.messages, std::vector<std::string>{GetParam().message});
    EXPECT_TRUE(d.dlg.form.transmitEnabled);
    EXPECT_FALSE(d.dlg.waiting());
}

INSTANTIATE_TEST_SUITE_P(
    Responses, ShownResult,
    ::testing::Values(
        ResultRow{{.name = "fn03_words", .quantity = "3"},
                  {1, 3, 6, 0, 1, 0, 4, 0xFF, 0xFF},
                  0,
                  "1, 4, 65535"},
        ResultRow{{.name = "fn03_signed", .dataType = kDataTypeInt16, .quantity = "1"},
                  {1, 3, 2, 0xFF, 0xFE},
                  0,
                  "-2"},
        ResultRow{{.name = "fn03_short_count_shows_nothing_then_5005", .quantity = "3"},
                  {1, 3, 4, 0, 1, 0, 2},
                  0,
                  "",
                  text(5005)},
        ResultRow{{.name = "fn01_short_count_shows_nothing_then_5005",
                   .function = kFnReadCoils,
                   .quantity = "10"},
                  {1, 1, 1, 0x49},
                  0,
                  "",
                  text(5005)},
        ResultRow{{.name = "fn07_time_out_clears", .function = kFnReadExceptionStatus},
                  {},
                  5006,
                  "",
                  text(5006)},
        ResultRow{{.name = "fn08_time_out_clears_the_verdict",
                   .function = kFnDiagnostics,
                   .quantity = "4660"},
                  {},
                  5006,
                  "",
                  text(5006)},
        ResultRow{{.name = "fn03_count_too_large_shows_nothing", .quantity = "1"},
                  {1, 3, 252, 0, 1},
                  0,
                  "",
                  text(5017)},
        ResultRow{{.name = "fn04_string",
                   .function = kFnReadInput,
                   .dataType = kDataTypeString,
                   .quantity = "2",
                   .stringSize = "2"},
                  {1, 4, 4, 'A', 'B', 'C', 'D'},
                  0,
                  "AB, CD"},
        ResultRow{{.name = "fn01_bits", .function = kFnReadCoils, .quantity = "10"},
                  {1, 1, 2, 0x49, 0x02},
                  0,
                  "1, 0, 0, 1, 0, 0, 1, 0, 0, 1"},
        ResultRow{{.name = "fn07_boolean", .function = kFnReadExceptionStatus},
                  {1, 7, 0x81},
                  0,
                  "1, 0, 0, 0, 0, 0, 0, 1"},
        ResultRow{{.name = "fn08_pass", .function = kFnDiagnostics, .quantity = "4660"},
                  {1, 8, 0, 1, 0x12, 0x34},
                  0,
                  "Pass"},
        ResultRow{{.name = "fn08_fail", .function = kFnDiagnostics, .quantity = "4660"},
                  {1, 8, 0, 0, 0x12, 0x35},
                  0,
                  "Fail"},
        ResultRow{{.name = "fn06_echo_differs", .function = kFnPresetRegister, .values = "5"},
                  {1, 6, 0, 0, 0, 6},
                  0,
                  "5",
                  text(5020)},
        ResultRow{{.name = "exception_shows_its_text", .quantity = "1"},
                  {1, 0x83, 2},
                  5010,
                  "",
                  text(5010)},
        ResultRow{{.name = "socket_error_5518_shows_socket_text", .quantity = "1"},
                  {},
                  5518,
                  "",
                  "unknown socket error"},
        ResultRow{{.name = "wrong_job_type", .quantity = "1"}, {}, 0, "", text(5022), 2},
        ResultRow{{.name = "user_defined_keeps_entry",
                   .function = kFnUserDefined,
                   .userFunction = "3",
                   .values = "00 00 00 01"},
                  {1, 3, 2, 0, 9},
                  0,
                  "00 00 00 01"},
        ResultRow{{.name = "broadcast_whatever_result",
                   .function = kFnPresetRegister,
                   .modbusId = "0",
                   .values = "5"},
                  {},
                  5006,
                  "5"}),
    [](const auto& row) { return std::string(row.param.form.name); });

// The frame boxes once the result is in: the request as the engine wrote it back from the wire
// and the reply as received, both before any conversion for checking.
struct WireRow {
    const char* name;
    ModbusType type;
    Bytes wire;
    Bytes reply;
    std::string sentStart;
    std::string receivedStart;
    std::string values;
};

class FramesShown : public ::testing::TestWithParam<WireRow> {};

TEST_P(FramesShown, AreTheFramesOnTheWire) {
    const WireRow& row = GetParam();
    Dialog d(row.type, row.type == ModbusType::ModbusTcp ? MediaType::TcpIp : MediaType::Direct);
    fill(d, {.name = "", .quantity = "1", .type = row.type});
    d.dlg.onTransmit();
    d.host.answer(d.dlg, row.reply, 0, 1, row.wire);
    EXPECT_EQ(d.dlg.form.transmitText.rfind(row.sentStart, 0), 0u) << d.dlg.form.transmitText;
    EXPECT_EQ(d.dlg.form.receiveText.rfind(row.receivedStart, 0), 0u) << d.dlg.form.receiveText;
    EXPECT_EQ(d.dlg.form.dataValues, row.values);
}

INSTANTIATE_TEST_SUITE_P(
    Framings, FramesShown,
    ::testing::Values(WireRow{"modbus_tcp_identifier",
                              ModbusType::ModbusTcp,
                              {0, 7, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1},
                              {0, 7, 0, 0, 0, 5, 1, 3, 2, 0, 42},
                              "00 07 00 00 00 06 01 03 00 00 00 01 ",
                              "00 07 00 00 00 05 01 03 02 00 2A ",
                              "42"},
                      WireRow{"ascii_characters",
                              ModbusType::Ascii,
                              {},
                              {':', '0', '1', '0', '3', '0', '2', '0', '0', '0', '1', 'F', '9',
                               '\r', '\n'},
                              "3A 30 31 30 33 30 30 30 30 30 30 30 31 46 42 0D 0A ",
                              "3A 30 31 30 33 30 32 30 30 30 31 46 39 0D 0A ",
                              "1"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TestModbusLogic, BroadcastShowsItsNoticeInTheReceiveBox) {
    Dialog d;
    fill(d, {.name = "", .function = kFnPresetRegister, .modbusId = "0", .values = "5"});
    d.dlg.onTransmit();
    d.host.answer(d.dlg, {}, 5006);
    EXPECT_EQ(d.dlg.form.receiveText, text(5041));
}

TEST(TestModbusLogic, AResultIsDecodedAsTheRequestWasSentNotAsTheFormNowReads) {
    Dialog d;
    fill(d, {.name = "", .quantity = "3"});
    d.dlg.onTransmit();
    d.dlg.form.quantity = "1";
    d.dlg.form.dataType = kDataTypeInt32;
    d.host.answer(d.dlg, withCrc({1, 3, 6, 0, 1, 0, 2, 0, 3}));
    EXPECT_EQ(d.dlg.form.dataValues, "1, 2, 3");
    EXPECT_TRUE(d.host.messages.empty());
}

TEST(TestModbusLogic, FrameTextsShowHexAndForAsciiTheCharacters) {
    const std::uint8_t ascii[] = {':', '0', '1'};
    EXPECT_EQ(formatFrameText(ascii, 3, false), "3A 30 31 ");
    EXPECT_EQ(formatFrameText(ascii, 3, true), "3A 30 31 \r\n\r\n   :   0   1 ");
}

struct LayoutRow {
    const char* name;
    int function;
    std::vector<int> types;
    int selected;
    bool typeVisible, startVisible, quantityEnabled, valuesReadOnly;
    unsigned quantityLabel;
};

class FunctionLayout : public ::testing::TestWithParam<LayoutRow> {};

TEST_P(FunctionLayout, FollowsTheFunction) {
    Dialog d;
    d.dlg.form.dataType = kDataTypeInt32; // remembered where the new list offers it
    d.select(GetParam().function);
    const TestModbusForm& f = d.dlg.form;
    EXPECT_EQ(f.dataTypes, GetParam().types);
    EXPECT_EQ(f.dataType, GetParam().selected);
    EXPECT_EQ(f.dataTypeVisible, GetParam().typeVisible);
    EXPECT_EQ(f.startVisible, GetParam().startVisible);
    EXPECT_EQ(f.quantityEnabled, GetParam().quantityEnabled);
    EXPECT_EQ(f.dataValuesReadOnly, GetParam().valuesReadOnly);
    EXPECT_EQ(f.quantityLabel, GetParam().quantityLabel);
    EXPECT_EQ(f.userFunctionVisible, GetParam().function == kFnUserDefined);
}

const std::vector<int> kBool{kDataTypeBoolean};
std::vector<int> typeRange(int first, int last) {
    std::vector<int> v;
    for (int t = first; t <= last; ++t)
        v.push_back(t);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Functions, FunctionLayout,
    ::testing::Values(LayoutRow{"fn01", kFnReadCoils, kBool, kDataTypeBoolean, true, true, true,
                                true, kIdsTestNoOfPointsLabel},
                      LayoutRow{"fn03_keeps_type", kFnReadHolding, typeRange(8052, 8060),
                                kDataTypeInt32, true, true, true, true, kIdsTestNoOfValuesLabel},
                      LayoutRow{"fn05_one_point", kFnForceCoil, kBool, kDataTypeBoolean, true, true,
                                false, false, kIdsTestNoOfPointsLabel},
                      LayoutRow{"fn06_keeps_type", kFnPresetRegister, typeRange(8051, 8060),
                                kDataTypeInt32, true, true, false, false, kIdsTestNoOfValuesLabel},
                      LayoutRow{"fn07_default_boolean", kFnReadExceptionStatus,
                                typeRange(8050, 8053), kDataTypeBoolean, true, false, true, true,
                                kIdsTestNoOfValuesLabel},
                      LayoutRow{"fn08_no_types",
                                kFnDiagnostics,
                                {},
                                0,
                                false,
                                true,
                                true,
                                true,
                                kIdsTestDataValueLabel},
                      LayoutRow{"fn15", kFnForceCoils, kBool, kDataTypeBoolean, true, true, true,
                                false, kIdsTestNoOfPointsLabel},
                      LayoutRow{"user_defined",
                                kFnUserDefined,
                                {kDataTypeHex8},
                                kDataTypeHex8,
                                true,
                                false,
                                true,
                                false,
                                kIdsTestNoOfValuesLabel}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TestModbusLogic, OpeningFollowsTheLocation) {
    Dialog tcp(ModbusType::ModbusTcp, MediaType::TcpIp);
    EXPECT_EQ(tcp.dlg.form.checkMode, kCheckNotUsed);
    EXPECT_FALSE(tcp.dlg.form.checkModeEnabled);
    EXPECT_FALSE(tcp.dlg.form.rtuEnabled || tcp.dlg.form.asciiEnabled || tcp.dlg.form.tcpEnabled);
    EXPECT_EQ(tcp.dlg.form.functionIndex, kFnReadHolding);
    EXPECT_EQ(tcp.dlg.form.dataType, kDataTypeUInt16);
    Dialog serial(ModbusType::Ascii);
    EXPECT_FALSE(serial.dlg.form.tcpVisible);
    EXPECT_TRUE(serial.dlg.form.asciiEnabled);
    EXPECT_EQ(serial.dlg.form.checkLabel, kIdsTestLrcLabel);
    EXPECT_EQ(serial.dlg.form.dataValuesLabel,
              "Data &Values (use space or ',' to separate multiple values):");
    serial.select(kFnReadHolding, kDataTypeString);
    EXPECT_TRUE(serial.dlg.form.stringSizeVisible);
    EXPECT_EQ(serial.dlg.form.dataValuesLabel,
              "Data &Values (use ',' to separate multiple values):");
}

TEST(TestModbusLogic, RepeatRunsUntilTheFirstFailure) {
    Dialog d;
    fill(d, {.name = "", .quantity = "1"});
    d.dlg.onRepeat();
    EXPECT_EQ(d.dlg.form.repeatLabel, kIdsTestStop);
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(d.host.sent.size(), static_cast<std::size_t>(i + 1));
        EXPECT_FALSE(d.dlg.form.transmitEnabled);
        d.host.answer(d.dlg, withCrc({1, 3, 2, 0, 1}));
    }
    d.host.answer(d.dlg, {}, 5006);
    EXPECT_EQ(d.host.sent.size(), 6u);
    EXPECT_EQ(d.host.messages, std::vector<std::string>{text(5006)});
    EXPECT_EQ(d.dlg.form.repeatLabel, kIdsTestRepeat);
    EXPECT_TRUE(d.dlg.form.transmitEnabled);
    EXPECT_EQ(d.dlg.statistics().sent, 6);
    EXPECT_EQ(d.dlg.statistics().passed, 5);
    EXPECT_EQ(d.dlg.statistics().failed, 1);
    EXPECT_NE(d.dlg.form.statistics.find("Sent: 6   Passed: 5   Failed: 1"), std::string::npos);
    EXPECT_EQ(d.host.focus, TestField::Transmit);
}

TEST(TestModbusLogic, EnterTransmitsWhenIdleAndStopsRepeating) {
    Dialog d;
    fill(d, {.name = "", .quantity = "1"});
    const Bytes reply = withCrc({1, 3, 2, 0, 1});
    d.dlg.onEnterKey();
    d.dlg.onEnterKey(); // a request is outstanding: nothing
    EXPECT_EQ(d.host.sent.size(), 1u);
    d.host.answer(d.dlg, reply);
    d.dlg.onRepeat();
    EXPECT_EQ(d.host.focus, TestField::Repeat);
    d.dlg.onEnterKey();
    EXPECT_FALSE(d.dlg.repeating());
    EXPECT_EQ(d.dlg.form.repeatLabel, kIdsTestRepeat);
    EXPECT_EQ(d.host.focus, TestField::Repeat); // Transmit stays off until the result is in
    d.host.answer(d.dlg, reply);
    EXPECT_EQ(d.host.sent.size(), 2u);
    EXPECT_TRUE(d.dlg.form.transmitEnabled);
    EXPECT_EQ(d.host.focus, TestField::Transmit);
}

TEST(TestModbusLogic, StoppingWhileARequestIsOutstandingKeepsTransmitOffUntilItsResult) {
    Dialog d;
    fill(d, {.name = "", .quantity = "1"});
    d.dlg.onRepeat();
    d.dlg.onRepeat();
    EXPECT_EQ(d.dlg.form.repeatLabel, kIdsTestRepeat);
    EXPECT_FALSE(d.dlg.form.transmitEnabled);
    d.dlg.onTransmit(); // a second request would share the transaction object with the first
    EXPECT_EQ(d.host.sent.size(), 1u);
    d.host.answer(d.dlg, withCrc({1, 3, 2, 0, 1}));
    EXPECT_TRUE(d.dlg.form.transmitEnabled);
    EXPECT_EQ(d.host.sent.size(), 1u);
}

TEST(TestModbusLogic, CancelAbortsDropsAbortsAndDropsTheLateResult) {
    Dialog d;
    fill(d, {.name = "", .quantity = "1"});
    d.dlg.onTransmit();
    d.dlg.onCancel();
    EXPECT_EQ(d.host.calls, "abort drop abort ");
    EXPECT_FALSE(d.dlg.form.cancelEnabled);
    d.host.answer(d.dlg, {}, 5006);
    EXPECT_TRUE(d.host.messages.empty());
    EXPECT_TRUE(d.dlg.form.receiveText.empty());
}

TEST(TestModbusLogic, ARefusedJobIsReportedAndNothingWaits) {
    Dialog d;
    fill(d, {.name = "", .quantity = "1"});
    d.host.queueResult = 1;
    d.dlg.onTransmit();
    EXPECT_EQ(d.host.messages, std::vector<std::string>{text(kIdsTestNotQueued)});
    EXPECT_FALSE(d.dlg.waiting());
    EXPECT_TRUE(d.dlg.form.transmitEnabled);
}

TEST(TestModbusLogic, AHugeDataValuesTextIsKeptAndRefusedByTheBuilder) {
    Dialog d;
    std::string huge;
    while (huge.size() < 100000)
        huge += "1 ";
    fill(d, {.name = "", .function = kFnPresetRegisters, .quantity = "60000", .values = ""});
    d.dlg.form.dataValues = huge;
    d.dlg.onTransmit();
    EXPECT_EQ(d.host.messages, std::vector<std::string>{text(5021)});
    EXPECT_EQ(d.dlg.form.dataValues, huge);
}

// ---- The likely cause ----

// A host whose exchanges are logged: the test writes the records the engine would.
class CLoggingHost : public CRecordingHost {
public:
    CCommsLogStore* commsLog() override { return &log; }
    int baudRate() override { return 19200; }
    CCommsLogStore log;
};

TEST(TestModbusLogic, ATimedOutRequestGetsItsLikelyCauseUntilTheNextTransmit) {
    CModbusMessage message;
    CLoggingHost host;
    CTestModbusDlg dlg(message, host, {MediaType::Direct, ModbusType::Rtu, 1, 0, ","});
    dlg.onInitDialog();
    dlg.form.quantity = "1";
    dlg.onTransmit();
    ASSERT_EQ(host.sent.size(), 1u);
    const Bytes& tx = host.sent[0];
    host.log.addLogRecord(static_cast<unsigned>(CommsLogType::Tx), static_cast<unsigned>(tx.size()),
                          tx.data());
    const std::uint8_t timedOut[4] = {0x8E, 0x13, 0, 0};
    host.log.addLogRecord(static_cast<unsigned>(CommsLogType::Error), 4, timedOut);
    host.answer(dlg, {}, 5006);

    EXPECT_EQ(dlg.form.likelyCause,
              substituteArgs(loadString(kIdsDiagLikelyCause),
                             {loadString(causeTextId(Cause::NothingOnSerialLine))}));
    EXPECT_NE(dlg.form.causeDetails.find("19200 baud"), std::string::npos);
    ASSERT_EQ(host.log.count(), 3);
    EXPECT_EQ(host.log.record(2)->type, static_cast<std::uint16_t>(CommsLogType::Finding));
    dlg.onTransmit();
    EXPECT_EQ(dlg.form.likelyCause, "");
    EXPECT_EQ(dlg.form.causeDetails, "");
}

TEST(TestModbusLogic, RepeatShowsTheCauseFoundMostOftenWithItsCount) {
    const auto failed = [](bool serial, int result) {
        DiagnosisEvidence e;
        e.link.serialLine = serial;
        e.result = result;
        e.records = {{CommsLogType::Tx, 0, {1, 3, 0, 0, 0, 1, 0x84, 0x0A}, 0}};
        return e;
    };
    CDiagnosisView view;
    view.finishExchange(failed(true, 5006));
    view.finishExchange(failed(false, 5507));
    view.finishExchange(failed(true, 5006));
    view.finishExchange(DiagnosisEvidence{}); // a healthy exchange counts for nothing
    const std::string statement(loadString(causeTextId(Cause::NothingOnSerialLine)));
    EXPECT_EQ(view.line(true), "Likely cause: " + statement + " (2 times in 4 exchanges)");
    EXPECT_EQ(view.line(false), "");
    view.clear();
    EXPECT_EQ(view.line(true), "");
}

} // namespace
