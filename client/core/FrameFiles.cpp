// The frame's game-file commands, dropped files and board snapshots.

#include "client/core/ChessFrame.h"

#include <wx/filedlg.h>
#include <wx/stdpaths.h>
#include <wx/statusbr.h>

#include <sys/stat.h>

#include "client/core/AIGame.h"
#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ClockView.h"
#include "client/core/FrameDropTarget.h"
#include "client/core/GameFileRules.h"
#include "client/core/PGNGame.h"
#include "client/core/Player.h"
#include "client/core/Prompt.h"
#include "client/core/RemoteTransport.h"
#include "client/core/WxText.h"
#include "client/view/BoardRenderer.h"
#include "client/view/BrowserPanel.h"
#include "client/view/ChessWindow.h"
#include "client/view/GamePanel.h"
#include "client/view/MoveList.h"
#include "foundation/AtomicFile.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/Image.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"
#include "foundation/Win32File.h"

using Zorlin::CConfig;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

const char* const kGameFilter = "Rookwell Game (*.rwg) | *.rwg";
const char* const kTransportFilter = "Rookwell File (*.rwf) | *.rwf";
const char* const kBitmapFilter = "Bitmap files (*.bmp) | *.bmp";

CString ActiveGamesFolder()
{
    Zorlin::CDrive& drive = GetAppServices().GetUserDrive();
    drive.MakeDirectory(CURL("/active games/"));
    CURL folder("/active games/");
    drive.GetFullPath(folder, "");
    return folder;
}

bool DiskFileExists(const CString& path)
{
    struct stat info;
    return stat(path.GetText(), &info) == 0;
}

struct SSaveDialog {
    const char* title;
    CString folder;
    CString file;
    const char* filter;
    const char* extension;
    const char* caption;
    // A file that may be replaced without asking (the game's own).
    CString own;
};

// The save dialog, and the question before an existing file is replaced:
// the question is ours rather than the dialog's so that every dialog
// implementation asks it. No goes back to the dialog.
bool AskFileToWrite(wxWindow* parent, const SSaveDialog& dialog, CString& path)
{
    for (;;) {
        CString chosen;
        if (!GetPrompt().AskFile(dialog.title, dialog.folder, dialog.file, dialog.filter, wxFD_SAVE, parent,
                                 chosen) ||
            chosen.IsEmpty())
            return false;
        chosen = WithDefaultExtension(chosen, dialog.extension);
        if (chosen == dialog.own || !DiskFileExists(chosen)) {
            path = chosen;
            return true;
        }
        CString question = ShortFileName(chosen);
        question.Append(" already exists.\n\nDo you want to replace it?");
        if (GetPrompt().ShowMessage(question, dialog.caption, wxYES_NO | wxICON_QUESTION, parent) == wxYES) {
            path = chosen;
            return true;
        }
    }
}

CString PlayerName(CGame& game, int colour)
{
    CPlayer* player = game.GetPlayer(colour);
    return player && player->GetColour() == colour ? player->GetProperty("Name") : CString();
}

} // namespace

void CChessFrame::InstallDropTarget()
{
    SetDropTarget(new CFrameDropTarget(*this));
}

// ------------------------------------------------------------ save

void CChessFrame::OnSaveGame(wxCommandEvent&) { SaveGame(false); }
void CChessFrame::OnSaveGameAs(wxCommandEvent&) { SaveGame(true); }

bool CChessFrame::SaveGame()
{
    return SaveGame(false);
}

bool CChessFrame::SaveGame(bool saveAs)
{
    CGame* game = GetGame();
    if (!game)
        return false;
    CString path = game->GetSavedPath();
    if (path.IsEmpty())
        saveAs = true;
    const char* caption = saveAs ? "Save As" : "Save";
    if (saveAs) {
        SSaveDialog dialog{"Save game",
                           ActiveGamesFolder(),
                           MakeSavedGameName(PlayerName(*game, WHITE), PlayerName(*game, BLACK)),
                           kGameFilter,
                           ".rwg",
                           caption,
                           game->GetSavedPath()};
        if (!AskFileToWrite(this, dialog, path))
            return false;
        game->SetSavedPath(path);
    }

    CConfig saved;
    game->Save(saved);
    // Written beside the old file and renamed over it, so a save that fails
    // half-way leaves the last good one.
    if (!saved.WriteDiskFile(path, true)) {
        GetPrompt().ShowMessage("Could not save!", caption, wxOK | wxICON_ERROR, this);
        return false;
    }
    if (CBrowserPanel* browser = dynamic_cast<CBrowserPanel*>(m_browserPanel)) {
        browser->ListActiveGames();
        browser->Rebuild(true);
    }
    game->SetSavedPly(game->GetBoard().GetPly());
    return true;
}

// ------------------------------------------------------------ open

void CChessFrame::OnOpenGame(wxCommandEvent&)
{
    if (!MayLeaveGame())
        return;
    CString path;
    if (!GetPrompt().AskFile("Select a game to open", ActiveGamesFolder(), CString(), kGameFilter,
                             wxFD_OPEN | wxFD_FILE_MUST_EXIST, this, path) ||
        path.IsEmpty())
        return;
    OpenGameFile(path);
}

void CChessFrame::OpenGameFile(const CString& diskPath)
{
    if (diskPath.IsEmpty())
        return;
    CConfig saved;
    {
        Zorlin::CWin32File file(diskPath, Zorlin::CFile::kModeRead);
        if (!file.IsOpen()) {
            GetPrompt().ShowMessage("Could not open the game file.", "Open", wxOK | wxICON_ERROR, this);
            return;
        }
        if (file.GetSize() > kMaxSavedGameBytes || !saved.Read(file)) {
            GetPrompt().ShowMessage("Could not read the game file.", "Open", wxOK | wxICON_ERROR, this);
            return;
        }
    }

    const CString type = saved.GetValueOr(".game.type", "");
    bool loaded = false;
    switch (ClassifySavedGame(type)) {
    case ESavedGameKind::kComputer:
        loaded = CAIGame::Restore(diskPath, saved);
        break;
    case ESavedGameKind::kNetwork:
        // A saved network game goes back to the peer of a running network
        // game; without one there is nothing to restore it into.
        GetPrompt().ShowMessage("To restore this game please host or join a network game first.\n", "Network Game",
                                wxOK, nullptr);
        return;
    case ESavedGameKind::kEmail:
        GetPrompt().ShowMessage("You can only view a saved email game.\n\nTo respond, open the last '.rwf' file "
                                "you were sent.",
                                "Open", wxOK | wxICON_INFORMATION, this);
        if (!GetRemoteTransport() || !GetRemoteTransport()->OpenSavedEmailGame(saved))
            OpenViewedGame(saved);
        break;
    case ESavedGameKind::kViewed:
        OpenViewedGame(saved);
        break;
    case ESavedGameKind::kUnknown: {
        CString text;
        text.AppendFormat("Don't recognise a '%s' game type.\n\nVersion mis-match?", type.GetText());
        GetPrompt().ShowMessage(text, "Open", wxOK | wxICON_ERROR, this);
        return;
    }
    }

    if (CBoardRenderer* scene = GetScene()) {
        scene->Clear();
        scene->ClearMarks();
    }
    if (loaded) {
        ShowPosition();
        CanvasUpdateStatus();
        if (CGame* game = GetGame())
            game->SetSavedPath(diskPath);
        JudgeRestoredEnd();
    } else {
        CanvasSyncScene();
    }
    ShowBrowser(false, true);
}

void CChessFrame::OpenViewedGame(CConfig& saved)
{
    CChessWindow* canvas = GetChessWindow();
    if (!canvas)
        return;
    CPGNGame* game = new CPGNGame();
    game->Setup();
    game->GetBoard().SetupStartPosition();
    game->LoadMoves(saved, true);
    canvas->ResetView(game, true, false);
    RefreshFromGame();
    UpdateGamePanel();
    CanvasRedraw();
}

void CChessFrame::JudgeRestoredEnd()
{
    CGame* game = GetGame();
    if (!game)
        return;
    SRestoredEnd end = JudgeRestoredGame(game->GetBoard());
    if (wxStatusBar* bar = GetStatusBar())
        bar->SetStatusText(ToWx(end.status), 0);
    if (end.result == RESULT_NONE)
        return;
    game->SetResult(end.result);
    // A game saved after its last move is over: nobody is asked to move
    // again and its clock stays still.
    game->SetInPlay(false);
    if (CClockView* clock = GetClockView())
        clock->Stop();
}

void CChessFrame::OnOpenTransportFile(wxCommandEvent&)
{
    CString folder = FromWx(wxStandardPaths::Get().GetUserDir(wxStandardPaths::Dir_Desktop));
    CString path;
    if (!GetPrompt().AskFile("Select a RWF file to open", folder, CString(), kTransportFilter,
                             wxFD_OPEN | wxFD_FILE_MUST_EXIST, this, path) ||
        path.IsEmpty())
        return;
    if (CChessApp* app = GetChessApp())
        app->OpenTransportFile(path.GetText());
}

// ------------------------------------------------------------ the view

void CChessFrame::FillMoveListFromGame(int count)
{
    CGamePanel* panel = GetGamePanelWindow();
    CGame* game = GetGame();
    CMoveList* list = panel ? panel->GetMoveList() : nullptr;
    if (!list || !game)
        return;
    const Zorlin::CArray<SHistoryEntry>& history = game->GetBoard().GetHistory();
    if (count > history.GetCount())
        count = history.GetCount();
    list->Freeze();
    panel->ResetMoveList();
    for (int i = 0; i < count; ++i)
        list->AddMove(CString(history.GetAt(i)->m_shortText));
    list->Thaw();
}

void CChessFrame::ShowPosition()
{
    CGame* game = GetGame();
    CChessWindow* canvas = GetChessWindow();
    if (!game || !canvas)
        return;
    const Zorlin::CArray<SHistoryEntry>& history = game->GetBoard().GetHistory();
    if (history.GetCount() > 0)
        canvas->SetLastMove(history.GetAt(-1)->m_move);
    canvas->SyncScene();
    FillMoveListFromGame(history.GetCount());
    UpdateGamePanel();
}

void CChessFrame::RefreshFromGame()
{
    CGame* game = GetGame();
    CChessWindow* canvas = GetChessWindow();
    if (!game || !canvas)
        return;
    const CChessBoard& board = game->GetBoard();
    const int ply = board.GetPly();
    if (ply > 0 && ply <= board.GetHistory().GetCount())
        canvas->SetLastMove(board.GetHistory().GetAt(ply - 1)->m_move);
    canvas->SyncScene();
    FillMoveListFromGame(ply);
    UpdateGamePanel();
}

// ------------------------------------------------------------ snapshot

void CChessFrame::OnSaveSnapshot(wxCommandEvent&)
{
    CString path;
    SSaveDialog dialog{"Save Screen Image", CString(), CString(), kBitmapFilter, ".bmp", "Screenshot", CString()};
    if (!AskFileToWrite(this, dialog, path))
        return;

    // The picture is read back from the board's window, which must be on
    // the screen for that.
    ShowBrowser(false, true);
    CChessWindow* canvas = GetChessWindow();
    CBoardRenderer* scene = canvas ? canvas->GetScene() : nullptr;
    Zorlin::CImage image;
    bool grabbed = false;
    if (scene && canvas->HasContext() && canvas->IsShownOnScreen() && canvas->GetClientSize().x > 0 &&
        canvas->GetClientSize().y > 0) {
        canvas->Render();
        grabbed = scene->GrabImage(image);
    }
    if (!grabbed) {
        GetPrompt().ShowMessage("Could not take a screenshot.", "Screenshot", wxOK | wxICON_WARNING, this);
        return;
    }

    // Encoded in memory and written at once: a failure leaves no part of a
    // picture, and an older file of that name as it was.
    bool written = false;
    try {
        Zorlin::CMemFile encoded;
        encoded.Open(path, Zorlin::CFile::kModeRead | Zorlin::CFile::kModeWrite | Zorlin::CFile::kModeCreate);
        if (image.Save(encoded) == 0 && encoded.Seek(0, 0))
            written = Zorlin::WriteFileAtomically(path, encoded);
    } catch (...) {
        written = false;
    }
    if (!written)
        GetPrompt().ShowMessage("Could not write image.", "Screenshot", wxOK | wxICON_WARNING, this);
}
