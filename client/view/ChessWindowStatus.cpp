// What the board canvas writes around itself: the status bar's three
// fields, the game menu's enabled states and the move list.

#include "client/view/ChessWindow.h"

#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/statusbr.h>

#include "client/core/ChessFrame.h"
#include "client/core/Game.h"
#include "client/core/GameEndText.h"
#include "client/view/BoardStatus.h"
#include "client/view/GamePanel.h"

using Zorlin::CString;

namespace {

const int kGameMenuItems[] = {10241, 10242, 10243, 10244, 10209}; // reset, take back, draw, resign, end

} // namespace

void CChessWindow::SetStatus(const CString& text, int field)
{
    wxFrame* frame = dynamic_cast<wxFrame*>(wxGetTopLevelParent(this));
    wxStatusBar* bar = frame ? frame->GetStatusBar() : nullptr;
    if (bar && field < bar->GetFieldsCount())
        bar->SetStatusText(wxString::FromUTF8(text.GetText()), field);
}

void CChessWindow::AnnounceEnd()
{
    if (!m_game)
        return;
    CString words = GameEndText(m_game->GetBoard(), m_game->GetResult(), m_game->GetEndNote());
    if (words.IsEmpty())
        return;
    m_game->GetTags()["Result"] = ResultText(m_game->GetResult());
    SetStatus(words, 0);
    if (CChessFrame* frame = GetFrame())
        frame->UpdateGamePanel();
}

void CChessWindow::UpdateMenuStates(bool enable, bool pgn)
{
    wxFrame* frame = dynamic_cast<wxFrame*>(wxGetTopLevelParent(this));
    wxMenuBar* bar = frame ? frame->GetMenuBar() : nullptr;
    if (!bar)
        return;
    for (int id : kGameMenuItems) {
        if (!bar->FindItem(id))
            continue;
        bool on = enable && (id == 10209 || !pgn);
        bar->Enable(id, on);
    }
}

void CChessWindow::UpdateStatus()
{
    CString type = m_game ? m_game->GetSettings().GetValueOr("type", "") : CString();
    if (!m_game || type == "Dummy") {
        SetStatus("How about a nice game of chess?", 0);
        SetStatus(CString(), 1);
        SetStatus(CString(), 2);
        UpdateMenuStates(false, false);
        return;
    }
    UpdateMenuStates(true, type == "PGNGame");
    const CChessBoard& board = m_game->GetBoard();
    SetStatus(BoardLastMoveText(board), 2);
    SetStatus(BoardStateText(board, m_game->GetResult(), m_game->GetEndNote()), 1);
}

void CChessWindow::ResetMoveList()
{
    if (CChessFrame* frame = GetFrame())
        if (CGamePanel* panel = frame->GetGamePanelWindow())
            panel->ResetMoveList();
}

void CChessWindow::AddToMoveList(const CString& san)
{
    if (CChessFrame* frame = GetFrame())
        if (CGamePanel* panel = frame->GetGamePanelWindow())
            panel->AddMove(san);
}
