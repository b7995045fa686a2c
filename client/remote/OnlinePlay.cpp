#include "client/remote/RemotePlay.h"

#include <memory>

#include <wx/utils.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/RemoteCommands.h"
#include "client/remote/DialogOnlineSearch.h"
#include "client/remote/GridmoorGameStart.h"
#include "client/remote/GridmoorSession.h"
#include "client/remote/OnlinePreferencesDialog.h"
#include "client/remote/OpponentList.h"

namespace {

CGridmoorSession* MakeSession()
{
    return new CGridmoorSession();
}

void DestroySession(CGridmoorSession* session)
{
    session->Destroy();
}

void DeleteOpponentList(COpponentList* list)
{
    delete list;
}

void PlayOnline(wxWindow* parent)
{
    CChessApp* app = GetChessApp();
    CGridmoorSession* session = app ? app->GetOnlineSession() : nullptr;
    if (!session)
        return;
    std::unique_ptr<CDialogOnlineSearch> dialog;
    {
        wxBusyCursor busy;
        dialog.reset(new CDialogOnlineSearch(parent, wxID_ANY, session));
        dialog->Centre(wxBOTH);
        dialog->Begin();
    }
    const int result = dialog->ShowModal();
    dialog.reset();
    if (result == 0) {
        session->SetListener(nullptr);
        return;
    }
    if (CChessFrame* frame = dynamic_cast<CChessFrame*>(parent)) {
        frame->UpdateGamePanel();
        frame->ShowBrowser(false, false);
        frame->ShowChat();
    }
}

void OnlinePreferences(wxWindow* parent)
{
    // Its OK saves the settings.
    COnlinePreferencesDialog dialog(parent);
    dialog.ShowModal();
}

} // namespace

void InstallOnlinePlay()
{
    CChessApp::SOnlineSessionKind kind;
    kind.make = MakeSession;
    kind.destroy = DestroySession;
    kind.deleteList = DeleteOpponentList;
    CChessApp::SetOnlineSessionKind(kind);
    SetRemoteCommand(ERemoteCommand::PlayOnline, PlayOnline);
    SetOnlineGameMaker(MakeGridmoorGame);
    SetRemoteCommand(ERemoteCommand::OnlinePreferences, OnlinePreferences);
}
