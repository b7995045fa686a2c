#include "client/dialogs/NewPlayerAlert.h"

#include <wx/checkbox.h>

#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"

wxBEGIN_EVENT_TABLE(CNewPlayerAlertDialog, wxDialog)
    EVT_BUTTON(ID_ALERT_OK, CNewPlayerAlertDialog::OnOK)
    EVT_CLOSE(CNewPlayerAlertDialog::OnClose)
wxEND_EVENT_TABLE()

CNewPlayerAlertDialog::CNewPlayerAlertDialog(wxWindow* parent, int id)
    : wxDialog(parent, id, "New Player Alert", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU)
{
    NewPlayerAlertLayout(this, true, true);
    // The layout makes the box checked; the question starts unanswered.
    if (wxCheckBox* box = dynamic_cast<wxCheckBox*>(FindWindow(ID_ALERT_ENABLE)))
        box->SetValue(false);
    SetAppIcon(this);
    CentreOnParent(wxBOTH);
}

void CNewPlayerAlertDialog::OnOK(wxCommandEvent&)
{
    Finish();
}

void CNewPlayerAlertDialog::OnClose(wxCloseEvent&)
{
    Finish();
}

void CNewPlayerAlertDialog::Finish()
{
    wxCheckBox* box = dynamic_cast<wxCheckBox*>(FindWindow(ID_ALERT_ENABLE));
    EndModal(box && box->GetValue() ? 1 : 0);
}
