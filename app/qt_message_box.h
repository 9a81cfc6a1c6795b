#pragma once

#include "windows/message_box.h"

#include <QMessageBox>
#include <string>

// A message box with the program's title as caption; `text` is never taken as markup (it carries
// paths and location names). Returns the button pressed.
QMessageBox::StandardButton askUser(QWidget* parent, QMessageBox::Icon icon,
                                    const std::string& text, QMessageBox::StandardButtons buttons);

// An information or warning box with OK only.
void tellUser(QWidget* parent, const std::string& text, bool warning = false);

// A question with Yes and No; true when the user answered Yes.
bool askYesNo(QWidget* parent, const std::string& question);

// Message boxes with the program's title as caption.
class CQtMessageBox : public IMessageBox {
public:
    explicit CQtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void showMessage(const std::string& text) override;
    void showWarning(const std::string& text) override;

private:
    QWidget* parent_;
};

// The message box of a window: the one its opener gave (tests give a recorder), else Qt message
// boxes over the window.
class CWindowMessageBox {
public:
    CWindowMessageBox(IMessageBox* given, QWidget* window)
        : own_(window), box_(given != nullptr ? given : &own_) {}
    CWindowMessageBox(const CWindowMessageBox&) = delete;
    CWindowMessageBox& operator=(const CWindowMessageBox&) = delete;

    IMessageBox* operator->() const { return box_; }

private:
    CQtMessageBox own_;
    IMessageBox* box_;
};
