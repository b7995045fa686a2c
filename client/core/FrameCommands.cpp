// The Game, Actions, Options and Help commands of the main frame.

#include "client/core/ChessFrame.h"

#include <wx/menu.h>
#include <wx/statusbr.h>

#include "client/core/AIGame.h"
#include "client/core/AppTexts.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessView.h"
#include "client/core/ClockView.h"
#include "client/core/ComputerPlayer.h"
#include "client/core/EngineProcess.h"
#include "client/core/FrameCommandRules.h"
#include "client/core/Game.h"
#include "client/core/GameEndText.h"
#include "client/core/Launch.h"
#include "client/core/Player.h"
#include "client/core/Prompt.h"
#include "client/dialogs/AboutDialog.h"
#include "client/dialogs/EnterMoveDialog.h"
#include "client/dialogs/MenuBar.h"
#include "client/dialogs/NewAIGameDialog.h"
#include "client/dialogs/PreferencesDialog.h"
#include "client/dialogs/ProfileDialog.h"
#include "client/view/BoardRenderer.h"
#include "client/view/ChessWindow.h"
#include "foundation/Colour.h"
#include "foundation/Config.h"

using Zorlin::CString;

namespace {

bool IsGameType(CGame* game, const char* type)
{
    return game && Zorlin::KeysEqualNoCase(game->GetSettings().GetValueOr("type", ""), CString(type));
}

// In play and without a result: the state in which draws and resignations
// mean something.
bool IsLive(CGame* game)
{
    return game && game->IsInPlay() && game->GetResult() == RESULT_NONE;
}

} // namespace

void CChessFrame::NotYetAvailable(const char* what)
{
    CString text("This part of Rookwell is not available yet:\n\n");
    text += what;
    GetPrompt().ShowMessage(text, what, wxOK | wxICON_INFORMATION, this);
}

void CChessFrame::RunRemote(ERemoteCommand command, const char* what)
{
    if (!RunRemoteCommand(command, this))
        NotYetAvailable(what);
}

void CChessFrame::RunRemoteNewGame(ERemoteCommand command, const char* what)
{
    // The game its dialog may begin takes the board's place: the game there
    // is asked first, before the dialog, as every new game does. Without the
    // command nothing would be left, so nothing is asked.
    if (HasRemoteCommand(command) && !MayLeaveGame())
        return;
    RunRemote(command, what);
}

bool CChessFrame::MayLeaveGame()
{
    CGame* game = GetGame();
    return !game || game->ConfirmLeave();
}

CBoardRenderer* CChessFrame::GetScene()
{
    CChessWindow* canvas = dynamic_cast<CChessWindow*>(m_boardCanvas);
    return canvas ? canvas->GetScene() : nullptr;
}

void CChessFrame::RequestBoardRedraw()
{
    if (CChessWindow* canvas = dynamic_cast<CChessWindow*>(m_boardCanvas))
        canvas->RequestRedraw();
    CanvasRedraw();
}

bool CChessFrame::ReplaceWithEmptyGame()
{
    CChessView* view = GetChessView();
    if (!view)
        return false;
    CGame* game = new CGame();
    game->GetSettings().GetValue("type") = "Dummy";
    game->Setup();
    view->ResetView(game, false, false);
    return true;
}

// ------------------------------------------------------------ new games

void CChessFrame::OnNewComputerGame(wxCommandEvent&)
{
    if (!MayLeaveGame())
        return;
    CGame* before = GetGame();
    {
        CNewAIGameDialog dialog(this);
        dialog.ShowModal();
    }
    // The dialog puts its game on the board only when the engine started;
    // an engine that has gone again since leaves no game that cannot move.
    CGame* after = GetGame();
    if (CAIGame* game = after != before ? dynamic_cast<CAIGame*>(after) : nullptr) {
        CComputerPlayer* computer = game->IsStarted() ? game->GetComputerPlayer() : nullptr;
        CEngineProcess* engine = computer ? computer->GetEngineProcess() : nullptr;
        if (engine)
            engine->Pump(); // takes in what is waiting, the end of output included
        if (!engine || !engine->IsRunning() || engine->HasEnded()) {
            game->SetInPlay(false);
            CAIGame::ReportLaunchFailure(CAIGame::kStartFailure);
            if (ReplaceWithEmptyGame())
                ShowPosition();
        }
    }
    UpdateGamePanel();
}

// Remote play comes with its own part of the client; until then these
// commands leave the current game alone and say so.
void CChessFrame::OnNewEmailGame(wxCommandEvent&) { RunRemoteNewGame(ERemoteCommand::EmailGame, "Start Email Game"); }
void CChessFrame::OnHostNetworkGame(wxCommandEvent&) { RunRemoteNewGame(ERemoteCommand::HostNetworkGame, "Host a Game"); }
void CChessFrame::OnJoinNetworkGame(wxCommandEvent&) { RunRemoteNewGame(ERemoteCommand::JoinNetworkGame, "Join a Game"); }

void CChessFrame::OnPlayOnline(wxCommandEvent&)
{
    // The game on the board is asked first: an online game whether it may
    // be left (its opponent told), any other whether to save it. Without
    // online play nothing is left.
    CGame* game = HasRemoteCommand(ERemoteCommand::PlayOnline) ? GetGame() : nullptr;
    if (IsGameType(game, "GridmoorGame")) {
        if (!game->ConfirmLeave())
            return;
        if ((game = GetGame()) != nullptr)
            game->SetInPlay(false);
        if (CClockView* clock = GetClockView())
            clock->Stop();
    } else if (game) {
        if (!game->QueryClose())
            return;
        if (!IsGameType(GetGame(), "Dummy") && ReplaceWithEmptyGame()) {
            ShowPosition();
            UpdateGamePanel();
        }
    }
    RunRemote(ERemoteCommand::PlayOnline, "Play Online");
}

void CChessFrame::OnEndGame(wxCommandEvent&)
{
    CGame* game = GetGame();
    // An online game asks its own question (resigning, the link to the opponent).
    if (game && game->IsInPlay() && !IsGameType(game, "GridmoorGame") &&
        GetPrompt().ShowMessage("End the current game?", "End Game", wxYES_NO | wxICON_QUESTION, this) != wxYES)
        return;
    if (!MayLeaveGame())
        return;
    if (CClockView* clock = GetClockView())
        clock->Stop();
    ShowBrowser(false, true);
    if (ReplaceWithEmptyGame())
        ShowPosition();
}

// ------------------------------------------------------------ actions

bool CChessFrame::PassToViewedGame(bool resign)
{
    CGame* game = GetGame();
    if (!game || !game->IsOnlyViewed())
        return false;
    CPlayer* local = nullptr;
    const int colour = game->FindLocalPlayer(local) ? local->GetColour() : WHITE;
    if (resign)
        game->Resign(colour);
    else
        game->OfferDraw(colour);
    return true;
}

void CChessFrame::OnTakeBack(wxCommandEvent&)
{
    CGame* game = GetGame();
    CPlayer* local = nullptr;
    bool hasLocal = game && game->FindLocalPlayer(local);
    int played = game ? game->GetBoard().GetPly() : 0;
    CPlayer* mover = game ? game->GetPlayer(SIDE_TO_MOVE) : nullptr;
    int target = 0;
    switch (PlanTakeBack(hasLocal, played, mover && mover->IsLocal(), target)) {
    case ETakeBack::kNoLocalPlayer:
        GetPrompt().ShowMessage("Can't take back.", "Take back", wxOK | wxICON_INFORMATION, this);
        return;
    case ETakeBack::kNothing:
        GetPrompt().ShowMessage("Nothing to take back.", "Take back", wxOK | wxICON_INFORMATION, nullptr);
        return;
    case ETakeBack::kRequest:
        break;
    }
    if (wxStatusBar* bar = GetStatusBar())
        bar->SetStatusText(wxEmptyString, 0);
    CPlayer* other = game->GetPlayer(local->GetColour() == BLACK ? WHITE : BLACK);
    if (other)
        other->RequestTakeBack(target);
}

void CChessFrame::OnOfferDraw(wxCommandEvent&)
{
    if (PassToViewedGame(false))
        return;
    if (!IsLive(GetGame())) {
        GetPrompt().ShowMessage("Game not in play!", "Offer Draw", wxOK, this);
        return;
    }
    if (GetPrompt().ShowMessage("Are you sure?", "Offer Draw", wxYES_NO | wxICON_QUESTION, this) == wxNO)
        return;
    // The question let events run: the game may have ended or gone.
    CGame* game = GetGame();
    CPlayer* local = nullptr;
    if (IsLive(game) && game->FindLocalPlayer(local))
        game->OfferDraw(local->GetColour());
}

void CChessFrame::OnResign(wxCommandEvent&)
{
    if (PassToViewedGame(true))
        return;
    if (!IsLive(GetGame())) {
        GetPrompt().ShowMessage("Game not in play!", "Resign", wxOK, this);
        return;
    }
    if (GetPrompt().ShowMessage("Are you sure?", "Resign", wxYES_NO | wxICON_QUESTION, this) != wxYES)
        return;
    CGame* game = GetGame();
    if (!IsLive(game))
        return;
    game->SetInPlay(false);
    CPlayer* remote = nullptr;
    if (game->FindRemotePlayer(remote)) {
        game->SetResult(ResultAfterResigning(remote->GetColour()));
        game->SetEndNote(kEndNoteResigned);
        remote->Resign();
    }
    if (CChessView* view = GetChessView())
        view->GameOver(-1, 0);
}

void CChessFrame::OnResetGame(wxCommandEvent&)
{
    CGame* game = GetGame();
    if (!game || IsGameType(game, "Dummy")) {
        GetPrompt().ShowMessage("Game not in play!", "Reset", wxOK, this);
        return;
    }
    if (GetPrompt().ShowMessage("This will reset the board to the initial position.\n\nAre you sure?", "Reset Game",
                                wxYES_NO | wxICON_QUESTION, this) == wxNO)
        return;
    if (CGame* current = GetGame())
        current->Reset();
}

// ------------------------------------------------------------ options

void CChessFrame::OnPreferences(wxCommandEvent&)
{
    CPreferencesDialog dialog(this);
    dialog.ShowModal();
}

void CChessFrame::OnProfile(wxCommandEvent&)
{
    CProfileDialog dialog(nullptr);
    dialog.ShowModal();
}

void CChessFrame::OnGridmoorPreferences(wxCommandEvent&) { RunRemote(ERemoteCommand::OnlinePreferences, "Gridmoor Preferences"); }
void CChessFrame::OnOpponents(wxCommandEvent&) { RunRemote(ERemoteCommand::Opponents, "Opponents"); }

void CChessFrame::OnClearAnnotation(wxCommandEvent&)
{
    if (CBoardRenderer* scene = GetScene()) {
        scene->SetTime(CChessWindow::GetSeconds());
        scene->ClearPen(0);
    }
    RequestBoardRedraw();
    if (CGame* game = GetGame())
        game->OnClearAnnotation();
}

void CChessFrame::ChangePenColour(const char* frame, int pen)
{
    CChessApp* app = GetChessApp();
    if (!app || !app->m_userConfig)
        return;
    SPenColour colour = ReadPenColour(*app->m_userConfig, frame);
    if (!GetPrompt().AskColour(pen == 0 ? "Your Pen Colour" : "Opponent's Pen Colour", colour.red, colour.green,
                               colour.blue, this))
        return;
    WritePenColour(*app->m_userConfig, frame, colour);
    if (CBoardRenderer* scene = GetScene())
        scene->SetPenColour(pen, Zorlin::CColour(colour.red, colour.green, colour.blue, 0));
    RequestBoardRedraw();
}

void CChessFrame::OnChangePenColour(wxCommandEvent&)
{
    ChangePenColour("preferences.pen.colour", 0);
}

void CChessFrame::OnChangeOpponentPenColour(wxCommandEvent&)
{
    ChangePenColour("preferences.pen.opponent", 1);
}

void CChessFrame::OnClearStatistics(wxCommandEvent&)
{
    CChessApp* app = GetChessApp();
    if (!app || !app->m_userConfig)
        return;
    if (GetPrompt().ShowMessage("Are you sure?", "Clear game statistics", wxYES_NO | wxICON_QUESTION, this) == wxNO)
        return;
    ClearMatchStatistics(*app->m_userConfig);
    BrowserRebuild(true);
}

void CChessFrame::OnClearChat(wxCommandEvent&)
{
    ChatClear();
}

void CChessFrame::OnMoveDialog(wxCommandEvent&)
{
    wxMenuBar* bar = GetMenuBar();
    bool show = bar && bar->FindItem(ID_MENU_MOVE_DIALOG) && bar->IsChecked(ID_MENU_MOVE_DIALOG);
    if (bar && bar->FindItem(ID_MENU_MOVE_DIALOG))
        bar->Check(ID_MENU_MOVE_DIALOG, show);
    if (!m_moveDialog)
        m_moveDialog = new CEnterMoveDialog(this);
    m_moveDialog->Show(show);
}

// ------------------------------------------------------------ help

void CChessFrame::OnAbout(wxCommandEvent&)
{
    CAboutDialog dialog(this, wxID_ANY);
    dialog.ShowModal();
}

void CChessFrame::OnHelpContents(wxCommandEvent&)
{
    if (CChessApp* app = GetChessApp())
        app->ShowHelp("contents", nullptr);
}

void CChessFrame::OnTroubleshooting(wxCommandEvent&)
{
    if (CChessApp* app = GetChessApp())
        app->ShowHelp("troubleshooting", nullptr);
}

void CChessFrame::OnOnlineSupport(wxCommandEvent&)
{
    OpenUrl(kSupportPageAddress);
}

void CChessFrame::OnWebSite(wxCommandEvent&)
{
    OpenUrl(kHomePageAddress);
}
