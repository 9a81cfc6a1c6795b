#include "app/widgets/word_orders_grid.h"

#include "app/qt_text.h"
#include "resources/string_ids.h"

#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QStringList>
#include <algorithm>

namespace {

const QColor kPlausibleBackground(198, 239, 206);
// The longest reading: the smallest 64-bit signed integer.
constexpr char kLongestReading[] = "-9223372036854775808";
constexpr int kCellMargin = 16;

} // namespace

CWordOrdersGrid::CWordOrdersGrid(QWidget* parent)
    : QTableWidget(static_cast<int>(kWideTypes.size()), static_cast<int>(kWordOrders.size()),
                   parent) {
    QStringList columns;
    for (const WordOrder order : kWordOrders)
        columns << qText(CRegisterTableDlg::orderHeader(order));
    QStringList rows;
    for (const WideType type : kWideTypes)
        rows << qText(CRegisterTableDlg::typeTitle(type));
    setHorizontalHeaderLabels(columns);
    setVerticalHeaderLabels(rows);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFixedHeight(horizontalHeader()->sizeHint().height() +
                   static_cast<int>(kWideTypes.size()) * verticalHeader()->defaultSectionSize() +
                   2 * frameWidth());
}

void CWordOrdersGrid::showReadings(const OrderReadings& readings, std::optional<RowPin> bold) {
    for (std::size_t t = 0; t < kWideTypes.size(); ++t) {
        for (std::size_t o = 0; o < kWordOrders.size(); ++o) {
            auto* item = new QTableWidgetItem(qText(readings[t][o].text));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (readings[t][o].plausible) {
                item->setBackground(kPlausibleBackground);
                item->setToolTip(qText(kIdsRegTablePlausible));
            }
            if (bold && bold->type == kWideTypes[t] && bold->order == kWordOrders[o]) {
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
            }
            setItem(static_cast<int>(t), static_cast<int>(o), item);
        }
    }
}

int CWordOrdersGrid::fullWidth() const {
    const QFontMetrics header = horizontalHeader()->fontMetrics();
    int column = fontMetrics().horizontalAdvance(QLatin1String(kLongestReading));
    for (int o = 0; o < columnCount(); ++o) {
        for (const QString& line : horizontalHeaderItem(o)->text().split(QLatin1Char('\n')))
            column = std::max(column, header.horizontalAdvance(line));
    }
    return verticalHeader()->sizeHint().width() + columnCount() * (column + kCellMargin) +
           2 * frameWidth();
}
