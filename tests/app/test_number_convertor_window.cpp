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
#include <QTableWidget>
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
        control<QComboBox>(*window, "dataType")->setCurrentIndex(type);
        control<QComboBox>(*window, "byteOrder")->setCurrentIndex(order);
        control<QLineEdit>(*window, "value")->clear();
        control<QLineEdit>(*window, "hex")->clear();
        QTest::keyClicks(control<QLineEdit>(*window, "value"), QString::fromUtf8(value));
        QTest::keyClicks(control<QLineEdit>(*window, "hex"), QString::fromUtf8(hex));
        QTest::mouseClick(control<QPushButton>(*window, "convert"), Qt::LeftButton);
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
    EXPECT_EQ(control<QPushButton>(*window, "convert")->text(), "Con&vert");
    EXPECT_EQ(control<QPushButton>(*window, "cancel")->text(), "&Cancel");
    EXPECT_EQ(items(control<QComboBox>(*window, "dataType")).size(), 11);
    EXPECT_EQ(control<QComboBox>(*window, "dataType")->currentText(), "Float");
    EXPECT_EQ(items(control<QComboBox>(*window, "byteOrder")),
              QStringList({"Motorola (Big Endian)", "Intel (Little Endian)", "Modicon"}));
    EXPECT_EQ(control<QComboBox>(*window, "byteOrder")->currentIndex(), 0);

    control<QComboBox>(*window, "byteOrder")->setCurrentIndex(OrderModicon);
    control<QComboBox>(*window, "dataType")->setCurrentIndex(ConvertInt16);
    EXPECT_EQ(control<QComboBox>(*window, "byteOrder")->count(), 2);
    EXPECT_EQ(control<QComboBox>(*window, "byteOrder")->currentIndex(), -1)
        << "Modicon is gone, nothing selected";
    control<QComboBox>(*window, "byteOrder")->setCurrentIndex(OrderIntel);
    control<QComboBox>(*window, "dataType")->setCurrentIndex(ConvertDouble);
    EXPECT_EQ(control<QComboBox>(*window, "byteOrder")->count(), 3);
    EXPECT_EQ(control<QComboBox>(*window, "byteOrder")->currentText(), "Intel (Little Endian)");
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
        EXPECT_EQ(control<QLineEdit>(*window, "hex")->text(), o.bytes);
        screenshot(o.screenshot);
        convert(ConvertFloat, o.order, "", o.bytes);
        EXPECT_EQ(control<QLineEdit>(*window, "value")->text(), "1.000000");
    }
    convert(ConvertString, OrderMotorola, "Pump 7", "");
    EXPECT_EQ(control<QLineEdit>(*window, "hex")->text(), "50 75 6D 70 20 37 ");
    screenshot("convertor_ascii_string.png");
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(ConvertorWindow, ShowsTheRegisterBytesInEveryOrderWithoutGrowing) {
    const QSize before = window->size();
    convert(ConvertInt64, OrderIntel, "-2", "");
    auto* grid = control<QTableWidget>(*window, "allOrders");
    EXPECT_EQ(
        grid->item(static_cast<int>(WideType::Int64), static_cast<int>(WordOrder::DCBA))->text(),
        "-2");
    convert(ConvertFloat, OrderModicon, "1234.5", "");
    const QTableWidgetItem* cdab =
        grid->item(static_cast<int>(WideType::Float32), static_cast<int>(WordOrder::CDAB));
    EXPECT_EQ(cdab->text(), "1234.5");
    EXPECT_NE(cdab->background(),
              grid->item(cdab->row(), static_cast<int>(WordOrder::BADC))->background())
        << "plausible shaded, a denormal not";
    EXPECT_EQ(grid->item(static_cast<int>(WideType::Float64), 0)->text(), "") << "4 bytes only";
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "ABCD\nMotorola (Big Endian)");
    EXPECT_EQ(window->size(), before);
    screenshot("convertor_all_orders.png");
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
        EXPECT_EQ(control<QLineEdit>(*window, "value")->text(), QString::fromUtf8(c.value))
            << "nothing lost";
        EXPECT_EQ(control<QLineEdit>(*window, "hex")->text(), QString::fromUtf8(c.hex))
            << "nothing lost";
        QLineEdit* focused = c.hexFocused ? control<QLineEdit>(*window, "hex")
                                          : control<QLineEdit>(*window, "value");
        EXPECT_TRUE(focused->hasFocus()) << c.message;
        EXPECT_EQ(focused->selectedText(), focused->text()) << c.message;
    }
}

TEST_F(ConvertorWindow, CancelDestroysTheWindowAndTellsTheOpener) {
    QTest::mouseClick(control<QPushButton>(*window, "cancel"), Qt::LeftButton);
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
