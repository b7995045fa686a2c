#include "client/dialogs/EnterMoveDialog.h"

#include <wx/textctrl.h>
#include <wx/utils.h>

#include "chess/Move.h"
#include "client/core/ChessView.h"
#include "client/core/Game.h"
#include "client/core/Player.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/dialogs/MenuBar.h"
#include "client/dialogs/TypedMove.h"

using Zorlin::CString;

wxBEGIN_EVENT_TABLE(CEnterMoveDialog, wxDialog)
    EVT_TEXT_ENTER(ID_ENTERMOVE_TEXT, CEnterMoveDialog::OnEnter)
    EVT_CLOSE(CEnterMoveDialog::OnClose)
    EVT_ACTIVATE(CEnterMoveDialog::OnActivate)
    EVT_SHOW(CEnterMoveDialog::OnShow)
    EVT_CHAR_HOOK(CEnterMoveDialog::OnCharHook)
wxEND_EVENT_TABLE()

CEnterMoveDialog::CEnterMoveDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Enter Move", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU)
{
    EnterMoveLayout(this, true, true);
    SetAppIcon(this);
}

bool CEnterMoveDialog::ReadMoveForCurrentGame(const CString& text, CMove& move)
{
    CString trimmed = text;
    trimmed.Trim();
    if (trimmed.IsEmpty() || !GetDialogHost().IsBoardEnabled())
        return false;
    CChessView* view = CGame::GetChessView();
    CGame* game = view ? view->GetGame() : nullptr;
    if (!game || !game->IsInPlay())
        return false;
    CPlayer* mover = game->GetPlayer(SIDE_TO_MOVE);
    if (!mover || !mover->IsLocal())
        return false;
    return ReadTypedMove(game->GetBoard(), trimmed, move);
}

wxTextCtrl* CEnterMoveDialog::MoveBox() const
{
    return dynamic_cast<wxTextCtrl*>(FindWindow(ID_ENTERMOVE_TEXT));
}

void CEnterMoveDialog::TakeFocus()
{
    wxTextCtrl* text = MoveBox();
    if (text && IsShown() && FindFocus() != text)
        text->SetFocus();
}

void CEnterMoveDialog::OnEnter(wxCommandEvent&)
{
    wxTextCtrl* text = MoveBox();
    CMove move;
    if (!text || !ReadMoveForCurrentGame(FromWx(text->GetValue()), move)) {
        wxBell();
        return;
    }
    text->ChangeValue(wxEmptyString);
    // A typed move slides like a player's move.
    CGame::GetChessView()->PlayMove(move, true);
}

void CEnterMoveDialog::OnClose(wxCloseEvent&)
{
    GetDialogHost().CheckMenuItem(ID_MENU_MOVE_DIALOG, false);
    Hide();
}

// Disabling every window for a moment (the end of a game) takes the focus
// from the box without giving it back; being shown or activated gives it back.
void CEnterMoveDialog::OnActivate(wxActivateEvent& event)
{
    if (event.GetActive())
        TakeFocus();
    event.Skip();
}

void CEnterMoveDialog::OnShow(wxShowEvent& event)
{
    if (event.IsShown())
        TakeFocus();
    event.Skip();
}

// A modeless dialog without a cancel button lets Escape pass: close it here.
void CEnterMoveDialog::OnCharHook(wxKeyEvent& event)
{
    if (event.GetKeyCode() == WXK_ESCAPE && !event.HasModifiers())
        Close();
    else
        event.Skip();
}
