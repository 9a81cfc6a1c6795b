#pragma once

#include <QAbstractTableModel>

class CCommsLogDlg;

// The rows of the Communications Log list, formatted by the window's logic only when the view
// asks for them.
class CCommsLogModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    CCommsLogModel(CCommsLogDlg& logic, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void beginAdd(int first, int last) { beginInsertRows(QModelIndex(), first, last); }
    void endAdd() { endInsertRows(); }
    void beginRemove(int first, int last) { beginRemoveRows(QModelIndex(), first, last); }
    void endRemove() { endRemoveRows(); }
    void beginReset() { beginResetModel(); }
    void endReset() { endResetModel(); }

private:
    CCommsLogDlg& logic_;
};
