// The frame's PGN and FEN commands.

#include "client/core/ChessFrame.h"

#include "client/core/PgnCommands.h"

using Zorlin::CString;

CPgnCommands CChessFrame::PgnCommands()
{
    CPgnCommands::SHooks hooks;
    hooks.showBoard = [this] { ShowBrowser(false, true); };
    hooks.gamesChanged = [this] {
        BrowserRescanGames();
        BrowserRebuild(true);
    };
    return CPgnCommands(*this, std::move(hooks));
}

void CChessFrame::OnExportPgn(wxCommandEvent&) { PgnCommands().ExportPgn(); }
void CChessFrame::OnOpenPgn(wxCommandEvent&) { PgnCommands().OpenPgn(); }
void CChessFrame::OnCopyPgn(wxCommandEvent&) { PgnCommands().CopyPgn(); }
void CChessFrame::OnPastePgn(wxCommandEvent&) { PgnCommands().PastePgn(); }
void CChessFrame::OnDisplayPgn(wxCommandEvent&) { PgnCommands().DisplayPgn(); }
void CChessFrame::OnExportFen(wxCommandEvent&) { PgnCommands().ExportFen(); }

void CChessFrame::OpenPgnFile(const CString& diskPath)
{
    PgnCommands().OpenPgnFile(diskPath);
}
