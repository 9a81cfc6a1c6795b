#pragma once

#include "windows/register_table_dlg.h"

#include <QTableWidget>
#include <optional>

// Every reading of one value: a row per type, a column per order named as the Number Convertor
// names it, the plausible readings shaded and a chosen one in bold. Its height is fixed to its
// rows, so that a window holding it keeps its size whatever it shows.
class CWordOrdersGrid final : public QTableWidget {
    Q_OBJECT

public:
    explicit CWordOrdersGrid(QWidget* parent);

    void showReadings(const OrderReadings& readings, std::optional<RowPin> bold = std::nullopt);

    // The width that shows every header and the longest reading (a 64-bit integer) in full.
    int fullWidth() const;
};
