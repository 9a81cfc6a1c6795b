#pragma once

#include "app/qt_message_box.h"
#include "platform/window_messages.h"
#include "windows/number_convertor_dlg.h"

#include <QDialog>
#include <memory>
#include <optional>

class CWordOrdersGrid;
class QComboBox;
class QLineEdit;
class QPushButton;

// The Number Convertor: a modeless tool window bound to CNumberConvertorDlg, with the register
// bytes of the last conversion read in every order below its fields. It deletes itself
// when closed and, as its last act, sends WM_CONVERTOR_CLOSED to its opener.
class CNumberConvertorWindow : public QDialog, private INumberConvertorObserver {
    Q_OBJECT

public:
    // `messageBox` shows the messages of Convert; null uses a message box of the window's own.
    CNumberConvertorWindow(WindowHandle opener, const std::string& listSeparator,
                           IMessageBox* messageBox = nullptr, QWidget* parent = nullptr);
    ~CNumberConvertorWindow() override;

private:
    void messageBox(unsigned id) override;
    void focusField(ConvertorField field) override;

    // The every-order grid of the register bytes, in its box under the fields.
    QWidget* buildAllOrders();
    void onDataTypeChanged(int index);
    void fillByteOrders();
    void onConvert();

    CNumberConvertorDlg logic_;
    CWindowMessageBox messageBox_;
    std::optional<ConvertorField> pendingFocus_;
    QComboBox* dataTypes_ = nullptr;
    QComboBox* byteOrders_ = nullptr;
    QLineEdit* valueField_ = nullptr;
    QLineEdit* hexField_ = nullptr;
    QPushButton* convertButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    CWordOrdersGrid* allOrders_ = nullptr;
};
