#pragma once

// The commands of the menu bar and toolbar.
enum class Command {
    LogCommunications,
    Locations,
    Connect,
    Disconnect,
    TemporaryCommsSetup,
    TestComms,
    CommsLog,
    Toolbar,
    StatusBar,
    HelpTopics,
    ReleaseNotes,
    Convertor,
    About,
    ContextHelp,
};

// Whether a command can be chosen: Locations and Connect only offline; Disconnect, the temporary
// comms change and Test Comms only online; every other command always.
constexpr bool isCommandEnabled(Command command, bool online) {
    switch (command) {
    case Command::Locations:
    case Command::Connect:
        return !online;
    case Command::Disconnect:
    case Command::TemporaryCommsSetup:
    case Command::TestComms:
        return online;
    default:
        return true;
    }
}
