#include "client/dialogs/PromotionDialog.h"

#include <wx/bmpbuttn.h>

#include "chess/ChessTypes.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/Icons.h"

namespace {

// The first of White's queen, rook, bishop and knight among the piece bitmaps.
const int kWhitePieceBitmaps = 8;

} // namespace

wxBEGIN_EVENT_TABLE(CPawnPromotionDialog, wxDialog)
    EVT_BUTTON(ID_PROMOTE_QUEEN, CPawnPromotionDialog::OnPiece)
    EVT_BUTTON(ID_PROMOTE_ROOK, CPawnPromotionDialog::OnPiece)
    EVT_BUTTON(ID_PROMOTE_BISHOP, CPawnPromotionDialog::OnPiece)
    EVT_BUTTON(ID_PROMOTE_KNIGHT, CPawnPromotionDialog::OnPiece)
    EVT_BUTTON(wxID_CANCEL, CPawnPromotionDialog::OnCancel)
    EVT_CLOSE(CPawnPromotionDialog::OnClose)
wxEND_EVENT_TABLE()

CPawnPromotionDialog::CPawnPromotionDialog(wxWindow* parent, int id, int colour)
    : wxDialog(parent, id, "Pawn Promotion", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU)
{
    PromotionLayout(this, true, true);
    // The layout draws Black's pieces; White is offered White's.
    if (colour == WHITE) {
        const int buttons[] = {ID_PROMOTE_QUEEN, ID_PROMOTE_ROOK, ID_PROMOTE_BISHOP, ID_PROMOTE_KNIGHT};
        for (int i = 0; i < 4; ++i)
            if (wxBitmapButton* button = dynamic_cast<wxBitmapButton*>(FindWindow(buttons[i])))
                button->SetBitmapLabel(GetPieceBitmap(kWhitePieceBitmaps + i));
    }
    // Without a Cancel button Escape would do nothing: it presses Queen.
    SetEscapeId(ID_PROMOTE_QUEEN);
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
