#include "client/dialogs/PgnViewerDialog.h"

#include <wx/app.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include "client/core/ChessView.h"
#include "client/core/FrameView.h"
#include "client/core/Game.h"
#include "client/core/Prompt.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/dialogs/MenuBar.h"
#include "client/dialogs/PgnGameList.h"
#include "client/view/ViewHost.h"
#include "foundation/BufferFile.h"
#include "foundation/BufferedInputFile.h"

using namespace Zorlin;

wxBEGIN_EVENT_TABLE(CPgnViewerDialog, wxDialog)
    EVT_LISTBOX(ID_PGN_GAMES, CPgnViewerDialog::OnGame)
    EVT_CLOSE(CPgnViewerDialog::OnClose)
    EVT_CHAR_HOOK(CPgnViewerDialog::OnCharHook)
wxEND_EVENT_TABLE()

CPgnViewerDialog::CPgnViewerDialog(wxWindow* parent, CFile* file)
    : wxDialog(parent, wxID_ANY, "PGN Viewer", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxRESIZE_BORDER)
{
    PgnViewerLayout(this, true, true);
    SetAppIcon(this);
    CString name = file ? file->GetFileName() : CString();
    if (file) {
        CBufferedInputFile* buffered = new CBufferedInputFile(file, kBlockSize, kBlocks);
        buffered->SetOwnsInner(true);
        m_file.Reset(buffered);
    }
    Show();
    Import();
    SetLabel(ShortName(name));
    // With no game at all, the caller says the file could not be opened.
    if (!m_index.IsComplete() && m_index.GetCount() > 0)
        TellIncomplete();
}

CPgnViewerDialog::~CPgnViewerDialog()
{
    // The list outlives the index it draws from by a little.
    if (CPgnGameList* list = dynamic_cast<CPgnGameList*>(FindWindow(ID_PGN_GAMES)))
        list->SetIndex(nullptr);
}

CString CPgnViewerDialog::ShortName(const CString& path)
{
    int cut = -1;
    for (int i = 0; i < path.GetLength(); ++i)
        if (path[i] == '\\' || path[i] == '/')
            cut = i;
    return cut < 0 ? path : path.Mid(cut + 1);
}

CString CPgnViewerDialog::IncompleteText(int count)
{
    CString text("The list is incomplete: the file could not be read after game ");
    text.Append(count);
    text.Append(".");
    return text;
}

// Games that a failed read cut off must not pass for the whole file.
void CPgnViewerDialog::TellIncomplete()
{
    GetPrompt().ShowMessage(IncompleteText(m_index.GetCount()), "PGN Viewer", wxOK | wxICON_WARNING, this);
}

void CPgnViewerDialog::SetLabel(const CString& text)
{
    if (wxStaticText* label = dynamic_cast<wxStaticText*>(FindWindow(ID_PGN_LABEL)))
        label->SetLabel(ToWx(text));
}

int CPgnViewerDialog::Import()
{
    if (!m_file || !m_file->IsOpen())
        return 0;
    wxBusyCursor busy;
    // Nothing may be clicked while the list is incomplete, but the window
    // keeps drawing its progress.
    wxWindowDisabler noInput(true);
    // The list draws nothing from an index being rebuilt.
    CPgnGameList* list = dynamic_cast<CPgnGameList*>(FindWindow(ID_PGN_GAMES));
    if (list)
        list->SetIndex(nullptr);
    m_file->Seek(0, 0);
    int count = m_index.Build(*m_file, [this](int read) {
        CString text("Reading game ");
        text.Append(read);
        SetLabel(text);
        wxTheApp->Yield(true);
    });
    CString text("Reading game ");
    text.Append(count);
    SetLabel(text);
    // Drawn from the index as rows come into view: filling a list with
    // every game is what froze big files.
    if (list)
        list->SetIndex(&m_index);
    return count;
}

bool CPgnViewerDialog::LoadGame(int n)
{
    CChessView* view = CGame::GetChessView();
    CGame* game = m_game ? m_game : view ? view->GetGame() : nullptr;
    CString text;
    if (!game || !m_file || !m_index.ReadGame(*m_file, n, text))
        return false;
    game->GetTags().RemoveAll();
    CChessBoard& board = game->GetBoard();
    board.SetupStartPosition();
    CBufferFile file(text);
    CString error;
    board.LoadPgnGame(file, game->GetTags(), error);
    // The status line tells this game's result, not the one before it.
    const CString* result = game->GetTags().Find("Result");
    game->SetResult(result ? ResultFromText(*result) : RESULT_NONE);
    if (CFrameView* frame = CGame::GetFrame())
        frame->RefreshFromGame();
    if (view) {
        view->SyncScene();
        view->UpdateStatus();
    }
    game->SetInPlay(false);
    GetViewHost().ExecuteCommand("VIEW_BOARD");
    return true;
}

void CPgnViewerDialog::OnGame(wxCommandEvent& event)
{
    LoadGame(event.GetInt());
}

// Escape closes the window as its close box does (asking first).
void CPgnViewerDialog::OnCharHook(wxKeyEvent& event)
{
    if (event.GetKeyCode() == WXK_ESCAPE) {
        Close();
        return;
    }
    event.Skip();
}

void CPgnViewerDialog::OnClose(wxCloseEvent& event)
{
    // Asked over this window: owned by the frame, it could open behind it.
    if (!GetPrompt().AskYesNo("Close PGN file?", "PGN Viewer", this)) {
        event.Veto();
        return;
    }
    if (CFrameView* frame = CGame::GetFrame())
        if (wxWindow* window = frame->GetWindow()) {
            wxCommandEvent end(wxEVT_MENU, ID_MENU_END_GAME);
            window->GetEventHandler()->ProcessEvent(end);
        }
    Destroy();
}
