#pragma once

// Starts a game by e-mail: the opponent's name and address, typed or taken
// from the stored opponents, and the colour to play. OK puts the new game
// on the board and shows its turn window.

#include <wx/dialog.h>

class CEmailGameDialog : public wxDialog {
public:
    explicit CEmailGameDialog(wxWindow* parent);

private:
    void FillOpponentList();
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnHelp(wxCommandEvent& event);
    void OnOpponentSelected(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnSize(wxSizeEvent& event);

    wxDECLARE_EVENT_TABLE();
};
