#pragma once

#include "windows/message_box.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CSettingsFile;

// Process-wide values fixed at start-up and read by the windows.
// The operating-system class: 0 unknown, 1 to 6 the older desktop systems, 99 a later one.
extern int OsClass;
extern std::string listSeparator;
extern std::string decimalSeparator;
extern std::string timeSeparator;
// The user's time and short date formats (strftime), for the log window's times.
extern std::string timeFormat;
extern std::string shortDateFormat;

// Linux counts as a later system.
constexpr int kOsClassLater = 99;

// The application object: the start-up steps that come before any window, and the objects that
// live for the whole run.
class CVantrelApp {
public:
    explicit CVantrelApp(IMessageBox& messageBox);
    ~CVantrelApp();
    CVantrelApp(const CVantrelApp&) = delete;
    CVantrelApp& operator=(const CVantrelApp&) = delete;

    // Runs the start-up steps up to and including the settings load. Returns false, after
    // telling the user, when the operating system is not supported; nothing is initialised then.
    bool initInstance(int osClass = kOsClassLater);

    // The settings object (valid for the application's lifetime).
    CSettingsFile& settings() { return *settings_; }

    // The settings path the program would use beside the executable, before the environment
    // override and the fallback are applied.
    const std::string& defaultSettingsPath() const { return defaultSettingsPath_; }
    // The release notes beside the executable, or in the installed data folder.
    std::string releaseNotesPath() const;
    // The help document beside the executable, or in the installed data folder.
    std::string helpDocumentPath() const;
    IMessageBox& messageBox() { return messageBox_; }

    // The one application object, or null before it is constructed.
    static CVantrelApp* instance();

    int socketLibraryReady = 0;
    std::uint32_t fileVersionMS = 0;
    std::uint32_t fileVersionLS = 0;

private:
    // Shows the settings file's failures in message boxes.
    class CReporter;

    std::string documentPath(const std::string& fileName) const;

    IMessageBox& messageBox_;
    std::unique_ptr<CReporter> reporter_;
    std::unique_ptr<CSettingsFile> settings_;
    std::string executableDirectory_;
    std::string defaultSettingsPath_;
};

// What the command line asks for. Qt's own options (-platform, -style, ...) are left for Qt.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    std::string error;         // the error line, for Error
    std::string platform;      // the value of -platform, when given
    bool displayGiven = false; // -display names the X display
};

// Reads the arguments that follow the program name.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// True when the windows have somewhere to go: a display is named (DISPLAY, WAYLAND_DISPLAY or
// -display), or the Qt platform chosen (-platform, else QT_QPA_PLATFORM) needs no display server.
// Null environment values are unset.
bool displayAvailable(const CommandLine& commandLine, const char* display,
                      const char* waylandDisplay, const char* qpaPlatform);

// "Vantrel - v1.00.00.0": the full version compiled into the program.
std::string programVersionLine();

// Does what the command line asks that needs no window (help, version, a usage error, no
// display), writing to `out` and `err`. Returns the exit status when the program ends here.
std::optional<int> runWithoutWindow(const std::vector<std::string>& arguments, std::FILE* out,
                                    std::FILE* err);
