#pragma once

#include "config/location.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

class CSettingsFile;

// What the Setup Locations commands ask of their window.
class ILocationsView {
public:
    virtual ~ILocationsView() = default;
    // Runs the location editor on `values` with the names of the list for the duplicate check.
    // Returns true, with `values` edited, on OK.
    virtual bool editLocation(CLocation& values, const std::vector<std::string>& names,
                              bool isNewLocation) = 0;
    virtual void showMessage(const std::string& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const std::string& text) = 0;
};

constexpr int kLocationColumnCount = 4;

// The Setup Locations dialog: a working list of copies of the user's locations, its commands and
// the drop rule of a dragged row. The settings change only through storeInto, after OK.
class CSetupLocationsDlg {
public:
    explicit CSetupLocationsDlg(std::string decimalSeparator = ".");

    // Appends a copy of every location of the settings list, in order; empty entries are skipped.
    void load(const CSettingsFile& settings);
    // Replaces the settings list with copies of the working list.
    void storeInto(CSettingsFile& settings) const;

    int rowCount() const { return static_cast<int>(workingList.size()); }
    const CLocation* location(int row) const;
    // The text of a cell: name, number text, media text, details text.
    std::string cellText(int row, int column) const;
    // Column widths for a list of outer width `width`: w/4, 3w/10, w/10, 3w/8.
    static std::array<int, kLocationColumnCount> columnWidths(int width);
    // Edit and Delete are offered only when the list has rows.
    bool editAndDeleteEnabled() const { return !workingList.empty(); }

    // The commands; `selected` is the selected row or -1. Add returns the row of the new
    // location, or -1 when the editor was cancelled; Delete the row to select afterwards: none
    // when the location went, else the one selected before.
    int add(ILocationsView& view, int selected);
    void edit(ILocationsView& view, int selected);
    int remove(ILocationsView& view, int selected);

    // Drops row `dragged` before row `target` (the row under the drop point), or at the end when
    // `target` is -1 or past the last row. Returns the row the location lands on.
    int moveRow(int dragged, int target);

    std::vector<std::unique_ptr<CLocation>> workingList;

private:
    std::vector<std::string> names() const;
    // True when `selected` names a location; otherwise shows why not (nothing on an empty list).
    bool checkSelection(ILocationsView& view, int selected) const;

    std::string decimalSeparator_;
};
