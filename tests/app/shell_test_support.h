#pragma once

// The program's window set as main() builds it, for the tests that drive it through its menus.

#include "app/qt_view_dialogs.h"
#include "app/vantrel_app.h"
#include "app/vantrel_shell.h"

// The application's dialogs without the start-up splash.
class CDialogsWithoutSplash : public CQtViewDialogs {
public:
    CDialogsWithoutSplash() : CQtViewDialogs(0, 0) {}
    void showSplash() override {}
};

// The application, its dialogs (no splash) and the shell. The test runs app.initInstance() and
// sets up the settings before create().
class CShellUnderTest {
public:
    explicit CShellUnderTest(IMessageBox& messages) : app(messages), shell(app, dialogs) {}

    // Creates the document, frame and view, with the dialogs over the frame and the document.
    bool create() {
        if (!shell.create())
            return false;
        dialogs.setParent(shell.frame());
        dialogs.setDocument(shell.document());
        return true;
    }

    CVantrelApp app;
    CDialogsWithoutSplash dialogs;
    CVantrelShell shell;
};
