#pragma once

#include <QAbstractTableModel>
#include <cstdint>

class CRegisterTableDlg;

// The rows of the Register Table, formatted by the window's logic only when the view asks for
// them; a changed register's cells are marked for a moment and a stale table is greyed.
class CRegisterTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    CRegisterTableModel(const CRegisterTableDlg& logic, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The logic's rows have changed: same count, new values, or a new layout.
    void refresh(std::uint32_t tick);

private:
    const CRegisterTableDlg& logic_;
    int rows_ = 0;
    std::uint32_t tick_ = 0;
};
