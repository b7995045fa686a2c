#include "client/dialogs/NewAIGameDialog.h"

#include <wx/checkbox.h>
#include <wx/html/htmlwin.h>
#include <wx/listbox.h>
#include <wx/radiobox.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>

#include "chess/ChessTypes.h"
#include "client/core/AIGame.h"
#include "client/core/AppServices.h"
#include "client/core/ChessView.h"
#include "client/core/FrameView.h"
#include "client/core/Prompt.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/dialogs/PreferencesDialog.h"
#include "client/view/ViewHost.h"
#include "client/view/WebPanel.h"
#include "foundation/Drive.h"

using namespace Zorlin;

wxBEGIN_EVENT_TABLE(CNewAIGameDialog, wxDialog)
    EVT_LISTBOX(ID_AI_ENGINES, CNewAIGameDialog::OnEngine)
    EVT_BUTTON(ID_AI_MORE_ENGINES, CNewAIGameDialog::OnMoreEngines)
    EVT_CHECKBOX(ID_AI_DEPTH_ENABLED, CNewAIGameDialog::OnDepth)
    EVT_BUTTON(ID_AI_HELP, CNewAIGameDialog::OnHelp)
    EVT_BUTTON(ID_AI_VOICES, CNewAIGameDialog::OnVoices)
    EVT_BUTTON(ID_AI_OK, CNewAIGameDialog::OnOK)
    EVT_BUTTON(ID_AI_CANCEL, CNewAIGameDialog::OnCancel)
    EVT_CLOSE(CNewAIGameDialog::OnClose)
wxEND_EVENT_TABLE()

namespace {

template <class T> T* Control(const wxWindow* dialog, int id)
{
    return dynamic_cast<T*>(dialog->FindWindow(id));
}

} // namespace

CNewAIGameDialog::CNewAIGameDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "New AI Game", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxRESIZE_BORDER),
      m_info(nullptr)
{
    m_info = new CWebPanel(this, ID_AI_ENGINE_INFO);
    m_info->SetMinSize(wxSize(360, 160));
    NewAIGameLayout(this, true, true);
    SetAppIcon(this);
    FillEngines();
    LoadSettings();
    CentreOnParent(wxBOTH);
}

void CNewAIGameDialog::FillEngines()
{
    ListFolders(GetAppServices().GetProgramDrive(), "/engines/", m_engines);
    wxArrayString items;
    for (int i = 0; i < m_engines.GetCount(); ++i)
        items.Add(ToWx(*m_engines.GetAt(i)));
    Control<wxListBox>(this, ID_AI_ENGINES)->Append(items);
}

void CNewAIGameDialog::LoadSettings()
{
    SAIGameSettings settings;
    LoadAIGameSettings(GetAppServices().GetUserSettings(), settings);
    m_defaultEngine = settings.engine;
    wxListBox* list = Control<wxListBox>(this, ID_AI_ENGINES);
    int index = list->FindString(ToWx(settings.engine), false);
    if (index == wxNOT_FOUND && !list->IsEmpty())
        index = 0;
    if (index != wxNOT_FOUND)
        list->SetSelection(index);
    ShowEngineInfo(settings.engine);
    wxRadioBox* colour = Control<wxRadioBox>(this, ID_AI_COMPUTER_PLAYS);
    if (settings.colour >= 0 && settings.colour < int(colour->GetCount()))
        colour->SetSelection(settings.colour);
    Control<wxSpinCtrl>(this, ID_AI_MOVES)->SetValue(settings.moves);
    Control<wxSpinCtrl>(this, ID_AI_MINUTES)->SetValue(settings.minutes);
    Control<wxCheckBox>(this, ID_AI_DEPTH_ENABLED)->SetValue(settings.depthEnabled);
    Control<wxSlider>(this, ID_AI_DEPTH)->SetValue(settings.depth);
    Control<wxCheckBox>(this, ID_AI_PONDERING)->SetValue(settings.pondering);
    UpdateDepthEnabled();
}

void CNewAIGameDialog::ShowEngineInfo(const CString& name)
{
    CDrive& drive = GetAppServices().GetProgramDrive();
    CString page;
    if (CURL::IsPlainName(name))
        page.AppendFormat("/engines/%s/about.htm", name.GetText());
    if (!page.IsEmpty() && drive.IsFile(CURL(page))) {
        CURL path(page);
        drive.GetFullPath(path, "");
        m_info->LoadUrl(path);
    } else {
        m_info->GetBrowser()->SetPage(wxEmptyString);
    }
}

SAIGameSettings CNewAIGameDialog::ReadControls() const
{
    SAIGameSettings settings;
    wxListBox* list = Control<wxListBox>(this, ID_AI_ENGINES);
    int index = list->GetSelection();
    settings.engine = index == wxNOT_FOUND ? m_defaultEngine : FromWx(list->GetString(index));
    settings.colour = Control<wxRadioBox>(this, ID_AI_COMPUTER_PLAYS)->GetSelection();
    settings.moves = Control<wxSpinCtrl>(this, ID_AI_MOVES)->GetValue();
    settings.minutes = Control<wxSpinCtrl>(this, ID_AI_MINUTES)->GetValue();
    settings.depthEnabled = Control<wxCheckBox>(this, ID_AI_DEPTH_ENABLED)->GetValue();
    settings.depth = Control<wxSlider>(this, ID_AI_DEPTH)->GetValue();
    settings.pondering = Control<wxCheckBox>(this, ID_AI_PONDERING)->GetValue();
    return settings;
}

void CNewAIGameDialog::UpdateDepthEnabled()
{
    Control<wxSlider>(this, ID_AI_DEPTH)->Enable(Control<wxCheckBox>(this, ID_AI_DEPTH_ENABLED)->GetValue());
}

void CNewAIGameDialog::OnEngine(wxCommandEvent& event)
{
    int index = event.GetInt();
    if (index >= 0 && index < m_engines.GetCount())
        ShowEngineInfo(FromWx(Control<wxListBox>(this, ID_AI_ENGINES)->GetString(index)));
}

void CNewAIGameDialog::OnMoreEngines(wxCommandEvent&)
{
    GetViewHost().OpenUrl(kMoreEnginesAddress);
}

void CNewAIGameDialog::OnDepth(wxCommandEvent&)
{
    UpdateDepthEnabled();
}

void CNewAIGameDialog::OnHelp(wxCommandEvent&)
{
    GetDialogHost().ShowHelp("game", "StartGameVersusComputer");
}

void CNewAIGameDialog::OnVoices(wxCommandEvent&)
{
    CPreferencesDialog preferences(this);
    preferences.ShowModal();
}

void CNewAIGameDialog::OnOK(wxCommandEvent&)
{
    SAIGameSettings settings = ReadControls();
    bool computerWhite = ComputerPlaysWhite(settings.colour, DrawRandom());
    if (settings.colour == kComputerRandom) {
        CString text;
        text.AppendFormat("You will be playing as %s", computerWhite ? "Black" : "White");
        GetPrompt().ShowMessage(text, "Chosen colour at random", wxOK, this);
    }
    CAIGame* game = new CAIGame(computerWhite ? BLACK : WHITE, settings.engine);
    CChessView* view = CGame::GetChessView();
    if (!game->IsStarted() || !view) {
        delete game;
        CAIGame::ReportLaunchFailure(CAIGame::kStartFailure);
        EndModal(0);
        return;
    }
    if (CGame* current = view->GetGame())
        current->End();
    game->SetTimeControl(TIME_CONVENTIONAL, settings.moves, PeriodSeconds(settings.minutes));
    game->SetPondering(settings.pondering);
    if (settings.depthEnabled)
        game->SetDepth(settings.depth);
    game->GetBoard().SetupStartPosition();
    game->Start();
    view->ResetView(game, true, false);
    if (CFrameView* frame = CGame::GetFrame())
        frame->ShowPosition();
    game->StartGame();
    EndModal(0);
    SaveAIGameSettings(GetAppServices().GetUserSettings(), settings);
}

void CNewAIGameDialog::OnCancel(wxCommandEvent&)
{
    EndModal(0);
}

void CNewAIGameDialog::OnClose(wxCloseEvent&)
{
    EndModal(0);
}
