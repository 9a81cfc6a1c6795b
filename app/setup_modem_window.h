#pragma once

#include "windows/setup_modem_dlg.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

// "Setup Modem": the modem's initialization string and its three times.
class CSetupModemWindow : public QDialog {
    Q_OBJECT

public:
    explicit CSetupModemWindow(const ModemValues& values, QWidget* parent = nullptr);
    const ModemValues& values() const { return logic_.values(); }
    void accept() override;

    QLineEdit* initStringEdit = nullptr;
    QLineEdit* connectTimeoutEdit = nullptr;
    QLineEdit* redialWaitEdit = nullptr;
    QLineEdit* disconnectAfterEdit = nullptr;
    QPushButton* defaultsButton = nullptr;
    QPushButton* okButton = nullptr;

private:
    void showValues();
    void readValues();
    QLineEdit* fieldWidget(EditorField field) const;

    CSetupModemDlg logic_;
};
