#pragma once

#include "chess/ChessTypes.h"
#include "chess/Move.h"

namespace Zorlin {
template <class T> class CArray;
}

class CChessBoard;

// One piece ever put on a board, with its history. Records stay after a
// capture (the last square is kept) and are re-pointed when a board is copied.
class CPiece {
public:
    Colour m_colour = COLOUR_NONE;
    PieceType m_type = PIECE_NONE; // a promoted pawn gets its new type
    int32_t m_x = 0;
    int32_t m_y = 0;
    int32_t m_movesMade = 0;
    int32_t m_lastMovePly = -1; // the board's ply when it last moved; -1 = never
    CChessBoard* m_owner = nullptr;
    bool m_startedAsPawn = false; // stays true after promotion
    bool m_kingsSide = false;     // bishop, knight and rook that start on f, g, h

    void Set(Colour colour, PieceType type, bool kingsSide);
    SSquare GetSquare() const { return SSquare(m_x, m_y); }
    bool HasMoved() const { return m_lastMovePly != -1; }

    // Makes the move on the owning board.
    bool MakeMove(CMove& move, double ms);

    // Moves by type, not checked for leaving the own king attacked; promotions
    // carry PIECE_NONE. Appends to out and returns out's count.
    int GetPseudoLegalMoves(Zorlin::CArray<CMove>& out, const CChessBoard& board) const;
    // The pseudo-legal moves that do not leave the own king attacked; nothing
    // when this piece's side is not to move.
    int GetLegalMoves(Zorlin::CArray<CMove>& out, const CChessBoard& board) const;

    bool Attacks(const SSquare& square, const CChessBoard& board) const;
    bool CanReach(const SSquare& square, const CChessBoard& board) const;
    // Empty, and not attacked once this piece's king stands there.
    bool IsSafeKingSquare(const SSquare& square, const CChessBoard& board) const;

    // Asked of a king: its castling rights as a position key sees them
    // (never moved, and an unmoved rook in the corner); check plays no part.
    void GetCastlingRights(bool& queenSide, bool& kingSide) const;
};
