// The view's link watchdog as it runs in the program: a Modbus/TCP unit that drops an idle link
// is noticed on the watchdog's own timer, disconnected, reconnected and used again.

#include "app/main_frame.h"
#include "comms/comms_context.h"
#include "shell_test_support.h"
#include "window_test_support.h"

#include <algorithm>
#include <atomic>

namespace {

const bool environmentRegistered =
    (::testing::AddGlobalTestEnvironment(new CQtTestEnvironment("test_link_watchdog")), true);

// Whether `types` holds `wanted` in that order, other records between them allowed.
bool holdsInOrder(const std::vector<int>& types, const std::vector<CommsLogType>& wanted) {
    auto at = types.begin();
    for (const CommsLogType type : wanted) {
        at = std::find(at, types.end(), static_cast<int>(type));
        if (at == types.end())
            return false;
        ++at;
    }
    return true;
}

TEST(LinkWatchdog, ReconnectsALinkTheUnitClosedWhileIdle) {
    // The first connection is dropped on request; later ones answer every read.
    std::atomic<int> connections{0};
    CEvent dropLink;
    CFakeUnit unit([&](CUnitLink& link) {
        if (connections++ == 0) {
            dropLink.wait(20000);
            return;
        }
        link.answerEach([](const Bytes& r) { return tcpAnswer(r, {3, 4, 0, 7, 0, 10}); }, 20000);
    });
    CTempSettings settings;
    ASSERT_TRUE(settings.valid());
    setenv("VANTREL_SETTINGS", settings.file.path.c_str(), 1);
    CRecordingMessageBox messages;
    CShellUnderTest program(messages);
    CVantrelApp& app = program.app;
    ASSERT_TRUE(app.initInstance());
    app.settings().removeAll();
    app.settings().append(tcpLocation("Unit", unit.port()));
    app.settings().lastLocationName = "Unit";
    ASSERT_TRUE(program.create());
    CVantrelShell& shell = program.shell;
    shell.show();
    CVantrelDoc& document = *shell.document();
    CCommsContext& context = document.context();
    const auto logTypes = [&context] {
        std::vector<int> types;
        for (int i = 0; i < context.engine.logRecords.count(); ++i)
            types.push_back(context.engine.logRecords.record(i)->type);
        return types;
    };

    ASSERT_TRUE(connectFromMenu(document, app.settings(), program.dialogs, messages));
    ASSERT_TRUE(shell.view()->watchdogActive());
    dropLink.set();

    // The watchdog's reconnect opens the Connect dialog, which closes by itself once connected;
    // should it fail, the user cancels it and closes what else comes up, so the wait stays bounded.
    CModalUser user([](QWidget& window) {
        auto* connect = qobject_cast<CConnectWindow*>(&window);
        if (connect == nullptr)
            window.close();
        else if (control<QPushButton>(*connect, "connect")->isEnabled())
            control<QPushButton>(*connect, "cancel")->click();
    });
    EXPECT_TRUE(waitUntil(
        [&] {
            return holdsInOrder(logTypes(), {CommsLogType::Connected, CommsLogType::Disconnected,
                                             CommsLogType::Reconnected});
        },
        3 * CViewCommands::kWatchdogMs));
    EXPECT_EQ(document.online, 1);
    EXPECT_EQ(connections.load(), 2);
    saveScreenshot(*shell.frame(), "link_watchdog_reconnected.png");

    {
        CSubmitter submitter;
        const Bytes request = tcpRequest(1, 3, {0, 0, 0, 2});
        ASSERT_EQ(submitter.submit(context.engine, request), 0);
        const auto result = submitter.result();
        ASSERT_TRUE(result);
        EXPECT_EQ(result->lParam, 0);
        EXPECT_EQ(submitter.received(), tcpAnswer(request, {3, 4, 0, 7, 0, 10}));
    }
    shell.close();
    unsetenv("VANTREL_SETTINGS");
}

} // namespace
