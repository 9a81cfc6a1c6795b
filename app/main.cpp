#include "app/main_frame.h"
#include "app/qt_message_box.h"
#include "app/qt_view_dialogs.h"
#include "app/vantrel_app.h"
#include "app/vantrel_shell.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    // Help, the version and a mistyped option need no window, nor a display.
    if (const auto status = runWithoutWindow({argv + 1, argv + argc}, stdout, stderr))
        return *status;
    QApplication application(argc, argv);
    // Desktops match the windows to the installed menu entry and its icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vantrel.Vantrel"));
    CQtMessageBox messageBox;
    CVantrelApp app(messageBox);
    if (!app.initInstance())
        return 1;
    CQtViewDialogs dialogs(app.fileVersionMS, app.fileVersionLS);
    CVantrelShell shell(app, dialogs);
    if (!shell.create())
        return 1;
    messageBox.setParent(shell.frame());
    dialogs.setParent(shell.frame());
    dialogs.setDocument(shell.document());
    shell.show();
    const int result = QApplication::exec();
    shell.close();
    return result;
}
