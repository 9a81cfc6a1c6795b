#pragma once

#include <QPointer>
#include <QWidget>

// A tool window that an opener shows at most once: raises and activates the open one, else opens
// it with `open` (which returns the new window, or null when it cannot be opened).
template <typename Open> void showToolWindow(QPointer<QWidget>& window, Open open) {
    if (window) {
        window->show();
        window->raise();
        window->activateWindow();
        return;
    }
    window = open();
}
