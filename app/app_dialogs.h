#pragma once

#include "windows/view_dialogs.h"

class QWidget;

// The view's dialogs with the two modeless tool windows, which only the Qt program creates.
class IAppDialogs : public IViewDialogs {
public:
    // Creates and shows the modeless Communications Log window, which tells `opener` with
    // WM_COMMSLOG_CLOSED when it closes. Returns the window, or null when there is none.
    virtual QWidget* createCommsLog(WindowHandle opener) = 0;
    // Creates and shows the modeless Number Convertor, which tells `opener` with
    // WM_CONVERTOR_CLOSED when it closes. Returns the window, or null when there is none.
    virtual QWidget* createConvertor(WindowHandle opener) = 0;
};
