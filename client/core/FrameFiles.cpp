// The frame's game-file commands, dropped files and board snapshots.

#include "client/core/ChessFrame.h"

#include <cstdio>
#include <unistd.h>

#include <wx/filedlg.h>
#include <wx/statusbr.h>

#include "client/core/AIGame.h"
#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ClockView.h"
#include "client/core/FrameDropTarget.h"
#include "client/core/GameEndText.h"
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
#include "foundation/ConfigText.h"
#include "foundation/Drive.h"
#include "foundation/Image.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"
#include "foundation/Win32File.h"
#include "platform/SystemPlaces.h"
#include "foundation/NameText.h"

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
        SSaveFile dialog;
        dialog.title = "Save game";
        dialog.folder = ActiveGamesFolder();
        dialog.file = MakeSavedGameName(*game, ".rwg");
        dialog.filter = kGameFilter;
        dialog.caption = caption;
        dialog.own = game->GetSavedPath();
        if (!AskFileToSave(dialog, this, path))
            return false;
        game->SetSavedPath(path);
    }

    return WriteSavedGame(*game, path, caption);
}

bool CChessFrame::WriteSavedGame(CGame& game, const CString& path, const char* caption)
{
    CConfig saved;
    game.Save(saved);
    // Written beside the old file and renamed over it, so a save that fails
    // half-way leaves the last good one.
    if (!saved.WriteDiskFile(path, true)) {
        if (caption)
            GetPrompt().ShowMessage("Could not save!", caption, wxOK | wxICON_ERROR, this);
        return false;
    }
    if (CBrowserPanel* browser = dynamic_cast<CBrowserPanel*>(m_browserPanel)) {
        browser->ListActiveGames();
        browser->Rebuild(true);
    }
    game.SetSavedPly(game.GetBoard().GetPly());
    return true;
}

bool CChessFrame::KeepUnsavedGame()
{
    CGame* game = GetGame();
    if (!game || !game->HasUnsavedPlay())
        return true;
    CString path = game->GetSavedPath();
    if (path.IsEmpty()) {
        CString folder = ActiveGamesFolder();
        if (folder.IsEmpty() || folder[folder.GetLength() - 1] != '/')
            folder.Append('/');
        const CString name = MakeSavedGameName(*game, "");
        auto taken = [](const CString& file) { return access(file.GetText(), F_OK) == 0; };
        for (int copy = 1; copy < 100 && (path.IsEmpty() || taken(path)); ++copy) {
            path = folder + name;
            if (copy > 1)
                path.AppendFormat(" (%d)", copy);
            path += ".rwg";
        }
        if (taken(path))
            return false;
        game->SetSavedPath(path);
    }
    // Nobody may be there to answer: a failure goes to the log.
    const bool kept = WriteSavedGame(*game, path, nullptr);
    fprintf(stderr, kept ? "The game in play was kept in %s\n" : "The game in play could not be kept in %s\n",
            Zorlin::EscapeForLog(path).GetText());
    return kept;
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
        if (!file.IsOpen() || !file.IsRegular()) {
            GetPrompt().ShowMessage("Could not open the game file.", "Open", wxOK | wxICON_ERROR, this);
            return;
        }
        // A file cut short would open as a shorter game, and the next save
        // would write that over what is left of the original.
        if (file.GetSize() > kMaxSavedGameBytes || !Zorlin::ReadWhole(saved, file)) {
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
        if (CGame* current = GetGame(); current && current->RequestRestore(saved))
            return;
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
    // A result the file kept (a resignation, a loss on time) stands where
    // the board tells none.
    if (end.result == RESULT_NONE)
        end.result = game->GetResult();
    if (end.result != RESULT_NONE && end.status.IsEmpty())
        end.status = GameEndText(game->GetBoard(), end.result, game->GetEndNote());
    if (wxStatusBar* bar = GetStatusBar())
        bar->SetStatusText(ToWx(end.status), 0);
    if (end.result == RESULT_NONE)
        return;
    game->SetResult(end.result);
    game->GetTags()["Result"] = ResultText(end.result);
    // A game saved after its last move is over: nobody is asked to move
    // again and its clock stays still.
    game->SetInPlay(false);
    if (CClockView* clock = GetClockView())
        clock->Stop();
    UpdateGamePanel();
}

void CChessFrame::OnOpenTransportFile(wxCommandEvent&)
{
    CString folder = DesktopFolder();
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
    SSaveFile dialog;
    dialog.title = "Save Screen Image";
    dialog.filter = kBitmapFilter;
    dialog.caption = "Screenshot";
    if (!AskFileToSave(dialog, this, path))
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
