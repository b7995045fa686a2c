#include "client/core/PgnCommands.h"

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "chess/Pgn.h"
#include "client/core/AppServices.h"
#include "client/core/ChessView.h"
#include "client/core/Clipboard.h"
#include "client/core/FileFilter.h"
#include "client/core/FrameView.h"
#include "client/core/GameFileRules.h"
#include "client/core/ClockView.h"
#include "client/core/Game.h"
#include "client/core/PGNGame.h"
#include "client/core/PgnExport.h"
#include "client/core/Player.h"
#include "client/core/Prompt.h"
#include "client/core/WxText.h"
#include "client/dialogs/HtmlMessageBox.h"
#include "client/dialogs/PgnViewerDialog.h"
#include "client/view/ViewHost.h"
#include "foundation/AtomicFile.h"
#include "foundation/Drive.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"
#include "foundation/Win32File.h"

using Zorlin::CArray;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CURL;
using Zorlin::CWin32File;

namespace {

const char* const kExportPgnFilter = "PGN Files (*.PGN)|*.PGN";
const int kDisplayWidth = 550;
const int kDisplayHeight = 300;

bool FileExists(const CString& diskPath)
{
    CWin32File probe(diskPath, CFile::kModeRead);
    return probe.IsOpen();
}

// A viewed game's tags are the file's: refreshed, they would name this
// machine's players and today instead of the game's own.
bool RefreshesTags(CGame& game)
{
    return dynamic_cast<CPGNGame*>(&game) == nullptr;
}

// The end of the program stopped the viewer's reading: nothing more is
// shown, the program is closing.
bool StoppedByTheEnd(CPGNGame& game)
{
    CPgnViewerDialog* viewer = game.GetViewer();
    return viewer && viewer->IsStoppedByTheEnd();
}

} // namespace

CPgnCommands::CPgnCommands(CFrameView& frame, SHooks hooks) : m_frame(frame), m_hooks(std::move(hooks)) {}

CGame* CPgnCommands::Game()
{
    CChessView* view = m_frame.GetChessView();
    return view ? view->GetGame() : nullptr;
}

int CPgnCommands::Tell(const char* text, const char* caption, long style)
{
    return GetPrompt().ShowMessage(text, caption, style, m_frame.GetWindow());
}

void CPgnCommands::ShowBoard()
{
    if (m_hooks.showBoard)
        m_hooks.showBoard();
    else
        GetViewHost().ExecuteCommand("VIEW_BOARD");
}

CString CPgnCommands::GamePgnText(CGame& game, bool refreshTags, const char* fileName)
{
    CMemFile file;
    file.Open(fileName, CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    game.WritePgn(file, refreshTags);
    file.Seek(0, CFile::kSeekStart);
    CString text;
    text.AppendFile(file);
    return text;
}

CString CPgnCommands::PlayedGamesFolder()
{
    Zorlin::CDrive& drive = GetAppServices().GetUserDrive();
    drive.MakeDirectory(CURL("/played games/"));
    CURL folder("/played games/");
    drive.GetFullPath(folder, "");
    return folder;
}

// ------------------------------------------------------------ export

void CPgnCommands::ExportPgn()
{
    CGame* game = Game();
    if (!game)
        return;
    const CString folder = PlayedGamesFolder();
    const CString name = MakeSavedGameName(*game, ".pgn");

    CString path;
    bool append = false;
    for (;;) {
        if (!GetPrompt().AskFile("Export PGN", folder, name, kExportPgnFilter, wxFD_SAVE, m_frame.GetWindow(),
                                 path) ||
            path.IsEmpty())
            return;
        path = WithDefaultExtension(path, DefaultExtensionOf(kExportPgnFilter).GetText());
        if (!FileExists(path)) {
            append = false;
            break;
        }
        CString question = CPgnViewerDialog::ShortName(path);
        question.Append(" exists.\n\nPlease select one of the options below.");
        CArray<CString> choices;
        choices.Add(CString("Append PGN to this file"));
        choices.Add(CString("Overwrite existing file"));
        const int choice = GetPrompt().AskChoice(question, "Export PGN", choices, m_frame.GetWindow(), -1, -1);
        if (choice == 0 || choice == 1) {
            append = choice == 0;
            break;
        }
    }

    if (!WritePgnExport(path, GamePgnText(*game, RefreshesTags(*game), "game.pgn"), append)) {
        CString text("Could not write the PGN file:\n\n");
        text.Append(path);
        GetPrompt().ShowMessage(text, "Export PGN", wxOK | wxICON_ERROR, m_frame.GetWindow());
        return;
    }
    if (m_hooks.gamesChanged)
        m_hooks.gamesChanged();
    else
        GetViewHost().RebuildBrowser(true);
}

void CPgnCommands::ExportFen()
{
    CGame* game = Game();
    if (!game)
        return;
    SSaveFile dialog;
    dialog.title = "Export FEN";
    dialog.folder = PlayedGamesFolder();
    dialog.file = MakeSavedGameName(*game, ".fen");
    dialog.filter = "FEN Files (*.FEN)|*.FEN";
    dialog.caption = "Export FEN";
    CString path;
    if (!AskFileToSave(dialog, m_frame.GetWindow(), path))
        return;
    CString fen;
    if (!game->GetBoard().GetFen(fen, false) ||
        !Zorlin::WriteFileAtomically(path, fen.GetText(), size_t(fen.GetLength()))) {
        CString text("Could not write the FEN file:\n\n");
        text.Append(path);
        GetPrompt().ShowMessage(text, "Export FEN", wxOK | wxICON_ERROR, m_frame.GetWindow());
    }
}

// ------------------------------------------------------------ clipboard

void CPgnCommands::CopyPgn()
{
    CGame* game = Game();
    if (!game)
        return;
    const CString text = GamePgnText(*game, RefreshesTags(*game), "game.pgn");
    if (PutClipboardText(text))
        Tell("A PGN of the current game has been placed on the clipboard.", "Copy PGN", wxOK | wxICON_INFORMATION);
    else
        Tell("Could not copy PGN to clipboard", "Copy PGN", wxOK);
}

void CPgnCommands::PastePgn()
{
    const CString text = ClipboardText();
    if (text.IsEmpty()) {
        Tell("Could not paste PGN", "Paste PGN", wxOK | wxICON_ERROR);
        return;
    }
    CMemFile pgn;
    pgn.Open("clipboard.pgn", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    pgn.Write(text.GetText(), unsigned(text.GetLength()));
    pgn.Seek(0, CFile::kSeekStart);
    // Text with neither a tag nor anything written like a move is no game,
    // not one whose first move is illegal.
    const bool holdsPgn = HoldsPgn(pgn);
    pgn.Seek(0, CFile::kSeekStart);
    if (!holdsPgn) {
        Tell("Could not paste PGN from the clipboard.", "Paste PGN", wxOK | wxICON_ERROR);
        return;
    }
    CGame* current = Game();
    if (current && current->IsInPlay() && !current->QueryClose())
        return;

    CPGNGame* game = new CPGNGame();
    game->Setup();
    bool read;
    {
        wxBusyCursor busy;
        read = game->OpenPgn(pgn) && game->GetGameCount() > 0;
    }
    if (StoppedByTheEnd(*game)) {
        game->Destroy();
        return;
    }
    if (!read) {
        Tell("Could not paste PGN from the clipboard.", "Paste PGN", wxOK | wxICON_ERROR);
        game->Destroy();
        return;
    }
    Adopt(game, "Could not paste PGN from the clipboard.", "Paste PGN");
}

// ------------------------------------------------------------ display

void CPgnCommands::DisplayPgn()
{
    CGame* game = Game();
    if (!game)
        return;
    CHtmlMessageBox* box = new CHtmlMessageBox(nullptr, "Display PGN", false);
    box->SetHtml(MakePgnDisplayHtml(GamePgnText(*game, false, "pgn.pgn")));
    box->SetSize(kDisplayWidth, kDisplayHeight);
    box->Centre(wxBOTH);
    box->Show(true);
}

// ------------------------------------------------------------ open

void CPgnCommands::OpenPgn()
{
    CGame* current = Game();
    if (current && !current->QueryClose())
        return;
    CString path;
    if (!GetPrompt().AskFile("Select a PGN to open", PlayedGamesFolder(), CString(), "PGN files | *.pgn",
                             wxFD_OPEN | wxFD_FILE_MUST_EXIST, m_frame.GetWindow(), path) ||
        path.IsEmpty())
        return;
    OpenPgnFile(path);
}

bool CPgnCommands::OpenPgnFile(const CString& diskPath)
{
    CWin32File* file = new CWin32File(diskPath, CFile::kModeRead | CFile::kModeSequential);
    // A FIFO or a device would keep the reading waiting or going for ever.
    if (!file->IsOpen() || !file->IsRegular()) {
        delete file;
        Tell("Could not open PGN file.", "Open", wxOK | wxICON_ERROR);
        return false;
    }
    CPGNGame* game = new CPGNGame();
    game->Setup();
    bool read;
    {
        wxBusyCursor busy;
        read = game->OpenPgnOwned(file) && game->GetGameCount() > 0;
    }
    if (StoppedByTheEnd(*game)) {
        game->Destroy();
        return false;
    }
    if (!read) {
        Tell("Could not open PGN file.", "Open PGN", wxOK | wxICON_ERROR);
        game->Destroy();
        return false;
    }
    return Adopt(game, "Could not open PGN file.", "Open PGN");
}

bool CPgnCommands::Adopt(CPGNGame* game, const char* failText, const char* failCaption)
{
    ShowBoard();
    // The board coming up lets events through, and the viewer is already on
    // the screen: closed meanwhile, or the frame closing, the file is no
    // longer wanted.
    CPgnViewerDialog* open = game->GetViewer();
    if (!open || (wxTheApp && wxTheApp->IsScheduledForDestruction(open)) || m_frame.IsClosing()) {
        game->Destroy();
        return false;
    }
    CString message;
    const bool shown = game->LoadGame(0, message, true);
    // The viewer is on the screen by now: what it found is told over it.
    wxWindow* viewer = game->GetViewer();
    wxWindow* over = viewer ? viewer : m_frame.GetWindow();
    if (!message.IsEmpty())
        GetPrompt().ShowMessage(message, "Open PGN", wxOK | wxICON_EXCLAMATION, over);
    else if (!shown)
        GetPrompt().ShowMessage(failText, failCaption, wxOK | wxICON_ERROR, over);
    // A file of several games stays open when its first cannot be shown:
    // the others are in the list.
    const bool loaded = shown || game->GetGameCount() > 1;
    CChessView* view = m_frame.GetChessView();
    if (!loaded || !view) {
        game->Destroy();
        return false;
    }
    view->ResetView(game, true, false);
    // A viewed game has no clock: the last game's stopped times go.
    if (CClockView* clock = CGame::GetClockView()) {
        clock->Stop();
        clock->SetTime(0.0, 0.0, WHITE);
        clock->SetShown(false);
    }
    CPGNGame::ShowOnBoard(*game);
    return true;
}
