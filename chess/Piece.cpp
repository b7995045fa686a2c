#include "chess/Piece.h"

#include "chess/ChessBoard.h"
#include "chess/Position.h"

namespace {

// A record that no longer stands on the board (taken, or from another
// board) has no moves.
bool StandsOn(const CPiece& piece, const CChessBoard& board)
{
    return piece.m_type != PIECE_NONE && &board.GetPieceAt(piece.GetSquare()) == &piece;
}

} // namespace

void CPiece::Set(Colour colour, PieceType type, bool kingsSide)
{
    m_colour = colour;
    m_type = type;
    m_owner = nullptr;
    m_movesMade = 0;
    m_lastMovePly = -1;
    m_startedAsPawn = type == PIECE_PAWN;
    m_kingsSide = kingsSide;
}

bool CPiece::MakeMove(CMove& move, double ms)
{
    return m_owner && m_owner->MakeMove(move, ms);
}

int CPiece::GetPseudoLegalMoves(Zorlin::CArray<CMove>& out, const CChessBoard& board) const
{
    if (!StandsOn(*this, board))
        return out.GetCount();
    CPosition position(board);
    CPosition::SMove moves[CPosition::kMaxMoves];
    int n = position.GeneratePiece(CPosition::Square(m_x, m_y), moves);
    for (int i = 0; i < n; ++i)
        out.Add(CPosition::ToMove(moves[i]));
    return out.GetCount();
}

int CPiece::GetLegalMoves(Zorlin::CArray<CMove>& out, const CChessBoard& board) const
{
    if (m_colour != board.GetSideToMove() || !StandsOn(*this, board))
        return out.GetCount();
    CPosition position(board);
    CPosition::SMove moves[CPosition::kMaxMoves];
    int n = position.GeneratePiece(CPosition::Square(m_x, m_y), moves);
    for (int i = 0; i < n; ++i)
        if (position.IsLegal(moves[i]))
            out.Add(CPosition::ToMove(moves[i]));
    return out.GetCount();
}

bool CPiece::CanReach(const SSquare& square, const CChessBoard& board) const
{
    if (!square.IsOnBoard() || !StandsOn(*this, board))
        return false;
    CPosition position(board);
    return position.Reaches(CPosition::Square(m_x, m_y), CPosition::Square(square), false);
}

bool CPiece::Attacks(const SSquare& square, const CChessBoard& board) const
{
    if (!square.IsOnBoard())
        return false;
    // Kings may not stand side by side; deciding it by distance also keeps
    // the castling test from asking about castling again.
    if (m_type == PIECE_KING && board.GetPieceAt(square).m_type == PIECE_KING) {
        int dx = square.x - m_x;
        int dy = square.y - m_y;
        return dx >= -1 && dx <= 1 && dy >= -1 && dy <= 1;
    }
    if (m_type == PIECE_PAWN) {
        int forward = m_colour == WHITE ? 1 : -1;
        int dx = square.x - m_x;
        if (square.y - m_y != forward || (dx != 1 && dx != -1))
            return false;
    }
    return CanReach(square, board);
}

bool CPiece::IsSafeKingSquare(const SSquare& square, const CChessBoard& board) const
{
    if (!square.IsOnBoard() || m_colour == COLOUR_NONE)
        return false;
    CPosition position(board);
    return position.IsSafeKingSquare(CPosition::Square(square), m_colour);
}
