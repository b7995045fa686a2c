#include "client/dialogs/PromotionDialog.h"

#include "chess/ChessTypes.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"

wxBEGIN_EVENT_TABLE(CPawnPromotionDialog, wxDialog)
    EVT_BUTTON(ID_PROMOTE_QUEEN, CPawnPromotionDialog::OnPiece)
    EVT_BUTTON(ID_PROMOTE_ROOK, CPawnPromotionDialog::OnPiece)
    EVT_BUTTON(ID_PROMOTE_BISHOP, CPawnPromotionDialog::OnPiece)
    EVT_BUTTON(ID_PROMOTE_KNIGHT, CPawnPromotionDialog::OnPiece)
    EVT_BUTTON(wxID_CANCEL, CPawnPromotionDialog::OnCancel)
    EVT_CLOSE(CPawnPromotionDialog::OnClose)
wxEND_EVENT_TABLE()

CPawnPromotionDialog::CPawnPromotionDialog(wxWindow* parent, int id)
    : wxDialog(parent, id, "Pawn Promotion", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU)
{
    PromotionLayout(this, true, true);
    CentreOnScreen(wxBOTH);
}

void CPawnPromotionDialog::OnPiece(wxCommandEvent& event)
{
    switch (event.GetId()) {
    case ID_PROMOTE_ROOK:
        EndModal(PIECE_ROOK);
        break;
    case ID_PROMOTE_BISHOP:
        EndModal(PIECE_BISHOP);
        break;
    case ID_PROMOTE_KNIGHT:
        EndModal(PIECE_KNIGHT);
        break;
    default:
        EndModal(PIECE_QUEEN);
        break;
    }
}

// Escape and the close box: the usual choice, never a cancel code that the
// board would take for a piece.
void CPawnPromotionDialog::OnCancel(wxCommandEvent&)
{
    EndModal(PIECE_QUEEN);
}

void CPawnPromotionDialog::OnClose(wxCloseEvent&)
{
    EndModal(PIECE_QUEEN);
}
