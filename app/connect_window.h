#pragma once

#include "app/qt_message_box.h"
#include "comms/modem_commands.h"
#include "windows/connect_dlg.h"

#include <QDialog>
#include <memory>

class CQtMessageTarget;
class CSettingsFile;
class CVantrelDoc;
class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;

// "Connect to unit": the location list and the connection to the chosen location. The widgets
// only show what CConnectDlg decides; the caller looks at the document's online flag afterwards.
class CConnectWindow : public QDialog, private IConnectWindow {
    Q_OBJECT

public:
    // `messageBox` shows the failures; null: message boxes over this dialog.
    CConnectWindow(CVantrelDoc& document, CSettingsFile& settings,
                   IMessageBox* messageBox = nullptr, QWidget* parent = nullptr);
    ~CConnectWindow() override;

    // Fills the list and, when reconnecting, starts connecting. Returns false when the dialog has
    // closed already (no location).
    bool initialise();
    // initialise, then runs the dialog modally unless it has closed.
    int run();

    CConnectDlg& logic() { return *logic_; }
    // Find Unit over this dialog; the list shows any location it created.
    void findUnit();

    // Closing is refused while a connection is being made.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildWidgets();
    void fillList();
    QTimer* timer(int id) const;

    void setLocationText(const std::string& text) override;
    void setStatusText(const std::string& text) override;
    void setModemResponse(const std::string& text) override;
    void enableButtons(bool enabled) override;
    void showAbort(bool visible) override;
    void messageBox(const std::string& text) override;
    void startTimer(int id) override;
    void stopTimer(int id) override;
    void runHangUp() override;
    void closeDialog() override;

    CVantrelDoc& document_;
    CSettingsFile& settings_;
    CWindowMessageBox messageBox_;
    CEngineModemJobs jobs_;
    QTreeWidget* list_ = nullptr;
    QLabel* location_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* response_ = nullptr;
    QPushButton* connectButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* abortButton_ = nullptr;
    QPushButton* findUnitButton_ = nullptr;
    QTimer* dialingTimer_ = nullptr;
    QTimer* tcpTimer_ = nullptr;
    bool closed_ = false;
    // The logic owns the buffers the comms thread fills for the modem commands; the message
    // target is declared after it so that it unregisters before they go.
    std::unique_ptr<CConnectDlg> logic_;
    std::unique_ptr<CQtMessageTarget> target_;
};
