#include "windows/setup_locations_dlg.h"

#include "config/settings_file.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <utility>

CSetupLocationsDlg::CSetupLocationsDlg(std::string decimalSeparator)
    : decimalSeparator_(std::move(decimalSeparator)) {}

void CSetupLocationsDlg::load(const CSettingsFile& settings) {
    for (int index = 0; index < settings.count(); ++index) {
        if (const CLocation* stored = settings.getLocation(index))
            workingList.push_back(std::make_unique<CLocation>(*stored));
    }
}

void CSetupLocationsDlg::storeInto(CSettingsFile& settings) const {
    settings.removeAll();
    for (const auto& entry : workingList) {
        if (entry)
            settings.append(*entry);
    }
}

const CLocation* CSetupLocationsDlg::location(int row) const {
    if (row < 0 || row >= rowCount())
        return nullptr;
    return workingList[static_cast<std::size_t>(row)].get();
}

std::string CSetupLocationsDlg::cellText(int row, int column) const {
    const CLocation* entry = location(row);
    if (!entry)
        return {};
    switch (column) {
    case 0:
        return entry->name;
    case 1:
        return entry->numberText(decimalSeparator_);
    case 2:
        return entry->mediaText();
    case 3:
        return entry->detailsText();
    default:
        return {};
    }
}

std::array<int, kLocationColumnCount> CSetupLocationsDlg::columnWidths(int width) {
    return {width / 4, 3 * width / 10, width / 10, 3 * width / 8};
}

std::vector<std::string> CSetupLocationsDlg::names() const {
    std::vector<std::string> list;
    for (const auto& entry : workingList) {
        if (entry)
            list.push_back(entry->name);
    }
    return list;
}

int CSetupLocationsDlg::add(ILocationsView& view, int selected) {
    CLocation values(kMediaCodeDirect);
    if (!view.editLocation(values, names(), true))
        return -1;
    const int row = selected >= 0 && selected < rowCount() ? selected + 1 : rowCount();
    workingList.insert(workingList.begin() + row, std::make_unique<CLocation>(values));
    return row;
}

bool CSetupLocationsDlg::checkSelection(ILocationsView& view, int selected) const {
    if (workingList.empty())
        return false;
    if (selected < 0 || selected >= rowCount()) {
        view.showMessage(std::string(loadString(kIdsSelectLocation)));
        return false;
    }
    if (!workingList[static_cast<std::size_t>(selected)]) {
        view.showMessage(std::string(loadString(kIdsLocationInvalid)));
        return false;
    }
    return true;
}

void CSetupLocationsDlg::edit(ILocationsView& view, int selected) {
    if (!checkSelection(view, selected))
        return;
    CLocation& entry = *workingList[static_cast<std::size_t>(selected)];
    CLocation values = entry;
    if (view.editLocation(values, names(), false))
        entry = values;
}

int CSetupLocationsDlg::remove(ILocationsView& view, int selected) {
    if (!checkSelection(view, selected))
        return selected;
    const auto position = workingList.begin() + selected;
    if (!view.askYesNo(formatString(kIdsConfirmDeleteLocation, (*position)->name)))
        return selected;
    workingList.erase(position);
    return -1;
}

int CSetupLocationsDlg::moveRow(int dragged, int target) {
    if (dragged < 0 || dragged >= rowCount())
        return -1;
    if (target < 0 || target > rowCount())
        target = rowCount();
    auto moved = std::move(workingList[static_cast<std::size_t>(dragged)]);
    workingList.insert(workingList.begin() + target, std::move(moved));
    // The emptied slot moved down by one when the location went in at or above it.
    if (target <= dragged)
        ++dragged;
    workingList.erase(workingList.begin() + dragged);
    return target < dragged ? target : target - 1;
}
