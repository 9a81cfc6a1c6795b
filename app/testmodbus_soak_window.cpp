// The Test window's soak options beside Repeat, and the Register Table it opens and feeds.

#include "app/qt_form.h"
#include "app/qt_text.h"
#include "app/qt_tool_window.h"
#include "app/register_table_window.h"
#include "app/testmodbus_window.h"
#include "resources/string_ids.h"
#include "windows/vantrel_doc.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

namespace {

// The longest pause between requests: an hour.
constexpr int kMaxRepeatIntervalMs = 3600000;

} // namespace

void CTestModbusWindow::buildSoakWidgets() {
    registers_ = named(new QPushButton(qText(kIdsRegTableButton), this), "registers");
    registers_->setAutoDefault(false);
    repeatInterval_ = named(new QSpinBox(this), "repeatInterval");
    repeatInterval_->setRange(0, kMaxRepeatIntervalMs);
    repeatInterval_->setSingleStep(100);
    keepRepeating_ = named(new QCheckBox(qText(kIdsTestKeepRepeating), this), "keepRepeating");
    repeatTimer_ = new QTimer(this);
    repeatTimer_->setSingleShot(true);
    connect(repeatTimer_, &QTimer::timeout, this,
            [this] { runEvent(&CTestModbusDlg::onRepeatTimer); });
}

void CTestModbusWindow::addSoakControls(QHBoxLayout* row) {
    auto* label = new QLabel(qText(kIdsTestRepeatInterval), this);
    label->setBuddy(repeatInterval_);
    row->addWidget(label);
    row->addWidget(repeatInterval_);
    row->addSpacing(12);
    row->addWidget(keepRepeating_);
}

void CTestModbusWindow::collectSoakOptions() {
    logic_.form.repeatIntervalMs = repeatInterval_->value();
    logic_.form.keepRepeating = keepRepeating_->isChecked();
}

void CTestModbusWindow::applySoakOptions() {
    // The options hold for the run under way: they change only between runs.
    repeatInterval_->setEnabled(!logic_.repeating());
    keepRepeating_->setEnabled(!logic_.repeating());
    statistics_->setToolTip(qText(testFailureBreakdown(logic_.failuresByResult())));
}

bool CTestModbusWindow::startRepeatTimer(std::uint32_t ms) {
    repeatTimer_->start(static_cast<int>(ms));
    return true;
}

void CTestModbusWindow::openRegisterTable() {
    showToolWindow(registerTableWindow_, [this]() -> QWidget* {
        auto* window = new CRegisterTableWindow(document_.readFeed, nullptr, this);
        window->show();
        return window;
    });
}

void CTestModbusWindow::publishReadOutcome() {
    if (std::optional<ReadOutcome> outcome = logic_.takeReadOutcome())
        document_.readFeed.publish(*outcome);
}
