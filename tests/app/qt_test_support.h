#pragma once

// What every window test program shares: the Qt application, bounded waits, screenshots into the
// build tree, string-table texts and a message box that records what it was asked to show.

#include "resources/string_table.h"
#include "tests/support/texts.h"
#include "windows/message_box.h"

#include <QApplication>
#include <QDir>
#include <QThread>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// The QApplication of one test program, on the offscreen platform unless told otherwise.
class CQtTestEnvironment : public ::testing::Environment {
public:
    explicit CQtTestEnvironment(const char* name) : name_(name) {}
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        argv_[0] = name_.data();
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

private:
    std::string name_;
    int argc_ = 1;
    char* argv_[2] = {nullptr, nullptr};
    std::unique_ptr<QApplication> application_;
};

// Processes events until `done` holds or `limitMs` has passed; returns whether it held.
inline bool waitUntil(const std::function<bool()>& done, int limitMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

inline QString screenshotDirectory() {
    const QString directory = QStringLiteral(VANTREL_BINARY_DIR "/screenshots");
    QDir().mkpath(directory);
    return directory;
}

inline void saveScreenshot(QWidget& widget, const std::string& name) {
    const QString directory = screenshotDirectory();
    QCoreApplication::processEvents();
    EXPECT_TRUE(widget.grab().save(directory + "/" + QString::fromStdString(name))) << name;
}

// A control of a window by its objectName.
template <typename Control> Control* control(const QWidget& window, const char* name) {
    auto* found = window.findChild<Control*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class CRecordingMessageBox : public IMessageBox {
public:
    void showMessage(const std::string& message) override { messages.push_back(message); }
    void showWarning(const std::string& message) override {
        warnings.push_back(message);
        messages.push_back(message);
    }
    std::vector<std::string> messages;
    std::vector<std::string> warnings; // the failures among the messages
};
