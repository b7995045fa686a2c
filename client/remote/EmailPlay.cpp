#include "client/remote/RemotePlay.h"

#include <wx/defs.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessView.h"
#include "client/core/FrameView.h"
#include "client/core/Game.h"
#include "client/core/ProfileArchive.h"
#include "client/core/Prompt.h"
#include "client/core/RemoteCommands.h"
#include "client/dialogs/EmailGameDialog.h"
#include "client/dialogs/OpponentsDialog.h"
#include "client/remote/EmailGame.h"
#include "client/remote/EmailTurn.h"
#include "client/remote/MapiMail.h"
#include "client/remote/OpponentStore.h"
#include "client/remote/RemotePlayTransport.h"
#include "client/view/ConsoleWindow.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/NameText.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

wxWindow* FrameWindow()
{
    CFrameView* frame = CGame::GetFrame();
    return frame ? frame->GetWindow() : nullptr;
}

// A received turn that is not taken: said to the user and logged; nothing
// of it has been used.
void Refuse(const CString& why)
{
    CChessApp* app = GetChessApp();
    if (app && app->m_console)
        app->m_console->Write((CString("Turn file refused: ") + Zorlin::EscapeForLog(why) + "\n").GetText());
    GetPrompt().ShowMessage(CString("This turn file was refused:\n\n") + why + "\n\nNothing was changed.", "Problem",
                            wxOK | wxICON_ERROR, FrameWindow());
}

bool MayReplaceGame()
{
    CChessView* view = CGame::GetChessView();
    CGame* current = view ? view->GetGame() : nullptr;
    return !current || current->QueryClose();
}

// The frame has asked the game on the board whether it may be left.
void RunEmailGame(wxWindow* parent)
{
    CEmailGameDialog dialog(parent);
    dialog.ShowModal();
}

void RunOpponents(wxWindow* parent)
{
    COpponentsDialog dialog(parent);
    dialog.ShowModal();
}

CGame* OpenTurn(Zorlin::CArchiveDrive& turn, CString& moveText, bool& told)
{
    EmailTurn::STurn read;
    CString why;
    told = true;
    if (!EmailTurn::Read(turn, read, why)) {
        Refuse(why);
        return nullptr;
    }
    CEmailGame* game = new CEmailGame();
    game->Setup();
    // Judged before anything is asked about the game on the board, which
    // a refused turn leaves as it is. Without a reason the colour question
    // was cancelled: the caller's own word says the game was not opened.
    if (!game->Judge(read, why)) {
        told = !why.IsEmpty();
        if (told)
            Refuse(why);
        delete game;
        return nullptr;
    }
    // As the new-game commands do: the game on the board may hold an
    // unsent move. Keeping it is the user's choice, not a failure.
    if (!MayReplaceGame()) {
        delete game;
        return nullptr;
    }
    if (!game->OpenTurn(read, moveText, why)) {
        // Without a reason the colour question was cancelled: the caller's
        // own word says the game was not opened.
        told = !why.IsEmpty();
        if (told)
            Refuse(why);
        delete game;
        return nullptr;
    }
    return game;
}

void InstallProfile(Zorlin::CFile& profile)
{
    CString id;
    if (AskToStoreOpponentProfile(profile, id) != EProfileAnswer::kRefused)
        return;
    CChessApp* app = GetChessApp();
    if (app && app->m_console)
        app->m_console->Write((CString(kProfileRefused) + "\n").GetText());
    GetPrompt().ShowMessage(kProfileRefused, "Opponent's Profile", wxOK | wxICON_WARNING, FrameWindow());
}

bool OpenSavedGame(CConfig& saved)
{
    if (!CGame::GetChessView())
        return false;
    CEmailGame* game = new CEmailGame();
    game->Setup();
    game->GetBoard().SetupStartPosition();
    game->LoadMoves(saved, true);
    game->AssignSides(saved);
    game->ShowOnBoard();
    return true;
}

} // namespace

void InstallEmailPlay()
{
    // Attachment folders that an earlier run left for its mail program.
    CMapiMail::RemoveStaleFolders();
    SetRemoteCommand(ERemoteCommand::EmailGame, RunEmailGame);
    SetRemoteCommand(ERemoteCommand::Opponents, RunOpponents);
    CRemotePlayTransport& transport = CRemotePlayTransport::Get();
    transport.SetTurnOpener(OpenTurn);
    transport.SetProfileInstaller(InstallProfile);
    transport.SetSavedGameOpener(OpenSavedGame);
}
