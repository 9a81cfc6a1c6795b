#pragma once

#include <string>

// Shows a message to the user and returns when it has been acknowledged. The application shows
// message boxes; tests substitute a recorder.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual void showMessage(const std::string& text) = 0;
    // A failure; the application shows it with a warning icon.
    virtual void showWarning(const std::string& text) { showMessage(text); }
};
