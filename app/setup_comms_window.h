#pragma once

#include "windows/setup_comms_dlg.h"

#include <QDialog>
#include <array>
#include <string>
#include <vector>

class CIpAddressEdit;
class CModbusIdSpin;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The location editor ("Setup Communications").
class CSetupCommsWindow : public QDialog {
    Q_OBJECT

public:
    CSetupCommsWindow(const CLocation& location, std::vector<std::string> names, bool isNewLocation,
                      IPortSource& ports, QWidget* parent = nullptr);
    // The edited values; after OK they are what the caller copies back.
    const CLocation& values() const { return logic_.values(); }
    void accept() override;

    QComboBox* mediaList = nullptr;
    std::array<QRadioButton*, 3> modbusTypeButtons{};
    CModbusIdSpin* modbusIdSpin = nullptr;
    QCheckBox* modiconCheck = nullptr;
    QLineEdit* nameEdit = nullptr;
    QLabel* numberLabel = nullptr;
    QLineEdit* numberEdit = nullptr;
    CIpAddressEdit* addressEdit = nullptr;
    QLabel* portLabel = nullptr;
    QComboBox* portList = nullptr;
    QLabel* deviceLabel = nullptr;
    QLineEdit* tcpPortEdit = nullptr;
    QComboBox* baudList = nullptr;
    QLabel* time1Label = nullptr;
    QLineEdit* time1Edit = nullptr;
    QLabel* time2Label = nullptr;
    QLineEdit* time2Edit = nullptr;
    QLineEdit* retriesEdit = nullptr;
    std::array<QRadioButton*, 2> dataBitsButtons{};
    std::array<QRadioButton*, 2> stopBitsButtons{};
    QComboBox* parityList = nullptr;
    QPushButton* modemButton = nullptr;
    QCheckBox* rs485Check = nullptr;
    QPushButton* okButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void layOutControls();
    void connectEvents();
    void readForm();
    void showForm();
    void applyLayout();
    void showOpeningMessages();
    void runSetupModem();
    QWidget* fieldWidget(EditorField field) const;

    CSetupCommsDlg logic_;
    std::vector<EditorMessage> openingMessages_;
    std::vector<QWidget*> serialLineWidgets_;
    QButtonGroup* modbusTypeGroup_ = nullptr;
    QButtonGroup* dataBitsGroup_ = nullptr;
    QButtonGroup* stopBitsGroup_ = nullptr;
    bool opened_ = false;
};
