#pragma once

// What the reader targets share: a failed invariant stops the run, a small
// generator the input seeds decides the local user's doings, and the rules
// that say whether a move handed to the game is one the board allows.

#include <cstdint>
#include <cstdlib>

#include "chess/ChessBoard.h"
#include "chess/Move.h"
#include "foundation/Array.h"

namespace FuzzSupport {

inline void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// The same choices for the same seed, so a finding replays.
class CChoices {
public:
    explicit CChoices(uint32_t seed) : m_state(seed * 2654435761u + 1) {}
    uint32_t Next(uint32_t below)
    {
        m_state = m_state * 1103515245u + 12345u;
        return below ? (m_state >> 8) % below : 0;
    }

private:
    uint32_t m_state;
};

// The move is one of the legal moves of the side to move. The list names a
// promotion once, without the piece: a promotion must name one a pawn may
// become, and a plain move none.
inline bool IsLegalHere(const CChessBoard& board, const CMove& move)
{
    Zorlin::CArray<CMove> legal;
    board.GetLegalMoves(legal);
    for (int i = 0; i < legal.GetCount(); ++i) {
        const CMove& candidate = *legal.GetAt(i);
        if (!candidate.SameSquares(move))
            continue;
        const bool promotes = board.GetPieceAt(move.m_from).m_type == PIECE_PAWN &&
                              (move.m_to.y == 0 || move.m_to.y == 7);
        if (!promotes)
            return move.m_promotion == PIECE_NONE;
        return move.m_promotion >= PIECE_ROOK && move.m_promotion <= PIECE_QUEEN;
    }
    return false;
}

// A legal move of the side to move picked by choice; false when there is none.
inline bool PickMove(const CChessBoard& board, CChoices& choices, CMove& out)
{
    Zorlin::CArray<CMove> legal;
    if (board.GetLegalMoves(legal) <= 0)
        return false;
    out = *legal.GetAt(int(choices.Next(uint32_t(legal.GetCount()))));
    return true;
}

} // namespace FuzzSupport
