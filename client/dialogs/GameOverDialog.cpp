#include "client/dialogs/GameOverDialog.h"

#include <ctime>

#include <wx/checkbox.h>
#include <wx/stattext.h>
#include <wx/html/htmlwin.h>
#include <wx/sizer.h>

#include "client/core/AppServices.h"
#include "client/core/Game.h"
#include "client/core/GameEndText.h"
#include "client/core/GameFileRules.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/dialogs/GameOverOptions.h"
#include "client/core/PlayedGameFile.h"
#include "client/core/PlayedGames.h"
#include "client/core/Prompt.h"
#include "client/view/ViewHost.h"
#include "foundation/Buffer.h"
#include "foundation/BufferFile.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
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

// Only the copy the client keeps in "active games" is ever removed: a game
// the user opened from a folder of their own stays where it is.
bool IsClientsCopy(const CString& savedPath)
{
    if (savedPath.IsEmpty())
        return false;
    Zorlin::CURL folder("/active games/");
    GetAppServices().GetUserDrive().GetFullPath(folder, "");
    return IsFileInFolder(savedPath, folder);
}

CString Players(CGame& game)
{
    CString white = Tag(game, "White"), black = Tag(game, "Black");
    return (white.IsEmpty() ? CString("?") : white) + " vs " + (black.IsEmpty() ? CString("?") : black);
}

bool Checked(wxWindow* dialog, int id)
{
    wxCheckBox* box = dynamic_cast<wxCheckBox*>(dialog->FindWindow(id));
    return box && box->GetValue();
}

} // namespace

CString CGameOverDialog::LostGameText(const CString& players, const CString& error, bool savedGameKept)
{
    CString text("The game ");
    text += players;
    text += " could not be kept in \"played games\": ";
    text += error;
    text += savedGameKept ? ".\n\nIts saved game in \"active games\" is kept."
                          : ".\n\nIt is still on the board: save it (Game, Save Game) before starting another.";
    return text;
}

CGameOverDialog::CGameOverDialog(CGame& game, int result, wxWindow* parent, int id, const char* page)
    : wxDialog(parent, id, "Game Over", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU),
      m_result(result), m_savedPath(game.GetSavedPath()), m_pgn(PgnOf(game)),
      m_pgnName(MakePlayedGameName(Tag(game, "White"), Tag(game, "Black"), time(nullptr))),
      m_players(Players(game)), m_endText(GameEndText(game.GetBoard(), game.GetResult(), game.GetEndNote())), m_done(false), m_html(nullptr)
{
    if (!IsClientsCopy(m_savedPath))
        m_savedPath = CString();
    if (page) {
        m_html = new wxHtmlWindow(this, ID_GAMEOVER_PAGE, wxDefaultPosition, wxSize(300, 160),
                                  wxHW_SCROLLBAR_AUTO, "htmlWindow");
        LoadPage(page);
        GameOverPageLayout(this, true, true);
    } else {
        GameOverLayout(this, true, true);
    }
    if (m_savedPath.IsEmpty())
        if (wxCheckBox* remove = dynamic_cast<wxCheckBox*>(FindWindow(ID_GAMEOVER_REMOVE_SAVED))) {
            remove->SetValue(false);
            remove->Disable();
        }
    if (!m_endText.IsEmpty()) {
        wxStaticText* said = new wxStaticText(this, wxID_ANY, ToWx(m_endText), wxDefaultPosition, wxDefaultSize, 0,
                                               "resultText");
        said->SetFont(said->GetFont().Bold().Larger());
        GetSizer()->Insert(0, said, 0, wxALL | wxALIGN_CENTER_HORIZONTAL, 10);
    }
    // Escape is an OK for what is ticked, as closing the window is.
    SetEscapeId(ID_GAMEOVER_OK);
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

CGameOverDialog::~CGameOverDialog()
{
    CarryOut(false);
}

void CGameOverDialog::FinishAll()
{
    for (wxWindow* window : wxTopLevelWindows)
        if (CGameOverDialog* dialog = dynamic_cast<CGameOverDialog*>(window))
            dialog->CarryOut(false);
}

void CGameOverDialog::CarryOut(bool refreshViews)
{
    if (m_done)
        return;
    m_done = true;
    SGameOverChoice choice;
    choice.removeSaved = Checked(this, ID_GAMEOVER_REMOVE_SAVED) && !m_savedPath.IsEmpty();
    choice.keepPgn = Checked(this, ID_GAMEOVER_SAVE_PGN);
    choice.count = Checked(this, ID_GAMEOVER_RECORD_RESULT);
    SFinishedGame game;
    game.pgnName = m_pgnName;
    game.pgn = m_pgn;
    game.result = m_result;
    game.savedPath = m_savedPath;
    CDialogHost& host = GetDialogHost();
    // Counted at once on disk too: a kill later loses no statistic.
    const SGameOverDone done =
        CarryOutGameOver(GetAppServices().GetUserDrive(), GetAppServices().GetUserSettings(), GetPlayedGames(), game,
                         choice, [&host] { return host.SaveUserSettings(); });
    if (!refreshViews)
        return;
    if (done.removed)
        host.RescanActiveGames();
    if (choice.keepPgn && !done.lost)
        host.RescanPlayedGames();
    GetViewHost().RebuildBrowser(false);
    if (done.lost)
        GetPrompt().ShowMessage(LostGameText(m_players, done.error, !m_savedPath.IsEmpty()), "Game Not Kept",
                                wxOK | wxICON_ERROR, GetParent());
}

void CGameOverDialog::OnOK(wxCommandEvent&)
{
    Hide();
    CarryOut(true);
    Destroy();
}

void CGameOverDialog::OnClose(wxCloseEvent&)
{
    // Closing is an OK for what is ticked: the game is not lost.
    Hide();
    CarryOut(true);
    Destroy();
}
