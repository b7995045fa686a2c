#include "client/view/MoveChoice.h"

#include "chess/ChessBoard.h"

using Zorlin::CArray;

bool FindDropMove(const CChessBoard& board, const CPiece& piece, const SSquare& square, CMove& out)
{
    CArray<CMove> moves;
    int count = piece.GetLegalMoves(moves, board);
    for (int i = 0; i < count; ++i) {
        if (moves.GetAt(i)->m_to == square) {
            out = *moves.GetAt(i);
            return true;
        }
    }
    return false;
}

bool IsPromotionMove(const CChessBoard& board, const CMove& move)
{
    const CPiece& piece = board.GetPieceAt(move.m_from);
    return piece.m_type == PIECE_PAWN && (move.m_to.y == 7 || move.m_to.y == 0);
}

bool MatchLegalMove(const CChessBoard& board, const CMove& move, CMove& out)
{
    if (!move.m_from.IsOnBoard() || !move.m_to.IsOnBoard())
        return false;
    const CPiece& piece = board.GetPieceAt(move.m_from);
    if (piece.m_colour != board.GetSideToMove())
        return false;
    CMove legal;
    if (!FindDropMove(board, piece, move.m_to, legal))
        return false;
    bool promotes = IsPromotionMove(board, legal);
    if (promotes ? !IsPromotionType(move.m_promotion) : move.m_promotion != PIECE_NONE)
        return false;
    out = legal;
    out.m_promotion = promotes ? move.m_promotion : PIECE_NONE;
    out.m_text = move.m_text;
    return true;
}
