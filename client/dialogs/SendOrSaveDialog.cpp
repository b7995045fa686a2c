#include "client/dialogs/SendOrSaveDialog.h"

#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"

wxBEGIN_EVENT_TABLE(CSendOrSaveDialog, wxDialog)
    EVT_BUTTON(ID_SENDORSAVE_EMAIL, CSendOrSaveDialog::OnEmail)
    EVT_BUTTON(ID_SENDORSAVE_SAVE, CSendOrSaveDialog::OnSave)
    EVT_BUTTON(ID_SENDORSAVE_HELP, CSendOrSaveDialog::OnHelp)
    EVT_BUTTON(ID_SENDORSAVE_CANCEL, CSendOrSaveDialog::OnCancel)
    EVT_CLOSE(CSendOrSaveDialog::OnClose)
wxEND_EVENT_TABLE()

CSendOrSaveDialog::CSendOrSaveDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Send or Save?", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU)
{
    SendOrSaveLayout(this, true, true);
    SetAppIcon(this);
    CentreOnParent(wxBOTH);
}

void CSendOrSaveDialog::OnEmail(wxCommandEvent&)
{
    EndModal(kEmail);
}

void CSendOrSaveDialog::OnSave(wxCommandEvent&)
{
    EndModal(kSave);
}

void CSendOrSaveDialog::OnHelp(wxCommandEvent&)
{
    GetDialogHost().ShowHelp("game", "StartEmailGame");
}

void CSendOrSaveDialog::OnCancel(wxCommandEvent&)
{
    EndModal(kCancel);
}

void CSendOrSaveDialog::OnClose(wxCloseEvent&)
{
    EndModal(kCancel);
}
