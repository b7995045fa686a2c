#include "client/core/RemoteCommands.h"

namespace {

RemoteCommandHandler g_handlers[static_cast<int>(ERemoteCommand::Count)] = {};

bool IsCommand(ERemoteCommand command)
{
    const int index = static_cast<int>(command);
    return index >= 0 && index < static_cast<int>(ERemoteCommand::Count);
}

} // namespace

void SetRemoteCommand(ERemoteCommand command, RemoteCommandHandler handler)
{
    if (IsCommand(command))
        g_handlers[static_cast<int>(command)] = handler;
}

bool HasRemoteCommand(ERemoteCommand command)
{
    return IsCommand(command) && g_handlers[static_cast<int>(command)];
}

bool RunRemoteCommand(ERemoteCommand command, wxWindow* parent)
{
    if (!IsCommand(command) || !g_handlers[static_cast<int>(command)])
        return false;
    g_handlers[static_cast<int>(command)](parent);
    return true;
}
