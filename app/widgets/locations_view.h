#pragma once

#include <QTreeView>

class QMimeData;

// The list of Setup Locations: one selected row, reordered by dragging a row with the mouse.
class CLocationsView : public QTreeView {
    Q_OBJECT

public:
    explicit CLocationsView(QWidget* parent = nullptr);
    // The data a drag of `row` carries: it names this view, so a drop takes rows of this list
    // only.
    QMimeData* createRowMimeData(int row) const;

signals:
    // A row dragged from `dragged` was dropped on `target` (the row 10 pixels below the drop
    // point, or -1 when there is none).
    void rowDropped(int dragged, int target);
    void doubleClickedAnywhere();

protected:
    // The dragged row of drag data made by this view, or -1.
    int draggedRow(const QMimeData* mime) const;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
