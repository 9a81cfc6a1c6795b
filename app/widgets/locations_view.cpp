#include "app/widgets/locations_view.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace {

// The drop point is measured this far below the pointer.
constexpr int kDropPointOffset = 10;
constexpr const char* kRowMimeType = "application/x-vantrel-location-row";

} // namespace

CLocationsView::CLocationsView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setTextElideMode(Qt::ElideRight);
}

QMimeData* CLocationsView::createRowMimeData(int row) const {
    auto* mime = new QMimeData;
    const auto self = reinterpret_cast<quintptr>(this);
    mime->setData(kRowMimeType, QByteArray::number(self) + ':' + QByteArray::number(row));
    return mime;
}

int CLocationsView::draggedRow(const QMimeData* mime) const {
    const QList<QByteArray> parts = mime->data(kRowMimeType).split(':');
    bool viewValid = false;
    bool rowValid = false;
    if (parts.size() != 2 || parts[0].toULongLong(&viewValid) != reinterpret_cast<quintptr>(this) ||
        !viewValid)
        return -1;
    const int row = parts[1].toInt(&rowValid);
    return rowValid && row >= 0 ? row : -1;
}

void CLocationsView::startDrag(Qt::DropActions) {
    const QModelIndex index = currentIndex();
    if (!index.isValid())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(createRowMimeData(index.row()));
    const QRect rowRect(0, visualRect(index).top(), viewport()->width(),
                        visualRect(index).height());
    drag->setPixmap(viewport()->grab(rowRect));
    drag->exec(Qt::MoveAction);
}

void CLocationsView::dragEnterEvent(QDragEnterEvent* event) {
    if (draggedRow(event->mimeData()) >= 0)
        event->acceptProposedAction();
    else
        event->ignore();
}

void CLocationsView::dragMoveEvent(QDragMoveEvent* event) {
    if (draggedRow(event->mimeData()) >= 0)
        event->acceptProposedAction();
    else
        event->ignore();
}

void CLocationsView::dropEvent(QDropEvent* event) {
    const int dragged = draggedRow(event->mimeData());
    if (dragged < 0) {
        event->ignore();
        return;
    }
    const QPoint point = event->position().toPoint() + QPoint(0, kDropPointOffset);
    emit rowDropped(dragged, indexAt(point).row());
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void CLocationsView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    emit doubleClickedAnywhere();
}
