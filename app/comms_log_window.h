#pragma once

#include "platform/window_messages.h"
#include "windows/comms_log_dlg.h"

#include <QDialog>
#include <array>
#include <memory>

class CCommsLogModel;
class CQtMessageTarget;
class QLabel;
class QPushButton;
class QTableView;
class QTimer;

// The modeless Communications Log window. It deletes itself when closed and then sends
// WM_COMMSLOG_CLOSED to its opener.
class CCommsLogWindow final : public QDialog, private ICommsLogWindow {
    Q_OBJECT

public:
    CCommsLogWindow(CCommsLogStore& store, std::atomic<std::int32_t>& logEnabled,
                    WindowHandle opener, LogTimeFormat format, std::string settingsPath,
                    QWidget* parent = nullptr);
    ~CCommsLogWindow() override;

    CCommsLogDlg& logic() { return logic_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum Button { Refresh, SaveToFile, ClearLog, Cancel, ButtonCount };

    void beginAddRows(int first, int last) override;
    void endAddRows() override;
    void beginResetRows() override;
    void endResetRows() override;
    void beginRemoveRows(int first, int last) override;
    void endRemoveRows() override;
    void showJournalNote(const std::string& text) override;
    void showStatus(const std::string& text) override;
    void hideStatus() override;
    void enableButtons(bool enabled) override;
    void startBatchTimer() override;
    void stopBatchTimer() override;
    bool askRefreshBeforeSave() override;
    std::string askReportPath(const std::string& defaultPath) override;
    void showMessage(const std::string& text) override;
    bool startViewer(const std::string& path) override;
    bool showsLastRow() const override;
    void showLastRow() override;

    void createJournalNote();
    void buildLayout();
    int buttonHeight() const;
    void measureTexts();
    // The width the columns share: the list's inside, less a vertical scroll bar's room so that
    // its coming and going never needs a horizontal one. The chrome is the rest of the list.
    int columnsWidth() const;
    int listChrome() const;
    void setColumnWidths(const std::array<int, CCommsLogDlg::kColumnCount>& widths);
    void listClicked();
    void columnClicked(int column);

    std::unique_ptr<ICommsLogRecords> records_;
    CCommsLogDlg logic_;
    WindowHandle opener_;
    CCommsLogModel* model_ = nullptr;
    QTableView* list_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* journalNote_ = nullptr;
    std::array<QPushButton*, ButtonCount> buttons_{};
    QTimer* batchTimer_ = nullptr;
    std::unique_ptr<CQtMessageTarget> messageTarget_;
    bool opened_ = false;
    // The widths of the texts the columns must show whole.
    CCommsLogDlg::TextWidths textWidths_;
    // The rows of the batch being added, and the longest Message text (in characters) so far.
    int addedFirst_ = 0;
    int addedLast_ = -1;
    std::size_t longestMessageChars_ = 0;
    void widenForMessages(int first, int last);
};
