#pragma once

#include "app/app_dialogs.h"
#include "platform/window_messages.h"
#include "windows/commands.h"
#include "windows/view_commands.h"

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

class QTimer;
class CMainFrame;
class CQtMessageTarget;

// The view: an empty form that carries the commands of the menu bar and toolbar, the watchdog,
// and the two modeless tool windows.
class CVantrelView : public QWidget {
    Q_OBJECT

public:
    struct Paths {
        std::string releaseNotes;
        std::string helpDocument;
    };

    CVantrelView(CVantrelDoc& document, CSettingsFile& settings, CMainFrame& frame,
                 IAppDialogs& dialogs, IMessageBox& messageBox, Paths paths);
    // Runs the disconnect sequence, so that a call is hung up and the port and socket are
    // closed before the document goes.
    ~CVantrelView() override;

    // Refreshes the status bar, shows the splash and starts the watchdog.
    void onInitialUpdate();

    // Runs a command as its menu item would.
    void runCommand(Command command);

    CViewCommands& commands() { return commands_; }
    WindowHandle handle() const;
    QWidget* commsLogWindow() const { return commsLogWindow_; }
    QWidget* convertorWindow() const { return convertorWindow_; }
    bool watchdogActive() const;
    // The hint of the next step that the empty form shows.
    QString hintText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LParam onMessage(unsigned message, WParam wParam, LParam lParam);

    CVantrelDoc& document_;
    CMainFrame& frame_;
    IAppDialogs& dialogs_;
    CViewCommands commands_;
    Paths paths_;
    QTimer* watchdog_ = nullptr;
    QPointer<QWidget> commsLogWindow_;
    QPointer<QWidget> convertorWindow_;
    std::unique_ptr<CQtMessageTarget> messageTarget_;
};
