#pragma once

#include "resources/string_ids.h"

#include <array>

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
    FindUnit,
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

// The key that chooses a command besides its menu item and button.
enum class CommandKey { None, F1, ShiftF1 };

// One command of the menu bar and toolbar: where it sits and what it shows. A checkable command
// starts checked.
struct CommandEntry {
    Command command;
    unsigned menuId = 0; // the menu it is an item of; 0: none (a key and a button only)
    bool menuSeparatorBefore = false;
    unsigned textId = 0;
    unsigned promptId = 0; // the status-bar prompt, also the "what's this" text
    unsigned tipId = 0;
    bool onToolbar = false; // a toolbar button, shown with its image
    bool toolbarSeparatorBefore = false;
    bool checkable = false;
    CommandKey key = CommandKey::None;
};

// Every command in menu order; the toolbar buttons follow the same order.
inline constexpr std::array<CommandEntry, 15> kCommandTable = {{
    {.command = Command::LogCommunications,
     .menuId = kIdsMenuSetup,
     .textId = kIdsMenuLogCommunications,
     .promptId = kIdsPromptLogCommunications,
     .checkable = true},
    {.command = Command::Locations,
     .menuId = kIdsMenuSetup,
     .menuSeparatorBefore = true,
     .textId = kIdsMenuLocations,
     .promptId = kIdsPromptLocations,
     .tipId = kIdsTipLocations,
     .onToolbar = true},
    // Sweeps line settings and IDs; it refuses to start while online, and says so.
    {.command = Command::FindUnit,
     .menuId = kIdsMenuSetup,
     .textId = kIdsMenuFindUnit,
     .promptId = kIdsPromptFindUnit},
    {.command = Command::Connect,
     .menuId = kIdsMenuOnline,
     .textId = kIdsMenuConnect,
     .promptId = kIdsPromptConnect,
     .tipId = kIdsTipConnect,
     .onToolbar = true,
     .toolbarSeparatorBefore = true},
    {.command = Command::Disconnect,
     .menuId = kIdsMenuOnline,
     .textId = kIdsMenuDisconnect,
     .promptId = kIdsPromptDisconnect,
     .tipId = kIdsTipDisconnect,
     .onToolbar = true},
    {.command = Command::TemporaryCommsSetup,
     .menuId = kIdsMenuOnline,
     .menuSeparatorBefore = true,
     .textId = kIdsMenuTemporaryCommsSetup,
     .promptId = kIdsPromptTemporaryCommsSetup,
     .tipId = kIdsTipTemporaryCommsSetup,
     .onToolbar = true,
     .toolbarSeparatorBefore = true},
    {.command = Command::TestComms,
     .menuId = kIdsMenuOnline,
     .textId = kIdsMenuTestComms,
     .promptId = kIdsPromptTestComms,
     .tipId = kIdsTipTestComms,
     .onToolbar = true},
    {.command = Command::CommsLog,
     .menuId = kIdsMenuView,
     .textId = kIdsMenuCommsLog,
     .promptId = kIdsPromptCommsLog,
     .tipId = kIdsTipCommsLog,
     .onToolbar = true,
     .toolbarSeparatorBefore = true},
    {.command = Command::Toolbar,
     .menuId = kIdsMenuView,
     .menuSeparatorBefore = true,
     .textId = kIdsMenuToolbar,
     .promptId = kIdsPromptToolbar,
     .checkable = true},
    {.command = Command::StatusBar,
     .menuId = kIdsMenuView,
     .textId = kIdsMenuStatusBar,
     .promptId = kIdsPromptStatusBar,
     .checkable = true},
    {.command = Command::HelpTopics,
     .menuId = kIdsMenuHelp,
     .textId = kIdsMenuHelpTopics,
     .promptId = kIdsPromptHelpTopics,
     .key = CommandKey::F1},
    {.command = Command::ReleaseNotes,
     .menuId = kIdsMenuHelp,
     .textId = kIdsMenuReleaseNotes,
     .promptId = kIdsPromptReleaseNotes},
    {.command = Command::Convertor,
     .menuId = kIdsMenuHelp,
     .menuSeparatorBefore = true,
     .textId = kIdsMenuConvertor,
     .promptId = kIdsPromptConvertor,
     .tipId = kIdsTipConvertor,
     .onToolbar = true,
     .toolbarSeparatorBefore = true},
    {.command = Command::About,
     .menuId = kIdsMenuHelp,
     .menuSeparatorBefore = true,
     .textId = kIdsMenuAbout,
     .promptId = kIdsPromptAbout,
     .tipId = kIdsTipAbout,
     .onToolbar = true,
     .toolbarSeparatorBefore = true},
    // Shift+F1 and the last toolbar button: the "what's this" pointer.
    {.command = Command::ContextHelp,
     .promptId = kIdsPromptContextHelp,
     .tipId = kIdsTipContextHelp,
     .onToolbar = true,
     .key = CommandKey::ShiftF1},
}};
