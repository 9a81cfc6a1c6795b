#include "app/widgets/comms_log_model.h"

#include "app/qt_text.h"
#include "resources/string_table.h"
#include "windows/comms_log_dlg.h"

namespace {

// Characters of a message on one line of its tip: 16 bytes.
constexpr qsizetype kTipLineChars = 48;

} // namespace

CCommsLogModel::CCommsLogModel(CCommsLogDlg& logic, QObject* parent)
    : QAbstractTableModel(parent), logic_(logic) {}

int CCommsLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : logic_.rowCount();
}

int CCommsLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : CCommsLogDlg::kColumnCount;
}

QVariant CCommsLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    QString text = qText(logic_.cellText(index.row(), index.column()));
    // The tip of a long frame shows it in lines of 16 bytes rather than one screen-wide line.
    if (role == Qt::ToolTipRole)
        for (qsizetype at = kTipLineChars; at < text.size(); at += kTipLineChars + 1)
            text.insert(at, QLatin1Char('\n'));
    return text;
}

QVariant CCommsLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return qText(CCommsLogDlg::columnTitle(section));
}
