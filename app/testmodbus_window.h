#pragma once

#include "app/qt_message_box.h"
#include "platform/window_messages.h"
#include "windows/testmodbus_dlg.h"

#include <QDialog>
#include <QPointer>
#include <memory>

class CLikelyCauseLine;
class CQtMessageTarget;
class CVantrelDoc;
class IAppDialogs;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

// The Test Modbus Communications window: binds its widgets to CTestModbusDlg and forwards the
// operator's events and the comms thread's results to it.
class CTestModbusWindow final : public QDialog, private ITestModbusHost {
public:
    // `messageBox` shows the dialog's messages; null shows them in message boxes over the dialog.
    CTestModbusWindow(CVantrelDoc& document, IAppDialogs& dialogs, CTestModbusDlg::Setup setup,
                      IMessageBox* messageBox = nullptr, QWidget* parent = nullptr);
    ~CTestModbusWindow() override;
    CTestModbusWindow(const CTestModbusWindow&) = delete;
    CTestModbusWindow& operator=(const CTestModbusWindow&) = delete;

    CTestModbusDlg& logic() { return logic_; }
    WindowHandle handle() const;

    // Cancel and Escape.
    void reject() override;
    // Save Step: appends the request on screen, with the values last received as its expected
    // values, to the sequence file at `path`. False after the message of a refusal or failure.
    bool saveStepTo(const std::string& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildWidgets();
    void buildLayout();
    void connectSignals();
    void collectForm();
    void applyForm();
    void applyLayoutState();
    void applyButtons();
    void runEvent(void (CTestModbusDlg::*handler)());
    LParam onWindowMessage(unsigned message, WParam wParam, LParam lParam);
    void openConvertor();
    void openCommsLog();
    void changeTemporarySettings();
    void saveStep();

    void showMessage(const std::string& text) override;
    void setFocus(TestField field) override;
    int queueRequest(std::uint8_t* request, const std::uint16_t* requestLength,
                     std::uint8_t* response, std::uint16_t* responseLength) override;
    void postStatusRefresh() override;
    void abortCurrentJob() override;
    void dropQueuedJobs() override;
    std::string unknownErrorText() override;
    std::uint32_t tickCount() override;
    CCommsLogStore* commsLog() override;
    int baudRate() override;

    CVantrelDoc& document_;
    IAppDialogs& dialogs_;
    CWindowMessageBox messageBox_;
    MediaType mediaType_;
    CTestModbusDlg logic_;
    bool applying_ = false;

    QRadioButton* rtu_ = nullptr;
    QRadioButton* ascii_ = nullptr;
    QRadioButton* tcp_ = nullptr;
    QButtonGroup* modbusType_ = nullptr;
    QComboBox* addressing_ = nullptr;
    QSpinBox* modbusId_ = nullptr;
    QComboBox* function_ = nullptr;
    QLineEdit* userFunction_ = nullptr;
    QLabel* dataTypeLabel_ = nullptr;
    QComboBox* dataType_ = nullptr;
    QLabel* startLabel_ = nullptr;
    QLineEdit* start_ = nullptr;
    QLabel* quantityLabel_ = nullptr;
    QLineEdit* quantity_ = nullptr;
    QLabel* stringSizeLabel_ = nullptr;
    QLineEdit* stringSize_ = nullptr;
    QLabel* dataValuesLabel_ = nullptr;
    QPlainTextEdit* dataValues_ = nullptr;
    QLabel* checkLabel_ = nullptr;
    QComboBox* checkMode_ = nullptr;
    QLineEdit* checkValue_ = nullptr;
    QPlainTextEdit* transmitFrame_ = nullptr;
    QPlainTextEdit* receiveFrame_ = nullptr;
    QPushButton* transmit_ = nullptr;
    QPushButton* repeat_ = nullptr;
    QPushButton* convertor_ = nullptr;
    QPushButton* commsLog_ = nullptr;
    QPushButton* temporarySettings_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* statistics_ = nullptr;
    CLikelyCauseLine* likelyCause_ = nullptr;
    QPushButton* saveStep_ = nullptr;

    QPointer<QWidget> convertorWindow_;
    QPointer<QWidget> commsLogWindow_;
    // Last, so that it unregisters before anything a result would touch goes away.
    std::unique_ptr<CQtMessageTarget> target_;
};
