#include "runner/sequence_reader.h"

#include "protocol/modbus_limits.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "runner/toml_parser.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

namespace {

constexpr std::int64_t kMaxRepeat = 1000000;
constexpr std::int64_t kMaxResponseMs = 3600000;
constexpr std::int64_t kMaxExceptionCode = 255;
constexpr std::int64_t kMaxByte = 255;
constexpr std::int64_t kMaxStringChars = 250;
constexpr double kMaxPercent = 100.0;

// The first fault found; reading stops there.
struct Refused {
    SequenceError error;
};

SourcePosition positionOf(const toml::source_region& region) {
    return {static_cast<int>(region.begin.line), static_cast<int>(region.begin.column)};
}

[[noreturn]] void refuse(const toml::source_region& region, std::string text) {
    throw Refused{{positionOf(region), std::move(text)}};
}

[[noreturn]] void refuseType(const toml::key& key, unsigned kindId) {
    refuse(key.source(),
           substituteArgs(loadString(kIdsSeqWrongType), {key.str(), loadString(kindId)}));
}

std::string allowedNames(const std::vector<NamedValue>& names) {
    std::string list;
    for (const NamedValue& n : names)
        list += (list.empty() ? "" : ", ") + std::string(n.name);
    return list;
}

// Refuses the first key of `table` that is not in `known`.
void checkKeys(const toml::table& table, const std::set<std::string_view>& known) {
    for (auto&& [key, node] : table) {
        (void)node;
        if (!known.contains(key.str()))
            refuse(key.source(), substituteArgs(loadString(kIdsSeqUnknownKey), {key.str()}));
    }
}

const toml::key& keyOf(const toml::table& table, std::string_view name) {
    return table.find(name)->first;
}

std::int64_t integerIn(const toml::table& table, std::string_view name, std::int64_t low,
                       std::int64_t high) {
    const toml::key& key = keyOf(table, name);
    const auto value = table[name].value_exact<std::int64_t>();
    if (!value)
        refuseType(key, kIdsSeqKindInteger);
    if (*value < low || *value > high)
        refuse(key.source(),
               substituteArgs(loadString(kIdsSeqOutOfRange),
                              {key.str(), std::to_string(low), std::to_string(high)}));
    return *value;
}

double numberIn(const toml::table& table, std::string_view name, double low, double high) {
    const toml::key& key = keyOf(table, name);
    const auto value = table[name].value<double>();
    if (!value || !std::isfinite(*value))
        refuseType(key, kIdsSeqKindNumber);
    if (*value < low || *value > high) {
        char lowText[32];
        char highText[32];
        std::snprintf(lowText, sizeof lowText, "%g", low);
        std::snprintf(highText, sizeof highText, "%g", high);
        refuse(key.source(),
               substituteArgs(loadString(kIdsSeqOutOfRange), {key.str(), lowText, highText}));
    }
    return *value;
}

std::string textOf(const toml::table& table, std::string_view name) {
    const auto value = table[name].value_exact<std::string>();
    if (!value)
        refuseType(keyOf(table, name), kIdsSeqKindString);
    return *value;
}

int namedIn(const toml::table& table, std::string_view name, const std::vector<NamedValue>& names) {
    const std::string text = textOf(table, name);
    for (const NamedValue& n : names)
        if (text == n.name)
            return n.value;
    const toml::key& key = keyOf(table, name);
    refuse(key.source(),
           substituteArgs(loadString(kIdsSeqNotOneOf), {key.str(), allowedNames(names)}));
}

// A value of a values array as the window's data values box would hold it.
std::string valueText(const toml::node& node, const toml::key& key) {
    if (const auto integer = node.value_exact<std::int64_t>())
        return std::to_string(*integer);
    if (const auto real = node.value_exact<double>()) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", *real);
        return text;
    }
    if (const auto flag = node.value_exact<bool>())
        return *flag ? "1" : "0";
    if (const auto text = node.value_exact<std::string>())
        return *text;
    refuse(node.source(),
           substituteArgs(loadString(kIdsSeqWrongType), {key.str(), loadString(kIdsSeqKindValue)}));
}

std::vector<std::string> valueList(const toml::table& table, std::string_view name) {
    const toml::key& key = keyOf(table, name);
    const toml::array* array = table[name].as_array();
    if (array == nullptr)
        refuseType(key, kIdsSeqKindArray);
    std::vector<std::string> values;
    for (const toml::node& node : *array)
        values.push_back(valueText(node, key));
    return values;
}

std::vector<std::string> byteList(const toml::table& table, std::string_view name) {
    const toml::key& key = keyOf(table, name);
    const toml::array* array = table[name].as_array();
    if (array == nullptr)
        refuseType(key, kIdsSeqKindArray);
    std::vector<std::string> bytes;
    for (const toml::node& node : *array) {
        const auto value = node.value_exact<std::int64_t>();
        if (!value || *value < 0 || *value > kMaxByte)
            refuse(node.source(), substituteArgs(loadString(kIdsSeqOutOfRange),
                                                 {key.str(), "0", std::to_string(kMaxByte)}));
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(*value));
        bytes.emplace_back(hex);
    }
    return bytes;
}

// The defaults of the header, applied to each step before its own keys.
struct StepDefaults {
    StepRequest request;
    std::optional<int> maxMs;
    int repeat = 1;
};

void readCommonKeys(const toml::table& table, StepRequest& request) {
    if (table.contains("id"))
        request.modbusId = static_cast<int>(integerIn(table, "id", kModbusIdMin, kModbusIdMax));
    if (table.contains("addressing"))
        request.addressingIndex = namedIn(table, "addressing", kSequenceAddressing);
    if (table.contains("type")) {
        request.dataType = namedIn(table, "type", kSequenceDataTypes);
        request.typeFromDefaults = false;
    }
    if (table.contains("check"))
        request.checkMode = namedIn(table, "check", kSequenceCheckModes);
}

StepDefaults readDefaults(const toml::table& root) {
    StepDefaults defaults;
    if (!root.contains("defaults"))
        return defaults;
    const toml::table* table = root["defaults"].as_table();
    if (table == nullptr)
        refuseType(keyOf(root, "defaults"), kIdsSeqKindTable);
    checkKeys(*table, {"id", "addressing", "type", "check", "max_ms", "repeat"});
    readCommonKeys(*table, defaults.request);
    defaults.request.typeFromDefaults = defaults.request.dataType != 0;
    if (table->contains("max_ms"))
        defaults.maxMs = static_cast<int>(integerIn(*table, "max_ms", 1, kMaxResponseMs));
    if (table->contains("repeat"))
        defaults.repeat = static_cast<int>(integerIn(*table, "repeat", 1, kMaxRepeat));
    return defaults;
}

void readExpectation(const toml::table& step, SequenceStep& out) {
    const toml::table* table = step["expect"].as_table();
    if (table == nullptr)
        refuseType(keyOf(step, "expect"), kIdsSeqKindTable);
    checkKeys(*table, {"values", "min", "max", "tolerance", "exception", "byte_count", "max_ms",
                       "pass_rate"});
    StepExpectation& e = out.expect;
    const double huge = std::numeric_limits<double>::max();
    if (table->contains("values"))
        e.values = valueList(*table, "values");
    if (table->contains("min"))
        e.minimum = numberIn(*table, "min", -huge, huge);
    if (table->contains("max"))
        e.maximum = numberIn(*table, "max", -huge, huge);
    if (table->contains("tolerance")) {
        e.tolerance = numberIn(*table, "tolerance", 0.0, huge);
        if (!table->contains("values"))
            refuse(keyOf(*table, "tolerance").source(),
                   std::string(loadString(kIdsSeqToleranceNeedsValues)));
    }
    if (table->contains("exception"))
        e.exception = static_cast<int>(integerIn(*table, "exception", 1, kMaxExceptionCode));
    if (table->contains("byte_count"))
        e.byteCount = static_cast<int>(integerIn(*table, "byte_count", 0, kMaxByte));
    if (table->contains("max_ms"))
        e.maxMs = static_cast<int>(integerIn(*table, "max_ms", 1, kMaxResponseMs));
    if (table->contains("pass_rate"))
        e.passRatePercent = numberIn(*table, "pass_rate", 0.0, kMaxPercent);
}

void readFunction(const toml::table& table, const SourcePosition& at, StepRequest& request) {
    const bool named = table.contains("function");
    const bool user = table.contains("user_function");
    if (named == user)
        throw Refused{{at, std::string(loadString(kIdsSeqOneFunction))}};
    if (user) {
        request.functionIndex = static_cast<int>(kSequenceFunctions.size());
        request.userFunction =
            static_cast<int>(integerIn(table, "user_function", 1, kMaxUserFunction));
        if (table.contains("data"))
            request.values = byteList(table, "data");
        return;
    }
    const std::string code = std::to_string(integerIn(table, "function", 1, kMaxUserFunction));
    for (const NamedValue& f : kSequenceFunctions)
        if (code == f.name) {
            request.functionIndex = f.value;
            return;
        }
    const toml::key& key = keyOf(table, "function");
    refuse(key.source(), substituteArgs(loadString(kIdsSeqNotOneOf),
                                        {key.str(), allowedNames(kSequenceFunctions)}));
}

SequenceStep readStep(const toml::table& table, const StepDefaults& defaults, std::size_t number) {
    checkKeys(table,
              {"name", "function", "user_function", "data", "type", "addressing", "id", "register",
               "quantity", "string_size", "values", "check", "check_value", "repeat", "expect"});
    SequenceStep step;
    step.at = positionOf(table.source());
    for (auto&& [key, node] : table) {
        (void)node;
        step.keys[std::string(key.str())] = positionOf(key.source());
    }
    step.request = defaults.request;
    step.expect.maxMs = defaults.maxMs;
    step.repeat = defaults.repeat;
    step.name = table.contains("name")
                    ? textOf(table, "name")
                    : formatString(kIdsSeqStepDefaultName, static_cast<int>(number));
    readFunction(table, step.at, step.request);
    readCommonKeys(table, step.request);
    StepRequest& r = step.request;
    if (table.contains("register"))
        r.address = static_cast<int>(integerIn(table, "register", 0, kMaxDataAddress));
    if (table.contains("quantity"))
        r.quantity = static_cast<int>(integerIn(table, "quantity", 0, kMaxDataAddress));
    if (table.contains("string_size"))
        r.stringSize = static_cast<int>(integerIn(table, "string_size", 1, kMaxStringChars));
    if (table.contains("values"))
        r.values = valueList(table, "values");
    if (table.contains("check_value")) {
        r.checkValue = textOf(table, "check_value");
        r.checkMode = 1;
    }
    if (table.contains("repeat"))
        step.repeat = static_cast<int>(integerIn(table, "repeat", 1, kMaxRepeat));
    if (table.contains("expect"))
        readExpectation(table, step);
    return step;
}

Sequence readRoot(const toml::table& root) {
    checkKeys(root, {"name", "unit", "defaults", "step"});
    Sequence sequence;
    if (root.contains("name"))
        sequence.name = textOf(root, "name");
    if (root.contains("unit"))
        sequence.unit = textOf(root, "unit");
    const StepDefaults defaults = readDefaults(root);
    if (!root.contains("step"))
        throw Refused{{{1, 1}, std::string(loadString(kIdsSeqNoSteps))}};
    const toml::array* steps = root["step"].as_array();
    if (steps == nullptr || !steps->is_array_of_tables())
        refuseType(keyOf(root, "step"), kIdsSeqKindSteps);
    for (const toml::node& node : *steps)
        sequence.steps.push_back(readStep(*node.as_table(), defaults, sequence.steps.size() + 1));
    if (sequence.steps.empty())
        refuse(keyOf(root, "step").source(), std::string(loadString(kIdsSeqNoSteps)));
    return sequence;
}

} // namespace

SequenceReadResult readSequence(std::string_view text) {
    SequenceReadResult result;
    try {
        const toml::table root = toml::parse(text);
        result.sequence = readRoot(root);
    } catch (const toml::parse_error& error) {
        result.error = {positionOf(error.source()), std::string(error.description())};
    } catch (const Refused& refused) {
        result.error = refused.error;
    }
    return result;
}

SequenceReadResult readSequenceFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        SequenceReadResult result;
        result.error.text = std::string(loadString(kIdsSeqCannotRead));
        return result;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return readSequence(text.str());
}

std::string sequenceErrorText(const std::string& path, const SequenceError& error) {
    return substituteArgs(
        loadString(kIdsSeqErrorAt),
        {path, std::to_string(error.at.line), std::to_string(error.at.column), error.text});
}
