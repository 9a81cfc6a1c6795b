#pragma once

#include "app/qt_message_box.h"
#include "windows/temp_comms_dlg.h"

#include <QDialog>
#include <memory>

class QLabel;
class QLineEdit;

// "Change Communications Parameters": Time 1, Time 2 and Retries of the connection in use.
class CTempCommsWindow : public QDialog {
    Q_OBJECT

public:
    // `messageBox` shows the field checks; null: message boxes over this dialog.
    CTempCommsWindow(MediaType mediaType, int retries, int time1, int time2,
                     IMessageBox* messageBox = nullptr, QWidget* parent = nullptr);
    ~CTempCommsWindow() override;

    // The values taken on OK (the given ones until then).
    int retries() const { return logic_.retries; }
    int time1() const { return logic_.time1; }
    int time2() const { return logic_.time2; }

    QString time1Label() const;
    QString time2Label() const;

    void accept() override;

private:
    QLineEdit* fieldWidget(CTempCommsDlg::Field field) const;

    CTempCommsDlg logic_;
    CWindowMessageBox messageBox_;
    QLabel* time1Label_ = nullptr;
    QLabel* time2Label_ = nullptr;
    QLineEdit* time1_ = nullptr;
    QLineEdit* time2_ = nullptr;
    QLineEdit* retries_ = nullptr;
};
