#include "chess/Move.h"

#include <cstring>
#include <string>

namespace {

bool IsFileLetter(char c)
{
    return c >= 'a' && c <= 'h';
}

bool IsRankDigit(char c)
{
    return c >= '1' && c <= '8';
}

bool IsOneOf(char c, const char* set)
{
    return c != 0 && std::strchr(set, c) != nullptr;
}

} // namespace

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

bool IsMoveShapedWord(const Zorlin::CString& word)
{
    std::string w(word.GetText(), size_t(word.GetLength()));
    // Check marks and annotations say nothing about the move itself.
    while (!w.empty() && IsOneOf(w.back(), "+#!?"))
        w.pop_back();
    for (const char* castle : { "O-O", "O-O-O", "0-0", "0-0-0", "o-o", "o-o-o" })
        if (w == castle)
            return true;
    size_t at = 0;
    if (at < w.size() && IsOneOf(w[at], "KQRBNP"))
        ++at;
    size_t end = w.size();
    // A promotion: "e8q", "e8Q", "e8=Q".
    if (end >= 3 && IsOneOf(w[end - 1], "qrbnQRBN") && (IsRankDigit(w[end - 2]) || w[end - 2] == '=')) {
        --end;
        if (w[end - 1] == '=')
            --end;
    }
    // The target square, then at most a capture or dash mark and a from
    // file and rank before it.
    if (end < at + 2 || !IsFileLetter(w[end - 2]) || !IsRankDigit(w[end - 1]))
        return false;
    end -= 2;
    if (end > at && (w[end - 1] == 'x' || w[end - 1] == '-' || w[end - 1] == ':'))
        --end;
    if (end > at && IsRankDigit(w[end - 1]))
        --end;
    if (end > at && IsFileLetter(w[end - 1]))
        --end;
    return end == at;
}
