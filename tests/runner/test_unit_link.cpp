// vantrel-run's link to a modem location, on the real engine and a fake modem on a
// pseudo-terminal: a call that did not connect, and the end of a run, leave the modem on hook.

#include "comms/comms_context.h"
#include "config/settings_file.h"
#include "platform/message_queue.h"
#include "runner/unit_link.h"
#include "tests/support/fake_modem.h"
#include "tests/support/row_names.h"
#include "windows/vantrel_doc.h"

#include <gtest/gtest.h>

namespace {

using vantrel_test::PrintTo;

class CSilentBox : public IMessageBox {
public:
    void showMessage(const std::string&) override {}
};

struct LinkRow {
    const char* name;
    std::string dialAnswer;
    bool connects;
};

class ModemLink : public ::testing::TestWithParam<LinkRow> {};

TEST_P(ModemLink, LeavesTheModemOnHook) {
    const LinkRow& row = GetParam();
    CPtyPair line;
    ASSERT_TRUE(line.valid());
    CTempPortsDir ports;
    ports.link("COM4", line.slavePath());
    CFakeModem modem(line, {.dialAnswers = {row.dialAnswer}});
    CVantrelDoc document;
    CSilentBox box;
    ASSERT_TRUE(document.onNewDocument(box));
    CSettingsFile settings;
    CLocation location(kMediaCodeModem);
    location.name = "Pump";
    location.portName = "COM4";
    location.number = "5551234";
    location.retries = 0;
    location.time2 = 150;
    settings.append(location);
    CMessageQueue queue;
    CUnitLink link(document, settings, queue);
    const std::atomic<bool> interrupt{false};

    const std::string failure = link.connect("Pump", interrupt);
    EXPECT_EQ(failure.empty(), row.connects) << failure;
    EXPECT_EQ(document.modemConnected(), row.connects);
    link.disconnect();

    const std::vector<std::string> commands = modem.commands();
    ASSERT_GE(commands.size(), 2U);
    EXPECT_EQ(commands[commands.size() - 2], "+++");
    EXPECT_EQ(commands.back(), "ATH");
    EXPECT_FALSE(document.modemConnected());
    EXPECT_EQ(document.online, 0);
    EXPECT_FALSE(document.context().serialPort.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Calls, ModemLink,
                         ::testing::Values(LinkRow{"Connected", "CONNECT 9600", true},
                                           LinkRow{"NoCarrier", "NO CARRIER", false}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
