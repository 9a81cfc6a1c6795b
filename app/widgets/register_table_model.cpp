#include "app/widgets/register_table_model.h"

#include "app/qt_text.h"
#include "windows/register_table_dlg.h"

#include <QBrush>
#include <QColor>
#include <QFont>

namespace {

// A changed register's cells, and a stale table's text.
const QColor kChangedBackground(255, 236, 150);
const QColor kStaleText(128, 128, 128);

} // namespace

CRegisterTableModel::CRegisterTableModel(const CRegisterTableDlg& logic, QObject* parent)
    : QAbstractTableModel(parent), logic_(logic), rows_(static_cast<int>(logic.rowCount())) {}

int CRegisterTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int CRegisterTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : CRegisterTableDlg::kColumnCount;
}

QVariant CRegisterTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return qText(logic_.cellText(row, index.column()));
    case Qt::BackgroundRole:
        if (index.column() > CRegisterTableDlg::kColWire && logic_.changedAt(row, tick_))
            return QBrush(kChangedBackground);
        return {};
    case Qt::ForegroundRole:
        return logic_.stale() ? QVariant(QBrush(kStaleText)) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == CRegisterTableDlg::kColAscii ||
                       index.column() == CRegisterTableDlg::kColBinary
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant CRegisterTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return qText(CRegisterTableDlg::columnTitle(section));
}

void CRegisterTableModel::refresh(std::uint32_t tick) {
    tick_ = tick;
    const int rows = static_cast<int>(logic_.rowCount());
    if (rows != rows_) {
        beginResetModel();
        rows_ = rows;
        endResetModel();
        return;
    }
    if (rows_ > 0)
        emit dataChanged(index(0, 0), index(rows_ - 1, CRegisterTableDlg::kColumnCount - 1));
}
