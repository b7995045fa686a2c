#pragma once

// The menu commands of remote play. The frame knows them only by kind:
// remote play installs a handler for each at start-up, and a command
// without one tells the user that it is not available.

class wxWindow;

enum class ERemoteCommand {
    EmailGame,
    HostNetworkGame,
    JoinNetworkGame,
    PlayOnline,
    OnlinePreferences,
    Opponents,
    Count
};

using RemoteCommandHandler = void (*)(wxWindow* parent);

// Installs handler for command (null removes it).
void SetRemoteCommand(ERemoteCommand command, RemoteCommandHandler handler);
// Whether a handler is installed for command.
bool HasRemoteCommand(ERemoteCommand command);
// Runs the command's handler; false when none is installed.
bool RunRemoteCommand(ERemoteCommand command, wxWindow* parent);
