#pragma once

#include "windows/setup_locations_dlg.h"

#include <QDialog>
#include <string>
#include <vector>

class CLocationsModel;
class CLocationsView;
class CSettingsFile;
class IPortSource;
class QMenu;
class QPushButton;

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
