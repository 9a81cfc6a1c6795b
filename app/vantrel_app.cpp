#include "app/vantrel_app.h"

#include "app/qt_text.h"
#include "comms/client_socket.h"
#include "comms/port_map.h"
#include "config/demo_locations.h"
#include "config/settings_file.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <span>
#include <string_view>

int OsClass = 0;
std::string listSeparator;
std::string decimalSeparator;
std::string timeSeparator;
std::string timeFormat;
std::string shortDateFormat;

namespace {

constexpr const char* kHelpDocumentName = "Vantrel.html";

CVantrelApp* theApp = nullptr;

// The version compiled in from the project version.
std::uint32_t versionMS() {
    return (static_cast<std::uint32_t>(VANTREL_VERSION_MAJOR) << 16) |
           static_cast<std::uint32_t>(VANTREL_VERSION_MINOR);
}

std::uint32_t versionLS() {
    return (static_cast<std::uint32_t>(VANTREL_VERSION_PATCH) << 16) |
           static_cast<std::uint32_t>(VANTREL_VERSION_TWEAK);
}

// The desktop's program for a file's type (xdg-open on most desktops).
bool openWithDesktop(const std::string& file) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(qText(file)));
}

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
    if (theApp == this) {
        theApp = nullptr;
        setDesktopHandler({});
    }
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

    fileVersionMS = versionMS();
    fileVersionLS = versionLS();
    setDesktopHandler(openWithDesktop);

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

std::string CVantrelApp::documentPath(const std::string& fileName) const {
    return documentDirectory(executableDirectory_, fileName, installedDataFromExecutable()) + "/" +
           fileName;
}

std::string CVantrelApp::releaseNotesPath() const {
    return documentPath(std::string(loadString(kIdsReleaseNotesFileName)));
}

std::string CVantrelApp::helpDocumentPath() const {
    return documentPath(kHelpDocumentName);
}

namespace {

// Qt's generic options, with and without a value; Qt reads them itself.
constexpr std::string_view kQtValueOptions[] = {"platform",        "platformpluginpath",
                                                "platformtheme",   "plugin",
                                                "qwindowgeometry", "qwindowicon",
                                                "qwindowtitle",    "geometry",
                                                "title",           "style",
                                                "stylesheet",      "session",
                                                "display",         "name"};
constexpr std::string_view kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb",
                                               "sync"};
constexpr int kExitUsage = 2;
constexpr int kExitNoDisplay = 1;

bool isOneOf(std::string_view name, std::span<const std::string_view> names) {
    return std::ranges::find(names, name) != names.end();
}

// A Qt platform that shows windows through a display server (an X server or a Wayland
// compositor); the others (offscreen, vnc, linuxfb, eglfs...) need none.
bool needsDisplayServer(std::string_view platform) {
    const std::string_view name = platform.substr(0, platform.find(':'));
    return name == "xcb" || name.starts_with("wayland");
}

bool isSet(const char* value) {
    return value != nullptr && *value != '\0';
}

CommandLine withAction(CommandLine::Action action) {
    CommandLine result;
    result.action = action;
    return result;
}

CommandLine usageError(unsigned id, const std::string& argument) {
    CommandLine result = withAction(CommandLine::Action::Error);
    result.error = formatString(id, argument);
    return result;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine result;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (argument == "-h" || argument == "--help")
            return withAction(CommandLine::Action::Help);
        if (argument == "-V" || argument == "--version")
            return withAction(CommandLine::Action::Version);
        // Qt takes its options with one dash or two, their values after a blank or "=".
        std::string_view name = argument;
        if (!name.starts_with('-'))
            return usageError(kIdsUnknownOption, argument);
        name.remove_prefix(name.starts_with("--") ? 2 : 1);
        if (isOneOf(name, kQtFlagOptions))
            continue;
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('='); equals != std::string_view::npos) {
            value = std::string(name.substr(equals + 1));
            name = name.substr(0, equals);
        }
        if (!isOneOf(name, kQtValueOptions))
            return usageError(kIdsUnknownOption, argument);
        if (!value && at + 1 >= arguments.size())
            return usageError(kIdsOptionNeedsValue, argument);
        if (!value)
            value = arguments[++at];
        if (name == "platform")
            result.platform = *value;
        else if (name == "display")
            result.displayGiven = true;
    }
    return result;
}

bool displayAvailable(const CommandLine& commandLine, const char* display,
                      const char* waylandDisplay, const char* qpaPlatform) {
    if (isSet(display) || isSet(waylandDisplay) || commandLine.displayGiven)
        return true;
    const std::string platforms = !commandLine.platform.empty() ? commandLine.platform
                                  : isSet(qpaPlatform)          ? qpaPlatform
                                                                : "";
    // Qt tries a list of platforms in turn: one that needs no display server will start.
    std::size_t start = 0;
    while (start < platforms.size()) {
        const std::size_t end = std::min(platforms.find(';', start), platforms.size());
        if (!needsDisplayServer(std::string_view(platforms).substr(start, end - start)))
            return true;
        start = end + 1;
    }
    return false;
}

std::string programVersionLine() {
    const std::uint32_t ms = versionMS();
    const std::uint32_t ls = versionLS();
    return formatString(kIdsVersionFull, ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
}

std::optional<int> runWithoutWindow(const std::vector<std::string>& arguments, std::FILE* out,
                                    std::FILE* err) {
    const CommandLine commandLine = parseCommandLine(arguments);
    const std::string_view usage = loadString(kIdsUsage);
    switch (commandLine.action) {
    case CommandLine::Action::Help:
        std::fprintf(out, "%.*s", static_cast<int>(usage.size()), usage.data());
        return 0;
    case CommandLine::Action::Version:
        std::fprintf(out, "%s\n", programVersionLine().c_str());
        return 0;
    case CommandLine::Action::Error:
        std::fprintf(err, "%s\n\n%.*s", commandLine.error.c_str(), static_cast<int>(usage.size()),
                     usage.data());
        return kExitUsage;
    case CommandLine::Action::Run:
        break;
    }
    // Qt would abort without a word of its own that a user could act on.
    if (!displayAvailable(commandLine, std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"),
                          std::getenv("QT_QPA_PLATFORM"))) {
        std::fprintf(err, "%s\n", std::string(loadString(kIdsNoDisplay)).c_str());
        return kExitNoDisplay;
    }
    return std::nullopt;
}
