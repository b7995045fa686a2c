// SAN writing and reading, coordinate moves and the spoken move text.
#include <cstring>

#include "chess/ChessBoard.h"
#include "chess/Position.h"

using Zorlin::CArray;
using Zorlin::CString;

namespace {

const char kMoveAlphabet[] = "prnbqkPRNBQKabcdefgh12345678=oO0";
// Longer cleaned texts cannot be a move ("Qh4e1=" is the longest form).
const int kMaxMoveText = 16;

bool InSet(char c, const char* set)
{
    return c != 0 && std::strchr(set, c) != nullptr;
}

bool IsLastRank(int y)
{
    return y == 0 || y == 7;
}

PieceType SpokenPromotion(PieceType type)
{
    return IsPromotionType(type) ? type : PIECE_QUEEN;
}

void AppendWord(CString& out, const char* word)
{
    out.Append(word);
    out.Append(' ');
}

void AppendSquareWords(CString& out, const SSquare& square)
{
    out.Append(char('a' + square.x));
    out.Append(' ');
    out.Append(char('1' + square.y));
    out.Append(' ');
}

} // namespace

void CChessBoard::CleanMoveText(CString& text)
{
    char kept[64];
    int n = 0;
    CString clean;
    for (int i = 0; i < text.GetLength(); ++i) {
        if (!InSet(text[i], kMoveAlphabet))
            continue;
        kept[n++] = text[i];
        if (n == int(sizeof(kept))) {
            clean.Append(kept, n);
            n = 0;
        }
    }
    clean.Append(kept, n);
    text = clean;
}

bool CChessBoard::SetCastling(CMove& out, bool kingSide) const
{
    const CPiece* king = FindKing(m_sideToMove);
    if (!king)
        return false;
    int y = king->m_y;
    out.m_from = king->GetSquare();
    out.m_to = SSquare(kingSide ? 6 : 2, y);
    out.m_rookFrom = SSquare(kingSide ? 7 : 0, y);
    out.m_rookTo = SSquare(kingSide ? 5 : 3, y);
    out.m_kind = kingSide ? MOVE_CASTLE_KINGSIDE : MOVE_CASTLE_QUEENSIDE;
    out.m_promotion = PIECE_NONE;
    return true;
}

// A move read for play must be one of the legal moves; the generated move
// then decides the kind and the squares, and a pawn reaching the last rank
// must name a piece it may become.
bool CChessBoard::CheckLegal(CMove& move) const
{
    const CPiece& piece = GetPieceAt(move.m_from);
    if (piece.m_type == PIECE_NONE || piece.m_colour != m_sideToMove || !move.m_to.IsOnBoard())
        return false;
    CPosition position(*this);
    CPosition::SMove moves[CPosition::kMaxMoves];
    int n = position.GeneratePiece(CPosition::Square(move.m_from), moves);
    int target = CPosition::Square(move.m_to);
    for (int i = 0; i < n; ++i) {
        if (moves[i].to != target || !position.IsLegal(moves[i]))
            continue;
        bool promoting = piece.m_type == PIECE_PAWN && IsLastRank(move.m_to.y);
        if (promoting ? !IsPromotionType(move.m_promotion) : move.m_promotion != PIECE_NONE)
            return false;
        CMove legal = CPosition::ToMove(moves[i]);
        move.m_kind = legal.m_kind;
        move.m_captured = legal.m_captured;
        move.m_rookFrom = legal.m_rookFrom;
        move.m_rookTo = legal.m_rookTo;
        return true;
    }
    return false;
}

bool CChessBoard::FinishRead(CMove& out, bool legalOnly) const
{
    if (out.m_promotion != PIECE_NONE && !IsPromotionType(out.m_promotion))
        return false;
    return !legalOnly || CheckLegal(out);
}

bool CChessBoard::ParseMove(const CString& text, CMove& out, bool legalOnly) const
{
    CString keptText = out.m_text;
    if (ParseSan(text, out, legalOnly))
        return true;
    out = CMove();
    out.m_text = keptText;
    return ParseCoordinates(text, out, legalOnly);
}

bool CChessBoard::ParseSan(const CString& text, CMove& out, bool legalOnly) const
{
    CString clean = text;
    CleanMoveText(clean);
    int len = clean.GetLength();
    if (len > kMaxMoveText)
        return false;
    char s[kMaxMoveText + 1];
    std::memcpy(s, clean.GetText(), size_t(len) + 1);

    if (!std::strcmp(s, "OO") || !std::strcmp(s, "00"))
        return SetCastling(out, true) && FinishRead(out, legalOnly);
    if (!std::strcmp(s, "OOO") || !std::strcmp(s, "000"))
        return SetCastling(out, false) && FinishRead(out, legalOnly);
    if (len < 2)
        return false;

    PieceType promotion = PIECE_NONE;
    if (char* equals = std::strchr(s, '=')) {
        if (std::strlen(equals + 1) != 1)
            return false;
        promotion = PieceTypeFromLetter(equals[1]);
        if (promotion == PIECE_NONE)
            return false;
        *equals = 0;
        len = int(equals - s);
    } else if (InSet(s[len - 1], "PRNBQK")) {
        promotion = PieceTypeFromLetter(s[len - 1]);
        s[--len] = 0;
    }
    if (len < 2)
        return false;
    char targetFile = s[len - 2];
    char targetRank = s[len - 1];
    if (targetFile < 'a' || targetFile > 'h' || targetRank < '1' || targetRank > '8')
        return false;
    SSquare target(targetFile - 'a', targetRank - '1');

    PieceType type = PIECE_NONE;
    int file = -1;
    int rank = -1;
    for (int i = 0; i < len - 2; ++i) {
        char c = s[i];
        if (InSet(c, "PRNBQK")) {
            if (type != PIECE_NONE)
                return false;
            type = PieceTypeFromLetter(c);
        } else if (c >= 'a' && c <= 'h') {
            if (file >= 0)
                return false;
            file = c - 'a';
        } else if (c >= '1' && c <= '8') {
            if (rank >= 0)
                return false;
            rank = c - '1';
        } else {
            return false;
        }
    }
    bool fullSquare = file >= 0 && rank >= 0;
    if (type == PIECE_NONE)
        type = fullSquare ? GetPieceAt(file, rank).m_type : PIECE_PAWN;
    bool toLastRank = IsLastRank(target.y);
    if (type == PIECE_PAWN && toLastRank && promotion == PIECE_NONE)
        promotion = PIECE_QUEEN;
    if (fullSquare && GetPieceAt(file, rank).m_type != type)
        return false;
    if (promotion != PIECE_NONE && !(type == PIECE_PAWN && toLastRank))
        return false;

    CArray<CPiece*> candidates(16, 16);
    const_cast<CChessBoard*>(this)->CollectPieces(type, candidates);
    CPiece* mover = nullptr;
    if (!legalOnly && candidates.GetCount() == 1) {
        mover = *candidates.GetAt(0);
    } else {
        // A given file and rank both narrow the choice: "Qh4e1" names its queen.
        if (rank >= 0)
            FilterByRank(rank, candidates);
        if (file >= 0)
            FilterByFile(file, candidates);
        if (candidates.GetCount() == 0)
            return false;
        if (legalOnly || candidates.GetCount() != 1) {
            if (FilterByReach(candidates, target, legalOnly) != 1)
                return false;
        }
        mover = *candidates.GetAt(0);
    }
    if (fullSquare && mover->GetSquare() != SSquare(file, rank))
        return false;

    out.m_from = mover->GetSquare();
    out.m_to = target;
    out.m_kind = MOVE_NORMAL;
    out.m_promotion = promotion;
    int forward = m_sideToMove == WHITE ? 1 : -1;
    if (GetPieceAt(target).m_type != PIECE_NONE) {
        out.m_kind = MOVE_CAPTURE;
        out.m_captured = target;
    } else if (type == PIECE_PAWN && target.x != out.m_from.x) {
        SSquare behind(target.x, target.y - forward);
        const CPiece& victim = GetPieceAt(behind);
        if (!behind.IsOnBoard() || victim.m_type != PIECE_PAWN || victim.m_movesMade < 1)
            return false;
        out.m_kind = MOVE_EN_PASSANT;
        out.m_captured = behind;
    } else if (type == PIECE_KING && (target.x - out.m_from.x > 1 || target.x - out.m_from.x < -1)) {
        if (!SetCastling(out, target.x == 6))
            return false;
    }
    return FinishRead(out, legalOnly);
}

bool CChessBoard::ParseCoordinates(const CString& text, CMove& out, bool legalOnly) const
{
    CString clean = text;
    CleanMoveText(clean);
    int len = clean.GetLength();
    SSquare from;
    SSquare to;
    if (len < 4 || !ParseSquare(clean, from) || !ParseSquare(clean.Mid(2), to))
        return false;
    const CPiece& piece = GetPieceAt(from);
    bool pawnToLastRank = piece.m_type == PIECE_PAWN && IsLastRank(to.y);
    PieceType promotion = PIECE_NONE;
    if (len > 4)
        promotion = PieceTypeFromLetter(clean[len - 1]);
    else if (pawnToLastRank)
        promotion = PIECE_QUEEN;

    out.m_kind = MOVE_NORMAL;
    out.m_promotion = promotion;
    out.m_from = from;
    out.m_to = to;
    bool occupied = GetPieceAt(to).m_type != PIECE_NONE;
    if (occupied)
        out.m_captured = to;
    if (promotion != PIECE_NONE && !pawnToLastRank)
        return false;

    int dx = to.x - from.x;
    if (piece.m_type == PIECE_KING && (dx > 1 || dx < -1)) {
        if (!SetCastling(out, to.x == 6))
            return false;
    } else if (occupied) {
        out.m_kind = MOVE_CAPTURE;
    } else if (piece.m_type == PIECE_PAWN && dx != 0) {
        SSquare behind(to.x, to.y - (m_sideToMove == WHITE ? 1 : -1));
        if (!behind.IsOnBoard() || GetPieceAt(behind).m_type == PIECE_NONE)
            return false;
        out.m_kind = MOVE_EN_PASSANT;
        out.m_captured = behind;
    }
    return FinishRead(out, legalOnly);
}

int CChessBoard::FilterByReach(CArray<CPiece*>& list, const SSquare& target, bool legalOnly) const
{
    if (!target.IsOnBoard()) {
        list.SetSize(0);
        return 0;
    }
    CPosition position(*this);
    int kept = 0;
    for (int i = 0; i < list.GetCount(); ++i) {
        CPiece* piece = *list.GetAt(i);
        if (legalOnly && piece->m_colour != m_sideToMove)
            continue;
        if (&GetPieceAt(piece->GetSquare()) != piece)
            continue;
        int from = CPosition::Square(piece->m_x, piece->m_y);
        if (position.Reaches(from, CPosition::Square(target), legalOnly))
            *list.GetAt(kept++) = piece;
    }
    list.SetSize(kept);
    return kept;
}

void FilterByFile(int file, CArray<CPiece*>& list)
{
    int kept = 0;
    for (int i = 0; i < list.GetCount(); ++i)
        if ((*list.GetAt(i))->m_x == file)
            *list.GetAt(kept++) = *list.GetAt(i);
    list.SetSize(kept);
}

void FilterByRank(int rank, CArray<CPiece*>& list)
{
    int kept = 0;
    for (int i = 0; i < list.GetCount(); ++i)
        if ((*list.GetAt(i))->m_y == rank)
            *list.GetAt(kept++) = *list.GetAt(i);
    list.SetSize(kept);
}

// Standard disambiguation: only the other pieces that can legally reach the
// target count; the file is preferred, then the rank, then both.
void CChessBoard::MakeSan(CMove& move, CString& out) const
{
    if (!move.m_text.IsEmpty()) {
        out = move.m_text;
        return;
    }
    CString san;
    if (move.m_kind == MOVE_CASTLE_KINGSIDE) {
        san = "O-O";
    } else if (move.m_kind == MOVE_CASTLE_QUEENSIDE) {
        san = "O-O-O";
    } else {
        const CPiece& piece = GetPieceAt(move.m_from);
        bool pawn = piece.m_type == PIECE_PAWN;
        if (!pawn && piece.m_type != PIECE_NONE)
            san.Append(PieceLetter(piece.m_type));
        if (pawn && move.IsCapture()) {
            san.Append(char('a' + move.m_from.x));
        } else if (!pawn && piece.m_type != PIECE_NONE && piece.m_colour == m_sideToMove) {
            CPosition position(*this);
            bool rival = false, sameFile = false, sameRank = false;
            int target = CPosition::Square(move.m_to);
            for (int i = 0; i < m_onBoard.GetCount(); ++i) {
                const CPiece& other = GetPiece(*m_onBoard.GetAt(i));
                if (&other == &piece || other.m_colour != piece.m_colour || other.m_type != piece.m_type)
                    continue;
                if (!position.Reaches(CPosition::Square(other.m_x, other.m_y), target, true))
                    continue;
                rival = true;
                sameFile = sameFile || other.m_x == piece.m_x;
                sameRank = sameRank || other.m_y == piece.m_y;
            }
            if (rival && (!sameFile || sameRank))
                san.Append(char('a' + move.m_from.x));
            if (rival && sameFile)
                san.Append(char('1' + move.m_from.y));
        }
        if (move.IsCapture())
            san.Append('x');
        san.Append(SquareText(move.m_to));
        if (pawn && IsLastRank(move.m_to.y)) {
            san.Append('=');
            san.Append(PieceLetter(SpokenPromotion(move.m_promotion)));
        }
    }
    move.m_text = san;
    out = san;
}

bool CChessBoard::IsUniqueMover(const CMove& move) const
{
    const CPiece& piece = GetPieceAt(move.m_from);
    if (piece.m_type == PIECE_NONE || piece.m_colour != m_sideToMove || !move.m_to.IsOnBoard())
        return true;
    CPosition position(*this);
    int target = CPosition::Square(move.m_to);
    for (int i = 0; i < m_onBoard.GetCount(); ++i) {
        const CPiece& other = GetPiece(*m_onBoard.GetAt(i));
        if (&other == &piece || other.m_colour != piece.m_colour || other.m_type != piece.m_type)
            continue;
        if (position.Reaches(CPosition::Square(other.m_x, other.m_y), target, true))
            return false;
    }
    return true;
}

bool CChessBoard::IsOnlyOneOnFile(const CPiece& piece) const
{
    for (int i = 0; i < m_onBoard.GetCount(); ++i) {
        const CPiece& other = GetPiece(*m_onBoard.GetAt(i));
        if (&other != &piece && other.m_colour == piece.m_colour && other.m_type == piece.m_type
            && other.m_x == piece.m_x)
            return false;
    }
    return true;
}

bool CChessBoard::IsOnlyOneOnRank(const CPiece& piece) const
{
    for (int i = 0; i < m_onBoard.GetCount(); ++i) {
        const CPiece& other = GetPiece(*m_onBoard.GetAt(i));
        if (&other != &piece && other.m_colour == piece.m_colour && other.m_type == piece.m_type
            && other.m_y == piece.m_y)
            return false;
    }
    return true;
}

bool CChessBoard::IsUniqueCapture(const CMove& move) const
{
    const CPiece& mover = GetPieceAt(move.m_from);
    if (mover.m_type == PIECE_NONE || mover.m_colour != m_sideToMove)
        return true;
    PieceType taken = GetPieceAt(move.m_captured).m_type;
    CPosition position(*this);
    CPosition::SMove moves[CPosition::kMaxMoves];
    for (int i = 0; i < m_onBoard.GetCount(); ++i) {
        const CPiece& piece = GetPiece(*m_onBoard.GetAt(i));
        if (piece.m_colour != mover.m_colour || piece.m_type != mover.m_type)
            continue;
        int n = position.GeneratePiece(CPosition::Square(piece.m_x, piece.m_y), moves);
        for (int k = 0; k < n; ++k) {
            const CPosition::SMove& m = moves[k];
            if (m.kind != MOVE_CAPTURE && m.kind != MOVE_EN_PASSANT)
                continue;
            if (CPosition::TypeOf(position.At(m.captured)) != taken || !position.IsLegal(m))
                continue;
            if (!CPosition::ToMove(m).SameSquares(move))
                return false;
        }
    }
    return true;
}

void CChessBoard::DescribeMove(const CMove& move, CString& out) const
{
    if (move.m_kind == MOVE_CASTLE_KINGSIDE) {
        out.Append("castle kingside ");
        return;
    }
    if (move.m_kind == MOVE_CASTLE_QUEENSIDE) {
        out.Append("castle queenside ");
        return;
    }
    const CPiece& mover = GetPieceAt(move.m_from);
    AppendWord(out, PieceName(mover.m_type));
    if (mover.m_type != PIECE_PAWN && !IsUniqueMover(move))
        AppendSquareWords(out, move.m_from);
    if (move.IsCapture()) {
        AppendWord(out, "takes");
        AppendWord(out, PieceName(GetPieceAt(move.m_captured).m_type));
        if (!IsUniqueCapture(move))
            AppendSquareWords(out, move.m_captured);
    } else {
        AppendWord(out, "to");
        AppendSquareWords(out, move.m_to);
    }
    if (move.m_kind == MOVE_EN_PASSANT)
        out.Append("enpassant");
    if (mover.m_type == PIECE_PAWN && IsLastRank(move.m_to.y)) {
        out.Append("Pawn becomes ");
        out.Append(PieceName(SpokenPromotion(move.m_promotion)));
    }
}
