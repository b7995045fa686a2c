#pragma once

// Asks, when the user leaves the online search without a game, whether to
// watch for new players. The modal result is 1 when the box is checked.

#include <wx/dialog.h>

class CNewPlayerAlertDialog : public wxDialog {
public:
    CNewPlayerAlertDialog(wxWindow* parent, int id);

private:
    void OnOK(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void Finish();

    wxDECLARE_EVENT_TABLE();
};
