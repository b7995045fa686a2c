#pragma once

// Asks which piece a pawn becomes on the last rank, showing the pieces of
// the side that promotes. The modal result is the piece's PieceType number;
// closing the box without a choice gives a queen, so the result is always a
// piece.

#include <wx/dialog.h>

class CPawnPromotionDialog : public wxDialog {
public:
    // colour: the side that promotes (WHITE or BLACK).
    CPawnPromotionDialog(wxWindow* parent, int id, int colour);

private:
    void OnPiece(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    wxDECLARE_EVENT_TABLE();
};
