#include "windows/testmodbus_dlg.h"

#include "comms/client_socket.h"
#include "comms/comms_engine.h"
#include "comms/comms_job.h"
#include "protocol/data_types.h"
#include "protocol/field_text.h"
#include "protocol/modbus_limits.h"
#include "protocol/result_codes.h"
#include "protocol/typed_requests.h"
#include "protocol/value_codecs.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <span>
#include <utility>

namespace {

constexpr int kResultEmptyFunctionQuantity = 7012;
constexpr int kResultUserFunctionRange = 7013;
constexpr int kResultFunctionNotSupported = 7014;
constexpr int kResultStringTooLong = 7018;
constexpr int kResultStringSizeZero = 10216;
constexpr int kResultUnknownReturnType = 5022;
constexpr std::uint8_t kCarriageReturn = 0x0D;
constexpr std::uint8_t kLineFeed = 0x0A;

// Value arrays hold what the builders can send at most (strings: one byte each in the largest
// string write). A write's values are read only once its builder has accepted the quantity.
constexpr auto kBitCapacity = static_cast<std::size_t>(kMaxWriteBits);
constexpr auto kWordCapacity = static_cast<std::size_t>(kMaxWriteRegisters);
constexpr auto kLongCapacity = static_cast<std::size_t>(kMaxLongs);
constexpr auto kDoubleCapacity = static_cast<std::size_t>(kMaxDoubles);
constexpr auto kStringCapacity = static_cast<std::size_t>(kMaxPresetStringBytes);
// Every token of the data values is read: a write sends exactly the values entered.
constexpr std::size_t kAllTokens = std::numeric_limits<std::size_t>::max();

// How a function lays out the form.
struct FunctionRow {
    int code = 0;                   // 0: User Defined
    bool keepsType = false;         // the remembered type is selected again when offered
    bool typeHidden = false;        // 08
    bool startHidden = false;       // start address and quantity hidden (07, User Defined)
    bool userFunction = false;      // the user function code edit is shown
    bool quantityIsOne = false;     // 05, 06
    bool valuesReadOnly = false;    // the data values box shows results
    bool stringSizeFollows = false; // string size shown when the type is ASCII String
    unsigned startLabel = kIdsTestDataRegisterLabel;
    unsigned quantityLabel = kIdsTestNoOfValuesLabel;
};

constexpr std::array<FunctionRow, kFunctionCount> kFunctions = {{
    // Unnamed members keep their defaults: false, the data register and no-of-values labels.
    {.code = 1, .valuesReadOnly = true, .quantityLabel = kIdsTestNoOfPointsLabel},
    {.code = 2, .valuesReadOnly = true, .quantityLabel = kIdsTestNoOfPointsLabel},
    {.code = 3, .keepsType = true, .valuesReadOnly = true, .stringSizeFollows = true},
    {.code = 4, .keepsType = true, .valuesReadOnly = true, .stringSizeFollows = true},
    {.code = 5, .quantityIsOne = true, .quantityLabel = kIdsTestNoOfPointsLabel},
    {.code = 6, .keepsType = true, .quantityIsOne = true, .stringSizeFollows = true},
    {.code = 7, .keepsType = true, .startHidden = true, .valuesReadOnly = true},
    {.code = 8,
     .typeHidden = true,
     .valuesReadOnly = true,
     .startLabel = kIdsTestDiagCodeLabel,
     .quantityLabel = kIdsTestDataValueLabel},
    {.code = 15, .quantityLabel = kIdsTestNoOfPointsLabel},
    {.code = 16, .keepsType = true, .stringSizeFollows = true},
    {.code = 0, .startHidden = true, .userFunction = true},
}};

const FunctionRow* functionRow(int index) {
    if (index < 0 || index >= kFunctionCount)
        return nullptr;
    return &kFunctions[static_cast<std::size_t>(index)];
}

std::string idText(unsigned id) {
    return std::string(loadString(id));
}

// The value of a one-value entry in the type's entry format, as a wide integer or a floating
// point number.
struct Scanned {
    bool ok = false;
    std::int64_t integer = 0;
    double real = 0.0;
};

Scanned scanTyped(int dataType, std::string_view token) {
    Scanned s;
    const auto take = [&s](auto v) {
        if (v) {
            s.ok = true;
            s.integer = static_cast<std::int64_t>(*v);
        }
    };
    switch (dataType) {
    case kDataTypeHex8:
        take(scanHex(token));
        break;
    case kDataTypeBoolean:
    case kDataTypeInt8:
    case kDataTypeUInt8:
        take(scanInt(token));
        break;
    case kDataTypeInt16:
        take(scanShort(token));
        break;
    case kDataTypeUInt16:
        take(scanUShort(token));
        break;
    case kDataTypeInt32:
        take(scanLong(token));
        break;
    case kDataTypeUInt32:
        take(scanULong(token));
        break;
    case kDataTypeFloat:
        if (const auto v = scanFloat(token)) {
            s.ok = true;
            s.real = static_cast<double>(*v);
        }
        break;
    case kDataTypeDouble:
        if (const auto v = scanDouble(token)) {
            s.ok = true;
            s.real = *v;
        }
        break;
    default:
        break;
    }
    return s;
}

template <typename T> void push(std::vector<T>& array, std::size_t capacity, T value) {
    if (array.size() < capacity)
        array.push_back(value);
}

// Stores a value in the array of its type, up to the builders' capacities.
void store(WriteValues& values, int dataType, const Scanned& v) {
    switch (dataType) {
    case kDataTypeInt16:
    case kDataTypeUInt16:
        push(values.words, kWordCapacity, static_cast<std::uint16_t>(v.integer));
        break;
    case kDataTypeInt32:
    case kDataTypeUInt32:
        push(values.longs, kLongCapacity, static_cast<std::uint32_t>(v.integer));
        break;
    case kDataTypeFloat:
        push(values.floats, kLongCapacity, static_cast<float>(v.real));
        break;
    case kDataTypeDouble:
        push(values.doubles, kDoubleCapacity, v.real);
        break;
    default:
        push(values.bits, kBitCapacity, static_cast<int>(v.integer));
        break;
    }
}

// The range an entered value of an integer type must lie in; hexadecimal bounds print as two
// hexadecimal digits.
struct ValueRange {
    std::int64_t low;
    std::int64_t high;
    bool hex;
};

std::optional<ValueRange> integerRange(int dataType) {
    switch (dataType) {
    case kDataTypeBoolean: // a coil is on or off
        return ValueRange{0, 1, false};
    case kDataTypeHex8:
        return ValueRange{0, std::numeric_limits<std::uint8_t>::max(), true};
    case kDataTypeInt8:
        return ValueRange{std::numeric_limits<std::int8_t>::min(),
                          std::numeric_limits<std::int8_t>::max(), false};
    case kDataTypeUInt8:
        return ValueRange{0, std::numeric_limits<std::uint8_t>::max(), false};
    case kDataTypeInt16:
        return ValueRange{std::numeric_limits<std::int16_t>::min(),
                          std::numeric_limits<std::int16_t>::max(), false};
    case kDataTypeUInt16:
        return ValueRange{0, std::numeric_limits<std::uint16_t>::max(), false};
    case kDataTypeInt32:
        return ValueRange{std::numeric_limits<std::int32_t>::min(),
                          std::numeric_limits<std::int32_t>::max(), false};
    case kDataTypeUInt32:
        return ValueRange{0, std::numeric_limits<std::uint32_t>::max(), false};
    default:
        return std::nullopt;
    }
}

// The integer at the start of a token as the entry formats read it (blanks, a sign, a 0x prefix
// in hexadecimal, digits), but without wrapping: a number beyond 63 bits is held at that bound,
// outside every range.
std::optional<std::int64_t> scanUnwrapped(std::string_view token, int base) {
    const auto [digits, negative] = findNumberStart(token, base);
    std::size_t pos = digits;
    constexpr std::int64_t kBound = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    bool any = false;
    for (; pos < token.size() && digitValue(token[pos], base) >= 0; ++pos) {
        const int digit = digitValue(token[pos], base);
        value = value > (kBound - digit) / base ? kBound : value * base + digit;
        any = true;
    }
    if (!any)
        return std::nullopt;
    return negative ? -value : value;
}

std::string boundText(std::int64_t bound, bool hex) {
    if (!hex)
        return std::to_string(bound);
    char text[24];
    std::snprintf(text, sizeof text, "%02llX", static_cast<unsigned long long>(bound));
    return text;
}

// Why entered values cannot be written: a result code, and for the count and range checks the
// text that names the fault.
struct Refusal {
    int code = kResultOk;
    std::string text;
};

Refusal countRefusal(std::size_t needed, std::size_t given) {
    if (needed == given)
        return {};
    return {static_cast<int>(kIdsTestValueCount),
            substituteArgs(loadString(kIdsTestValueCount),
                           {std::to_string(needed), std::to_string(given)})};
}

// Reads value number `position` (from 1) of `dataType` from its token and checks it against the
// range of the type: the scanners take a value's low bits, which would write another value.
Refusal readValue(int dataType, std::string_view token, std::size_t position, Scanned& value) {
    value = scanTyped(dataType, token);
    if (!value.ok)
        return {kResultInvalidData, {}};
    const std::string place = std::to_string(position);
    if (dataType == kDataTypeFloat || dataType == kDataTypeDouble) {
        if (std::isfinite(value.real))
            return {};
        return {static_cast<int>(kIdsTestValueNotFinite),
                substituteArgs(loadString(kIdsTestValueNotFinite),
                               {place, token, loadString(static_cast<unsigned>(dataType))})};
    }
    const std::optional<ValueRange> range = integerRange(dataType);
    if (!range)
        return {};
    const std::optional<std::int64_t> wide = scanUnwrapped(token, range->hex ? 16 : 10);
    if (wide && *wide >= range->low && *wide <= range->high)
        return {};
    return {static_cast<int>(kIdsTestValueOutOfRange),
            substituteArgs(loadString(kIdsTestValueOutOfRange),
                           {place, token, boundText(range->low, range->hex),
                            boundText(range->high, range->hex)})};
}

// The one value of a single write.
Refusal readSingleValue(int dataType, const std::vector<std::string>& tokens, Scanned& value) {
    if (Refusal count = countRefusal(1, tokens.size()); count.code != kResultOk)
        return count;
    return readValue(dataType, tokens.front(), 1, value);
}

// One value per token into the arrays of `dataType`; strings must fit their size and are
// padded to it with spaces.
Refusal readValues(int dataType, const std::vector<std::string>& tokens, std::size_t stringSize,
                   WriteValues& values) {
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (dataType == kDataTypeString) {
            if (tokens[i].size() > stringSize)
                return {kResultStringTooLong, {}};
            std::string padded = tokens[i];
            padded.resize(stringSize, ' ');
            push(values.strings, kStringCapacity, std::move(padded));
            continue;
        }
        Scanned value;
        if (Refusal refused = readValue(dataType, tokens[i], i + 1, value);
            refused.code != kResultOk)
            return refused;
        store(values, dataType, value);
    }
    return {};
}

} // namespace

void TestStatistics::record(std::uint32_t ms, bool pass) {
    (pass ? passed : failed) += 1;
    const int done = passed + failed;
    lastMs = ms;
    fastestMs = done == 1 ? ms : std::min(fastestMs, ms);
    slowestMs = std::max(slowestMs, ms);
    totalMs += ms;
}

std::string TestStatistics::text() const {
    const int done = passed + failed;
    const std::uint64_t mean = done > 0 ? totalMs / static_cast<std::uint64_t>(done) : 0;
    const std::string numbers[] = {std::to_string(sent),      std::to_string(passed),
                                   std::to_string(failed),    std::to_string(lastMs),
                                   std::to_string(fastestMs), std::to_string(mean),
                                   std::to_string(slowestMs)};
    return substituteArgs(
        loadString(kIdsTestStatistics),
        {numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5], numbers[6]});
}

std::vector<std::string> tokenizeValues(std::string_view text, std::string_view listSeparator,
                                        bool strings, std::size_t maxTokens) {
    std::string separator(listSeparator.empty() ? std::string_view(",") : listSeparator);
    if (!strings && text.find(' ') != std::string_view::npos)
        separator = std::string(" ");
    std::vector<std::string> tokens;
    std::size_t start = 0;
    while (start <= text.size() && tokens.size() < maxTokens) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)
            tokens.emplace_back(text.substr(start, end - start));
        start = end + separator.size();
    }
    return tokens;
}

std::string formatFrameText(const std::uint8_t* bytes, int length, bool asciiFraming) {
    std::string text;
    char hex[4];
    for (int i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, "%02X ", bytes[i]);
        text += hex;
    }
    if (asciiFraming) {
        text += "\r\n\r\n ";
        for (int i = 0; i < length; ++i) {
            text += "  ";
            text += static_cast<char>(bytes[i]);
            text += ' ';
        }
    }
    return text;
}

int functionCodeOfIndex(int functionIndex) {
    const FunctionRow* row = functionRow(functionIndex);
    return row ? row->code : -1;
}

CTestModbusDlg::CTestModbusDlg(CModbusMessage& message, ITestModbusHost& host, Setup setup)
    : message_(message), host_(host), setup_(std::move(setup)) {}

void CTestModbusDlg::onInitDialog() {
    const bool tcpMedia = setup_.mediaType == MediaType::TcpIp;
    const bool tcpType = setup_.modbusType == ModbusType::ModbusTcp;
    form.modbusType = static_cast<int>(setup_.modbusType);
    form.tcpVisible = tcpMedia;
    form.tcpEnabled = false;
    form.rtuEnabled = !(tcpMedia && tcpType);
    form.asciiEnabled = form.rtuEnabled;
    form.stringSizeVisible = false;
    form.addressingIndex =
        std::clamp<int>(setup_.addressingMode, kAddressingIndexLogical, kAddressingIndexModicon);
    form.modbusId = std::to_string(setup_.modbusId);
    form.functionIndex = kFnReadHolding;
    form.dataType = kDataTypeUInt16;
    onFunctionChanged();

    form.checkMode = tcpType ? kCheckNotUsed : kCheckAutomatic;
    form.checkModeEnabled = !tcpType;
    onModbusTypeChanged();
    onCheckModeChanged();

    message_.modbusId = static_cast<std::uint8_t>(setup_.modbusId);
    repeating_ = false;
    form.repeatLabel = kIdsTestRepeat;
    form.transmitEnabled = true;
    form.cancelEnabled = true;
}

void CTestModbusDlg::onFunctionChanged() {
    const FunctionRow* row = functionRow(form.functionIndex);
    if (row == nullptr)
        return;
    const int remembered = form.dataType;
    const DataTypeChoice choice = dataTypeChoice(row->code, row->code == 0);
    form.dataTypes = choice.types;
    form.dataType = choice.defaultType;
    if (row->keepsType &&
        std::find(choice.types.begin(), choice.types.end(), remembered) != choice.types.end())
        form.dataType = remembered;
    form.dataTypeEnabled = choice.listEnabled;
    form.dataTypeVisible = !row->typeHidden;
    form.startVisible = !row->startHidden;
    form.quantityVisible = !row->startHidden;
    form.userFunctionVisible = row->userFunction;
    form.startLabel = row->startLabel;
    form.quantityLabel = row->quantityLabel;
    if (row->quantityIsOne)
        form.quantity =
            std::string("1"); // whole, not a literal: GCC 12 -O3 misreads it (-Wrestrict)
    form.quantityEnabled = !row->quantityIsOne;
    form.dataValuesReadOnly = row->valuesReadOnly;
    onDataTypeChanged();
    if (!row->stringSizeFollows)
        form.stringSizeVisible = false;
}

void CTestModbusDlg::onDataTypeChanged() {
    const bool strings = form.dataType == kDataTypeString;
    form.stringSizeVisible = strings;
    form.dataValuesLabel = formatString(
        strings ? kIdsTestStringValuesLabel : kIdsTestDataValuesLabel, setup_.listSeparator);
}

void CTestModbusDlg::onCheckModeChanged() {
    form.checkValueVisible = form.checkMode == kCheckUserDefined;
}

void CTestModbusDlg::onModbusTypeChanged() {
    form.checkLabel = asciiFraming() ? kIdsTestLrcLabel : kIdsTestCrcLabel;
}

void CTestModbusDlg::onTransmit() {
    if (waiting_ || closing_)
        return;
    if (!repeating_) {
        statistics_.reset();
        clearDiagnosis();
    }
    ReadFields fields;
    if (!readForm(fields))
        return;
    setFraming(fields);
    int functionCode = 0;
    if (!checkForm(fields, functionCode))
        return;
    form.transmitEnabled = false;
    form.transmitText.clear();
    form.receiveText.clear();
    std::fill(std::begin(request_), std::end(request_), std::uint8_t{0});
    std::fill(std::begin(response_), std::end(response_), std::uint8_t{0});
    requestLength_ = 0;
    responseLength_ = 0;
    transmitOrFail(buildRequest(fields, functionCode));
}

bool CTestModbusDlg::readForm(ReadFields& fields) {
    struct Entry {
        const std::string* text;
        bool applies;
        IntegerRule rule;
        int* target;
        TestField field;
    };
    const Entry entries[] = {
        {&form.modbusId, true, integerBetween(kModbusIdMin, kModbusIdMax), &fields.modbusId,
         TestField::ModbusId},
        {&form.userFunction,
         form.userFunctionVisible,
         {},
         &fields.userFunction,
         TestField::UserFunction},
        {&form.startAddress, form.startVisible, integerBetween(0, kMaxDataAddress),
         &fields.startAddress, TestField::StartAddress},
        {&form.quantity, form.quantityVisible, {}, &fields.quantity, TestField::Quantity},
        {&form.stringSize, form.stringSizeVisible, integerBetween(0, kMaxStringSize),
         &fields.stringSize, TestField::StringSize},
    };
    // Hidden fields do not apply to the function: what they hold is not read.
    for (const Entry& e : entries) {
        if (!e.applies)
            continue;
        const IntegerField read = readIntegerField(*e.text, e.rule);
        if (!read.value) {
            failAt(TestCheck::refused(e.field, read.message));
            return false;
        }
        *e.target = *read.value;
    }
    return true;
}

void CTestModbusDlg::setFraming(const ReadFields& fields) {
    message_.applyFraming(form.modbusType, form.addressingIndex,
                          static_cast<std::uint8_t>(fields.modbusId));
    host_.postStatusRefresh();
}

bool CTestModbusDlg::checkForm(const ReadFields& fields, int& functionCode) {
    const FunctionRow* row = functionRow(form.functionIndex);
    const int code = row ? row->code : -1;
    const bool countless = code == 7 || code == 8 || code == 0;
    if (row != nullptr && !countless && fields.quantity < 1) {
        failAt(TestCheck::refused(
            TestField::Quantity,
            formatString(
                kResultEmptyFunctionQuantity,
                loadString(kIdsFunctionFirst + static_cast<unsigned>(form.functionIndex)))));
        return false;
    }
    if (form.stringSizeVisible && form.dataType == kDataTypeString && fields.stringSize < 1) {
        failAt(TestCheck::refused(TestField::StringSize, idText(kResultStringSizeZero)));
        return false;
    }
    if (code == 0 && (fields.userFunction < 1 || fields.userFunction > kMaxUserFunction)) {
        failAt(TestCheck::refused(TestField::UserFunction, idText(kResultUserFunctionRange)));
        return false;
    }
    if (row == nullptr) {
        failAt(TestCheck::refused(TestField::FunctionCode, idText(kResultFunctionNotSupported)));
        return false;
    }
    functionCode = code == 0 ? fields.userFunction : code;
    return true;
}

std::vector<std::string> CTestModbusDlg::tokens(std::size_t maxTokens, bool strings) const {
    std::string text = form.dataValues;
    // Line breaks of the multi-line box separate values like spaces.
    if (!strings)
        std::replace_if(
            text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; },
            ' ');
    return tokenizeValues(text, setup_.listSeparator, strings, maxTokens);
}

int CTestModbusDlg::buildRequest(const ReadFields& fields, int functionCode) {
    sent_ = {form.functionIndex, form.dataType,
             static_cast<std::uint16_t>(std::clamp(fields.quantity, 0, kMaxDataAddress)),
             static_cast<std::uint16_t>(fields.stringSize), asciiFraming()};
    sent_.startAddress = fields.startAddress;
    const auto address = static_cast<std::uint16_t>(fields.startAddress);
    std::uint8_t* frame = request_;
    int length = 0;
    int code = kResultOk;
    switch (form.functionIndex) {
    case kFnReadCoils:
    case kFnReadInputs:
        code = message_.buildReadBits(frame, length, functionCode, address, sent_.quantity);
        break;
    case kFnReadHolding:
    case kFnReadInput:
        code = buildReadRegisters(fields, functionCode, length);
        break;
    case kFnForceCoil:
        code = buildForceCoil(fields, length);
        break;
    case kFnPresetRegister:
        code = buildPresetSingle(fields, length);
        break;
    case kFnReadExceptionStatus:
        code = message_.buildReadExceptionStatus(frame, length);
        break;
    case kFnDiagnostics:
        code = message_.buildDiagnostics(frame, length, address,
                                         static_cast<std::uint16_t>(fields.quantity));
        break;
    case kFnForceCoils:
    case kFnPresetRegisters:
        code = buildPresetMultiple(fields, length);
        break;
    case kFnUserDefined:
        code = buildUserDefined(functionCode, length);
        break;
    default:
        code = kResultFunctionNotSupported;
        break;
    }
    code = applyCheckValueOption(length, code);
    requestLength_ = static_cast<std::uint16_t>(std::clamp(length, 0, kFrameBufferSize));
    return code;
}

int CTestModbusDlg::buildReadRegisters(const ReadFields& fields, int functionCode, int& length) {
    return buildTypedRead(message_, request_, length,
                          {form.dataType, functionCode,
                           static_cast<std::uint16_t>(fields.startAddress), sent_.quantity,
                           sent_.stringSize});
}

int CTestModbusDlg::buildPresetSingle(const ReadFields& fields, int& length) {
    const auto address = static_cast<std::uint16_t>(fields.startAddress);
    const int type = form.dataType;
    const TypedRequest request{type, 0, address, 1, sent_.stringSize};
    WriteValues values;
    if (type == kDataTypeString) {
        if (form.dataValues.size() > static_cast<std::size_t>(fields.stringSize))
            return kResultStringTooLong;
        form.dataValues.resize(static_cast<std::size_t>(fields.stringSize), ' ');
        values.strings.push_back(form.dataValues);
        return buildTypedSingle(message_, request_, length, request, values);
    }
    // Coils are forced by function 05, never preset by 06.
    if (type == kDataTypeBoolean)
        return kResultTypeNotSupported;
    Scanned v;
    if (Refusal refused = readSingleValue(type, tokens(kAllTokens, false), v);
        refused.code != kResultOk)
        return refuseValues(refused.code, std::move(refused.text));
    store(values, type, v);
    return buildTypedSingle(message_, request_, length, request, values);
}

int CTestModbusDlg::buildForceCoil(const ReadFields& fields, int& length) {
    Scanned v;
    if (Refusal refused = readSingleValue(kDataTypeBoolean, tokens(kAllTokens, false), v);
        refused.code != kResultOk)
        return refuseValues(refused.code, std::move(refused.text));
    return message_.buildForceCoil(request_, length,
                                   static_cast<std::uint16_t>(fields.startAddress),
                                   static_cast<int>(v.integer));
}

int CTestModbusDlg::buildPresetMultiple(const ReadFields& fields, int& length) {
    const bool coils = form.functionIndex == kFnForceCoils;
    const TypedRequest write{coils ? kDataTypeBoolean : form.dataType, 0,
                             static_cast<std::uint16_t>(fields.startAddress), sent_.quantity,
                             sent_.stringSize};
    // The builder judges the quantity first: the values are counted against one it can send.
    const int limit = buildTypedMultiple(message_, request_, length, write, WriteValues{});
    length = 0;
    if (limit != kResultOk && limit != kResultTypeNotSupported)
        return limit;
    const std::vector<std::string> entered = tokens(kAllTokens, write.dataType == kDataTypeString);
    Refusal refused = countRefusal(write.count, entered.size());
    WriteValues values;
    if (refused.code == kResultOk)
        refused = readValues(write.dataType, entered, write.stringSize, values);
    if (refused.code != kResultOk)
        return refuseValues(refused.code, std::move(refused.text));
    return buildTypedMultiple(message_, request_, length, write, values);
}

int CTestModbusDlg::buildUserDefined(int functionCode, int& length) {
    const std::vector<std::string> entered = tokens(kAllTokens, false);
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < entered.size(); ++i) {
        Scanned v;
        if (Refusal refused = readValue(kDataTypeHex8, entered[i], i + 1, v);
            refused.code != kResultOk)
            return refuseValues(refused.code, std::move(refused.text));
        bytes.push_back(static_cast<std::uint8_t>(v.integer));
    }
    // More bytes than a frame carries are refused by the builder, not cut.
    const auto count = static_cast<std::uint16_t>(
        std::min<std::size_t>(bytes.size(), std::numeric_limits<std::uint16_t>::max()));
    return message_.buildUserDefined(request_, length, functionCode, count, bytes);
}

int CTestModbusDlg::refuseValues(int code, std::string text) {
    valuesRefusal_ = std::move(text);
    return code;
}

int CTestModbusDlg::applyCheckValueOption(int& length, int pending) {
    const bool ascii = asciiFraming();
    const bool tcp = form.modbusType == static_cast<int>(ModbusType::ModbusTcp);
    // An ASCII frame ends with LRC, CR, LF; a binary frame with its two CRC bytes.
    const int checkAt = ascii ? length - 4 : length - 2;
    if (pending != kResultOk || tcp || checkAt < 0)
        return pending;
    if (form.checkMode == kCheckUserDefined) {
        unsigned first = 0;
        unsigned second = 0;
        if (std::sscanf(form.checkValue.c_str(), "%X %X", &first, &second) != 2)
            return kResultInvalidData;
        request_[checkAt] = static_cast<std::uint8_t>(first);
        request_[checkAt + 1] = static_cast<std::uint8_t>(second);
    } else if (form.checkMode == kCheckNotUsed) {
        if (ascii) {
            request_[checkAt] = kCarriageReturn;
            request_[checkAt + 1] = kLineFeed;
        }
        length -= 2;
    }
    return kResultOk;
}

void CTestModbusDlg::transmitOrFail(int code) {
    form.transmitText = formatFrameText(request_, requestLength_, asciiFraming());
    if (!valuesRefusal_.empty()) {
        failAt(TestCheck::refused(TestField::DataValues, std::exchange(valuesRefusal_, {})));
        return;
    }
    if (code != kResultOk) {
        fail(code);
        return;
    }
    beginDiagnosis();
    const int queued = host_.queueRequest(request_, &requestLength_, response_, &responseLength_);
    if (queued != kResultOk) {
        // Only while the comms thread is ending: nothing was sent.
        fail(queued == kResultInvalidWriteRequest ? queued : static_cast<int>(kIdsTestNotQueued));
        return;
    }
    waiting_ = true;
    queuedAt_ = host_.tickCount();
    ++statistics_.sent;
    form.statistics = statistics_.text();
}

std::string CTestModbusDlg::messageText(int code) {
    if (code == kResultUnknownTcpError)
        return host_.unknownErrorText();
    return idText(static_cast<unsigned>(code));
}

void CTestModbusDlg::fail(int code) {
    failAt(TestCheck::refused(TestField::None, messageText(code)));
}

void CTestModbusDlg::failAt(const TestCheck& refusal) {
    stopRepeating();
    setTransmitEnabled();
    host_.showMessage(refusal.message);
    if (refusal.focus != TestField::None)
        host_.setFocus(refusal.focus);
}

bool CTestModbusDlg::isBroadcastRequest() const {
    if (sent_.asciiFraming)
        return requestLength_ >= 3 && request_[1] == '0' && request_[2] == '0';
    const int offset = message_.frameOffset();
    return requestLength_ > offset && request_[offset] == 0;
}

void CTestModbusDlg::onCommsResult(unsigned jobType, int result) {
    if (!waiting_)
        return;
    waiting_ = false;
    const std::uint32_t elapsed = host_.tickCount() - queuedAt_;
    // The engine has written the frame back as it went on the wire (over Modbus/TCP with its
    // transaction identifier); it is shown before the frames are converted for checking.
    form.transmitText = formatFrameText(request_, requestLength_, sent_.asciiFraming);
    if (isBroadcastRequest()) {
        form.receiveText = idText(kResultBroadcastSent);
        setTransmitEnabled();
        statistics_.record(elapsed, true);
        form.statistics = statistics_.text();
        if (repeating_)
            onTransmit();
        return;
    }
    form.receiveText.clear();
    if (jobType != static_cast<unsigned>(JobType::ModbusRequest)) {
        clearReadResults();
        statistics_.record(elapsed, false);
        form.statistics = statistics_.text();
        fail(kResultUnknownReturnType);
        return;
    }
    const int shown = std::min<int>(responseLength_, kFrameBufferSize);
    form.receiveText = formatFrameText(response_, shown, sent_.asciiFraming);
    // Taken before checkAndDecode converts ASCII frames in place.
    DiagnosisEvidence evidence = exchangeEvidence();
    const int check = result != kResultOk ? result : checkAndDecode();
    showDiagnosis(std::move(evidence), check);
    if (check != kResultOk)
        clearReadResults();
    statistics_.record(elapsed, check == kResultOk);
    form.statistics = statistics_.text();
    if (check != kResultOk) {
        if (closing_) {
            setTransmitEnabled();
            return;
        }
        fail(check);
        return;
    }
    setTransmitEnabled();
    if (repeating_)
        onTransmit();
}

int CTestModbusDlg::checkAndDecode() {
    int requestLength = requestLength_;
    int responseLength = std::min<int>(responseLength_, kFrameBufferSize);
    if (sent_.asciiFraming) {
        message_.asciiToBinary(request_, requestLength);
        message_.asciiToBinary(response_, responseLength);
    }
    const bool userDefined = sent_.functionIndex == kFnUserDefined;
    const std::string entered = form.dataValues;
    const int offset = message_.frameOffset();
    if (responseLength <= offset + 1)
        return kResultInvalidResponse;
    const int function = response_[offset + 1];
    if (function <= 4 || function == 7)
        form.dataValues.clear();
    int code = kResultOk;
    std::vector<std::uint8_t> bits;
    switch (function) {
    case 1:
    case 2:
        code = message_.decodeBits(response_, responseLength, sent_.quantity, bits);
        if (code == kResultOk)
            form.dataValues = formatBooleans(bits, setup_.listSeparator);
        break;
    case 3:
    case 4:
        code = decodeRegisters(response_, responseLength);
        break;
    case 5:
        code = message_.checkCoilEcho(response_, responseLength, request_, requestLength);
        break;
    case 6:
        code = message_.checkRegisterEcho(response_, responseLength, request_, requestLength);
        break;
    case 7:
        if (responseLength > offset + 2)
            form.dataValues =
                formatExceptionStatus(sent_.dataType, response_[offset + 2], setup_.listSeparator);
        break;
    case 8:
        form.dataValues = idText(
            message_.diagnosticsEchoMatches(response_, responseLength, request_, requestLength)
                ? kIdsPass
                : kIdsFail);
        break;
    case 15:
    case 16:
        code = message_.checkMultipleEcho(response_, responseLength, request_, requestLength);
        break;
    default:
        break;
    }
    if (userDefined)
        form.dataValues = entered;
    return code;
}

int CTestModbusDlg::decodeRegisters(const std::uint8_t* frame, int length) {
    const int type = sent_.dataType;
    const bool isSigned = type == kDataTypeInt8 || type == kDataTypeInt16 || type == kDataTypeInt32;
    ReadValues values;
    const int code = decodeTypedRegisters(message_, frame, length,
                                          {type, 0, 0, sent_.quantity, sent_.stringSize}, values);
    const std::string text = formatReadValues(values, isSigned, setup_.listSeparator);
    // A byte count other than the one asked for shows nothing: part of the values, or values
    // read from another count, would pass for the unit's answer.
    if (code == kResultOk)
        form.dataValues = text;
    return code;
}

void CTestModbusDlg::clearReadResults() {
    // The box shows results for the read functions (and 08's verdict): a failed exchange must
    // not leave the previous ones looking current. Writes keep the operator's entry.
    const FunctionRow* row = functionRow(sent_.functionIndex);
    if (row != nullptr && row->valuesReadOnly)
        form.dataValues.clear();
}

void CTestModbusDlg::onRepeat() {
    if (closing_)
        return;
    if (repeating_) {
        stopRepeating();
        setTransmitEnabled();
        return;
    }
    repeating_ = true;
    form.repeatLabel = kIdsTestStop;
    form.transmitEnabled = false;
    // Enter or Space on Stop ends the repetition from the keyboard.
    host_.setFocus(TestField::Repeat);
    statistics_.reset();
    clearDiagnosis();
    // A request still outstanding is finished first; its result starts the repetition.
    if (!waiting_)
        onTransmit();
}

void CTestModbusDlg::onEnterKey() {
    if (repeating_)
        onRepeat();
    else if (form.transmitEnabled)
        onTransmit();
}

void CTestModbusDlg::stopRepeating() {
    if (repeating_)
        focusTransmit_ = true;
    repeating_ = false;
    form.repeatLabel = kIdsTestRepeat;
}

void CTestModbusDlg::setTransmitEnabled() {
    // Transmit stays off while a request is outstanding: only one may be in the engine.
    form.transmitEnabled = !waiting_ && !repeating_ && !closing_;
    if (form.transmitEnabled && focusTransmit_) {
        focusTransmit_ = false;
        host_.setFocus(TestField::Transmit);
    }
}

void CTestModbusDlg::onCancel() {
    if (closing_)
        return;
    closing_ = true;
    form.cancelEnabled = false;
    form.transmitEnabled = false;
    stopRepeating();
    host_.abortCurrentJob();
    host_.dropQueuedJobs();
    host_.abortCurrentJob();
    waiting_ = false;
}

std::optional<TestStepEntries> CTestModbusDlg::stepEntries() {
    ReadFields fields;
    int functionCode = 0;
    if (!readForm(fields) || !checkForm(fields, functionCode))
        return std::nullopt;
    const FunctionRow* row = functionRow(form.functionIndex);
    const bool strings = form.dataType == kDataTypeString && form.functionIndex != kFnUserDefined;
    TestStepEntries step{form.functionIndex,   fields.userFunction, form.dataType,
                         form.addressingIndex, fields.modbusId,     fields.startAddress,
                         fields.quantity,      fields.stringSize,   {},
                         form.checkMode,       form.checkValue,     {}};
    // A read shows its results in the values box, which its last failure cleared.
    const bool readShown = row != nullptr && row->valuesReadOnly;
    if (!readShown)
        step.values = tokens(kAllTokens, strings);
    else if (sent_.functionIndex == form.functionIndex)
        step.received = tokenizeValues(form.dataValues, setup_.listSeparator, true, kAllTokens);
    return step;
}
