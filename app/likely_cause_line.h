#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The Test dialog's "Likely cause" line: one line of fixed height, cut to its width with the
// whole text as its tip, and Details, which shows every finding with its evidence and next check
// in a tool window. Its room is kept while it is empty, so the dialog never grows or jumps.
class CLikelyCauseLine final : public QWidget {
public:
    explicit CLikelyCauseLine(QWidget* parent);

    void setTexts(const std::string& line, const std::string& details);
    const QString& lineText() const { return line_; }
    // Opens (or raises) the details window; returns it.
    QWidget* openDetails();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showLine();

    QLabel* label_ = nullptr;
    QPushButton* detailsButton_ = nullptr;
    QString line_;
    QString details_;
    QPointer<QWidget> detailsWindow_;
    QPointer<QPlainTextEdit> detailsBox_;
};
