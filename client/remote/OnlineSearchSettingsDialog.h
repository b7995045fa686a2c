#pragma once

// Edits which games the opponent search asks for: the clock, its limits,
// the opponents' levels and the colour (the frame "onlinesearch").

#include <wx/dialog.h>

class wxSpinEvent;

class COnlineSearchSettingsDialog : public wxDialog {
public:
    explicit COnlineSearchSettingsDialog(wxWindow* parent);

    void UpdateEnabled();

private:
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnDefaultSearch(wxCommandEvent& event);
    void OnAllSkills(wxCommandEvent& event);
    void OnPreferences(wxCommandEvent& event);
    void OnUpdateEnabled(wxCommandEvent& event);
    void OnLowChanged(wxSpinEvent& event);
    void OnHighChanged(wxSpinEvent& event);
    void OnSkillClicked(wxCommandEvent& event);
    void Fill();

    wxDECLARE_EVENT_TABLE();
};
