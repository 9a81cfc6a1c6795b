#include "app/main_frame.h"
#include "app/qt_view_dialogs.h"
#include "app/setup_comms_window.h"
#include "app/setup_locations_window.h"
#include "app/setup_modem_window.h"
#include "app/vantrel_app.h"
#include "app/vantrel_shell.h"
#include "app/widgets/ip_address_edit.h"
#include "app/widgets/locations_view.h"
#include "app/widgets/modbus_id_spin.h"
#include "config/settings_file.h"
#include "qt_test_support.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "shell_test_support.h"
#include "tests/support/row_names.h"
#include "tests/support/temp_folder.h"
#include "windows/commands.h"
#include "windows/machine_ports.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <pty.h>
#include <unistd.h>

namespace {

using vantrel_test::PrintTo;

const bool environmentRegistered =
    (::testing::AddGlobalTestEnvironment(new CQtTestEnvironment("test_location_windows")), true);

// Drives modal windows: each time a different window becomes the active modal one, the next
// step runs on it (outside the timer's own call, so a step may open further modal windows).
// Gives up after about ten seconds by closing every window.
class CModalScript {
public:
    using Step = std::function<void(QWidget*)>;

    explicit CModalScript(std::vector<Step> steps) : steps_(std::move(steps)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(10);
    }
    bool finished() const { return next_ == steps_.size(); }

private:
    void poll() {
        if (finished()) {
            timer_.stop();
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == last_) {
            if (++idlePolls_ > 1000)
                QApplication::closeAllWindows();
            return;
        }
        last_ = modal;
        Step step = steps_[next_++];
        QTimer::singleShot(0, modal, [step, modal] { step(modal); });
    }

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    QWidget* last_ = nullptr;
    int idlePolls_ = 0;
    QTimer timer_;
};

// A step that checks a message box's text and answers it with `button`.
CModalScript::Step answer(std::string expected, QMessageBox::StandardButton button) {
    return [expected, button](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text().toStdString(), expected);
        box->button(button)->click();
    };
}

void choose(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
}

// Serial ports served by pseudo-terminals, linked as COM1, COM3 and COM12 in a ports folder, with a
// stable name for COM3 in a folder standing in for /dev/serial/by-id.
class LocationWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.valid());
        directory = folder.path();
        const std::string portsDir = directory + "/ports";
        ASSERT_EQ(::mkdir(portsDir.c_str(), 0700), 0);
        // Short, like /dev/serial/by-id, so the screenshots show a name of a usual length.
        ASSERT_TRUE(byIdFolder.valid());
        byIdDir = byIdFolder.path();
        for (const int number : {1, 3, 12}) {
            int master = -1;
            int slave = -1;
            char name[256] = {};
            ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
            ptys.push_back({master, slave});
            devices.push_back(name);
            const std::string link = portsDir + "/COM" + std::to_string(number);
            ASSERT_EQ(::symlink(name, link.c_str()), 0);
        }
        const std::string stable = byIdDir + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
        ASSERT_EQ(::symlink(devices[1].c_str(), stable.c_str()), 0);
        setenv("VANTREL_PORTS_DIR", portsDir.c_str(), 1);
        ports = std::make_unique<CMachinePorts>(kOsClassLater, byIdDir);
    }
    void TearDown() override {
        unsetenv("VANTREL_PORTS_DIR");
        for (const auto& [master, slave] : ptys) {
            ::close(master);
            ::close(slave);
        }
        std::system(("rm -rf '" + directory + "' '" + byIdDir + "'").c_str());
    }

    // A location of the media code on COM3.
    static CLocation location(int mediaCode, const std::string& name) {
        CLocation made(mediaCode);
        made.name = name;
        made.portName = "COM3";
        return made;
    }

    CTempFolder folder{"tmp-locwin"};
    CTempFolder byIdFolder{"by-id"};
    std::string directory;
    std::string byIdDir;
    std::vector<std::pair<int, int>> ptys;
    std::vector<std::string> devices;
    std::unique_ptr<CMachinePorts> ports;
};

struct MediaCase {
    const char* name;
    int mediaCode;
    const char* screenshot;
    unsigned numberLabelId; // 0: hidden
    unsigned portLabelId;
    bool serialLine;
};

class EditorMedia : public LocationWindows, public ::testing::WithParamInterface<MediaCase> {};

TEST_P(EditorMedia, ShowsTheFieldsOfTheMedium) {
    const MediaCase& row = GetParam();
    CLocation shown = location(row.mediaCode, "Pump station 4");
    shown.number = row.mediaCode == kMediaCodeSatellite ? "881631234567" : "0015551234";
    shown.ipAddress = 0xC0A80114;
    CSetupCommsWindow editor(shown, {}, false, *ports);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));

    EXPECT_EQ(editor.windowTitle().toStdString(), "Setup Communications");
    EXPECT_EQ(editor.numberLabel->isVisible(), row.numberLabelId != 0);
    if (row.numberLabelId != 0) {
        EXPECT_EQ(editor.numberLabel->text().toStdString(), text(row.numberLabelId));
    }
    EXPECT_EQ(editor.portLabel->text().toStdString(), text(row.portLabelId));
    EXPECT_EQ(editor.baudList->isVisible(), row.serialLine);
    EXPECT_EQ(editor.portList->isVisible(), row.serialLine);
    EXPECT_EQ(editor.modbusTypeButtons[2]->isVisible(), !row.serialLine);
    if (row.serialLine) {
        ASSERT_GE(editor.portList->count(), 2);
        EXPECT_EQ(editor.portList->currentText().toStdString(), "COM3");
        EXPECT_EQ(editor.deviceLabel->text().toStdString(),
                  "COM3 = " + devices[1] + "\n" + byIdDir +
                      "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    } else {
        EXPECT_EQ(editor.addressEdit->address(), 0xC0A80114u);
        EXPECT_EQ(editor.tcpPortEdit->text().toStdString(), "6000");
    }
    saveScreenshot(editor, row.screenshot);
}

INSTANTIATE_TEST_SUITE_P(Media, EditorMedia,
                         ::testing::Values(MediaCase{.name = "Direct",
                                                     .mediaCode = kMediaCodeDirect,
                                                     .screenshot = "location_editor_direct.png",
                                                     .numberLabelId = 0,
                                                     .portLabelId = kIdsCommsCommPort,
                                                     .serialLine = true},
                                           MediaCase{.name = "Modem",
                                                     .mediaCode = kMediaCodeModem,
                                                     .screenshot = "location_editor_modem.png",
                                                     .numberLabelId = kIdsCommsPhoneNumber,
                                                     .portLabelId = kIdsCommsCommPort,
                                                     .serialLine = true},
                                           MediaCase{.name = "Satellite",
                                                     .mediaCode = kMediaCodeSatellite,
                                                     .screenshot = "location_editor_satellite.png",
                                                     .numberLabelId = kIdsCommsSatelliteNumber,
                                                     .portLabelId = kIdsCommsCommPort,
                                                     .serialLine = true},
                                           MediaCase{.name = "TcpIp",
                                                     .mediaCode = kMediaCodeTcpIp,
                                                     .screenshot = "location_editor_tcpip.png",
                                                     .numberLabelId = kIdsCommsIpAddress,
                                                     .portLabelId = kIdsCommsTcpPort,
                                                     .serialLine = false}),
                         [](const ::testing::TestParamInfo<MediaCase>& media) {
                             return std::string(media.param.name);
                         });

TEST_F(LocationWindows, EditorMediaChangeAndRefusedEntriesKeepTheFocus) {
    CSetupCommsWindow editor(location(kMediaCodeDirect, "Tank"), {"Tank", "Well"}, true, *ports);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    choose(editor.mediaList, 3);
    EXPECT_FALSE(editor.portList->isVisible());
    EXPECT_EQ(editor.time1Label->text().toStdString(), "Connection Timeout:");
    editor.modbusTypeButtons[2]->click();
    EXPECT_EQ(editor.tcpPortEdit->text().toStdString(), "502");
    EXPECT_EQ(editor.portLabel->text().toStdString(), "Modbus/TCP Port:");

    // Empty name, duplicate name, then a retries text with letters: each refused in turn.
    const auto refusedWith = [&](unsigned id, QWidget* focus) {
        CModalScript script({answer(text(id), QMessageBox::Ok)});
        editor.okButton->click();
        EXPECT_TRUE(script.finished());
        EXPECT_EQ(editor.focusWidget(), focus) << text(id);
    };
    editor.nameEdit->setText("");
    refusedWith(kIdsEnterLocationName, editor.nameEdit);
    editor.nameEdit->setText("Well");
    refusedWith(kIdsDuplicateLocationName, editor.nameEdit);
    EXPECT_EQ(editor.nameEdit->selectedText().toStdString(), "Well");
    editor.nameEdit->setText("Well 2");
    editor.retriesEdit->setText("3x");
    refusedWith(kIdsEnterInteger, editor.retriesEdit);
    EXPECT_EQ(editor.result(), QDialog::Rejected);
    EXPECT_EQ(editor.values().name, "Tank") << "nothing is stored until OK succeeds";
}

TEST_F(LocationWindows, EditorWithAbsentPortWarnsAndModbusIdWraps) {
    CLocation absent = location(kMediaCodeDirect, "Old");
    absent.portName = "COM77";
    CSetupCommsWindow editor(absent, {}, false, *ports);
    CModalScript script({answer(formatString(kIdsConfiguredPortAbsent, "COM77"), QMessageBox::Ok)});
    editor.show();
    ASSERT_TRUE(waitUntil([&] { return script.finished() && !QApplication::activeModalWidget(); }));
    EXPECT_EQ(editor.portList->currentIndex(), 0);

    editor.modbusIdSpin->setText("247");
    editor.modbusIdSpin->setFocus();
    QTest::keyClick(editor.modbusIdSpin, Qt::Key_Up);
    EXPECT_EQ(editor.modbusIdSpin->text().toStdString(), "0");
    QTest::keyClick(editor.modbusIdSpin, Qt::Key_Down);
    EXPECT_EQ(editor.modbusIdSpin->text().toStdString(), "247");
    editor.modbusIdSpin->setText("");
    QTest::keyClicks(editor.modbusIdSpin, "2a-4 8");
    EXPECT_EQ(editor.modbusIdSpin->text().toStdString(), "248") << "digits only";

    CModalScript range({answer("Please enter an integer between 0 and 247.", QMessageBox::Ok)});
    editor.okButton->click();
    EXPECT_TRUE(range.finished());
    QWidget* focus = editor.focusWidget();
    EXPECT_TRUE(focus == editor.modbusIdSpin || editor.modbusIdSpin->isAncestorOf(focus));
    editor.modbusIdSpin->setText("0");
    editor.okButton->click();
    EXPECT_EQ(editor.result(), QDialog::Accepted);
    EXPECT_EQ(editor.values().portName, "COM1") << "the first entry";
    EXPECT_LT(editor.portList->findText("COM12"), editor.portList->findText("COM3"))
        << "sorted as text";
    EXPECT_EQ(editor.values().modbusId, 0);
}

TEST_F(LocationWindows, EditorKeepsTextsThatAreNotUtf8) {
    CLocation latin1 = location(kMediaCodeModem, "S\xFC"
                                                 "d");
    latin1.number = "\xA7"
                    "12";
    latin1.modemInitString = "AT \xFF";
    CSetupCommsWindow editor(latin1, {}, false, *ports);
    editor.okButton->click();
    ASSERT_EQ(editor.result(), QDialog::Accepted);
    EXPECT_EQ(editor.values().name, latin1.name);
    EXPECT_EQ(editor.values().number, latin1.number);
    CSetupModemWindow modem({.initString = latin1.modemInitString});
    modem.okButton->click();
    EXPECT_EQ(modem.values().initString, latin1.modemInitString);
}

TEST(AddressField, TakesOctetsUpTo255) {
    CIpAddressEdit field;
    field.setAddress(0xC0A80114);
    EXPECT_EQ(field.octet(0)->text().toStdString(), "192");
    field.octet(3)->clear();
    QTest::keyClicks(field.octet(3), "300");
    EXPECT_EQ(field.octet(3)->text().toStdString(), "30");
    EXPECT_EQ(field.address(), 0xC0A8011Eu);
}

TEST(SetupModemWindow, DefaultsAndRefusedNumber) {
    CSetupModemWindow modem(
        {.initString = "ATZ", .connectTimeout = 5, .redialWait = 6, .disconnectAfter = 7});
    modem.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&modem));
    modem.defaultsButton->click();
    EXPECT_EQ(modem.initStringEdit->text().toStdString(), "AT &F E0 M1");
    saveScreenshot(modem, "setup_modem.png");
    modem.redialWaitEdit->setText("ten");
    CModalScript script({answer(text(kIdsEnterInteger), QMessageBox::Ok)});
    modem.okButton->click();
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(modem.focusWidget(), modem.redialWaitEdit);
    modem.redialWaitEdit->setText(" 20 ");
    modem.okButton->click();
    EXPECT_EQ(modem.values().redialWait, 20);
    EXPECT_EQ(modem.values().connectTimeout, 60);
}

// Setup Locations over a settings file on disk.
class SetupLocationsWindow : public LocationWindows {
protected:
    void SetUp() override {
        LocationWindows::SetUp();
        settings.path = directory + "/VNTLSettings.dat";
    }

    void addLocations(const std::vector<CLocation>& locations) {
        for (const CLocation& entry : locations)
            settings.append(entry);
        ASSERT_TRUE(settings.save());
    }

    std::string fileBytes() const {
        std::ifstream in(settings.path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static std::string order(const CSetupLocationsWindow& dialog) {
        std::string names;
        for (int row = 0; row < dialog.workingList().rowCount(); ++row)
            names += dialog.workingList().cellText(row, 0) + ";";
        return names;
    }

    static void drop(CSetupLocationsWindow& dialog, int dragged, QPoint point) {
        const std::unique_ptr<QMimeData> data(dialog.list->createRowMimeData(dragged));
        const QMimeData& mime = *data;
        QWidget* viewport = dialog.list->viewport();
        QDragEnterEvent enter(point, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(point, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &move);
        QDropEvent dropped(QPointF(point), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &dropped);
    }

    CSettingsFile settings;
};

TEST_F(SetupLocationsWindow, ShowsFiveLocationsOfMixedMedia) {
    CLocation tcp = location(kMediaCodeTcpIp, "Plant network");
    tcp.ipAddress = 0xC0A80114;
    tcp.tcpPort = 502;
    tcp.modbusType = ModbusType::ModbusTcp;
    CLocation modem = location(kMediaCodeModem, "Reservoir 7");
    modem.number = "0015551234";
    CLocation satellite = location(kMediaCodeSatellite, "Offshore well");
    satellite.number = "881631234567";
    addLocations({location(kMediaCodeDirect, "Bench RTU"), modem, satellite, tcp,
                  location(kMediaCodeDirect, "Pump station 4")});
    CSetupLocationsWindow dialog(settings, *ports, ".");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.list->model()->rowCount(), 5);
    EXPECT_EQ(dialog.list->model()->index(3, 1).data().toString().toStdString(),
              "IP 192.168.1.20  TCP 502");
    const auto widths = CSetupLocationsDlg::columnWidths(dialog.list->width());
    EXPECT_EQ(dialog.list->header()->sectionSize(3), widths[3]);
    saveScreenshot(dialog, "setup_locations.png");
}

TEST_F(SetupLocationsWindow, AddEditDeleteAndDrag) {
    addLocations({location(kMediaCodeDirect, "A"), location(kMediaCodeModem, "B"),
                  location(kMediaCodeTcpIp, "C")});
    CSetupLocationsWindow dialog(settings, *ports, ".");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    // Add after the selected first row, through the editor.
    dialog.selectRow(0);
    CModalScript addScript({[](QWidget* window) {
        auto* editor = qobject_cast<CSetupCommsWindow*>(window);
        ASSERT_NE(editor, nullptr);
        editor->nameEdit->setText("New");
        editor->okButton->click();
    }});
    dialog.addButton->click();
    EXPECT_TRUE(addScript.finished());
    EXPECT_EQ(order(dialog), "A;New;B;C;");
    EXPECT_EQ(dialog.selectedRow(), 0);

    // Edit by double-click; the editor holds the row's values.
    dialog.selectRow(2);
    CModalScript editScript({[](QWidget* window) {
        auto* editor = qobject_cast<CSetupCommsWindow*>(window);
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->nameEdit->text().toStdString(), "B");
        editor->nameEdit->setText("B2");
        editor->okButton->click();
    }});
    const QRect rowRect = dialog.list->visualRect(dialog.list->model()->index(2, 0));
    QTest::mouseDClick(dialog.list->viewport(), Qt::LeftButton, Qt::NoModifier, rowRect.center());
    EXPECT_TRUE(editScript.finished());
    EXPECT_EQ(order(dialog), "A;New;B2;C;");

    // Delete from the context menu: No keeps, Yes removes.
    dialog.selectRow(1);
    CModalScript keep({answer("Are you sure you want to delete location New?", QMessageBox::No)});
    dialog.contextMenu->actions().at(2)->trigger();
    EXPECT_TRUE(keep.finished());
    EXPECT_EQ(order(dialog), "A;New;B2;C;");
    CModalScript yes({answer("Are you sure you want to delete location New?", QMessageBox::Yes)});
    dialog.deleteButton->click();
    EXPECT_TRUE(yes.finished());
    EXPECT_EQ(order(dialog), "A;B2;C;");

    // Drag the first row onto the third, then the first below the last row.
    const auto top = [&](int row) {
        return dialog.list->visualRect(dialog.list->model()->index(row, 0)).topLeft() +
               QPoint(4, 1);
    };
    drop(dialog, 0, top(2));
    EXPECT_EQ(order(dialog), "B2;A;C;");
    EXPECT_EQ(dialog.selectedRow(), 1) << "the moved row stays selected";
    drop(dialog, 0, QPoint(4, dialog.list->viewport()->height() - 2));
    EXPECT_EQ(order(dialog), "A;C;B2;");

    // With no rows left, Edit and Delete are disabled.
    for (int left = 3; left > 0; --left) {
        dialog.selectRow(0);
        CModalScript remove({[](QWidget* window) {
            qobject_cast<QMessageBox*>(window)->button(QMessageBox::Yes)->click();
        }});
        dialog.deleteButton->click();
    }
    EXPECT_FALSE(dialog.editButton->isEnabled());
    EXPECT_FALSE(dialog.deleteButton->isEnabled());
}

TEST_F(SetupLocationsWindow, CancelLeavesTheFileAndOkWritesIt) {
    addLocations({location(kMediaCodeDirect, "A"), location(kMediaCodeModem, "B"),
                  location(kMediaCodeSatellite, "C")});
    const std::string before = fileBytes();
    CQtViewDialogs dialogs(0, 0);

    const auto changeSeveral = [](QWidget* window) {
        auto* dialog = qobject_cast<CSetupLocationsWindow*>(window);
        ASSERT_NE(dialog, nullptr);
        dialog->selectRow(0);
        dialog->deleteButton->click();
    };
    const auto editor = [](const char* name) {
        return [name](QWidget* window) {
            auto* opened = qobject_cast<CSetupCommsWindow*>(window);
            ASSERT_NE(opened, nullptr);
            opened->nameEdit->setText(name);
            opened->okButton->click();
        };
    };
    const auto finish = [](bool ok) {
        return [ok](QWidget* window) {
            auto* dialog = qobject_cast<CSetupLocationsWindow*>(window);
            ASSERT_NE(dialog, nullptr);
            dialog->selectRow(1);
            dialog->list->setFocus();
            if (ok)
                dialog->okButton->click();
            else
                dialog->reject();
        };
    };
    {
        CModalScript script(
            {changeSeveral, answer("Are you sure you want to delete location A?", QMessageBox::Yes),
             [&](QWidget* window) {
                 auto* dialog = qobject_cast<CSetupLocationsWindow*>(window);
                 ASSERT_NE(dialog, nullptr);
                 dialog->addButton->click();
             },
             editor("Added"), finish(false)});
        EXPECT_FALSE(dialogs.runLocations(settings));
        EXPECT_TRUE(script.finished());
    }
    EXPECT_EQ(settings.count(), 3);
    EXPECT_EQ(fileBytes(), before) << "Cancel leaves the file byte-identical";

    {
        CModalScript script({[](QWidget* window) {
            qobject_cast<CSetupLocationsWindow*>(window)->okButton->click();
        }});
        ASSERT_TRUE(dialogs.runLocations(settings));
        EXPECT_TRUE(script.finished());
    }
    ::unlink(settings.path.c_str());
    ASSERT_TRUE(settings.save()) << "the Locations command saves after OK, changed or not";
    EXPECT_EQ(fileBytes(), before);

    {
        CModalScript script(
            {changeSeveral, answer("Are you sure you want to delete location A?", QMessageBox::Yes),
             [](QWidget* window) {
                 qobject_cast<CSetupLocationsWindow*>(window)->okButton->click();
             }});
        ASSERT_TRUE(dialogs.runLocations(settings));
    }
    ASSERT_TRUE(settings.save());
    CSettingsFile reread;
    reread.path = settings.path;
    ASSERT_TRUE(reread.load());
    ASSERT_EQ(reread.count(), 2);
    EXPECT_EQ(reread.getLocation(0)->name, "B");
}

class CSilentMessages : public IMessageBox {
public:
    void showMessage(const std::string&) override {}
};

TEST_F(SetupLocationsWindow, SetupMenuCommandSavesWhatTheUserAdded) {
    setenv("VANTREL_SETTINGS", settings.path.c_str(), 1);
    CSilentMessages messages;
    CVantrelApp app(messages);
    ASSERT_TRUE(app.initInstance());
    app.settings().removeAll(); // no demo locations: the user's list starts empty
    CDialogsWithoutSplash dialogs;
    CVantrelShell shell(app, dialogs);
    ASSERT_TRUE(shell.create());
    shell.show();

    CModalScript script(
        {[](QWidget* window) { qobject_cast<CSetupLocationsWindow*>(window)->addButton->click(); },
         [](QWidget* window) {
             auto* editor = qobject_cast<CSetupCommsWindow*>(window);
             ASSERT_NE(editor, nullptr);
             editor->nameEdit->setText("Field unit");
             choose(editor->mediaList, 3);
             editor->addressEdit->setAddress(0x7F000001);
             editor->okButton->click();
         },
         [](QWidget* window) { qobject_cast<CSetupLocationsWindow*>(window)->okButton->click(); }});
    shell.frame()->action(Command::Locations)->trigger();
    EXPECT_TRUE(script.finished());
    shell.close();
    unsetenv("VANTREL_SETTINGS");

    CSettingsFile reread;
    reread.path = settings.path;
    ASSERT_TRUE(reread.load());
    ASSERT_EQ(reread.count(), 1);
    EXPECT_EQ(reread.getLocation(0)->name, "Field unit");
    EXPECT_EQ(reread.getLocation(0)->ipAddress, 0x7F000001u);
    EXPECT_EQ(reread.getLocation(0)->tcpPort, 6000);
}

} // namespace
