#include "config/settings_file.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "tests/support/row_names.h"
#include "tests/support/texts.h"
#include "windows/setup_locations_dlg.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using vantrel_test::PrintTo;
using vantrel_test::rowName;

// Setup Locations.

class CScriptedView : public ILocationsView {
public:
    bool editLocation(CLocation& values, const std::vector<std::string>& names,
                      bool isNewLocation) override {
        editedNames = names;
        newFlags.push_back(isNewLocation);
        if (!editorAnswer)
            return false;
        values.name = nextName;
        return true;
    }
    void showMessage(const std::string& message) override { messages.push_back(message); }
    bool askYesNo(const std::string& question) override {
        questions.push_back(question);
        return yes;
    }

    bool editorAnswer = true;
    bool yes = true;
    std::string nextName = "New";
    std::vector<std::string> editedNames, messages, questions;
    std::vector<bool> newFlags;
};

CSetupLocationsDlg listOf(int count) {
    CSetupLocationsDlg list;
    for (int i = 1; i <= count; ++i) {
        auto entry = std::make_unique<CLocation>();
        entry->name = std::to_string(i);
        list.workingList.push_back(std::move(entry));
    }
    return list;
}

std::string order(const CSetupLocationsDlg& list) {
    std::string names;
    for (int row = 0; row < list.rowCount(); ++row)
        names += list.cellText(row, 0);
    return names;
}

struct MoveCase {
    const char* name = "";
    int rows = 0;
    int dragged = 0;
    int target = 0;
    const char* order = "";
};

class DropRule : public ::testing::TestWithParam<MoveCase> {};

TEST_P(DropRule, MovesBeforeTheRowUnderThePointer) {
    CSetupLocationsDlg list = listOf(GetParam().rows);
    list.moveRow(GetParam().dragged, GetParam().target);
    EXPECT_EQ(order(list), GetParam().order);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, DropRule,
    ::testing::Values(
        MoveCase{.name = "FirstOntoThird", .rows = 3, .dragged = 0, .target = 2, .order = "213"},
        MoveCase{.name = "ThirdOntoFirst", .rows = 3, .dragged = 2, .target = 0, .order = "312"},
        MoveCase{.name = "FirstBelowLast", .rows = 3, .dragged = 0, .target = -1, .order = "231"},
        MoveCase{.name = "MiddleBelowLast", .rows = 3, .dragged = 1, .target = -1, .order = "132"},
        MoveCase{.name = "OntoItself", .rows = 3, .dragged = 1, .target = 1, .order = "123"},
        MoveCase{.name = "OntoNextRow", .rows = 3, .dragged = 1, .target = 2, .order = "123"}),
    rowName<MoveCase>);

TEST(SetupLocations, AddPlacesAfterTheSelectionOrAtTheEnd) {
    CSetupLocationsDlg list = listOf(5);
    CScriptedView view;
    EXPECT_EQ(list.add(view, 2), 3);
    EXPECT_EQ(order(list), "123New45");
    EXPECT_EQ(view.editedNames, (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    view.nextName = "Last";
    EXPECT_EQ(list.add(view, -1), 6);
    view.editorAnswer = false;
    EXPECT_EQ(list.add(view, 0), -1);
    EXPECT_EQ(order(list), "123New45Last");
    EXPECT_EQ(view.newFlags, (std::vector<bool>{true, true, true}));
}

TEST(SetupLocations, EditAndDeleteNeedASelectedLocation) {
    CSetupLocationsDlg empty;
    CScriptedView view;
    EXPECT_FALSE(empty.editAndDeleteEnabled());
    empty.edit(view, -1);
    empty.remove(view, -1);
    EXPECT_TRUE(view.messages.empty()) << "an empty list only refreshes the buttons";

    CSetupLocationsDlg list = listOf(3);
    list.workingList[1].reset();
    list.edit(view, -1);
    list.remove(view, 1);
    EXPECT_EQ(view.messages,
              (std::vector<std::string>{text(kIdsSelectLocation), text(kIdsLocationInvalid)}));
}

TEST(SetupLocations, EditAndDeleteChangeOnlyTheirRow) {
    CSetupLocationsDlg list = listOf(3);
    CScriptedView view;
    view.nextName = "Two";
    list.edit(view, 1);
    EXPECT_EQ(view.newFlags, std::vector<bool>{false});
    view.editorAnswer = false;
    list.edit(view, 0);
    EXPECT_EQ(order(list), "1Two3");
    view.yes = false;
    EXPECT_EQ(list.remove(view, 1), 1) << "kept: the selection stays";
    EXPECT_EQ(order(list), "1Two3");
    EXPECT_EQ(view.questions.back(), "Are you sure you want to delete location Two?");
    view.yes = true;
    EXPECT_EQ(list.remove(view, 1), -1) << "deleted: nothing selected";
    EXPECT_EQ(order(list), "13");
}

TEST(SetupLocations, SettingsRoundTripSkipsEmptyEntriesAndColumnsSplitTheWidth) {
    CSettingsFile settings;
    CLocation tcp(kMediaCodeTcpIp);
    tcp.name = "Plant";
    tcp.ipAddress = 0xC0A80114;
    tcp.tcpPort = 502;
    settings.append(tcp);
    settings.append(nullptr);
    CSetupLocationsDlg list(",");
    list.load(settings);
    ASSERT_EQ(list.rowCount(), 1);
    EXPECT_EQ(list.cellText(0, 1), "IP 192,168,1,20  TCP 502");
    EXPECT_EQ(list.cellText(0, 2), "TCP/IP");
    list.storeInto(settings);
    EXPECT_EQ(settings.count(), 1);
    EXPECT_EQ(CSetupLocationsDlg::columnWidths(400), (std::array<int, 4>{100, 120, 40, 150}));
}

} // namespace
