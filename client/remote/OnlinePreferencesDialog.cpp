#include "client/remote/OnlinePreferencesDialog.h"

#include <wx/checkbox.h>
#include <wx/choice.h>

#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/remote/OnlineSearchProtocol.h"
#include "foundation/Config.h"

using Zorlin::CArray;
using Zorlin::CConfig;
using Zorlin::CString;

namespace {

const int kMaxCountries = 400;
const int kMaxCountryLength = 80;

CConfig& User()
{
    return GetAppServices().GetUserSettings();
}

wxCheckBox* Box(wxWindow* dialog, int id)
{
    return dynamic_cast<wxCheckBox*>(dialog->FindWindow(id));
}

bool Stored(const char* key, bool fallback)
{
    return OnlineSearch::IsSet(User(), key, fallback);
}

} // namespace

wxBEGIN_EVENT_TABLE(COnlinePreferencesDialog, wxDialog)
    EVT_BUTTON(ID_ONLINEPREFS_OK, COnlinePreferencesDialog::OnOK)
    EVT_BUTTON(ID_ONLINEPREFS_HELP, COnlinePreferencesDialog::OnHelp)
    EVT_BUTTON(ID_ONLINEPREFS_CANCEL, COnlinePreferencesDialog::OnCancel)
    EVT_CLOSE(COnlinePreferencesDialog::OnClose)
wxEND_EVENT_TABLE()

void COnlinePreferencesDialog::ReadCountries(Zorlin::CDrive& programDrive, CArray<CString>& out)
{
    out.RemoveAll();
    out.Add(CString("No comment"));
    const CString text = ReadTextFile(programDrive, "/assets/txt/countries.txt");
    CString line;
    for (int i = 0; i <= text.GetLength() && out.GetCount() <= kMaxCountries; ++i) {
        const char c = i < text.GetLength() ? text[i] : '\n';
        if (c == '\n' || c == '\r') {
            line.Trim();
            if (!line.IsEmpty())
                out.Add(line);
            line = CString();
        } else if (line.GetLength() < kMaxCountryLength) {
            line += c;
        }
    }
}

COnlinePreferencesDialog::COnlinePreferencesDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Gridmoor Preferences", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX)
{
    OnlinePreferencesLayout(this, true, true);
    CConfig& user = User();
    if (wxChoice* countries = dynamic_cast<wxChoice*>(FindWindow(ID_ONLINEPREFS_COUNTRY))) {
        countries->Clear();
        CArray<CString> list;
        ReadCountries(GetAppServices().GetProgramDrive(), list);
        for (int i = 0; i < list.GetCount(); ++i)
            countries->Append(ToWx(*list.GetAt(i)));
        CString location = user.GetValueOr(".preferences.online.location", "");
        if (location.IsEmpty())
            location = "No comment";
        countries->SetStringSelection(ToWx(location));
    }
    if (wxChoice* skill = dynamic_cast<wxChoice*>(FindWindow(ID_ONLINEPREFS_SKILL))) {
        const long level = std::strtol(user.GetValueOr(".preferences.online.skill", "0").GetText(), nullptr, 10);
        skill->SetSelection(level >= 0 && level <= 4 ? int(level) : 0);
    }
    if (wxCheckBox* box = Box(this, ID_ONLINEPREFS_SEND_PHOTO))
        box->SetValue(Stored(".preferences.online.sendphoto", true));
    if (wxCheckBox* box = Box(this, ID_ONLINEPREFS_SEND_EMAIL))
        box->SetValue(Stored(".preferences.online.sendemail", false));
    if (wxCheckBox* box = Box(this, ID_ONLINEPREFS_STORE_OPPONENTS))
        box->SetValue(Stored(".preferences.online.storeopponents", true));
    Fit();
    SetAppIcon(this);
    Centre(wxBOTH);
}

void COnlinePreferencesDialog::OnOK(wxCommandEvent&)
{
    CConfig& user = User();
    if (wxChoice* countries = dynamic_cast<wxChoice*>(FindWindow(ID_ONLINEPREFS_COUNTRY)))
        user.GetValue(".preferences.online.location") = FromWx(countries->GetStringSelection());
    if (wxChoice* skill = dynamic_cast<wxChoice*>(FindWindow(ID_ONLINEPREFS_SKILL))) {
        CString level;
        level.AppendFormat("%i", skill->GetSelection() < 0 ? 0 : skill->GetSelection());
        user.GetValue(".preferences.online.skill") = level;
    }
    const struct {
        int id;
        const char* key;
    } boxes[] = {{ID_ONLINEPREFS_SEND_PHOTO, ".preferences.online.sendphoto"},
                 {ID_ONLINEPREFS_SEND_EMAIL, ".preferences.online.sendemail"},
                 {ID_ONLINEPREFS_STORE_OPPONENTS, ".preferences.online.storeopponents"}};
    for (const auto& b : boxes)
        if (wxCheckBox* box = Box(this, b.id))
            user.GetValue(b.key) = box->GetValue() ? "yes" : "no";
    // Confirmed settings reach the disk now, not only at a clean exit.
    GetDialogHost().SaveUserSettings();
    EndModal(1);
}

void COnlinePreferencesDialog::OnHelp(wxCommandEvent&)
{
    if (CChessApp* app = GetChessApp())
        app->ShowHelp("options", nullptr);
}

void COnlinePreferencesDialog::OnCancel(wxCommandEvent&)
{
    EndModal(0);
}

void COnlinePreferencesDialog::OnClose(wxCloseEvent&)
{
    EndModal(0);
}
