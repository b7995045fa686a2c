#include "client/dialogs/PgnViewerDialog.h"

#include <algorithm>

#include <wx/app.h>
#include <wx/display.h>
#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/ChessView.h"
#include "client/core/FrameView.h"
#include "client/core/Game.h"
#include "client/core/ModalLoops.h"
#include "client/core/PGNGame.h"
#include "client/core/Prompt.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/dialogs/LayoutKit.h"
#include "client/dialogs/MenuBar.h"
#include "client/dialogs/MessagePlacement.h"
#include "client/dialogs/PgnGameList.h"
#include "client/dialogs/TimeSlice.h"
#include "client/view/ConsoleWindow.h"
#include "foundation/BufferedInputFile.h"
#include "foundation/NameText.h"

using namespace Zorlin;

wxBEGIN_EVENT_TABLE(CPgnViewerDialog, wxDialog)
    EVT_LISTBOX(ID_PGN_GAMES, CPgnViewerDialog::OnGame)
    EVT_BUTTON(wxID_CANCEL, CPgnViewerDialog::OnCancel)
    EVT_CLOSE(CPgnViewerDialog::OnClose)
    EVT_CHAR_HOOK(CPgnViewerDialog::OnCharHook)
wxEND_EVENT_TABLE()

CPgnViewerDialog::CPgnViewerDialog(wxWindow* parent, CFile* file)
    : wxDialog(parent, wxID_ANY, "PGN Viewer", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxRESIZE_BORDER)
{
    LayoutKit::Button(this, wxID_CANCEL, "&Cancel", "Stop reading: the games read so far stay listed");
    PgnViewerLayout(this, true, true);
    SetAppIcon(this);
    m_name = ShortName(file ? file->GetFileName() : CString());
    if (file) {
        CBufferedInputFile* buffered = new CBufferedInputFile(file, kBlockSize, kBlocks);
        buffered->SetOwnsInner(true);
        m_file.Reset(buffered);
    }
    FitBesideBoard();
    Show();
    Import();
    if (wxWindow* cancel = FindWindow(wxID_CANCEL))
        cancel->Hide();
    Layout();
    SetLabel(m_complete ? m_name : CutShortNote(m_name, m_index.GetCount()));
    // With no game at all, the caller says the file could not be opened.
    if (!m_stoppedByTheEnd && !m_index.IsComplete() && m_index.GetCount() > 0)
        TellIncomplete();
}

// Wide enough for a row with two 20-letter names, a dozen rows high, within
// the screen; beside the board it shows, never over it where there is room.
void CPgnViewerDialog::FitBesideBoard()
{
    CChessApp* app = GetChessApp();
    wxRect board = app && app->m_frame ? app->m_frame->GetBoardScreenRect() : wxRect();
    int display = board.IsEmpty() ? wxDisplay::GetFromWindow(this) : wxDisplay::GetFromPoint(board.GetPosition());
    wxRect work = wxDisplay(display == wxNOT_FOUND ? 0u : unsigned(display)).GetClientArea();
    wxSize size = GetSize();
    if (wxWindow* list = FindWindow(ID_PGN_GAMES)) {
        wxSize row = list->GetTextExtent("1000. Abcdefghijklmnopqrst vs Abcdefghijklmnopqrst");
        wxSize around = size - list->GetSize();
        size.x = std::max(size.x, around.x + row.x + wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, list) + 16);
        size.y = std::max(size.y, around.y + 12 * (row.y + 4));
    }
    if (!work.IsEmpty()) {
        size.x = std::min(size.x, work.width);
        size.y = std::min(size.y, work.height);
    }
    SetSize(size);
    if (board.IsEmpty() || work.IsEmpty())
        return;
    SMessageRect place = PlaceMessage({board.x, board.y, board.width, board.height}, size.x, size.y,
                                      {work.x, work.y, work.width, work.height});
    Move(place.x, place.y);
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

CString CPgnViewerDialog::CutShortNote(const CString& name, int count)
{
    CString note(name);
    note.AppendFormat(": the first %d games (reading cancelled)", count);
    return note;
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
    wxStaticText* label = dynamic_cast<wxStaticText*>(FindWindow(ID_PGN_LABEL));
    if (!label)
        return;
    label->SetLabel(ToWx(text));
    // The label keeps its size: the window widens for a text it cuts.
    int missing = label->GetTextExtent(label->GetLabel()).x - label->GetSize().x;
    if (missing > 0 && IsShown()) {
        SetSize(GetSize().x + missing, GetSize().y);
        Layout();
    }
}

void CPgnViewerDialog::Log(const CString& text)
{
    CChessApp* app = GetChessApp();
    if (app && app->m_console)
        app->m_console->PrintString(CString("PGN viewer: ") + Zorlin::EscapeForLog(text) + "\n");
}

int CPgnViewerDialog::Import()
{
    if (!m_file || !m_file->IsOpen())
        return 0;
    wxBusyCursor busy;
    // Only this window's Cancel may be used while the list is incomplete;
    // the window keeps drawing its progress.
    wxWindowDisabler noInput(this);
    // The list draws nothing from an index being rebuilt.
    CPgnGameList* list = dynamic_cast<CPgnGameList*>(FindWindow(ID_PGN_GAMES));
    if (list) {
        list->SetIndex(nullptr);
        list->Disable();
    }
    // The end of the program stops it as it ends a modal loop: a yield on
    // the stack holds the end back until the reading returns.
    CModalWork work;
    m_reading = &work;
    m_cancelled = false;
    Log(CString("reading ") + m_name);
    CTimeSlice slice;
    m_file->Seek(0, 0);
    auto turn = [&](int read) {
        if (slice.Due()) {
            CString text("Reading game ");
            text.Append(read);
            SetLabel(text);
            wxTheApp->Yield(true);
            slice.TurnOver();
        }
        return !m_cancelled && !work.IsStopped();
    };
    // Also within a long stretch that holds no game: a huge file of
    // anything but games must not stop the window for the whole file.
    int count = m_index.Build(*m_file, turn, [&] { return turn(m_index.GetCount()); });
    m_reading = nullptr;
    m_stoppedByTheEnd = work.IsStopped();
    m_complete = !m_cancelled && !m_stoppedByTheEnd;
    CString text("Reading game ");
    text.Append(count);
    SetLabel(text);
    if (m_complete) {
        CString done(m_name);
        done.AppendFormat(": %d games", count);
        Log(done);
    } else {
        Log(CutShortNote(m_name, count));
    }
    // Drawn from the index as rows come into view: filling a list with
    // every game is what froze big files.
    if (list) {
        list->Enable();
        list->SetIndex(&m_index);
        // The Cancel that had the keys goes: without a focus the window
        // would hear no key, Escape included.
        list->SetFocus();
    }
    return count;
}

void CPgnViewerDialog::CancelReading()
{
    if (m_reading)
        m_cancelled = true;
}

void CPgnViewerDialog::OnCancel(wxCommandEvent&)
{
    CancelReading();
}

bool CPgnViewerDialog::LoadGame(int n)
{
    CChessView* view = CGame::GetChessView();
    CGame* game = m_game ? m_game : view ? view->GetGame() : nullptr;
    if (!game || !m_file)
        return false;
    CString text, message;
    if (!m_index.ReadGame(*m_file, n, text)) {
        message.AppendFormat("Could not read game %d from the PGN file.", n + 1);
    } else if (CPGNGame::ShowPgnText(*game, text, n + 1, false, message)) {
        CPGNGame::ShowOnBoard(*game);
        return true;
    }
    // The board keeps the game it showed, and the list stays for another.
    Log(message);
    GetPrompt().ShowMessage(message, "PGN Viewer", wxOK | wxICON_EXCLAMATION, this);
    return false;
}

void CPgnViewerDialog::OnGame(wxCommandEvent& event)
{
    LoadGame(event.GetInt());
}

// Escape stops the reading, or closes the window as its close box does
// (asking first).
void CPgnViewerDialog::OnCharHook(wxKeyEvent& event)
{
    if (event.GetKeyCode() == WXK_ESCAPE) {
        if (IsReading())
            CancelReading();
        else
            Close();
        return;
    }
    event.Skip();
}

void CPgnViewerDialog::OnClose(wxCloseEvent& event)
{
    // Import is on the stack: the window goes only once it has returned.
    if (IsReading()) {
        CancelReading();
        event.Veto();
        return;
    }
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
