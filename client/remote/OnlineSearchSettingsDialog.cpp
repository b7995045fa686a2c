#include "client/remote/OnlineSearchSettingsDialog.h"

#include <algorithm>

#include <wx/checkbox.h>
#include <wx/radiobox.h>
#include <wx/spinctrl.h>

#include "client/core/AppServices.h"
#include "client/core/Prompt.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/remote/OnlinePreferencesDialog.h"
#include "client/remote/OnlineSearchProtocol.h"
#include "foundation/Config.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

const char* const kSkillKeys[5] = {".onlinesearch.skill.beginner", ".onlinesearch.skill.intermediate",
                                   ".onlinesearch.skill.skilled", ".onlinesearch.skill.advanced",
                                   ".onlinesearch.skill.expert"};

CConfig& User()
{
    return GetAppServices().GetUserSettings();
}

bool On(const char* key)
{
    return OnlineSearch::IsOn(User().GetValueOr(key, "").GetText());
}

int Minutes(const char* key)
{
    const long seconds = std::strtol(User().GetValueOr(key, "0").GetText(), nullptr, 10);
    return int(std::min(std::max(seconds / 60, 1L), 99L));
}

} // namespace

wxBEGIN_EVENT_TABLE(COnlineSearchSettingsDialog, wxDialog)
    EVT_BUTTON(ID_SETTINGS_OK, COnlineSearchSettingsDialog::OnOK)
    EVT_BUTTON(ID_SETTINGS_CANCEL, COnlineSearchSettingsDialog::OnCancel)
    EVT_BUTTON(ID_SETTINGS_DEFAULT, COnlineSearchSettingsDialog::OnDefaultSearch)
    EVT_CLOSE(COnlineSearchSettingsDialog::OnClose)
    EVT_BUTTON(ID_SETTINGS_ALL_SKILLS, COnlineSearchSettingsDialog::OnAllSkills)
    EVT_BUTTON(ID_SETTINGS_PREFERENCES, COnlineSearchSettingsDialog::OnPreferences)
    EVT_RADIOBOX(ID_SETTINGS_CLOCK, COnlineSearchSettingsDialog::OnUpdateEnabled)
    EVT_SPINCTRL(ID_SETTINGS_MIN, COnlineSearchSettingsDialog::OnLowChanged)
    EVT_SPINCTRL(ID_SETTINGS_MAX, COnlineSearchSettingsDialog::OnHighChanged)
    EVT_CHECKBOX(ID_SETTINGS_MIN_ENABLED, COnlineSearchSettingsDialog::OnUpdateEnabled)
    EVT_CHECKBOX(ID_SETTINGS_MAX_ENABLED, COnlineSearchSettingsDialog::OnUpdateEnabled)
    EVT_CHECKBOX(ID_SETTINGS_SKILL_BEGINNER, COnlineSearchSettingsDialog::OnSkillClicked)
    EVT_CHECKBOX(ID_SETTINGS_SKILL_INTERMEDIATE, COnlineSearchSettingsDialog::OnSkillClicked)
    EVT_CHECKBOX(ID_SETTINGS_SKILL_SKILLED, COnlineSearchSettingsDialog::OnSkillClicked)
    EVT_CHECKBOX(ID_SETTINGS_SKILL_ADVANCED, COnlineSearchSettingsDialog::OnSkillClicked)
    EVT_CHECKBOX(ID_SETTINGS_SKILL_EXPERT, COnlineSearchSettingsDialog::OnSkillClicked)
wxEND_EVENT_TABLE()

COnlineSearchSettingsDialog::COnlineSearchSettingsDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Search Settings", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX)
{
    OnlineSearchSettingsLayout(this, true, true);
    OnlineSearch::SetDefaults(User());
    Fill();
    SetAppIcon(this);
    Centre(wxBOTH);
}

static wxCheckBox* Box(wxWindow* w, int id)
{
    return dynamic_cast<wxCheckBox*>(w->FindWindow(id));
}

static wxSpinCtrl* Spin(wxWindow* w, int id)
{
    return dynamic_cast<wxSpinCtrl*>(w->FindWindow(id));
}

static wxRadioBox* Radio(wxWindow* w, int id)
{
    return dynamic_cast<wxRadioBox*>(w->FindWindow(id));
}

void COnlineSearchSettingsDialog::Fill()
{
    const bool untimed = On(".onlinesearch.untimed"), timed = On(".onlinesearch.timed");
    if (wxRadioBox* clock = Radio(this, ID_SETTINGS_CLOCK))
        clock->SetSelection(untimed && timed ? 2 : timed ? 1 : 0);
    if (wxCheckBox* box = Box(this, ID_SETTINGS_MIN_ENABLED))
        box->SetValue(On(".onlinesearch.time.min"));
    if (wxCheckBox* box = Box(this, ID_SETTINGS_MAX_ENABLED))
        box->SetValue(On(".onlinesearch.time.max"));
    if (wxSpinCtrl* spin = Spin(this, ID_SETTINGS_MIN))
        spin->SetValue(Minutes(".onlinesearch.time.low"));
    if (wxSpinCtrl* spin = Spin(this, ID_SETTINGS_MAX))
        spin->SetValue(Minutes(".onlinesearch.time.high"));
    for (int i = 0; i < 5; ++i)
        if (wxCheckBox* box = Box(this, ID_SETTINGS_SKILL_BEGINNER + i))
            box->SetValue(On(kSkillKeys[i]));
    const long side = std::strtol(User().GetValueOr(".onlinesearch.side", "2").GetText(), nullptr, 10);
    if (wxRadioBox* colour = Radio(this, ID_SETTINGS_SIDE))
        colour->SetSelection(side >= 0 && side <= 2 ? int(side) : 2);
    UpdateEnabled();
}

void COnlineSearchSettingsDialog::UpdateEnabled()
{
    wxRadioBox* clock = Radio(this, ID_SETTINGS_CLOCK);
    const bool untimedOnly = clock && clock->GetSelection() == 0;
    wxCheckBox* low = Box(this, ID_SETTINGS_MIN_ENABLED);
    wxCheckBox* high = Box(this, ID_SETTINGS_MAX_ENABLED);
    const bool lowOn = !untimedOnly && low && low->GetValue();
    const bool highOn = !untimedOnly && high && high->GetValue();
    const struct {
        int id;
        bool on;
    } states[] = {{ID_SETTINGS_MIN_ENABLED, !untimedOnly}, {ID_SETTINGS_MAX_ENABLED, !untimedOnly},
                  {ID_SETTINGS_MIN, lowOn},                {ID_SETTINGS_MIN_LABEL, lowOn},
                  {ID_SETTINGS_MAX, highOn},               {ID_SETTINGS_MAX_LABEL, highOn}};
    for (const auto& s : states)
        if (wxWindow* w = FindWindow(s.id))
            w->Enable(s.on);
}

void COnlineSearchSettingsDialog::OnOK(wxCommandEvent&)
{
    CConfig& user = User();
    wxRadioBox* clock = Radio(this, ID_SETTINGS_CLOCK);
    const int choice = clock ? clock->GetSelection() : 2;
    user.GetValue(".onlinesearch.untimed") = choice == 1 ? "no" : "yes";
    user.GetValue(".onlinesearch.timed") = choice == 1 || choice == 2 ? "yes" : "no";
    int a = Spin(this, ID_SETTINGS_MIN) ? Spin(this, ID_SETTINGS_MIN)->GetValue() : 1;
    int b = Spin(this, ID_SETTINGS_MAX) ? Spin(this, ID_SETTINGS_MAX)->GetValue() : 60;
    a = std::min(std::max(a, 1), 99);
    b = std::min(std::max(b, 1), 99);
    CString low, high;
    low.AppendFormat("%i", std::min(a, b) * 60);
    high.AppendFormat("%i", std::max(a, b) * 60);
    user.GetValue(".onlinesearch.time.low") = low;
    user.GetValue(".onlinesearch.time.high") = high;
    user.GetValue(".onlinesearch.time.min") = Box(this, ID_SETTINGS_MIN_ENABLED)->GetValue() ? "yes" : "no";
    user.GetValue(".onlinesearch.time.max") = Box(this, ID_SETTINGS_MAX_ENABLED)->GetValue() ? "yes" : "no";
    for (int i = 0; i < 5; ++i)
        user.GetValue(kSkillKeys[i]) = Box(this, ID_SETTINGS_SKILL_BEGINNER + i)->GetValue() ? "yes" : "no";
    CString side;
    side.AppendFormat("%i", Radio(this, ID_SETTINGS_SIDE) ? Radio(this, ID_SETTINGS_SIDE)->GetSelection() : 2);
    user.GetValue(".onlinesearch.side") = side;
    // Confirmed settings reach the disk now, not only at a clean exit.
    GetDialogHost().SaveUserSettings();
    EndModal(1);
}

void COnlineSearchSettingsDialog::OnCancel(wxCommandEvent&)
{
    EndModal(0);
}

void COnlineSearchSettingsDialog::OnClose(wxCloseEvent&)
{
    EndModal(0);
}

void COnlineSearchSettingsDialog::OnDefaultSearch(wxCommandEvent&)
{
    if (GetPrompt().ShowMessage("Set the search to the default (broad) settings?", "Set Default Search",
                                wxYES_NO | wxICON_QUESTION, this) == wxNO)
        return;
    Radio(this, ID_SETTINGS_CLOCK)->SetSelection(2);
    Spin(this, ID_SETTINGS_MIN)->SetValue(1);
    Spin(this, ID_SETTINGS_MAX)->SetValue(60);
    Box(this, ID_SETTINGS_MIN_ENABLED)->SetValue(false);
    Box(this, ID_SETTINGS_MAX_ENABLED)->SetValue(false);
    for (int i = 0; i < 5; ++i)
        Box(this, ID_SETTINGS_SKILL_BEGINNER + i)->SetValue(true);
    Radio(this, ID_SETTINGS_SIDE)->SetSelection(2);
    UpdateEnabled();
}

void COnlineSearchSettingsDialog::OnAllSkills(wxCommandEvent&)
{
    for (int i = 0; i < 5; ++i)
        Box(this, ID_SETTINGS_SKILL_BEGINNER + i)->SetValue(true);
}

void COnlineSearchSettingsDialog::OnPreferences(wxCommandEvent&)
{
    COnlinePreferencesDialog dialog(this);
    dialog.ShowModal();
}

void COnlineSearchSettingsDialog::OnUpdateEnabled(wxCommandEvent&)
{
    UpdateEnabled();
}

void COnlineSearchSettingsDialog::OnLowChanged(wxSpinEvent&)
{
    wxSpinCtrl* low = Spin(this, ID_SETTINGS_MIN);
    wxSpinCtrl* high = Spin(this, ID_SETTINGS_MAX);
    if (low->GetValue() > high->GetValue())
        high->SetValue(low->GetValue());
}

void COnlineSearchSettingsDialog::OnHighChanged(wxSpinEvent&)
{
    wxSpinCtrl* low = Spin(this, ID_SETTINGS_MIN);
    wxSpinCtrl* high = Spin(this, ID_SETTINGS_MAX);
    if (high->GetValue() < low->GetValue())
        low->SetValue(high->GetValue());
}

void COnlineSearchSettingsDialog::OnSkillClicked(wxCommandEvent& event)
{
    for (int i = 0; i < 5; ++i)
        if (Box(this, ID_SETTINGS_SKILL_BEGINNER + i)->GetValue())
            return;
    GetPrompt().ShowMessage("Please check at least one experience level.", "Skill Level", wxOK | wxICON_INFORMATION,
                            this);
    if (wxCheckBox* box = Box(this, event.GetId()))
        box->SetValue(true);
}
