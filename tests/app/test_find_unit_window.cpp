#include "app/connect_window.h"
#include "app/find_unit_window.h"
#include "app/setup_comms_window.h"
#include "config/settings_file.h"
#include "qt_test_support.h"
#include "resources/string_ids.h"
#include "tests/support/pty_line_unit.h"
#include "tests/support/temp_folder.h"
#include "window_test_support.h"
#include "windows/setup_comms_dlg.h"
#include "windows/vantrel_doc.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

const bool environmentRegistered =
    (::testing::AddGlobalTestEnvironment(new CQtTestEnvironment("test_find_unit_window")), true);

constexpr int kPortNumber = 3;

// COM3 on a pseudo-terminal, as the port list and the port map both see it.
class CPtyPorts : public IPortSource {
public:
    CPtyPorts() { ports_.link("COM3", line.slavePath()); }
    bool enumerate(std::vector<int>& numbers) override {
        numbers = {kPortNumber};
        return true;
    }
    std::string devicePath(int) override { return line.slavePath(); }
    std::string stableName(int) override { return {}; }

    CPtyPair line;

private:
    CTempPortsDir ports_;
};

// The window over a pty with a unit on 19200 8O2 at ID 2; the form narrowed to 9600 and 19200.
class FindUnitWindow : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<CFindUnitWindow>(document, settings.file, ports, &messages);
        window->show();
        for (QCheckBox* box : window->baudChecks)
            box->setChecked(false);
        window->baudChecks[5]->setChecked(true);
        window->baudChecks[6]->setChecked(true);
        for (QCheckBox* box : window->parityChecks)
            box->setChecked(true);
        for (QCheckBox* box : window->stopBitsChecks)
            box->setChecked(true);
        window->lastIdEdit->setText("10");
        window->timeoutEdit->setText("60");
    }

    CPtyPorts ports;
    CPtyLineUnit unit{
        ports.line,
        {.id = 2, .speed = B19200, .twoStopBits = true, .oddParity = true, .vendor = "Plant Unit"}};
    CVantrelDoc document;
    CTempSettings settings;
    CRecordingMessageBox messages;
    std::unique_ptr<CFindUnitWindow> window;
};

TEST_F(FindUnitWindow, ShowsTheSweepLengthBeforeItStarts) {
    window->timeoutEdit->setText("100");
    window->lastIdEdit->setText("247");
    for (const int baud : {7, 8, 9})
        window->baudChecks[static_cast<std::size_t>(baud)]->setChecked(true);
    window->parityChecks[kParityOdd]->setChecked(false);
    window->stopBitsChecks[1]->setChecked(false);
    EXPECT_EQ(window->lengthLabel->text().toStdString(),
              "2470 probes \u00d7 100 ms = 4 min 7 s if no unit answers.");
    saveScreenshot(*window, "find_unit_settings.png");

    // An impossible range is refused with its field focused.
    window->lastIdEdit->setText("300");
    QTest::mouseClick(window->startButton, Qt::LeftButton);
    EXPECT_EQ(messages.warnings.size(), 1U);
    EXPECT_TRUE(waitUntil([&] { return window->lastIdEdit->hasFocus(); }, 2000));
    EXPECT_EQ(window->logic().state(), FindState::Idle);
}

TEST_F(FindUnitWindow, FindsTheUnitAndCreatesItsLocation) {
    QTest::mouseClick(window->startButton, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return window->logic().probesDone() >= 12; }));
    EXPECT_FALSE(window->startButton->isEnabled());
    EXPECT_TRUE(window->pauseButton->isEnabled());
    saveScreenshot(*window, "find_unit_progress.png");
    ASSERT_TRUE(waitUntil([&] { return window->logic().state() == FindState::Done; }));
    ASSERT_EQ(window->resultList->topLevelItemCount(), 1);
    EXPECT_EQ(window->resultList->topLevelItem(0)->text(0).toStdString(), "COM3  19200 8O2  RTU");
    EXPECT_EQ(window->resultList->topLevelItem(0)->text(2).toStdString(), "Plant Unit");
    saveScreenshot(*window, "find_unit_results.png");

    std::string offeredName;
    CModalUser user([&](QWidget& modal) {
        if (auto* editor = qobject_cast<CSetupCommsWindow*>(&modal)) {
            offeredName = editor->values().name;
            editor->accept();
        }
    });
    QTest::mouseClick(window->createButton, Qt::LeftButton);
    ASSERT_EQ(settings.file.count(), 1);
    const CLocation* created = settings.file.getLocation(0);
    EXPECT_EQ(offeredName, "Unit 2 on COM3");
    EXPECT_EQ(created->portName, "COM3");
    EXPECT_EQ(created->baudIndex, 6);
    EXPECT_EQ(created->parityIndex, kParityOdd);
    EXPECT_EQ(created->stopBitsIndex, 1);
    EXPECT_EQ(created->modbusId, 2);
}

// The Connect dialog offers the finder, and lists the location it created.
TEST_F(FindUnitWindow, IsReachedFromTheConnectDialog) {
    window.reset();
    CLocation existing;
    existing.name = "Bench";
    existing.portName = "COM3";
    settings.file.append(existing);
    CConnectWindow connect(document, settings.file, &messages);
    ASSERT_TRUE(connect.initialise());
    bool finderShown = false;
    CModalUser user([&](QWidget& modal) {
        if (auto* finder = qobject_cast<CFindUnitWindow*>(&modal)) {
            finderShown = true;
            finder->reject();
        }
    });
    QTest::mouseClick(control<QPushButton>(connect, "findUnit"), Qt::LeftButton);
    EXPECT_TRUE(finderShown);
    EXPECT_EQ(control<QTreeWidget>(connect, "locationList")->topLevelItemCount(), 1);
}

} // namespace
