// Sequence files read and written without a unit: what each key becomes, where a fault is
// reported, and that a recorded step reads back as it was recorded.

#include "protocol/data_types.h"
#include "runner/run_report.h"
#include "runner/sequence_reader.h"
#include "runner/sequence_writer.h"
#include "tests/support/row_names.h"
#include "tests/support/temp_folder.h"
#include "windows/testmodbus_dlg.h"

#include <gtest/gtest.h>

namespace {

using vantrel_test::PrintTo;

struct FaultRow {
    const char* name;
    const char* text;
    int line;
    int column;
    const char* message; // part of the message
};

const FaultRow kFaultRows[] = {
    {"no_steps", "name = \"x\"\n", 1, 1, "no [[step]]"},
    {"step_not_a_table_array", "step = 3\n", 1, 1, "must be an array of tables"},
    {"unknown_header_key", "nmae = \"x\"\n[[step]]\nfunction = 3\n", 1, 1, "unknown key 'nmae'"},
    {"unknown_expect_key", "[[step]]\nfunction = 3\nexpect = { valeus = [1] }\n", 3, 12,
     "unknown key 'valeus'"},
    {"both_functions", "[[step]]\nfunction = 3\nuser_function = 65\n", 1, 1, "exactly one"},
    {"function_not_listed", "[[step]]\nfunction = 9\n", 2, 1, "must be one of"},
    {"float_for_integer", "[[step]]\nfunction = 3\nregister = 1.5\n", 3, 1, "must be an integer"},
    {"bad_type_name", "[[step]]\nfunction = 3\ntype = \"word\"\n", 3, 1, "uint16"},
    {"data_byte_too_big", "[[step]]\nuser_function = 65\ndata = [1, 256]\n", 3, 12,
     "between 0 and 255"},
    {"pass_rate_over_100", "[[step]]\nfunction = 3\nexpect.pass_rate = 101\n", 3, 8,
     "between 0 and 100"},
    {"tolerance_alone", "[[step]]\nfunction = 3\nexpect.tolerance = 1\n", 3, 8, "needs 'values'"},
    {"defaults_key", "[defaults]\nretries = 3\n[[step]]\nfunction = 3\n", 2, 1,
     "unknown key 'retries'"},
    {"syntax", "[[step]\nfunction = 3\n", 1, 8, "expected ']'"},
    // Letters outside ASCII once reached a branch toml++ marks unreachable.
    {"non_ascii_in_key", "[[step]]\nf\u0291nction = 3\n", 2, 2, "expected '='"},
};

class SequenceFaults : public ::testing::TestWithParam<FaultRow> {};

TEST_P(SequenceFaults, RefusedWithLineAndColumn) {
    const FaultRow& row = GetParam();
    const SequenceReadResult read = readSequence(row.text);
    ASSERT_FALSE(read.sequence);
    EXPECT_EQ(read.error.at.line, row.line) << read.error.text;
    EXPECT_EQ(read.error.at.column, row.column) << read.error.text;
    EXPECT_NE(read.error.text.find(row.message), std::string::npos) << read.error.text;
}

INSTANTIATE_TEST_SUITE_P(Files, SequenceFaults, ::testing::ValuesIn(kFaultRows),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(SequenceReader, NamesBeyondAsciiAreKept) {
    // The multi-line name tests each character after the backslash for white space.
    const SequenceReadResult read =
        readSequence("[[step]]\nname = \"\"\"\\\n  \u00e9t\u00e9 \u3001\"\"\"\nfunction = 3\n");
    ASSERT_TRUE(read.sequence) << read.error.text;
    EXPECT_EQ(read.sequence->steps.at(0).name, "\u00e9t\u00e9 \u3001");
}

TEST(SequenceReader, DefaultsApplyWhereTheStepIsSilent) {
    const SequenceReadResult read = readSequence(R"(
name = "n"
unit = "u"
[defaults]
id = 7
type = "int32"
max_ms = 250
repeat = 3
[[step]]
function = 3
register = 10
quantity = 2
[[step]]
name = "coils"
function = 1
id = 2
repeat = 1
expect = { values = [1, true, "x"], tolerance = 0.5, pass_rate = 50 }
)");
    ASSERT_TRUE(read.sequence) << read.error.text;
    const auto& steps = read.sequence->steps;
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].name, "Step 1");
    EXPECT_EQ(steps[0].request.modbusId, 7);
    EXPECT_EQ(steps[0].request.dataType, kDataTypeInt32);
    EXPECT_EQ(steps[0].repeat, 3);
    EXPECT_EQ(steps[0].expect.maxMs, 250);
    EXPECT_EQ(steps[1].request.modbusId, 2);
    EXPECT_EQ(steps[1].repeat, 1);
    EXPECT_TRUE(steps[1].request.typeFromDefaults);
    EXPECT_EQ(steps[1].expect.values, (std::vector<std::string>{"1", "1", "x"}));
    EXPECT_EQ(steps[1].expect.passRatePercent, 50.0);
}

// What the Test window hands over for Save Step, for each kind of request.
struct RecordRow {
    const char* name;
    TestStepEntries entries;
};

const RecordRow kRecordRows[] = {
    {"read_with_received_values",
     {kFnReadHolding,
      0,
      kDataTypeInt16,
      1,
      5,
      100,
      3,
      0,
      {},
      kCheckAutomatic,
      "",
      {"-1", " 2", " 3"}}},
    {"float_write",
     {kFnPresetRegisters, 0, kDataTypeFloat, 0, 1, 10, 2, 0, {"1.5", "-2"}, kCheckNotUsed, "", {}}},
    {"string_write_with_quotes",
     {kFnPresetRegisters,
      0,
      kDataTypeString,
      2,
      1,
      0,
      1,
      8,
      {"a \"b\"\\"},
      kCheckUserDefined,
      "12 34",
      {}}},
    {"user_defined_bytes",
     {kFnUserDefined, 65, 0, 0, 1, 0, 0, 0, {"01", "FF"}, kCheckAutomatic, "", {}}},
    // The window takes a byte as "0x1a" or "a" as well as "1A".
    {"user_defined_bytes_as_typed",
     {kFnUserDefined, 65, 0, 0, 1, 0, 0, 0, {"0x01", "0Xff", "a"}, kCheckAutomatic, "", {}}},
    {"leading_zero_value",
     {kFnPresetRegister, 0, kDataTypeHex8, 0, 1, 0, 1, 0, {"007"}, kCheckAutomatic, "", {}}},
    // A unit's string registers may hold any byte; TOML strings take control characters escaped.
    {"string_read_with_control_bytes",
     {kFnReadHolding,
      0,
      kDataTypeString,
      0,
      1,
      0,
      1,
      4,
      {},
      kCheckAutomatic,
      "",
      {"A\x7f\x01"
       "B"}}},
    // Bytes that are not UTF-8 cannot go into the file: the step keeps no values.
    {"string_read_beyond_utf8",
     {kFnReadHolding,
      0,
      kDataTypeString,
      0,
      1,
      0,
      1,
      4,
      {},
      kCheckAutomatic,
      "",
      {"\xff\xff\xed\xa0\x80\xc3\xa9"}}},
};

class RecordedStep : public ::testing::TestWithParam<RecordRow> {};

TEST_P(RecordedStep, ReadsBackAsRecorded) {
    CTempFolder folder;
    const std::string path = folder / "recorded.toml";
    const SequenceStep step = stepOfEntries(GetParam().entries, GetParam().name);
    // Two appends: the header is written once, and the second step follows the first.
    ASSERT_EQ(appendStepToFile(path, step), 0);
    ASSERT_EQ(appendStepToFile(path, step), 0);
    const SequenceReadResult read = readSequenceFile(path);
    ASSERT_TRUE(read.sequence) << read.error.text;
    ASSERT_EQ(read.sequence->steps.size(), 2u);
    const SequenceStep& back = read.sequence->steps[1];
    const StepRequest& r = back.request;
    const StepRequest& want = step.request;
    EXPECT_EQ(back.name, step.name);
    EXPECT_EQ(r.functionIndex, want.functionIndex);
    EXPECT_EQ(r.userFunction, want.functionIndex == kFnUserDefined ? want.userFunction : 0);
    EXPECT_EQ(r.dataType, want.functionIndex == kFnUserDefined ? 0 : want.dataType);
    EXPECT_EQ(r.addressingIndex, want.addressingIndex);
    EXPECT_EQ(r.modbusId, want.modbusId);
    EXPECT_EQ(r.address, want.address);
    EXPECT_EQ(r.quantity, want.quantity);
    EXPECT_EQ(r.values, want.values);
    EXPECT_EQ(r.checkMode, want.checkMode);
    EXPECT_EQ(r.checkValue, want.checkValue);
    EXPECT_EQ(back.expect.values, step.expect.values);
}

INSTANTIATE_TEST_SUITE_P(Steps, RecordedStep, ::testing::ValuesIn(kRecordRows),
                         [](const auto& row) { return std::string(row.param.name); });

// A reply's values judged against the step's expectations. A float register that reads NaN or
// infinity shows "nan", "-nan" or "inf" in the values box.
struct JudgeRow {
    const char* name;
    std::vector<std::string> expected;
    std::optional<double> tolerance;
    std::optional<double> minimum;
    std::optional<double> maximum;
    const char* values;
    const char* reason; // empty: the send passes
};

const JudgeRow kJudgeRows[] = {
    {"recorded_infinities", {"inf", "-inf"}, {}, {}, {}, "inf, -inf", ""},
    {"recorded_nan", {"-nan"}, {}, {}, {}, "-nan", ""},
    {"nan_is_no_number_expected", {"1"}, 5.0, {}, {}, "nan", "value 1 is nan, expected 1"},
    {"nan_is_within_no_range", {}, {}, 0.0, 100.0, "nan", "value 1 is nan, not a number"},
};

class JudgedValues : public ::testing::TestWithParam<JudgeRow> {};

TEST_P(JudgedValues, PassOnlyWhatWasExpected) {
    const JudgeRow& row = GetParam();
    StepExpectation expect;
    expect.values = row.expected;
    expect.tolerance = row.tolerance;
    expect.minimum = row.minimum;
    expect.maximum = row.maximum;
    ExchangeOutcome outcome;
    outcome.windowPassed = true;
    outcome.values = row.values;
    const AttemptVerdict verdict = judgeAttempt(expect, outcome);
    EXPECT_EQ(verdict.reason, row.reason);
    EXPECT_EQ(verdict.passed, verdict.reason.empty());
}

INSTANTIATE_TEST_SUITE_P(Values, JudgedValues, ::testing::ValuesIn(kJudgeRows),
                         [](const auto& row) { return std::string(row.param.name); });

// The likely causes of a step's first failure reach every report, escaped as each format needs.
TEST(RunReport, AFailedStepCarriesTheLikelyCausesOfItsFirstFailure) {
    SequenceStep step;
    step.name = "read";
    RunReport report;
    report.steps.emplace_back(step);
    ExchangeOutcome outcome;
    outcome.engineResult = 5006;
    outcome.findings = {Finding{.statement = "Nothing came \"back\" <here> & there.",
                                .evidence = "3 attempts",
                                .nextCheck = "Check the ID."}};
    report.steps.front().record(outcome, AttemptVerdict{.passed = false, .reason = "Timed out"});
    ExchangeOutcome later;
    later.findings = {Finding{.statement = "A later cause.", .evidence = "", .nextCheck = ""}};
    report.steps.front().record(later, AttemptVerdict{.passed = false, .reason = "again"});
    report.steps.front().stepPassed = false;

    const std::string text = textReportHead(report);
    EXPECT_NE(text.find("cause    Nothing came \"back\" <here> & there."), std::string::npos)
        << text;
    EXPECT_NE(text.find("check    Check the ID."), std::string::npos) << text;
    EXPECT_EQ(text.find("A later cause."), std::string::npos) << text;
    EXPECT_NE(jsonReport(report).find(R"("statement": "Nothing came \"back\" <here> & there.")"),
              std::string::npos);
    EXPECT_NE(junitReport(report).find("Nothing came &quot;back&quot; &lt;here&gt; &amp; there."),
              std::string::npos)
        << junitReport(report);
}

} // namespace
