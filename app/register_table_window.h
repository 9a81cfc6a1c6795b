#pragma once

#include "app/qt_message_box.h"
#include "app/register_trend_window.h"
#include "windows/register_table_dlg.h"

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>

class CRegisterTableModel;

class QLabel;
class QPushButton;
class QTableView;
class QTableWidget;
class CWordOrdersGrid;
class QTimer;

// The Register Table: a modeless tool window bound to CRegisterTableDlg, following the reads of
// the Test window through the document's read feed. It deletes itself when closed.
class CRegisterTableWindow : public QDialog {
public:
    // `messageBox` shows the file messages; null uses message boxes of the window's own.
    CRegisterTableWindow(CReadFeed& feed, IMessageBox* messageBox = nullptr,
                         QWidget* parent = nullptr);
    ~CRegisterTableWindow() override;
    CRegisterTableWindow(const CRegisterTableWindow&) = delete;
    CRegisterTableWindow& operator=(const CRegisterTableWindow&) = delete;

    const CRegisterTableDlg& logic() const { return logic_; }
    // Export... and Record Series... write to these paths instead of asking, when set (tests).
    void setFileChoice(std::function<QString()> choose) { chooseFile_ = std::move(choose); }
    // Pins the selected row to the cell selected in the orders grid.
    void pinSelected();
    // Opens the trend of the selected rows (up to four), in place of one open before.
    void openTrend();
    CRegisterTrendWindow* trendWindow() const { return trend_; }

private:
    void buildWidgets();
    void buildLayout();
    void setColumnWidths();
    void onResult(const ReadOutcome& outcome);
    void refresh();
    void refreshOrders();
    void onMarkTick();
    void exportTable();
    void toggleSeries();
    void writeSeriesLine();
    void unpinSelected();
    std::size_t selectedRow() const;
    QString chooseFile();

    CReadFeed& feed_;
    CRegisterTableDlg logic_;
    CWindowMessageBox messageBox_;
    int subscription_ = 0;
    CCsvFile series_;
    std::string seriesPath_;
    // The header the series' lines stand under; empty until the first is written.
    std::string seriesHeader_;
    std::function<QString()> chooseFile_;

    std::unique_ptr<CRegisterTableModel> model_;
    QLabel* status_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* ordersLabel_ = nullptr;
    CWordOrdersGrid* orders_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* pin_ = nullptr;
    QPushButton* unpin_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* seriesButton_ = nullptr;
    QPushButton* trendButton_ = nullptr;
    QPushButton* close_ = nullptr;
    QPointer<CRegisterTrendWindow> trend_;
    QTimer* markTimer_ = nullptr;
};
