#include "chess/ChessBoard.h"
#include "chess/Position.h"

using Zorlin::CString;

namespace {

char FenLetter(const CPiece& piece)
{
    const char letter = PieceLetter(piece.m_type);
    return piece.m_colour == BLACK ? char(letter - 'A' + 'a') : letter;
}

void AppendPlacement(const CChessBoard& board, CString& out)
{
    for (int y = 7; y >= 0; --y) {
        int empty = 0;
        for (int x = 0; x < 8; ++x) {
            const CPiece& piece = board.GetPieceAt(x, y);
            if (piece.m_type == PIECE_NONE) {
                ++empty;
                continue;
            }
            if (empty > 0)
                out.Append(char('0' + empty));
            empty = 0;
            out.Append(FenLetter(piece));
        }
        if (empty > 0)
            out.Append(char('0' + empty));
        if (y > 0)
            out.Append('/');
    }
}

// False when that side has no king.
bool AppendCastling(const CChessBoard& board, Colour colour, CString& out)
{
    const CPiece* king = board.FindKing(colour);
    if (!king)
        return false;
    bool queenSide = false;
    bool kingSide = false;
    king->GetCastlingRights(queenSide, kingSide);
    if (kingSide)
        out.Append(colour == WHITE ? 'K' : 'k');
    if (queenSide)
        out.Append(colour == WHITE ? 'Q' : 'q');
    return true;
}

} // namespace

void CPiece::GetCastlingRights(bool& queenSide, bool& kingSide) const
{
    queenSide = false;
    kingSide = false;
    if (m_type != PIECE_KING || HasMoved() || !m_owner)
        return;
    const CPiece& queenRook = m_owner->GetPieceAt(0, m_y);
    const CPiece& kingRook = m_owner->GetPieceAt(7, m_y);
    queenSide = queenRook.m_type == PIECE_ROOK && !queenRook.HasMoved();
    kingSide = kingRook.m_type == PIECE_ROOK && !kingRook.HasMoved();
}

bool CChessBoard::GetEnPassantSquare(SSquare& out) const
{
    if (m_history.GetCount() == 0)
        return false;
    const CMove& last = m_history.GetAt(-1)->m_move;
    if (GetPieceAt(last.m_to).m_type != PIECE_PAWN)
        return false;
    const int step = last.m_to.y - last.m_from.y;
    if ((step != 2 && step != -2) || last.m_to.x != last.m_from.x)
        return false;
    out = SSquare(last.m_from.x, last.m_from.y + step / 2);
    return out.IsOnBoard();
}

bool CChessBoard::GetFen(CString& out, bool repetitionKey) const
{
    AppendPlacement(*this, out);
    out.Append(m_sideToMove == BLACK ? " b " : " w ");
    const int castlingStart = out.GetLength();
    if (!AppendCastling(*this, WHITE, out) || !AppendCastling(*this, BLACK, out))
        return false;
    if (out.GetLength() == castlingStart)
        out.Append('-');
    out.Append(' ');
    // The FEN names the square after every double step; the repetition key
    // only when a pawn can legally take there.
    SSquare square;
    bool enPassant = GetEnPassantSquare(square);
    if (enPassant && repetitionKey)
        enPassant = CPosition(*this).EnPassantVictim(m_sideToMove) >= 0;
    if (enPassant)
        out.Append(SquareText(square));
    else
        out.Append('-');
    if (!repetitionKey)
        out.AppendFormat(" %d %d", m_halfMoveClock, m_ply / 2 + 1);
    return true;
}
