#include "app/setup_locations_window.h"

#include "app/qt_message_box.h"
#include "app/qt_text.h"
#include "app/setup_comms_window.h"
#include "app/widgets/locations_model.h"
#include "app/widgets/locations_view.h"
#include "resources/string_ids.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kListMinWidth = 720;
constexpr int kListMinHeight = 220;

} // namespace

CSetupLocationsWindow::CSetupLocationsWindow(const CSettingsFile& settings, IPortSource& ports,
                                             std::string decimalSeparator, QWidget* parent)
    : QDialog(parent), logic_(std::move(decimalSeparator)), ports_(ports) {
    setWindowTitle(qText(kIdsLocationsTitle));
    logic_.load(settings);
    model_ = new CLocationsModel(logic_, this);
    list = new CLocationsView(this);
    list->setModel(model_);
    list->setMinimumSize(kListMinWidth, kListMinHeight);
    list->header()->setStretchLastSection(false);
    list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    addButton = new QPushButton(qText(kIdsDialogAdd), this);
    editButton = new QPushButton(qText(kIdsDialogEdit), this);
    deleteButton = new QPushButton(qText(kIdsDialogDelete), this);
    okButton = new QPushButton(qText(kIdsDialogOk), this);
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(qText(kIdsDialogCancel), this);

    contextMenu = new QMenu(this);
    connect(contextMenu->addAction(qText(kIdsDialogAdd)), &QAction::triggered, this,
            &CSetupLocationsWindow::add);
    connect(contextMenu->addAction(qText(kIdsDialogEdit)), &QAction::triggered, this,
            &CSetupLocationsWindow::edit);
    connect(contextMenu->addAction(qText(kIdsDialogDelete)), &QAction::triggered, this,
            &CSetupLocationsWindow::remove);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {addButton, editButton, deleteButton})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);

    connect(addButton, &QPushButton::clicked, this, &CSetupLocationsWindow::add);
    connect(editButton, &QPushButton::clicked, this, &CSetupLocationsWindow::edit);
    connect(deleteButton, &QPushButton::clicked, this, &CSetupLocationsWindow::remove);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(list, &CLocationsView::doubleClickedAnywhere, this, &CSetupLocationsWindow::edit);
    connect(list, &CLocationsView::rowDropped, this, &CSetupLocationsWindow::moveRow);
    connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint& point) {
        contextMenu->exec(list->viewport()->mapToGlobal(point));
    });
    refresh(-1);
}

int CSetupLocationsWindow::selectedRow() const {
    const QModelIndexList rows = list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void CSetupLocationsWindow::selectRow(int row) {
    list->selectionModel()->clearSelection();
    const QModelIndex index = model_->index(row, 0);
    if (!index.isValid())
        return;
    list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
}

void CSetupLocationsWindow::refresh(int selectedRow) {
    model_->refresh();
    selectRow(selectedRow);
    const bool enabled = logic_.editAndDeleteEnabled();
    editButton->setEnabled(enabled);
    deleteButton->setEnabled(enabled);
}

void CSetupLocationsWindow::add() {
    const int selected = selectedRow();
    logic_.add(*this, selected);
    // The new row is not selected; the selection stays where it was.
    refresh(selected);
}

void CSetupLocationsWindow::edit() {
    const int selected = selectedRow();
    logic_.edit(*this, selected);
    refresh(selected);
}

void CSetupLocationsWindow::remove() {
    refresh(logic_.remove(*this, selectedRow()));
}

void CSetupLocationsWindow::moveRow(int dragged, int target) {
    refresh(logic_.moveRow(dragged, target));
}

bool CSetupLocationsWindow::editLocation(CLocation& values, const std::vector<std::string>& names,
                                         bool isNewLocation) {
    CSetupCommsWindow editor(values, names, isNewLocation, ports_, this);
    if (editor.exec() != QDialog::Accepted)
        return false;
    values = editor.values();
    return true;
}

void CSetupLocationsWindow::showMessage(const std::string& message) {
    tellUser(this, message);
}

bool CSetupLocationsWindow::askYesNo(const std::string& question) {
    return ::askYesNo(this, question);
}

void CSetupLocationsWindow::fitColumns() {
    const auto widths = CSetupLocationsDlg::columnWidths(list->width());
    for (int column = 0; column < kLocationColumnCount; ++column)
        list->header()->resizeSection(column, widths[static_cast<std::size_t>(column)]);
}

void CSetupLocationsWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    fitColumns();
}

void CSetupLocationsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    fitColumns();
}
