#pragma once

#include "app/qt_message_box.h"
#include "windows/find_unit_dlg.h"

#include <QDialog>
#include <array>
#include <map>
#include <memory>

class CIpAddressEdit;
class CQtMessageTarget;
class CSettingsFile;
class CVantrelDoc;
class IPortSource;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTimer;
class QTreeWidget;

// "Find Unit": the sweep's settings, its progress with Pause and Cancel, and the units found, from
// which Create Location opens the location editor prefilled. The widgets only show what
// CFindUnitDlg decides.
class CFindUnitWindow : public QDialog, private IFindUnitView {
    Q_OBJECT

public:
    // `messageBox` shows the messages; null: message boxes over this window.
    CFindUnitWindow(CVantrelDoc& document, CSettingsFile& settings, IPortSource& ports,
                    IMessageBox* messageBox = nullptr, QWidget* parent = nullptr);
    ~CFindUnitWindow() override;

    CFindUnitDlg& logic() { return *logic_; }
    // Copies the controls into the form and starts the sweep, or focuses the refused field.
    void start();
    // Create Location for the selected result (the first when none is selected).
    void createLocation();
    // Closing cancels a sweep still running.
    void reject() override;

    QRadioButton* serialButton = nullptr;
    QRadioButton* tcpButton = nullptr;
    QComboBox* portList = nullptr;
    QCheckBox* rtuCheck = nullptr;
    QCheckBox* asciiCheck = nullptr;
    std::array<QCheckBox*, kBaudIndexCount> baudChecks{};
    std::array<QCheckBox*, kParityIndexCount> parityChecks{};
    std::array<QCheckBox*, kStopBitsIndexCount> stopBitsChecks{};
    CIpAddressEdit* addressEdit = nullptr;
    QLineEdit* tcpPortEdit = nullptr;
    QLineEdit* otherPortsEdit = nullptr;
    QCheckBox* modbusTcpCheck = nullptr;
    QCheckBox* rtuOverTcpCheck = nullptr;
    QLineEdit* firstIdEdit = nullptr;
    QLineEdit* lastIdEdit = nullptr;
    QLineEdit* timeoutEdit = nullptr;
    QCheckBox* stopAtFirstCheck = nullptr;
    QLabel* lengthLabel = nullptr;
    QProgressBar* progressBar = nullptr;
    QLabel* progressLabel = nullptr;
    QLabel* activityLabel = nullptr;
    QTreeWidget* resultList = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* pauseButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* createButton = nullptr;
    QPushButton* closeButton = nullptr;

private:
    QWidget* buildSerialPage();
    QWidget* buildTcpPage();
    QWidget* buildCommonFields();
    QWidget* buildProgress();
    void buildButtons();
    void fillPorts();
    void readForm();
    void showForm();
    void mediumChanged();
    void formChanged();
    void pauseOrResume();
    QWidget* fieldWidget(FindField field) const;

    // IFindUnitView
    void sweepChanged() override;
    void messageBox(const std::string& text) override;
    void startConnectTicks() override;
    void stopConnectTicks() override;

    CSettingsFile& settings_;
    IPortSource& ports_;
    CWindowMessageBox messageBox_;
    QStackedWidget* pages_ = nullptr;
    QTimer* connectTimer_ = nullptr;
    int shownResults_ = 0;
    bool showing_ = false;
    // The logic owns the buffers the comms thread fills; the message target is declared after it
    // so that it unregisters before they go.
    std::unique_ptr<CFindUnitDlg> logic_;
    std::unique_ptr<CQtMessageTarget> target_;
};
