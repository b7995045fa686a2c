#include "client/dialogs/GameOverDialog.h"

#include <ctime>
#include <unistd.h>

#include <wx/checkbox.h>
#include <wx/html/htmlwin.h>
#include <wx/sizer.h>

#include "client/core/AppServices.h"
#include "client/core/Game.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/dialogs/MatchStatistics.h"
#include "client/dialogs/PlayedGameFile.h"
#include "client/view/ViewHost.h"
#include "foundation/Buffer.h"
#include "foundation/BufferFile.h"
#include "foundation/Config.h"
#include "foundation/URL.h"

using namespace Zorlin;

wxBEGIN_EVENT_TABLE(CGameOverDialog, wxDialog)
    EVT_BUTTON(ID_GAMEOVER_OK, CGameOverDialog::OnOK)
    EVT_CLOSE(CGameOverDialog::OnClose)
wxEND_EVENT_TABLE()

namespace {

CString PgnOf(CGame& game)
{
    CBuffer buffer;
    CBufferFile file(&buffer, 1);
    game.WritePgn(file, !game.GetTags().Contains("White"));
    CString text;
    text.Append(reinterpret_cast<const char*>(buffer.GetData()), int(file.GetSize()));
    return text;
}

CString Tag(CGame& game, const char* name)
{
    const CString* value = game.GetTags().Find(name);
    return value ? *value : CString();
}

CString HexColour(const wxColour& colour)
{
    CString text;
    text.AppendFormat("\"#%02X%02X%02X\"", colour.Red(), colour.Green(), colour.Blue());
    return text;
}

bool Checked(wxWindow* dialog, int id)
{
    wxCheckBox* box = dynamic_cast<wxCheckBox*>(dialog->FindWindow(id));
    return box && box->GetValue();
}

} // namespace

CGameOverDialog::CGameOverDialog(CGame& game, int result, wxWindow* parent, int id, const char* page)
    : wxDialog(parent, id, "Game Over", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU),
      m_result(result), m_savedPath(game.GetSavedPath()), m_pgn(PgnOf(game)),
      m_pgnName(MakePlayedGameName(Tag(game, "White"), Tag(game, "Black"), time(nullptr))), m_html(nullptr)
{
    if (page) {
        m_html = new wxHtmlWindow(this, ID_GAMEOVER_PAGE, wxDefaultPosition, wxSize(300, 160),
                                  wxHW_SCROLLBAR_AUTO, "htmlWindow");
        LoadPage(page);
        GameOverPageLayout(this, true, true);
    } else {
        GameOverLayout(this, true, true);
    }
    if (m_savedPath.IsEmpty())
        if (wxWindow* remove = FindWindow(ID_GAMEOVER_REMOVE_SAVED))
            remove->Disable();
    // A game that ended without a result ("*", the link to the opponent
    // lost) is kept but counts as no win, loss or draw.
    if (game.GetResult() == RESULT_NONE)
        if (wxCheckBox* record = dynamic_cast<wxCheckBox*>(FindWindow(ID_GAMEOVER_RECORD_RESULT))) {
            record->SetValue(false);
            record->Disable();
        }
    GetSizer()->Fit(this);
    SetAppIcon(this);
    CentreOnParent(wxBOTH);
}

CString CGameOverDialog::MakeResultPage(const CString& body, const wxColour& background, const wxColour& text)
{
    CString page("<html><body bgcolor=");
    page.Append(HexColour(background));
    page.Append(" text=");
    page.Append(HexColour(text));
    page.Append("><font face=\"arial,Helvetica,san-serif\">");
    page.Append(body);
    page.Append("</font></body></html>");
    return page;
}

void CGameOverDialog::LoadPage(const char* page)
{
    CString language = GetAppServices().GetUserSettings().GetValueOr(".preferences.language", "");
    CString body;
    if (CURL::IsPlainName(language) && CURL::IsPlainName(page)) {
        CString path;
        path.AppendFormat("/html/%s/%s.htm", language.GetText(), page);
        body = ReadTextFile(GetAppServices().GetProgramDrive(), path);
    }
    m_html->SetPage(ToWx(MakeResultPage(body, GetBackgroundColour(), GetForegroundColour())));
}

void CGameOverDialog::OnOK(wxCommandEvent&)
{
    Hide();
    bool remove = Checked(this, ID_GAMEOVER_REMOVE_SAVED);
    bool savePgn = Checked(this, ID_GAMEOVER_SAVE_PGN);
    bool record = Checked(this, ID_GAMEOVER_RECORD_RESULT);
    CDialogHost& host = GetDialogHost();
    if (remove && !m_savedPath.IsEmpty()) {
        unlink(m_savedPath.GetText());
        host.RescanActiveGames();
    }
    if (savePgn) {
        WritePlayedGame(GetAppServices().GetUserDrive(), m_pgnName, m_pgn);
        host.RescanPlayedGames();
    }
    if (record) {
        RecordMatchResult(GetAppServices().GetUserSettings(), m_result);
        host.SaveUserSettings();
    }
    GetViewHost().RebuildBrowser(false);
    Destroy();
}

void CGameOverDialog::OnClose(wxCloseEvent&)
{
    Hide();
    Destroy();
}
