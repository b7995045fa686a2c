// The board canvas's mouse: lifting and dropping pieces, legal-move hints,
// board links and the annotation pen.

#include "client/view/ChessWindow.h"

#include <wx/cursor.h>
#include <wx/menu.h>
#include <wx/statusbr.h>

#include "chess/ChessBoard.h"
#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/Game.h"
#include "client/core/MediaSet.h"
#include "client/core/Player.h"
#include "client/dialogs/PromotionDialog.h"
#include "client/view/BoardRenderer.h"
#include "client/view/MoveChoice.h"
#include "client/view/ViewHost.h"

using Zorlin::CArray;
using Zorlin::CString;

namespace {

const int kShowAnnotationId = 10233;

} // namespace

bool CChessWindow::IsLocalToMove()
{
    if (!m_game)
        return false;
    CPlayer* mover = m_game->GetPlayer(SIDE_TO_MOVE);
    return mover && mover->IsLocal();
}

CPiece* CChessWindow::GetLiftedPiece()
{
    if (m_liftedPiece < 0 || !m_game)
        return nullptr;
    CPiece& piece = m_game->GetBoard().GetPiece(m_liftedPiece);
    return piece.m_type == PIECE_NONE ? nullptr : &piece;
}

void CChessWindow::CancelDrag()
{
    if (m_liftedPiece < 0)
        return;
    if (m_scene) {
        m_scene->SetTime(GetSeconds());
        m_scene->SetDraggedPiece(nullptr);
    }
    m_liftedPiece = -1;
    m_redrawRequested = true;
}

void CChessWindow::OnLeftDown(wxMouseEvent& event)
{
    SCallGuard guard(*this);
    SetFocus();
    if (!m_scene || !m_game)
        return;
    m_scene->SetTime(GetSeconds());
    SyncScene();
    const SScenePoint at = ToDevice(event);
    const float x = float(at.x), y = float(at.y);
    m_scene->SetMousePosition(x, y);
    SSquare square;
    bool onBoard = m_scene->SquareAt(x, y, square);
    if (m_game->IsInPlay() && m_game->GetResult() == RESULT_NONE && event.LeftDown() && IsLocalToMove() &&
        m_liftedPiece < 0 && onBoard) {
        CChessBoard& board = m_game->GetBoard();
        int id = board.GetIdAt(square);
        if (id > 0) {
            // A piece of the side not to move has no legal moves and goes
            // back when dropped.
            m_scene->SetDraggedPiece(m_scene->GetPieceSprite(id));
            m_liftedPiece = id;
            m_redrawRequested = true;
        }
        return;
    }
    CString url, text;
    if (m_liftedPiece < 0 && m_scene->LinkAt(url, text)) {
        SetStatus(text, 0);
        GetViewHost().OpenUrl(url);
    }
}

int CChessWindow::AskPromotionPiece(int colour)
{
    CPawnPromotionDialog dialog(this, wxID_ANY, colour);
    int piece = dialog.ShowModal();
    return IsPromotionType(piece) ? piece : PIECE_QUEEN;
}

void CChessWindow::OnLeftUp(wxMouseEvent& event)
{
    SCallGuard guard(*this);
    if (!m_scene)
        return;
    m_scene->SetTime(GetSeconds());
    if (!m_inputArmed || !m_game || !m_game->IsInPlay() || !IsLocalToMove() || !event.LeftUp())
        return;
    const SScenePoint at = ToDevice(event);
    const float x = float(at.x), y = float(at.y);
    SSquare square;
    CPiece* piece = GetLiftedPiece();
    if (piece && m_scene->SquareAt(x, y, square)) {
        CMove move;
        if (!FindDropMove(m_game->GetBoard(), *piece, square, move)) {
            m_scene->SetDraggedPiece(nullptr);
            m_liftedPiece = -1;
        } else {
            CGame* game = m_game;
            if (IsPromotionMove(game->GetBoard(), move)) {
                int chosen = AskPromotionPiece(piece->m_colour);
                // The dialog runs the event loop: the game may have moved on.
                if (game != m_game || !game->IsInPlay() || !GetLiftedPiece()) {
                    m_liftedPiece = -1;
                    m_scene->SetDraggedPiece(nullptr);
                    m_scene->ClearSquareImages();
                    return;
                }
                move.m_promotion = PieceType(chosen);
            }
            m_scene->ClearMarks();
            m_liftedPiece = -1;
            if (!PlayMove(move, false))
                m_scene->SetDraggedPiece(nullptr);
        }
    } else if (m_liftedPiece >= 0) {
        m_scene->SetDraggedPiece(nullptr);
        m_liftedPiece = -1;
    }
    m_scene->ClearSquareImages();
    m_redrawRequested = true;
}

void CChessWindow::OnMouseMove(wxMouseEvent& event)
{
    SCallGuard guard(*this);
    m_pointerInside = true;
    UpdateVoices();
    if (!event.Moving() && !event.Dragging())
        return;
    if (!m_scene)
        return;
    const SScenePoint at = ToDevice(event);
    const float x = float(at.x), y = float(at.y);
    if (event.RightIsDown()) {
        SScenePoint p = m_scene->WindowToBoard(x, y);
        m_scene->PenLineTo(0, float(p.x), float(p.y));
    }
    if (m_game && m_game->IsInPlay()) {
        SScenePoint p = m_scene->WindowToBoard(x, y);
        m_game->OnPenStroke(event.RightIsDown(), int(p.x), int(p.y));
        // The game's hook may have replaced the game.
    }
    m_scene->SetTime(GetSeconds());
    CString url, text;
    if (!event.LeftIsDown() && !event.RightIsDown() && m_scene->LinkAt(url, text)) {
        if (!IsSettingOn(GetAppServices().GetUserSettings(), ".Preferences.board.disablesponsoredlinks"))
            if (CChessFrame* frame = GetFrame())
                if (frame->GetStatusBar() && frame->GetStatusBar()->GetStatusText(0) != wxString(text.GetText()))
                    SetStatus(text, 0);
    }
    if (m_inputArmed && m_game) {
        CChessBoard& board = m_game->GetBoard();
        SSquare square;
        bool onBoard = m_scene->SquareAt(x, y, square);
        if (m_liftedPiece < 0) {
            if (onBoard) {
                if (square.x != m_hoverX || square.y != m_hoverY) {
                    m_scene->ClearSquareImages();
                    const CPiece& piece = board.GetPieceAt(square);
                    if (m_showLegalMoves && piece.m_type != PIECE_NONE) {
                        CArray<CMove> moves;
                        int count = piece.GetLegalMoves(moves, board);
                        for (int i = 0; i < count; ++i)
                            m_scene->SetSquareImage(piece.m_colour, piece.m_type, piece.m_kingsSide,
                                                    moves.GetAt(i)->m_to);
                    }
                    m_hoverX = square.x;
                    m_hoverY = square.y;
                }
            } else {
                m_scene->ClearSquareImages();
                m_hoverX = m_hoverY = -1;
            }
        }
        if (!onBoard) {
            m_scene->SetShowCursorHighlight(false);
        } else {
            // An empty square's record has no colour of a side: no highlight.
            const CPiece& piece = board.GetPieceAt(square);
            m_scene->SetShowCursorHighlight(m_liftedPiece >= 0 || piece.m_colour == board.GetSideToMove());
        }
    }
    m_scene->SetMousePosition(x, y);
    SetBoardCursor(m_showSkinnedPointer ? wxCursor(wxCURSOR_BLANK) : *wxSTANDARD_CURSOR);
    m_redrawRequested = true;
}

void CChessWindow::OnRightDown(wxMouseEvent& event)
{
    SCallGuard guard(*this);
    if (m_liftedPiece >= 0) {
        CancelDrag();
        return;
    }
    if (!m_scene)
        return;
    m_scene->SetTime(GetSeconds());
    SyncScene();
    m_inputArmed = true;
    const SScenePoint at = ToDevice(event);
    SScenePoint p = m_scene->WindowToBoard(at.x, at.y);
    if (m_game && m_game->IsInPlay())
        m_game->OnPenStroke(event.RightIsDown(), int(p.x), int(p.y));
    if (event.RightDown()) {
        PlayEffect(CMediaSet::kSpray);
        // Drawing brings the strokes back into view, through the menu's
        // own handler so that the frame's option follows.
        CChessFrame* frame = GetFrame();
        if (frame && !frame->IsAnnotationShown()) {
            if (wxMenuBar* bar = frame->GetMenuBar())
                if (bar->FindItem(kShowAnnotationId))
                    bar->Check(kShowAnnotationId, true);
            wxCommandEvent show(wxEVT_MENU, kShowAnnotationId);
            show.SetEventObject(frame);
            frame->GetEventHandler()->ProcessEvent(show);
        }
        m_scene->PenMoveTo(0, float(p.x), float(p.y));
    }
    m_redrawRequested = true;
}

void CChessWindow::OnMiddleDown(wxMouseEvent&)
{
    SCallGuard guard(*this);
    if (!m_scene)
        return;
    m_scene->SetTime(GetSeconds());
    m_scene->ClearPen(0);
    m_redrawRequested = true;
    if (m_game)
        m_game->OnClearAnnotation();
}
