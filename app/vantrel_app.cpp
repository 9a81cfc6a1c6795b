#include "app/vantrel_app.h"

#include "comms/client_socket.h"
#include "comms/port_map.h"
#include "config/demo_locations.h"
#include "config/settings_file.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

int OsClass = 0;
std::string listSeparator;
std::string decimalSeparator;
std::string timeSeparator;
std::string timeFormat;
std::string shortDateFormat;

namespace {

constexpr const char* kHelpDocumentName = "Vantrel.html";

CVantrelApp* theApp = nullptr;

} // namespace

class CVantrelApp::CReporter : public CSettingsErrorReporter {
public:
    explicit CReporter(IMessageBox& messageBox) : messageBox_(messageBox) {}
    void reportFileError(unsigned, unsigned, const std::string& text) override {
        messageBox_.showWarning(text);
    }

private:
    IMessageBox& messageBox_;
};

CVantrelApp::CVantrelApp(IMessageBox& messageBox)
    : messageBox_(messageBox), reporter_(std::make_unique<CReporter>(messageBox)),
      settings_(std::make_unique<CSettingsFile>()) {
    settings_->setReporter(reporter_.get());
    theApp = this;
}

CVantrelApp::~CVantrelApp() {
    if (theApp == this)
        theApp = nullptr;
}

CVantrelApp* CVantrelApp::instance() {
    return theApp;
}

bool CVantrelApp::initInstance(int osClass) {
    OsClass = osClass;
    if (OsClass <= 1) {
        messageBox_.showWarning(std::string(loadString(kIdsUnsupportedSystem)));
        return false;
    }

    // POSIX sockets need no library start-up.
    socketLibraryReady = 1;
    ::socketLibraryReady = socketLibraryReady;

    fileVersionMS = (static_cast<std::uint32_t>(VANTREL_VERSION_MAJOR) << 16) |
                    static_cast<std::uint32_t>(VANTREL_VERSION_MINOR);
    fileVersionLS = (static_cast<std::uint32_t>(VANTREL_VERSION_PATCH) << 16) |
                    static_cast<std::uint32_t>(VANTREL_VERSION_TWEAK);

    const UserLocale locale = readUserLocale();
    listSeparator = locale.listSeparator;
    decimalSeparator = locale.decimalSeparator;
    timeSeparator = locale.timeSeparator;
    timeFormat = locale.timeFormat;
    shortDateFormat = locale.shortDateFormat;

    executableDirectory_ = executableDirectory();
    defaultSettingsPath_ =
        replaceHelpFileName(helpFilePath(executableDirectory_, executableBaseName()),
                            std::string(loadString(kIdsSettingsFileName)));
    const std::string path =
        resolveSettingsPath(defaultSettingsPath_, std::string(loadString(kIdsSettingsFileName)));
    settings_->path = path;
    // COM port links live in "ports" beside the settings file unless VANTREL_PORTS_DIR says
    // otherwise.
    setPortsDirectory(directoryOf(path) + "/ports");
    // A first start offers the demo unit's locations; they are saved with the settings at exit.
    const bool firstStart = settingsFileMissing(path);
    settings_->load();
    if (firstStart)
        addDemoLocations(*settings_);
    return true;
}

std::string CVantrelApp::releaseNotesPath() const {
    return executableDirectory_ + "/" + std::string(loadString(kIdsReleaseNotesFileName));
}

std::string CVantrelApp::helpDocumentPath() const {
    return executableDirectory_ + "/" + kHelpDocumentName;
}
