// The frame's game-file commands, dropped files and board snapshots.

#include "client/core/ChessFrame.h"

#include "client/core/ChessApp.h"
#include "client/core/Prompt.h"

using Zorlin::CString;

void CChessFrame::OnOpenGame(wxCommandEvent&) { NotYetAvailable("Open Game"); }
void CChessFrame::OnSaveGame(wxCommandEvent&) { NotYetAvailable("Save Game"); }
void CChessFrame::OnSaveGameAs(wxCommandEvent&) { NotYetAvailable("Save Game As"); }
void CChessFrame::OnOpenTransportFile(wxCommandEvent&) { NotYetAvailable("Open RWF"); }
void CChessFrame::OnSaveSnapshot(wxCommandEvent&) { NotYetAvailable("Save Board Snapshot"); }

void CChessFrame::OpenGameFile(const CString& diskPath)
{
    CString what("Open Game ");
    what += diskPath;
    NotYetAvailable(what.GetText());
}

bool CChessFrame::SaveGame()
{
    NotYetAvailable("Save Game");
    return false;
}
