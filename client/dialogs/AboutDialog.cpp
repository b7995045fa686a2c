#include "client/dialogs/AboutDialog.h"

#include "client/core/AppServices.h"
#include "client/core/MusicPlayer.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/Icons.h"
#include "client/view/HtmlText.h"
#include "client/view/ViewHost.h"
#include "client/view/WebPanel.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/URL.h"

using namespace Zorlin;

namespace {
const int kTitleChannel = 5;
}

wxBEGIN_EVENT_TABLE(CAboutDialog, wxDialog)
    EVT_BUTTON(ID_ABOUT_OK, CAboutDialog::OnOk)
    EVT_CLOSE(CAboutDialog::OnCloseWindow)
wxEND_EVENT_TABLE()

CAboutDialog::CAboutDialog(wxWindow* parent, wxWindowID id)
    : wxDialog(parent, id, "About Rookwell", wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxCLIP_CHILDREN | wxRESIZE_BORDER),
      m_panel(nullptr)
{
    m_panel = new CWebPanel(this, ID_ABOUT_PAGE);
    m_panel->SetMinSize(wxSize(420, 300));
    wxIcon icon;
    icon.CopyFromBitmap(GetAppIcon(1));
    SetIcon(icon);

    CAppServices& app = GetAppServices();
    CString path = GetHtmlFolder(GetLanguage(app.GetUserSettings())) + "about.htm";
    CHtmlText page;
    LoadTemplate(app.GetProgramDrive(), path.GetText(), page);
    CHtmlVariables variables;
    variables["BodyScroll"] = "auto";
    page.ExpandVariables(variables, false);
    m_panel->ShowHtml(page);

    AboutLayout(this);
    Centre(wxBOTH);
    StartTitleMusic();
}

CAboutDialog::~CAboutDialog()
{
    if (!m_music)
        return;
    // Stop our track first, so the two never play together.
    m_music.reset();
    ResumeBackgroundMusic();
}

void CAboutDialog::StartTitleMusic()
{
    CAppServices& app = GetAppServices();
    if (!IsSettingOn(app.GetUserSettings(), "preferences.music.enable"))
        return;
    CURL track(CString("/assets/sounds/") + app.GetProgramSettings().GetValueOr("music.title", ""));
    app.GetProgramDrive().GetFullPath(track, nullptr);
    m_music.reset(new CMusicPlayer());
    m_music->Add(track);
    PauseBackgroundMusic();
    m_music->Play(kTitleChannel, false);
}

void CAboutDialog::Finish()
{
    // Ending the modal loop hides the dialog; hiding it first would end the
    // loop with another result.
    if (IsModal()) {
        EndModal(0);
        return;
    }
    Hide();
    Destroy();
}

void CAboutDialog::OnOk(wxCommandEvent&)
{
    Finish();
}

void CAboutDialog::OnCloseWindow(wxCloseEvent&)
{
    Finish();
}
