#include "chess/Move.h"

void CMove::ToCoordinateText(Zorlin::CString& out) const
{
    char text[6] = { char('a' + m_from.x), char('1' + m_from.y), char('a' + m_to.x), char('1' + m_to.y), 0, 0 };
    if (m_promotion >= PIECE_PAWN && m_promotion < PIECE_NONE)
        text[4] = "prnbqk"[m_promotion];
    out.Append(text);
}

Zorlin::CString SquareText(const SSquare& square)
{
    char text[3] = { char('a' + square.x), char('1' + square.y), 0 };
    return Zorlin::CString(text);
}

bool ParseSquare(const Zorlin::CString& text, SSquare& out)
{
    if (text.GetLength() < 2)
        return false;
    char file = text[0];
    char rank = text[1];
    if (file >= 'A' && file <= 'Z')
        file = char(file - 'A' + 'a');
    if (file < 'a' || file > 'h' || rank < '1' || rank > '8')
        return false;
    out = SSquare(file - 'a', rank - '1');
    return true;
}
