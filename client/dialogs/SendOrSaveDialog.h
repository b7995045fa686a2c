#pragma once

// The choice the turn window offers on Send: mail the turn, save it to a
// file, or neither. The modal result is the choice.

#include <wx/dialog.h>

class CSendOrSaveDialog : public wxDialog {
public:
    enum { kCancel = 0, kEmail = 1, kSave = 2 };

    explicit CSendOrSaveDialog(wxWindow* parent);

private:
    void OnEmail(wxCommandEvent& event);
    void OnSave(wxCommandEvent& event);
    void OnHelp(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    wxDECLARE_EVENT_TABLE();
};
