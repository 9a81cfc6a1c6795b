#pragma once

#include "comms/modem_commands.h"
#include "windows/modem_hang_up_dlg.h"

#include <QDialog>
#include <memory>

class CQtMessageTarget;
class CVantrelDoc;
class QLabel;
class QTimer;

// "Disconnecting Modem...": the two lines CModemHangUpDlg writes, and nothing to press. Enter,
// Escape and the close button are ignored, so only the hang-up sequence ends it.
class CModemHangUpWindow : public QDialog, private IModemHangUpWindow {
    Q_OBJECT

public:
    CModemHangUpWindow(CVantrelDoc& document, QWidget* parent = nullptr);
    ~CModemHangUpWindow() override;

    QString statusText() const;
    QString modemResponseText() const;

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setStatusText(const std::string& text) override;
    void setModemResponse(const std::string& text) override;
    void startTimer() override;
    void stopTimer() override;
    void closeDialog() override;

    CEngineModemJobs jobs_;
    QLabel* status_ = nullptr;
    QLabel* response_ = nullptr;
    QTimer* timer_ = nullptr;
    // The logic owns the buffers the comms thread fills; the message target is declared after
    // it so that it unregisters, and nothing more is written there, before the buffers go.
    std::unique_ptr<CModemHangUpDlg> logic_;
    std::unique_ptr<CQtMessageTarget> target_;
};
