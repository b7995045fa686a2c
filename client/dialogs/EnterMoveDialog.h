#pragma once

// A modeless window in which the user types a move instead of dragging a
// piece. A typed move goes through the board's one apply routine; anything
// that cannot be played now rings the bell and stays for correction. Closing
// it hides it: the frame keeps the one window and shows it again.

#include <wx/dialog.h>

#include "foundation/String.h"

class CMove;
class wxTextCtrl;

class CEnterMoveDialog : public wxDialog {
public:
    explicit CEnterMoveDialog(wxWindow* parent);

    // The move the typed text names, when the current game takes one from
    // this user now; false otherwise.
    static bool ReadMoveForCurrentGame(const Zorlin::CString& text, CMove& move);

private:
    wxTextCtrl* MoveBox() const;
    void TakeFocus();
    void OnEnter(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnActivate(wxActivateEvent& event);
    void OnShow(wxShowEvent& event);
    void OnCharHook(wxKeyEvent& event);

    wxDECLARE_EVENT_TABLE();
};
