#include "client/dialogs/EmailGameDialog.h"

#include <wx/listbox.h>
#include <wx/radiobox.h>
#include <wx/textctrl.h>

#include "chess/ChessTypes.h"
#include "client/core/AppServices.h"
#include "client/core/ChessView.h"
#include "client/core/Prompt.h"
#include "client/core/WxText.h"
#include "client/dialogs/AIGameSettings.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/dialogs/OpponentsDialog.h"
#include "client/dialogs/SendEmailDialog.h"
#include "client/remote/EmailGame.h"
#include "client/remote/EmailPlayer.h"
#include "client/remote/OpponentList.h"
#include "client/remote/OpponentStore.h"

using Zorlin::CString;

wxBEGIN_EVENT_TABLE(CEmailGameDialog, wxDialog)
    EVT_BUTTON(ID_EMAILGAME_OK, CEmailGameDialog::OnOK)
    EVT_BUTTON(ID_EMAILGAME_CANCEL, CEmailGameDialog::OnCancel)
    EVT_BUTTON(ID_EMAILGAME_HELP, CEmailGameDialog::OnHelp)
    EVT_LISTBOX(ID_EMAILGAME_OPPONENTS, CEmailGameDialog::OnOpponentSelected)
    EVT_CLOSE(CEmailGameDialog::OnClose)
    EVT_SIZE(CEmailGameDialog::OnSize)
wxEND_EVENT_TABLE()

namespace {

wxTextCtrl* TextField(wxWindow* dialog, int id)
{
    return dynamic_cast<wxTextCtrl*>(dialog->FindWindow(id));
}

} // namespace

CEmailGameDialog::CEmailGameDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Email Game", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU)
{
    EmailGameLayout(this, true, true);
    SetAppIcon(this);
    FillOpponentList();
    TextField(this, ID_EMAILGAME_NAME)->SetFocus();
    Centre(wxBOTH);
}

void CEmailGameDialog::FillOpponentList()
{
    COpponentsDialog::FillList(dynamic_cast<wxListBox*>(FindWindow(ID_EMAILGAME_OPPONENTS)), GetOpponentList());
}

void CEmailGameDialog::OnOpponentSelected(wxCommandEvent&)
{
    const int number = COpponentsDialog::SelectedNumber(dynamic_cast<wxListBox*>(FindWindow(ID_EMAILGAME_OPPONENTS)));
    COpponentProfile* profile = GetOpponentList().GetByNumber(number);
    if (!profile || !profile->Load())
        return;
    TextField(this, ID_EMAILGAME_NAME)->ChangeValue(ToWx(profile->m_profile.GetValueOr(".Profile.name", "")));
    TextField(this, ID_EMAILGAME_EMAIL)->ChangeValue(ToWx(profile->m_profile.GetValueOr(".Profile.email", "")));
}

void CEmailGameDialog::OnOK(wxCommandEvent&)
{
    Zorlin::CConfig& user = GetAppServices().GetUserSettings();
    CString own = user.GetValueOr(".profile.email", "");
    own.Trim();
    if (own.IsEmpty()) {
        if (!GetPrompt().AskText("Please enter your email address", "Reply to", own, this))
            return;
        own.Trim();
        if (own.IsEmpty())
            return;
        user.GetValue(".profile.email") = own;
        GetDialogHost().SaveUserSettings();
    }
    const int choice = dynamic_cast<wxRadioBox*>(FindWindow(ID_EMAILGAME_START_AS))->GetSelection();
    const int colour = EmailTurn::StartColour(choice, DrawRandom());
    if (choice == 2) {
        CString text;
        text.AppendFormat("You will be playing %s.", colour == BLACK ? "black" : "white");
        GetPrompt().ShowMessage(text, "Email Game", wxOK, this);
    }
    const CString name = FromWx(TextField(this, ID_EMAILGAME_NAME)->GetValue());
    const CString address = FromWx(TextField(this, ID_EMAILGAME_EMAIL)->GetValue());
    if (name.IsEmpty()) {
        GetPrompt().ShowMessage("Opponent's name is required to start the game.", "Email game",
                                wxOK | wxICON_INFORMATION, this);
        return;
    }
    if (address.IsEmpty()) {
        GetPrompt().ShowMessage("Opponent's email address is required to start the game.", "Email game",
                                wxOK | wxICON_INFORMATION, this);
        return;
    }
    CChessView* view = CGame::GetChessView();
    CEmailGame* game = new CEmailGame();
    if (!view || !game->Setup()) {
        GetPrompt().ShowMessage("Could not start the email game.", "Email game", wxOK | wxICON_ERROR, this);
        delete game;
        return;
    }
    EndModal(0);
    game->Start();
    game->StartGame(colour, name, address);
    game->ShowOnBoard();
    if (colour == BLACK)
        game->GetEmailPlayer()->GetDialog()->StartRestoreTimer(500);
}

void CEmailGameDialog::OnCancel(wxCommandEvent&)
{
    EndModal(0);
}

void CEmailGameDialog::OnHelp(wxCommandEvent&)
{
    GetDialogHost().ShowHelp("game", "StartEmailGame");
}

void CEmailGameDialog::OnClose(wxCloseEvent&)
{
    EndModal(0);
}

void CEmailGameDialog::OnSize(wxSizeEvent& event)
{
    Layout();
    event.Skip();
}
