#include "client/dialogs/TypedMove.h"

#include <cstring>

#include "chess/ChessBoard.h"
#include "foundation/Array.h"

using Zorlin::CArray;
using Zorlin::CString;

void NormaliseMoveText(CString& text)
{
    char* p = text.GetBuffer();
    for (int i = 0; i < text.GetLength(); ++i) {
        char c = p[i];
        if (c != 0 && std::strchr("prnqko", c))
            p[i] = char(c - 'a' + 'A');
        else if (c != 0 && std::strchr("ACDEFGH", c))
            p[i] = char(c - 'A' + 'a');
    }
}

namespace {

// The move must be one of the legal moves of the piece on its origin square.
bool IsAmongLegalMoves(const CChessBoard& board, CMove& move)
{
    const CPiece& piece = board.GetPieceAt(move.m_from);
    if (piece.m_type == PIECE_NONE)
        return false;
    CArray<CMove> legal;
    piece.GetLegalMoves(legal, board);
    for (int i = 0; i < legal.GetCount(); ++i) {
        if (legal.GetAt(i)->m_to != move.m_to)
            continue;
        bool lastRank = move.m_to.y == 0 || move.m_to.y == 7;
        if (piece.m_type == PIECE_PAWN && lastRank && !IsPromotionType(move.m_promotion))
            move.m_promotion = PIECE_QUEEN;
        return true;
    }
    return false;
}

} // namespace

bool ReadTypedMove(const CChessBoard& board, const CString& typed, CMove& out)
{
    CString text = typed;
    text.Trim();
    if (text.IsEmpty())
        return false;
    NormaliseMoveText(text);
    CMove move;
    if (!board.ParseMove(text, move, true)) {
        text.MakeUpper(0, 0);
        move = CMove();
        if (!board.ParseMove(text, move, true))
            return false;
    }
    if (!IsAmongLegalMoves(board, move))
        return false;
    out = move;
    return true;
}
