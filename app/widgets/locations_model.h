#pragma once

#include <QAbstractTableModel>

class CSetupLocationsDlg;

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
