#pragma once

#include "comms/modem_commands.h"
#include "comms/modem_hangup.h"

#include <QDialog>
#include <memory>

class CQtMessageTarget;
class CVantrelDoc;
class QLabel;
class QTimer;

// "Disconnecting Modem...": hangs the modem up and closes by itself when the modem is on hook.
// It has no buttons, and Enter, Escape and the close button are ignored, so only the hang-up
// sequence ends it.
class CModemHangUpWindow : public QDialog, private IModemHangUpObserver {
    Q_OBJECT

public:
    CModemHangUpWindow(CVantrelDoc& document, QWidget* parent = nullptr);
    ~CModemHangUpWindow() override;

    QString statusText() const;
    QString modemResponseText() const;

    // Timer 2: one tick, a second after the dialog opens.
    static constexpr int kTimerHangUpMs = 1000;

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void statusText(const std::string& text) override;
    void modemResponse(const std::string& line) override;
    void stopTimer() override;
    void hungUp() override;

    CVantrelDoc& document_;
    CEngineModemJobs jobs_;
    QLabel* status_ = nullptr;
    QLabel* response_ = nullptr;
    QTimer* timer_ = nullptr;
    // The sequence owns the buffers the comms thread fills; the message target is declared after
    // it so that it unregisters, and nothing more is written there, before the buffers go.
    std::unique_ptr<CModemHangUp> hangUp_;
    std::unique_ptr<CQtMessageTarget> target_;
};
