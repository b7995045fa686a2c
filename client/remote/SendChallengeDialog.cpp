#include "client/remote/SendChallengeDialog.h"

#include <wx/checkbox.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>

#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"

wxBEGIN_EVENT_TABLE(CSendChallengeDialog, wxDialog)
    EVT_CHECKBOX(ID_CHALLENGE_TIMED, CSendChallengeDialog::OnTimed)
    EVT_BUTTON(ID_CHALLENGE_SEND, CSendChallengeDialog::OnSend)
    EVT_BUTTON(ID_CHALLENGE_CANCEL, CSendChallengeDialog::OnCancel)
    EVT_CLOSE(CSendChallengeDialog::OnClose)
wxEND_EVENT_TABLE()

CSendChallengeDialog::CSendChallengeDialog(wxWindow* parent)
    : wxDialog(parent, -1, "Send Challenge"), m_minutes(0)
{
    SendChallengeLayout(this, true, true);
    if (wxWindow* spin = FindWindow(ID_CHALLENGE_MINUTES))
        spin->Enable(false);
    SetAppIcon(this);
    Centre(wxBOTH);
}

int CSendChallengeDialog::ChosenMinutes(bool timed, int spinValue)
{
    if (!timed)
        return 0;
    return spinValue > 99 ? 99 : spinValue < 1 ? 1 : spinValue;
}

void CSendChallengeDialog::SetValues(bool timed, int minutes)
{
    if (wxCheckBox* box = dynamic_cast<wxCheckBox*>(FindWindow(ID_CHALLENGE_TIMED)))
        box->SetValue(timed);
    if (wxSpinCtrl* spin = dynamic_cast<wxSpinCtrl*>(FindWindow(ID_CHALLENGE_MINUTES)))
        spin->SetValue(minutes);
    EnableMinutes(timed);
}

void CSendChallengeDialog::EnableMinutes(bool enable)
{
    for (int id : { int(ID_CHALLENGE_MINUTES), int(ID_CHALLENGE_MINUTES_LABEL) })
        if (wxWindow* window = FindWindow(id))
            window->Enable(enable);
}

void CSendChallengeDialog::OnTimed(wxCommandEvent& event)
{
    EnableMinutes(event.IsChecked());
}

void CSendChallengeDialog::OnSend(wxCommandEvent&)
{
    wxCheckBox* box = dynamic_cast<wxCheckBox*>(FindWindow(ID_CHALLENGE_TIMED));
    wxSpinCtrl* spin = dynamic_cast<wxSpinCtrl*>(FindWindow(ID_CHALLENGE_MINUTES));
    // The typed text counts even when the control has not taken it yet.
    long typed = spin ? spin->GetValue() : 0;
    if (spin) {
        long text = 0;
        if (spin->GetTextValue().ToLong(&text))
            typed = text;
    }
    if (typed > 1000)
        typed = 1000;
    if (typed < -1000)
        typed = -1000;
    m_minutes = ChosenMinutes(box && box->GetValue(), int(typed));
    EndModal(1);
}

void CSendChallengeDialog::OnCancel(wxCommandEvent&)
{
    EndModal(0);
}

void CSendChallengeDialog::OnClose(wxCloseEvent&)
{
    EndModal(0);
}
