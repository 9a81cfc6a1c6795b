#pragma once

#include <string>

// The directory of the running executable (from /proc/self/exe), without a trailing slash;
// "." when it cannot be read.
std::string executableDirectory();
// The running executable's file name without its directory; "vantrel" when it cannot be read.
std::string executableBaseName();

// The path of the help file the program would carry: the executable's directory, its base name
// and ".HLP".
std::string helpFilePath(const std::string& directory, const std::string& baseName);

// Replaces the help file's name in `helpPath` by `fileName`. The name is matched case-sensitively
// as "Vantrel.HLP", then "VANTREL.HLP", then "vantrel.HLP" (the name of the Linux executable);
// when none occurs the path is returned unchanged.
std::string replaceHelpFileName(const std::string& helpPath, const std::string& fileName);

// The folder that holds the program's documents (the help, the release notes): the executable's
// own folder when `fileName` is there (a build tree, or a copy run from one folder), otherwise
// the installed data folder `dataFromExecutable` relative to it (for example "../share/vantrel")
// when the file is there. The executable's folder when neither holds it, so that a missing
// document is reported under the name it had beside the program.
std::string documentDirectory(const std::string& executableDirectory, const std::string& fileName,
                              const std::string& dataFromExecutable);
// The installed data folder relative to the executable's folder, as the build's install layout
// puts it ("../share/vantrel" by default).
std::string installedDataFromExecutable();

// Where the settings file lives:
// - the file named by the environment variable VANTREL_SETTINGS when it is set and not empty;
// - otherwise `besideExecutable` when that file exists or its directory is writable;
// - otherwise `fileName` in $XDG_CONFIG_HOME/vantrel/ (default ~/.config/vantrel/), whose
//   directory is created when missing. If no home can be found, `besideExecutable`.
std::string resolveSettingsPath(const std::string& besideExecutable, const std::string& fileName);

// The directory part of a path ("." when it has none).
std::string directoryOf(const std::string& path);
