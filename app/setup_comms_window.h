#pragma once

#include "comms/port_map.h"
#include "windows/setup_comms_dlg.h"
#include "windows/setup_locations_dlg.h"

#include <QAbstractSpinBox>
#include <QAbstractTableModel>
#include <QDialog>
#include <QTreeView>
#include <array>
#include <string>
#include <vector>

class CSettingsFile;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMimeData;
class QPushButton;
class QRadioButton;

// The serial ports of this machine: the enumeration chosen by the operating-system class, the
// port map for the device of each COM name and udev's stable names.
class CMachinePorts : public IPortSource {
public:
    explicit CMachinePorts(int osClass, std::string byIdDirectory = kSerialByIdDirectory);
    bool enumerate(std::vector<int>& ports) override;
    std::string devicePath(int port) override;
    std::string stableName(int port) override;

private:
    int osClass_;
    std::string byIdDirectory_;
};

// The Modbus ID field: an edit that takes digits only, with up-down arrows (and the arrow keys)
// that step through 0 to 247 and wrap at both ends. Out-of-range digits stay for OK to refuse.
class CModbusIdSpin : public QAbstractSpinBox {
    Q_OBJECT

public:
    explicit CModbusIdSpin(QWidget* parent = nullptr);
    QString text() const;
    void setText(const QString& text);
    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& position) const override;
    QSize sizeHint() const override;

protected:
    StepEnabled stepEnabled() const override;
};

// An IPv4 address field: four octet edits taking 0 to 255; the address is packed first octet
// highest.
class CIpAddressEdit : public QWidget {
    Q_OBJECT

public:
    explicit CIpAddressEdit(QWidget* parent = nullptr);
    std::uint32_t address() const;
    void setAddress(std::uint32_t address);
    QLineEdit* octet(int index) const { return octets_[static_cast<std::size_t>(index)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QLineEdit*, 4> octets_{};
};

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

    CSetupModemDlg logic_;
};

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

// The rows of the Setup Locations list, formatted on demand from the working list.
class CLocationsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit CLocationsModel(const CSetupLocationsDlg& list, QObject* parent = nullptr)
        : QAbstractTableModel(parent), list_(list) {}
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void refresh();

private:
    const CSetupLocationsDlg& list_;
};

// The list of Setup Locations: one selected row, reordered by dragging a row with the mouse.
class CLocationsView : public QTreeView {
    Q_OBJECT

public:
    explicit CLocationsView(QWidget* parent = nullptr);
    // The data a drag of `row` carries: it names this view, so a drop takes rows of this list
    // only.
    QMimeData* createRowMimeData(int row) const;

signals:
    // A row dragged from `dragged` was dropped on `target` (the row 10 pixels below the drop
    // point, or -1 when there is none).
    void rowDropped(int dragged, int target);
    void doubleClickedAnywhere();

protected:
    // The dragged row of drag data made by this view, or -1.
    int draggedRow(const QMimeData* mime) const;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// "Setup Locations": the user's locations in a four-column list with Add, Edit, Delete and
// reordering, on copies that reach the settings only through storeInto after OK.
class CSetupLocationsWindow : public QDialog, private ILocationsView {
    Q_OBJECT

public:
    CSetupLocationsWindow(const CSettingsFile& settings, IPortSource& ports,
                          std::string decimalSeparator, QWidget* parent = nullptr);
    void storeInto(CSettingsFile& settings) const { logic_.storeInto(settings); }
    const CSetupLocationsDlg& workingList() const { return logic_; }
    int selectedRow() const;
    void selectRow(int row);

    void add();
    void edit();
    void remove();

    CLocationsView* list = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* editButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QPushButton* okButton = nullptr;
    QMenu* contextMenu = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool editLocation(CLocation& values, const std::vector<std::string>& names,
                      bool isNewLocation) override;
    void showMessage(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    void refresh(int selectedRow);
    void moveRow(int dragged, int target);
    void fitColumns();

    CSetupLocationsDlg logic_;
    CLocationsModel* model_ = nullptr;
    IPortSource& ports_;
};
