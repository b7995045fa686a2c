// The Game, Actions, Options and Help commands of the main frame.

#include "client/core/ChessFrame.h"

#include "client/core/AppTexts.h"
#include "client/core/ChessApp.h"
#include "client/core/Launch.h"
#include "client/core/Prompt.h"
#include "foundation/Config.h"

using Zorlin::CString;

void CChessFrame::NotYetAvailable(const char* what)
{
    CString text("This part of Rookwell is not available yet:\n\n");
    text += what;
    GetPrompt().ShowMessage(text, "Rookwell", wxOK | wxICON_INFORMATION, this);
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

void CChessFrame::OnClearStatistics(wxCommandEvent&)
{
    CChessApp* app = GetChessApp();
    if (!app || !app->m_userConfig)
        return;
    if (GetPrompt().ShowMessage("Are you sure?", "Clear game statistics", wxYES_NO | wxICON_QUESTION, this) == wxNO)
        return;
    for (const char* key : {".preferences.matches.played", ".preferences.matches.won", ".preferences.matches.lost",
                            ".preferences.matches.drawn"})
        app->m_userConfig->GetValue(key) = "0";
    BrowserRebuild(true);
}

void CChessFrame::OnClearChat(wxCommandEvent&)
{
    ChatClear();
}

void CChessFrame::OnAbout(wxCommandEvent&) { NotYetAvailable("About Rookwell"); }
void CChessFrame::OnMoveDialog(wxCommandEvent&) { NotYetAvailable("Move Dialog"); }
void CChessFrame::OnPreferences(wxCommandEvent&) { NotYetAvailable("Preferences"); }
void CChessFrame::OnGridmoorPreferences(wxCommandEvent&) { NotYetAvailable("Gridmoor Preferences"); }
void CChessFrame::OnProfile(wxCommandEvent&) { NotYetAvailable("Profile"); }
void CChessFrame::OnOpponents(wxCommandEvent&) { NotYetAvailable("Opponents"); }
void CChessFrame::OnClearAnnotation(wxCommandEvent&) { NotYetAvailable("Clear Annotation"); }
void CChessFrame::OnChangePenColour(wxCommandEvent&) { NotYetAvailable("Change Your Pen Colour"); }
void CChessFrame::OnChangeOpponentPenColour(wxCommandEvent&) { NotYetAvailable("Change Opponent's Pen Colour"); }
void CChessFrame::OnTakeBack(wxCommandEvent&) { NotYetAvailable("Take Back"); }
void CChessFrame::OnOfferDraw(wxCommandEvent&) { NotYetAvailable("Offer Draw"); }
void CChessFrame::OnResign(wxCommandEvent&) { NotYetAvailable("Resign"); }
void CChessFrame::OnResetGame(wxCommandEvent&) { NotYetAvailable("Reset Game"); }
void CChessFrame::OnPlayOnline(wxCommandEvent&) { NotYetAvailable("Play Online"); }
void CChessFrame::OnNewComputerGame(wxCommandEvent&) { NotYetAvailable("Start Game Versus Computer"); }
void CChessFrame::OnNewEmailGame(wxCommandEvent&) { NotYetAvailable("Start Email Game"); }
void CChessFrame::OnHostNetworkGame(wxCommandEvent&) { NotYetAvailable("Host a Game"); }
void CChessFrame::OnJoinNetworkGame(wxCommandEvent&) { NotYetAvailable("Join a Game"); }
void CChessFrame::OnEndGame(wxCommandEvent&) { NotYetAvailable("End Game"); }
