#pragma once

// The time control of a new online game to propose: timed with 1 to 99
// minutes a side, or untimed. ShowModal gives 1 when sent, 0 when not.

#include <wx/dialog.h>

class CSendChallengeDialog : public wxDialog {
public:
    explicit CSendChallengeDialog(wxWindow* parent);

    void SetValues(bool timed, int minutes);
    // 0 for an untimed game.
    int GetMinutes() const { return m_minutes; }

    // The minutes a press of Send gives: the spin value kept within 1..99
    // when the box is checked, else 0.
    static int ChosenMinutes(bool timed, int spinValue);

private:
    void EnableMinutes(bool enable);
    void OnTimed(wxCommandEvent& event);
    void OnSend(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    int m_minutes;

    wxDECLARE_EVENT_TABLE();
};
