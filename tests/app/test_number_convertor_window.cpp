#include "app/number_convertor_window.h"
#include "app/qt_message_target.h"
#include "app/qt_view_dialogs.h"
#include "qt_test_support.h"
#include "windows/message_box.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const bool environmentRegistered =
    (::testing::AddGlobalTestEnvironment(new CQtTestEnvironment("test_number_convertor_window")),
     true);

QStringList items(const QComboBox* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

class ConvertorWindow : public ::testing::Test {
protected:
    void SetUp() override {
        opener = std::make_unique<CQtMessageTarget>([this](unsigned message, WParam, LParam) {
            received.push_back(message);
            return 0;
        });
        window = new CNumberConvertorWindow(opener->handle(), ",", &messages);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }
    void TearDown() override {
        delete window.data();
        opener.reset();
    }

    // Types into both fields as the operator would and presses Convert.
    void convert(int type, int order, const char* value, const char* hex) {
        window->dataTypeList()->setCurrentIndex(type);
        window->byteOrderList()->setCurrentIndex(order);
        window->valueField()->clear();
        window->hexField()->clear();
        QTest::keyClicks(window->valueField(), QString::fromUtf8(value));
        QTest::keyClicks(window->hexField(), QString::fromUtf8(hex));
        QTest::mouseClick(window->convertButton(), Qt::LeftButton);
    }

    void screenshot(const char* name) {
        const QString directory = QStringLiteral(VANTREL_BINARY_DIR "/screenshots");
        QDir().mkpath(directory);
        EXPECT_TRUE(window->grab().save(directory + "/" + name)) << name;
    }

    std::unique_ptr<CQtMessageTarget> opener;
    std::vector<unsigned> received;
    CRecordingMessageBox messages;
    QPointer<CNumberConvertorWindow> window;
};

TEST_F(ConvertorWindow, ShowsItsTextsAndOffersModiconForFloatAndDoubleOnly) {
    EXPECT_EQ(window->windowTitle(), "Number Convertor");
    QStringList labels;
    for (const QLabel* label : window->findChildren<QLabel*>())
        labels << label->text();
    EXPECT_EQ(labels, QStringList({"Data Type:", "Hexadecimal Format:"}));
    EXPECT_EQ(window->convertButton()->text(), "Con&vert");
    EXPECT_EQ(window->cancelButton()->text(), "&Cancel");
    EXPECT_EQ(items(window->dataTypeList()).size(), 9);
    EXPECT_EQ(window->dataTypeList()->currentText(), "Float");
    EXPECT_EQ(items(window->byteOrderList()),
              QStringList({"Motorola (Big Endian)", "Intel (Little Endian)", "Modicon"}));
    EXPECT_EQ(window->byteOrderList()->currentIndex(), 0);

    window->byteOrderList()->setCurrentIndex(OrderModicon);
    window->dataTypeList()->setCurrentIndex(ConvertInt16);
    EXPECT_EQ(window->byteOrderList()->count(), 2);
    EXPECT_EQ(window->byteOrderList()->currentIndex(), -1) << "Modicon is gone, nothing selected";
    window->byteOrderList()->setCurrentIndex(OrderIntel);
    window->dataTypeList()->setCurrentIndex(ConvertDouble);
    EXPECT_EQ(window->byteOrderList()->count(), 3);
    EXPECT_EQ(window->byteOrderList()->currentText(), "Intel (Little Endian)");
}

TEST_F(ConvertorWindow, ConvertsFloatInEveryOrderAndAString) {
    const struct {
        int order;
        const char* bytes;
        const char* screenshot;
    } orders[] = {{OrderMotorola, "3F 80 00 00", "convertor_float_motorola.png"},
                  {OrderIntel, "00 00 80 3F", "convertor_float_intel.png"},
                  {OrderModicon, "00 00 3F 80", "convertor_float_modicon.png"}};
    for (const auto& o : orders) {
        convert(ConvertFloat, o.order, "1.0", "");
        EXPECT_EQ(window->hexField()->text(), o.bytes);
        screenshot(o.screenshot);
        convert(ConvertFloat, o.order, "", o.bytes);
        EXPECT_EQ(window->valueField()->text(), "1.000000");
    }
    convert(ConvertString, OrderMotorola, "Pump 7", "");
    EXPECT_EQ(window->hexField()->text(), "50 75 6D 70 20 37 ");
    screenshot("convertor_ascii_string.png");
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(ConvertorWindow, BadInputNamesItselfAndFocusesTheFieldToFix) {
    const struct {
        int type;
        const char* value;
        const char* hex;
        const char* message;
        bool hexFocused;
    } cases[] = {
        {ConvertFloat, "2", "3F 80 00 00",
         "There are numbers entered on both sides.  Please clear the number you would like "
         "generated.",
         true},
        {ConvertInt32, "junk", "", "Invalid data entered!", false},
        {ConvertDouble, "", "3F F0 00 00 00 00 00 00 00", "Invalid data entered!", true},
    };
    for (const auto& c : cases) {
        messages.messages.clear();
        convert(c.type, OrderMotorola, c.value, c.hex);
        EXPECT_EQ(messages.messages, std::vector<std::string>{c.message}) << c.message;
        EXPECT_EQ(window->valueField()->text(), QString::fromUtf8(c.value)) << "nothing lost";
        EXPECT_EQ(window->hexField()->text(), QString::fromUtf8(c.hex)) << "nothing lost";
        QLineEdit* focused = c.hexFocused ? window->hexField() : window->valueField();
        EXPECT_TRUE(focused->hasFocus()) << c.message;
        EXPECT_EQ(focused->selectedText(), focused->text()) << c.message;
    }
}

TEST_F(ConvertorWindow, CancelDestroysTheWindowAndTellsTheOpener) {
    QTest::mouseClick(window->cancelButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(received, std::vector<unsigned>{WM_CONVERTOR_CLOSED});

    // The application's dialogs open the same window, shown and modeless.
    CQtViewDialogs dialogs(0, 0);
    QPointer<QWidget> opened = dialogs.createConvertor(opener->handle());
    ASSERT_NE(qobject_cast<CNumberConvertorWindow*>(opened), nullptr);
    EXPECT_TRUE(opened->isVisible());
    EXPECT_FALSE(opened->isModal());
    QTest::keyClick(opened, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(opened.isNull());
    EXPECT_EQ(received.size(), 2u);
}

} // namespace
