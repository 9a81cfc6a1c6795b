#include "app/qt_view_dialogs.h"

#include "app/about_window.h"
#include "app/comms_log_window.h"
#include "app/connect_window.h"
#include "app/find_unit_window.h"
#include "app/modem_hang_up_window.h"
#include "app/number_convertor_window.h"
#include "app/setup_locations_window.h"
#include "app/splash_window.h"
#include "app/temp_comms_window.h"
#include "app/testmodbus_window.h"
#include "app/vantrel_app.h"
#include "comms/comms_context.h"
#include "config/settings_file.h"
#include "windows/machine_ports.h"
#include "windows/vantrel_doc.h"

#include <QApplication>

void CQtViewDialogs::showSplash() {
    CSplashWindow splash(parent_);
    splash.exec();
}

void CQtViewDialogs::showAbout() {
    CAboutWindow about(fileVersionMS_, fileVersionLS_, parent_);
    about.exec();
}

QWidget* CQtViewDialogs::toolWindowParent() const {
    QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr ? modal : parent_;
}

QWidget* CQtViewDialogs::createConvertor(WindowHandle opener) {
    auto* window = new CNumberConvertorWindow(opener, listSeparator, nullptr, toolWindowParent());
    window->show();
    return window;
}

bool CQtViewDialogs::runLocations(CSettingsFile& settings) {
    CMachinePorts ports(OsClass);
    CSetupLocationsWindow dialog(settings, ports, decimalSeparator.empty() ? "." : decimalSeparator,
                                 parent_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    dialog.storeInto(settings);
    return true;
}

CTestModbusDlg::Setup testDialogSetup(const CVantrelDoc& document, int modbusId,
                                      ModbusType modbusType, int addressingMode) {
    CTestModbusDlg::Setup setup;
    setup.mediaType = document.currentLocation.mediaType;
    setup.modbusType = modbusType;
    setup.modbusId = modbusId;
    setup.addressingMode = addressingMode;
    if (!listSeparator.empty())
        setup.listSeparator = listSeparator;
    return setup;
}

void CQtViewDialogs::runTest(CVantrelDoc& document, int modbusId, ModbusType modbusType,
                             int addressingMode) {
    CTestModbusWindow dialog(document, *this,
                             testDialogSetup(document, modbusId, modbusType, addressingMode),
                             nullptr, parent_);
    dialog.exec();
}

void CQtViewDialogs::runConnect(CVantrelDoc& document, CSettingsFile& settings) {
    CConnectWindow dialog(document, settings, nullptr, parent_);
    dialog.run();
}

void CQtViewDialogs::runFindUnit(CVantrelDoc& document, CSettingsFile& settings) {
    CMachinePorts ports(OsClass);
    CFindUnitWindow dialog(document, settings, ports, nullptr, parent_);
    dialog.exec();
}

void CQtViewDialogs::runHangUp(CVantrelDoc& document) {
    CModemHangUpWindow dialog(document, parent_);
    dialog.exec();
}

bool CQtViewDialogs::runTemporaryComms(MediaType mediaType, int& retries, int& time1, int& time2) {
    CTempCommsWindow dialog(mediaType, retries, time1, time2, nullptr, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    retries = dialog.retries();
    time1 = dialog.time1();
    time2 = dialog.time2();
    return true;
}

QWidget* CQtViewDialogs::createCommsLog(WindowHandle opener) {
    if (document_ == nullptr)
        return nullptr;
    CVantrelApp* app = CVantrelApp::instance();
    CCommsEngine& engine = document_->context().engine;
    auto* window = new CCommsLogWindow(
        engine.logRecords, engine.logEnabled, opener, {timeSeparator, timeFormat, shortDateFormat},
        app ? app->settings().path : std::string(), toolWindowParent());
    window->show();
    return window;
}
