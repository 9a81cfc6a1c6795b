#include "tests/support/row_names.h"
#include "windows/temp_comms_dlg.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using vantrel_test::PrintTo;

struct FieldsRow {
    const char* name;
    const char* retries = "2";
    const char* time1 = "1000";
    const char* time2 = "150";
    CTempCommsDlg::Field refused = CTempCommsDlg::Field::None;
    int expectedRetries = 2;
    int expectedTime1 = 1000;
    int expectedTime2 = 150;
};

class TempCommsFields : public ::testing::TestWithParam<FieldsRow> {};

TEST_P(TempCommsFields, ReadInOrderAndTakeNothingUntilAllRead) {
    const FieldsRow& row = GetParam();
    CTempCommsDlg logic(MediaType::Direct, 9, 99, 999);
    const FieldCheck check = logic.readFields(row.retries, row.time1, row.time2);
    EXPECT_EQ(check.accepted, row.refused == CTempCommsDlg::Field::None);
    EXPECT_EQ(check.focus, row.refused);
    if (!check.accepted) {
        EXPECT_EQ(check.message, "Please enter an integer.");
        EXPECT_EQ(logic.retries, 9);
        EXPECT_EQ(logic.time1, 99);
        EXPECT_EQ(logic.time2, 999);
        return;
    }
    EXPECT_EQ(logic.retries, row.expectedRetries);
    EXPECT_EQ(logic.time1, row.expectedTime1);
    EXPECT_EQ(logic.time2, row.expectedTime2);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TempCommsFields,
    ::testing::Values(
        FieldsRow{.name = "Plain"},
        FieldsRow{.name = "ZeroAndNegativeWithBlanks",
                  .retries = " 0 ",
                  .time1 = "\t-20",
                  .time2 = "+7",
                  .expectedRetries = 0,
                  .expectedTime1 = -20,
                  .expectedTime2 = 7},
        FieldsRow{.name = "RetriesCheckedFirst",
                  .retries = "x",
                  .time1 = "",
                  .refused = CTempCommsDlg::Field::Retries},
        FieldsRow{.name = "Time1BeforeTime2",
                  .time1 = "1.5",
                  .time2 = "",
                  .refused = CTempCommsDlg::Field::Time1},
        FieldsRow{.name = "EmptyTime2", .time2 = "", .refused = CTempCommsDlg::Field::Time2},
        FieldsRow{.name = "SignAlone", .time2 = "-", .refused = CTempCommsDlg::Field::Time2},
        FieldsRow{.name = "InnerBlank", .time2 = "1 5", .refused = CTempCommsDlg::Field::Time2},
        FieldsRow{
            .name = "BeyondInt", .time2 = "2147483648", .refused = CTempCommsDlg::Field::Time2},
        FieldsRow{.name = "LargestInt", .time2 = "2147483647", .expectedTime2 = 2147483647}),
    [](const ::testing::TestParamInfo<FieldsRow>& row) { return std::string(row.param.name); });

TEST(TempComms, TimeLabelsFollowTheMedia) {
    EXPECT_EQ(CTempCommsDlg(MediaType::TcpIp, 0, 0, 0).time1LabelId(), 10013u);
    EXPECT_EQ(CTempCommsDlg(MediaType::TcpIp, 0, 0, 0).time2LabelId(), 10014u);
    for (const MediaType media : {MediaType::Direct, MediaType::Modem, MediaType::Satellite}) {
        EXPECT_EQ(CTempCommsDlg(media, 0, 0, 0).time1LabelId(), 10008u);
        EXPECT_EQ(CTempCommsDlg(media, 0, 0, 0).time2LabelId(), 10009u);
    }
}

} // namespace
