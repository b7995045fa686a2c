// The frame's PGN and FEN commands.

#include "client/core/ChessFrame.h"

#include "client/core/ChessApp.h"
#include "client/core/Prompt.h"

using Zorlin::CString;

void CChessFrame::OnExportPgn(wxCommandEvent&) { NotYetAvailable("Export PGN"); }
void CChessFrame::OnOpenPgn(wxCommandEvent&) { NotYetAvailable("Open PGN"); }
void CChessFrame::OnCopyPgn(wxCommandEvent&) { NotYetAvailable("Copy PGN to clipboard"); }
void CChessFrame::OnPastePgn(wxCommandEvent&) { NotYetAvailable("Paste PGN from clipboard"); }
void CChessFrame::OnDisplayPgn(wxCommandEvent&) { NotYetAvailable("Display PGN"); }
void CChessFrame::OnExportFen(wxCommandEvent&) { NotYetAvailable("Export FEN"); }

void CChessFrame::OpenPgnFile(const CString& diskPath)
{
    CString what("Open PGN ");
    what += diskPath;
    NotYetAvailable(what.GetText());
}
