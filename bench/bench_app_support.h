#pragma once

// What the benchmarks that drive the real Test window share: a view whose dialogs open nothing.

#include "app/app_dialogs.h"

class CNoDialogs : public IAppDialogs {
public:
    void showSplash() override {}
    void showAbout() override {}
    bool runLocations(CSettingsFile&) override { return false; }
    void runConnect(CVantrelDoc&, CSettingsFile&) override {}
    void runHangUp(CVantrelDoc&) override {}
    void runTest(CVantrelDoc&, int, ModbusType, int) override {}
    bool runTemporaryComms(MediaType, int&, int&, int&) override { return false; }
    QWidget* createCommsLog(WindowHandle) override { return nullptr; }
    QWidget* createConvertor(WindowHandle) override { return nullptr; }
};
