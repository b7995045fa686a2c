#include "client/remote/RemotePlay.h"

#include "client/core/RemoteCommands.h"
#include "client/remote/NetworkDialogs.h"
#include "client/remote/RemotePlayTransport.h"

namespace {

void HostNetworkGame(wxWindow* parent)
{
    CStartNetworkGameDialog dialog(parent);
    dialog.ShowModal();
}

void OpenJoinDialog(wxWindow* parent, const Zorlin::CString& address)
{
    CJoinNetworkGameDialog dialog(parent);
    if (!address.IsEmpty())
        dialog.SetAddress(address);
    dialog.ShowModal();
}

void JoinNetworkGame(wxWindow* parent)
{
    OpenJoinDialog(parent, Zorlin::CString());
}

} // namespace

void InstallNetworkPlay()
{
    SetRemoteCommand(ERemoteCommand::HostNetworkGame, HostNetworkGame);
    SetRemoteCommand(ERemoteCommand::JoinNetworkGame, JoinNetworkGame);
    CRemotePlayTransport::Get().SetJoinOpener(OpenJoinDialog);
}
