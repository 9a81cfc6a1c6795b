#pragma once

#include "app/app_dialogs.h"
#include "windows/testmodbus_dlg.h"

#include <cstdint>

class CVantrelDoc;
class QWidget;

// The Test Modbus Communications form as the view opens it on the document's current location.
CTestModbusDlg::Setup testDialogSetup(const CVantrelDoc& document, int modbusId,
                                      ModbusType modbusType, int addressingMode);

// The dialogs the view opens, as Qt windows.
class CQtViewDialogs : public IAppDialogs {
public:
    CQtViewDialogs(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS)
        : fileVersionMS_(fileVersionMS), fileVersionLS_(fileVersionLS) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    // The document whose comms log the Communications Log window shows.
    void setDocument(CVantrelDoc* document) { document_ = document; }

    void showSplash() override;
    void showAbout() override;
    // Runs Setup Locations on copies of the settings list; on OK puts the edited list into
    // `settings` and returns true (also when nothing was changed).
    bool runLocations(CSettingsFile& settings) override;
    void runConnect(CVantrelDoc& document, CSettingsFile& settings) override;
    void runHangUp(CVantrelDoc& document) override;
    void runFindUnit(CVantrelDoc& document, CSettingsFile& settings) override;
    void runTest(CVantrelDoc& document, int modbusId, ModbusType modbusType,
                 int addressingMode) override;
    bool runTemporaryComms(MediaType mediaType, int& retries, int& time1, int& time2) override;
    QWidget* createCommsLog(WindowHandle opener) override;
    QWidget* createConvertor(WindowHandle opener) override;

private:
    // The window a new tool window belongs to: the modal dialog in front, if any, so that the
    // tool window stays usable above it; otherwise the main window.
    QWidget* toolWindowParent() const;

    std::uint32_t fileVersionMS_;
    std::uint32_t fileVersionLS_;
    QWidget* parent_ = nullptr;
    CVantrelDoc* document_ = nullptr;
};
