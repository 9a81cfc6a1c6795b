#pragma once

#include "platform/window_messages.h"
#include "windows/commands.h"
#include "windows/status_bar.h"

#include <QMainWindow>
#include <map>
#include <memory>

class QAction;
class QLabel;
class QTimer;
class QToolBar;
class CQtMessageTarget;
class CVantrelDoc;

// The main window: menu bar, toolbar, and the three-pane status bar with the connection
// description and the transmit and receive indicators.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    CMainFrame();
    ~CMainFrame() override;

    // The document whose connection the status bar describes (null: none).
    void setDocument(CVantrelDoc* document) { document_ = document; }

    // The handle that WM_STATUS_REFRESH, WM_TX_ACTIVITY and WM_RX_ACTIVITY are posted to.
    WindowHandle handle() const;

    // The menu and toolbar action of a command.
    QAction* action(Command command) const;
    QToolBar* toolBar() const { return toolBar_; }

    // Enables the commands by the connection state and checks Log Communications.
    void updateCommandStates();

    // Rebuilds the connection pane and starts or stops the indicator timer.
    void refreshStatus();

    QString paneText(int pane) const;
    bool indicatorTimerActive() const;
    // The frame each indicator shows (0 unlit, 1 lit).
    int transmitFrame() const { return transmitFrame_; }
    int receiveFrame() const { return receiveFrame_; }
    const CActivityIndicator& transmitIndicator() const { return transmit_; }
    const CActivityIndicator& receiveIndicator() const { return receive_; }

    // Advances both indicator blinks by one tick.
    void indicatorTick();

protected:
    bool event(QEvent* event) override;
    // Closing the main window ends the program, even while a tool window is still open.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addCommand(const CommandEntry& entry);
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void placeIndicators();
    void showIndicatorFrame(bool transmit, int frame);
    LParam onMessage(unsigned message, WParam wParam, LParam lParam);

    CVantrelDoc* document_ = nullptr;
    std::map<Command, QAction*> actions_;
    QToolBar* toolBar_ = nullptr;
    QLabel* messagePane_ = nullptr;
    QWidget* indicatorPane_ = nullptr;
    QLabel* connectionPane_ = nullptr;
    QLabel* transmitLabel_ = nullptr;
    QLabel* receiveLabel_ = nullptr;
    QTimer* indicatorTimer_ = nullptr;
    CActivityIndicator transmit_;
    CActivityIndicator receive_;
    int transmitFrame_ = 0;
    int receiveFrame_ = 0;
    std::unique_ptr<CQtMessageTarget> messageTarget_;
};
