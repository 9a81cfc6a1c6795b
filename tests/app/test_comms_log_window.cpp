#include "app/comms_log_window.h"
#include "app/main_frame.h"
#include "app/qt_message_box.h"
#include "app/qt_message_target.h"
#include "app/qt_view_dialogs.h"
#include "app/vantrel_app.h"
#include "app/vantrel_shell.h"
#include "platform/clock.h"
#include "qt_test_support.h"
#include "resources/string_table.h"
#include "shell_test_support.h"
#include "tests/support/temp_folder.h"
#include "windows/vantrel_doc.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <numeric>
#include <unistd.h>

#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options() {
    return "ignore_noninstrumented_modules=1";
}
#endif

namespace {

namespace fs = std::filesystem;

const bool environmentRegistered =
    (::testing::AddGlobalTestEnvironment(new CQtTestEnvironment("test_comms_log_window")), true);

// Answers the modal dialogs of Save to File as a user would: Yes or No to the refresh
// question, the given path in the Save As dialog (empty: Cancel), OK to any other message box,
// whose text it keeps.
class ModalAnswers {
public:
    ModalAnswers(bool refresh, QString path) : refresh_(refresh), path_(std::move(path)) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start();
    }
    std::vector<std::string> messages;

private:
    void answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (box->icon() == QMessageBox::Question) {
                box->button(refresh_ ? QMessageBox::Yes : QMessageBox::No)->click();
            } else {
                messages.push_back(box->text().toStdString());
                box->button(QMessageBox::Ok)->click();
            }
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            // The dialog lists its folder in the background: answer once it has settled.
            if (dialog != settling_) {
                settling_ = dialog;
                return;
            }
            if (path_.isEmpty()) {
                dialog->reject();
                return;
            }
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(path_);
            static_cast<QDialog*>(dialog)->accept();
        }
    }

    QFileDialog* settling_ = nullptr;
    bool refresh_;
    QString path_;
    QTimer timer_;
};

// The window's controls by their object names.
QTableView* listOf(const QWidget& window) {
    return control<QTableView>(window, "list");
}
QLabel* statusOf(const QWidget& window) {
    return control<QLabel>(window, "status");
}

class CommsLogWindow : public ::testing::Test {
protected:
    void SetUp() override {
        opener = std::make_unique<CQtMessageTarget>([this](unsigned message, WParam, LParam) {
            received.push_back(message);
            return LParam{0};
        });
    }
    void TearDown() override {
        delete window.data();
        unsetenv("VANTREL_VIEWER");
    }

    void open() {
        window = new CCommsLogWindow(store, logEnabled, opener->handle(),
                                     {":", "%I:%M:%S %p", "%m/%d/%Y"}, folder / "VNTLSettings.dat");
        window->show();
    }
    bool listed() {
        return waitUntil([this] { return status()->text() == "Display Complete"; });
    }
    void addRecord(CommsLogType type, std::vector<std::uint8_t> data = {}) {
        ASSERT_EQ(store.addLogRecord(static_cast<unsigned>(type),
                                     static_cast<unsigned>(data.size()), data.data()),
                  0);
    }
    void addError(std::uint32_t code) {
        addRecord(CommsLogType::Error,
                  {static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(code >> 8), 0, 0});
    }
    // About 50 records of every type as a session against a unit leaves them.
    void addSession() {
        addRecord(CommsLogType::Connected);
        for (std::uint8_t i = 0; i < 9; ++i) {
            sleepMs(7 + i * 3);
            addRecord(CommsLogType::RxFlush,
                      i == 0 ? std::vector<std::uint8_t>{0xFF, 0x00} : std::vector<std::uint8_t>{});
            addRecord(CommsLogType::Tx, {0x01, 0x03, 0x00, i, 0x00, 0x0A, 0xC5, 0xCD});
            sleepMs(12 + i);
            if (i % 3 == 2) {
                addRecord(CommsLogType::Rx, {0x01, 0x83});
                addError(i == 5 ? 5008 : 5006);
            } else {
                std::vector<std::uint8_t> response = {0x01, 0x03, 0x14};
                for (std::uint8_t k = 0; k < 20; ++k)
                    response.push_back(static_cast<std::uint8_t>(k * 11 + i));
                response.insert(response.end(), {0x5A, 0xC3});
                addRecord(CommsLogType::Rx, response);
            }
        }
        addError(5007);
        addRecord(CommsLogType::Disconnected);
        sleepMs(40);
        addRecord(CommsLogType::Reconnected);
        addRecord(CommsLogType::Tx,
                  {0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x02});
        addError(99999);
        addRecord(static_cast<CommsLogType>(9), {0xAB});
        addRecord(CommsLogType::Disconnected);
    }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTableView* list = table();
        list->scrollTo(list->model()->index(row, 0));
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
    }
    void clickHeader(int column) {
        QHeaderView* header = table()->horizontalHeader();
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, Qt::NoModifier,
            QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
    }
    QTableView* table() const { return listOf(*window); }
    QLabel* status() const { return statusOf(*window); }
    QPushButton* button(const char* name) const { return control<QPushButton>(*window, name); }
    std::vector<int> widths() const {
        std::vector<int> result;
        for (int column = 0; column < CCommsLogDlg::kColumnCount; ++column)
            result.push_back(table()->horizontalHeader()->sectionSize(column));
        return result;
    }

    CTempFolder temp{"vantrel_logwin"};
    fs::path folder = temp.path();
    CCommsLogStore store;
    std::atomic<std::int32_t> logEnabled{1};
    std::unique_ptr<CQtMessageTarget> opener;
    std::vector<unsigned> received;
    QPointer<CCommsLogWindow> window;
};

TEST_F(CommsLogWindow, ListsInBatchesWithItsTextsAndColumns) {
    for (int i = 0; i < 1000; ++i)
        addRecord(CommsLogType::Tx, {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD});
    open();
    QAbstractItemModel* model = table()->model();
    EXPECT_EQ(window->windowTitle(), "Communications Log");
    const std::pair<const char*, const char*> buttonTexts[] = {{"refresh", "&Refresh"},
                                                               {"saveToFile", "&Save to File"},
                                                               {"clearLog", "Clear &Log"},
                                                               {"cancel", "&Cancel"}};
    for (const auto& [name, buttonText] : buttonTexts)
        EXPECT_EQ(button(name)->text(), buttonText);
    const char* titles[] = {"Index", "Time", "Type", "Size", "Message"};
    for (int column = 0; column < 5; ++column)
        EXPECT_EQ(model->headerData(column, Qt::Horizontal).toString(), titles[column]);
    EXPECT_FALSE(button("refresh")->isEnabled());
    EXPECT_TRUE(button("cancel")->isEnabled());
    EXPECT_EQ(model->rowCount(), 0);

    ASSERT_TRUE(waitUntil([&] { return model->rowCount() == 400; }));
    EXPECT_TRUE(button("refresh")->isEnabled());
    ASSERT_TRUE(listed());
    EXPECT_EQ(model->rowCount(), 1000);
    EXPECT_EQ(model->index(999, 0).data().toString(), "999");
    EXPECT_EQ(model->index(999, 4).data().toString(), "01 03 00 00 00 0A C5 CD ");
    EXPECT_TRUE(table()->selectionBehavior() == QAbstractItemView::SelectRows);
    EXPECT_FALSE(control<QTimer>(*window, "batchTimer")->isActive());
}

TEST_F(CommsLogWindow, ColumnWidthsAlternateAtEachResize) {
    open();
    ASSERT_TRUE(listed());
    // The design's sets, widened where a text of the first four columns would be cut off.
    // The Message column takes what is left, keeping a scroll bar's room free.
    const auto expect = [this](bool narrow) {
        QTableView* list = table();
        const int inside = list->width() - 2 * list->frameWidth() -
                           list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
        const auto set = CCommsLogDlg::columnWidths(inside, narrow);
        const std::vector<int> shown = widths();
        for (std::size_t column = 0; column < 4; ++column)
            EXPECT_GE(shown[column], set[column]) << narrow << column;
        EXPECT_EQ(std::accumulate(shown.begin(), shown.end(), 0), inside) << narrow;
    };
    window->resize(window->width() + 40, window->height() + 20);
    QCoreApplication::processEvents();
    expect(true);
    window->resize(window->width() + 40, window->height());
    QCoreApplication::processEvents();
    expect(false);
    // The list keeps its margins and the buttons stay in one row under it.
    const QRect list = table()->geometry();
    EXPECT_EQ(list.left(), 10);
    EXPECT_EQ(list.top(), 11);
    EXPECT_EQ(window->width() - list.right() - 1, 10);
    const QRect cancel = button("cancel")->geometry();
    EXPECT_EQ(button("refresh")->geometry().top(), cancel.top());
    EXPECT_GT(cancel.top(), status()->geometry().bottom());
    EXPECT_LE(cancel.bottom(), window->height());
}

// A Modbus/TCP request of 12 bytes shows whole when the window opens; the list follows the
// newest record unless the user has scrolled back.
TEST_F(CommsLogWindow, OpensWithAWholeFrameAndFollowsTheNewestRecord) {
    addRecord(CommsLogType::Connected);
    for (std::uint8_t i = 0; i < 5; ++i) {
        addRecord(CommsLogType::Tx,
                  {0x00, i, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x02});
        addRecord(CommsLogType::Rx,
                  {0x00, i, 0x00, 0x00, 0x00, 0x07, 0x01, 0x03, 0x04, 0x00, 0x0A, 0xDD, 0xDD});
    }
    addError(5006);
    open();
    ASSERT_TRUE(listed());
    QTableView* list = table();
    const QHeaderView* header = list->horizontalHeader();
    const QString frame = list->model()->index(1, 4).data().toString();
    ASSERT_EQ(frame, "00 00 00 00 00 06 01 03 00 00 00 02 ");
    EXPECT_LE(list->fontMetrics().horizontalAdvance(frame) + 8, header->sectionSize(4));
    EXPECT_LE(header->sectionViewportPosition(4) + header->sectionSize(4),
              list->viewport()->width());
    saveScreenshot(*window, "comms_log_opened.png");

    const int message = header->sectionSize(4);
    window->resize(window->width() + 200, window->height());
    QCoreApplication::processEvents();
    EXPECT_GE(header->sectionSize(4), message + 150);
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0);

    // At the bottom the list follows the log; scrolled back, it stays.
    QScrollBar* bar = list->verticalScrollBar();
    const auto refreshWith = [&](int records) {
        for (int i = 0; i < records; ++i)
            addRecord(CommsLogType::Tx, {0x01, 0x03});
        button("refresh")->click();
        QCoreApplication::processEvents();
    };
    refreshWith(30);
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(0);
    refreshWith(30);
    EXPECT_EQ(bar->value(), 0);
    bar->setValue(bar->maximum());
    refreshWith(1);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_TRUE(list->viewport()->rect().intersects(
        list->visualRect(list->model()->index(list->model()->rowCount() - 1, 0))));

    // A frame longer than the window is wide is never cut: the list scrolls sideways to it.
    addRecord(CommsLogType::Rx, std::vector<std::uint8_t>(80, 0xAB));
    button("refresh")->click();
    QCoreApplication::processEvents();
    const QString longFrame =
        list->model()->index(list->model()->rowCount() - 1, 4).data().toString();
    EXPECT_LE(list->fontMetrics().horizontalAdvance(longFrame), header->sectionSize(4));
    EXPECT_GT(list->horizontalScrollBar()->maximum(), 0);
}

TEST_F(CommsLogWindow, SessionSortsAndMeasuresTheTimeBetweenTwoRows) {
    addSession();
    open();
    ASSERT_TRUE(listed());
    // No text of the first four columns is cut off, at the opening size or a larger one.
    QAbstractItemModel* model = table()->model();
    const QFontMetrics metrics = table()->fontMetrics();
    const auto checkNothingCutOff = [&] {
        for (int row = 0; row < model->rowCount(); ++row)
            for (int column = 0; column < 4; ++column)
                EXPECT_LT(metrics.horizontalAdvance(model->index(row, column).data().toString()),
                          table()->horizontalHeader()->sectionSize(column))
                    << row << "/" << column;
    };
    checkNothingCutOff();
    window->resize(980, 560);
    QCoreApplication::processEvents();
    checkNothingCutOff();
    saveScreenshot(*window, "comms_log.png");

    CCommsLogDlg::lastSort = {};
    clickHeader(2);
    EXPECT_EQ(model->index(0, 2).data().toString(), "CONNECTED");
    EXPECT_EQ(model->index(model->rowCount() - 1, 2).data().toString(), "UNKNOWN LOG: ");
    saveScreenshot(*window, "comms_log_sorted.png");
    clickHeader(2);
    EXPECT_EQ(model->index(0, 2).data().toString(), "UNKNOWN LOG: ");
    clickHeader(0);
    EXPECT_EQ(model->index(0, 0).data().toString(), "0");

    clickRow(3);
    clickRow(7, Qt::ControlModifier);
    ASSERT_TRUE(waitUntil([&] { return status()->text().startsWith("Item 003"); }));
    const CCommsLogRecord* first = store.record(3);
    const CCommsLogRecord* second = store.record(7);
    const double seconds =
        (second->time - first->time) + (second->milliseconds - first->milliseconds) * 0.001;
    EXPECT_EQ(status()->text().toStdString(), formatString(10514, 3, 7, seconds));
    EXPECT_TRUE(status()->isVisible());
    saveScreenshot(*window, "comms_log_time_difference.png");
    clickRow(5);
    ASSERT_TRUE(waitUntil([&] { return !status()->isVisible(); }));
}

TEST_F(CommsLogWindow, SavesTheReportAndWaitsForTheViewerWithoutFreezing) {
    for (int i = 0; i < 1000; ++i)
        addRecord(CommsLogType::Rx, {0x01, 0x03, 0x02, 0x00, 0x07});
    const fs::path script = folder / "viewer.sh";
    std::ofstream(script) << "#!/bin/sh\ncp \"$1\" \"$1.viewed\"\nsleep 1\n";
    fs::permissions(script, fs::perms::owner_all);
    setenv("VANTREL_VIEWER", script.c_str(), 1);
    open();
    ASSERT_TRUE(waitUntil([&] { return table()->model()->rowCount() == 400; }));

    const fs::path report = folder / "VantrelLog.txt";
    {
        ModalAnswers answers(true, QString::fromStdString(folder / "VantrelLog"));
        button("saveToFile")->click();
        EXPECT_TRUE(answers.messages.empty());
    }
    // The default suffix is added; the report holds every record, not only the listed batch.
    ASSERT_TRUE(fs::exists(report));
    EXPECT_EQ(table()->model()->rowCount(), 1000);
    EXPECT_NE(std::ifstream(report).rdbuf() ? fs::file_size(report) : 0, 0u);
    ASSERT_TRUE(waitUntil([&] { return fs::exists(folder / "VantrelLog.txt.viewed"); }));
    // While the viewer runs the window answers events but keeps its buttons disabled.
    bool ticked = false;
    QTimer::singleShot(50, window, [&] { ticked = true; });
    ASSERT_TRUE(waitUntil([&] { return ticked; }, 900));
    EXPECT_FALSE(button("saveToFile")->isEnabled());
    EXPECT_TRUE(button("cancel")->isEnabled());
    EXPECT_TRUE(waitUntil([&] { return button("saveToFile")->isEnabled(); }));
}

TEST_F(CommsLogWindow, SaveFailuresShowTheirMessages) {
    open();
    ASSERT_TRUE(listed());
    {
        ModalAnswers answers(false, QString::fromStdString(folder / "missing" / "VantrelLog.txt"));
        button("saveToFile")->click();
        EXPECT_EQ(answers.messages,
                  std::vector<std::string>{"File Error on Write: No such file or directory"});
        EXPECT_TRUE(button("saveToFile")->isEnabled());
    }
    // Saved, but without a viewer the offscreen desktop cannot show it: the message names it.
    const std::string report = folder / "VantrelLog.txt";
    ModalAnswers answers(false, QString::fromStdString(report));
    button("saveToFile")->click();
    EXPECT_TRUE(fs::exists(report));
    ASSERT_EQ(answers.messages.size(), 1u);
    EXPECT_NE(answers.messages[0].find(report), std::string::npos) << answers.messages[0];
    EXPECT_TRUE(button("saveToFile")->isEnabled());
}

TEST_F(CommsLogWindow, ClearLogEmptiesTheStoreAndTheList) {
    addSession();
    open();
    ASSERT_TRUE(listed());
    button("clearLog")->click();
    EXPECT_EQ(store.count(), 0);
    EXPECT_EQ(table()->model()->rowCount(), 0);
    EXPECT_EQ(logEnabled.load(), 1);
    addRecord(CommsLogType::Connected);
    button("refresh")->click();
    EXPECT_EQ(table()->model()->index(0, 0).data().toString(), "0");
}

TEST_F(CommsLogWindow, CancelAndEscapeCloseAndTellTheOpener) {
    open();
    button("cancel")->click();
    ASSERT_TRUE(waitUntil([&] { return window.isNull(); }));
    EXPECT_EQ(received, std::vector<unsigned>{WM_COMMSLOG_CLOSED});
    open();
    QTest::keyClick(window, Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return window.isNull(); }));
    EXPECT_EQ(received, (std::vector<unsigned>{WM_COMMSLOG_CLOSED, WM_COMMSLOG_CLOSED}));
}

// Without a configured viewer the desktop's program takes the help, the release notes and the
// saved report: a recording xdg-open stands first on PATH. Qt asks xdg-open only on a real
// display, so ctest runs this on Xvfb; on the offscreen platform it is skipped.
TEST(DesktopHandler, TakesWhatNoViewerIsConfiguredFor) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "the offscreen platform hands no file to the desktop";
    const CTempFolder temp("vantrel_desktop");
    const fs::path folder = temp.path();
    fs::create_directory(folder / "bin");
    std::ofstream(folder / "bin" / "xdg-open") << "#!/bin/sh\necho \"$1\" >>" << folder / "opened"
                                               << "\n";
    fs::permissions(folder / "bin" / "xdg-open", fs::perms::owner_all);
    const std::string path = std::getenv("PATH");
    setenv("PATH", (folder.string() + "/bin:" + path).c_str(), 1);
    unsetenv("VANTREL_VIEWER");
    setenv("VANTREL_SETTINGS", (folder / "VNTLSettings.dat").c_str(), 1);
    // The handlers run on their own, so they may finish in any order.
    const auto opened = [&folder] {
        std::vector<std::string> lines;
        std::ifstream file(folder / "opened");
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    const auto url = [](const std::string& file) {
        return QUrl::fromLocalFile(QString::fromStdString(file)).toEncoded().toStdString();
    };
    {
        CRecordingMessageBox messages;
        CShellUnderTest program(messages);
        ASSERT_TRUE(program.app.initInstance());
        ASSERT_TRUE(program.create());
        const CVantrelApp& app = program.app;
        CVantrelShell& shell = program.shell;
        shell.view()->runCommand(Command::HelpTopics);
        shell.view()->runCommand(Command::ReleaseNotes);
        EXPECT_TRUE(waitUntil([&] { return opened().size() == 2; }));

        shell.view()->runCommand(Command::CommsLog);
        auto* window = qobject_cast<CCommsLogWindow*>(shell.view()->commsLogWindow());
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(waitUntil([&] { return statusOf(*window)->text() == "Display Complete"; }));
        QPushButton* save = control<QPushButton>(*window, "saveToFile");
        {
            ModalAnswers answers(false, QString::fromStdString(folder / "VantrelLog.txt"));
            save->click();
            EXPECT_TRUE(answers.messages.empty());
        }
        EXPECT_TRUE(waitUntil([&] { return opened().size() == 3; }));
        EXPECT_TRUE(save->isEnabled());
        std::vector<std::string> expected = {url(app.helpDocumentPath()),
                                             url(app.releaseNotesPath()),
                                             url(folder / "VantrelLog.txt")};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(opened(), expected);
        EXPECT_TRUE(messages.messages.empty());
        shell.close();
    }
    setenv("PATH", path.c_str(), 1);
    unsetenv("VANTREL_SETTINGS");
}

// The View menu opens the window over the document's log, at most one at a time.
TEST(CommsLogFromTheView, OpensOneWindowOverTheDocumentsLog) {
    const CTempFolder temp("vantrel_logview");
    const fs::path folder = temp.path();
    setenv("VANTREL_SETTINGS", (folder / "VNTLSettings.dat").c_str(), 1);
    {
        CQtMessageBox messageBox;
        CShellUnderTest program(messageBox);
        ASSERT_TRUE(program.app.initInstance());
        ASSERT_TRUE(program.create());
        CVantrelShell& shell = program.shell;
        shell.document()->addLogRecord(CommsLogType::Connected, 0, nullptr);

        shell.view()->runCommand(Command::CommsLog);
        auto* window = qobject_cast<CCommsLogWindow*>(shell.view()->commsLogWindow());
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(waitUntil([&] { return listOf(*window)->model()->rowCount() == 1; }));
        shell.view()->runCommand(Command::CommsLog);
        EXPECT_EQ(shell.view()->commsLogWindow(), window);
        window->close();
        EXPECT_TRUE(waitUntil([&] { return shell.view()->commsLogWindow() == nullptr; }));
        shell.close();
    }
    unsetenv("VANTREL_SETTINGS");
}

} // namespace
