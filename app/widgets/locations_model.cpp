#include "app/widgets/locations_model.h"

#include "app/qt_text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "windows/setup_locations_dlg.h"

#include <array>

int CLocationsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.rowCount();
}

int CLocationsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kLocationColumnCount;
}

QVariant CLocationsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return qText(list_.cellText(index.row(), index.column()));
}

QVariant CLocationsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static constexpr std::array<unsigned, kLocationColumnCount> kHeaders = {
        kIdsLocationsColumnLocation, kIdsLocationsColumnNumber, kIdsLocationsColumnMedia,
        kIdsLocationsColumnDetails};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kLocationColumnCount)
        return {};
    return qText(kHeaders[static_cast<std::size_t>(section)]);
}

Qt::ItemFlags CLocationsModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

void CLocationsModel::refresh() {
    beginResetModel();
    endResetModel();
}
