// Legal moves, check and the end of the game, answered on a CPosition.
#include <algorithm>
#include <cstring>

#include "chess/ChessBoard.h"
#include "chess/Position.h"

namespace {

const char kStalemateReason[] = "Stalemate (king is not in check, but there are no legal moves)";
const char kMaterialReason[] = "Draw (insufficient material - mate is impossible)";
const char kRepetitionReason[] = "Draw (3 move repetition)";
const char kFiftyMoveReason[] = "Draw (50 move rule)";

// What the repetition rule compares: placement, side to move, castling rights
// and the en passant capture, when one is legal.
struct SPositionKey {
    uint8_t squares[64];
    uint8_t side;
    uint8_t castling[2]; // bit 0 queen's side, bit 1 king's side; 0xff: no king
    uint8_t enPassant;   // square index + 1, or 0

    bool operator<(const SPositionKey& o) const { return std::memcmp(this, &o, sizeof(*this)) < 0; }
    bool operator==(const SPositionKey& o) const { return std::memcmp(this, &o, sizeof(*this)) == 0; }
};

bool IsUnmovedRook(uint8_t code)
{
    return (code & CPosition::kTypeMask) == PIECE_ROOK + 1 && (code & CPosition::kUnmoved);
}

// Castling rights as the FEN shows them: an unmoved king, and an unmoved rook
// of either colour in the corner; check plays no part.
uint8_t CastlingBits(const CPosition& position, int colour)
{
    int king = position.KingSquare(colour);
    if (king < 0)
        return 0xff;
    if (!(position.At(king) & CPosition::kUnmoved))
        return 0;
    int rank = CPosition::RankOf(king);
    uint8_t bits = 0;
    if (IsUnmovedRook(position.At(CPosition::Square(0, rank))))
        bits |= 1;
    if (IsUnmovedRook(position.At(CPosition::Square(7, rank))))
        bits |= 2;
    return bits;
}

void MakeKey(const CPosition& position, int side, SPositionKey& key)
{
    std::memset(&key, 0, sizeof(key));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            key.squares[y * 8 + x] = position.At(CPosition::Square(x, y)) & CPosition::kPieceMask;
    key.side = uint8_t(side);
    key.castling[0] = CastlingBits(position, WHITE);
    key.castling[1] = key.castling[0] == 0xff ? 0xff : CastlingBits(position, BLACK);
    if (key.castling[1] == 0xff)
        return;
    int victim = position.EnPassantVictim(side);
    if (victim >= 0)
        key.enPassant = uint8_t(CPosition::RankOf(victim) * 8 + CPosition::FileOf(victim) + 1);
}

} // namespace

uint32_t HashText(const char* text)
{
    uint32_t h = 5381;
    for (const char* p = text; *p; ++p)
        h = h * 33 + uint32_t(int32_t(static_cast<signed char>(*p)));
    return h;
}

bool CChessBoard::IsInCheck(Colour colour, Zorlin::CArray<CPiece*>* attackers) const
{
    const CPiece* king = FindKing(colour);
    if (!king)
        return false;
    CPosition position(*this);
    if (!attackers)
        return position.InCheck(colour);
    bool attacked = false;
    for (int i = 0; i < m_onBoard.GetCount(); ++i) {
        const CPiece& piece = GetPiece(*m_onBoard.GetAt(i));
        if (piece.m_colour == colour || !piece.Attacks(king->GetSquare(), *this))
            continue;
        attacked = true;
        attackers->Add(const_cast<CPiece*>(&piece));
    }
    return attacked;
}

const char* CChessBoard::GetCheckMark() const
{
    CPosition position(*this);
    if (!position.InCheck(m_sideToMove))
        return "";
    return position.HasLegalMove(m_sideToMove) ? "+" : "#";
}

int CChessBoard::GetLegalMoves(Zorlin::CArray<CMove>& out) const
{
    CPosition position(*this);
    CPosition::SMove moves[CPosition::kMaxMoves];
    for (int i = 0; i < m_onBoard.GetCount(); ++i) {
        const CPiece& piece = GetPiece(*m_onBoard.GetAt(i));
        if (piece.m_colour != m_sideToMove)
            continue;
        int n = position.GeneratePiece(CPosition::Square(piece.m_x, piece.m_y), moves);
        for (int k = 0; k < n; ++k)
            if (position.IsLegal(moves[k]))
                out.Add(CPosition::ToMove(moves[k]));
    }
    return out.GetCount();
}

uint64_t CChessBoard::Perft(int depth) const
{
    CPosition position(*this);
    return position.Perft(depth, m_sideToMove);
}

// A side without a legal move is mated or stalemated even when a draw rule
// also holds; the draw rules are only asked when a move exists.
GameState CChessBoard::GetGameState(Colour colour, Zorlin::CString* reason) const
{
    if (!FindKing(colour))
        return STATE_NO_KING;
    CPosition position(*this);
    if (position.HasLegalMove(colour)) {
        Zorlin::CString why;
        if (!IsDraw(why))
            return STATE_PLAYING;
        if (reason)
            *reason = why;
        return STATE_DRAW;
    }
    if (position.InCheck(colour))
        return STATE_CHECKMATE;
    if (reason)
        *reason = kStalemateReason;
    return STATE_DRAW;
}

bool CChessBoard::IsDraw(Zorlin::CString& reason) const
{
    if (IsInsufficientMaterial()) {
        reason = kMaterialReason;
        return true;
    }
    if (IsRepetitionDraw()) {
        reason = kRepetitionReason;
        return true;
    }
    if (IsFiftyMoveDraw()) {
        reason = kFiftyMoveReason;
        return true;
    }
    return false;
}

// Bare kings; a king with one minor piece; a king with two knights of one
// colour (mate cannot be forced, and peers rule the same way).
bool CChessBoard::IsInsufficientMaterial() const
{
    int count = m_onBoard.GetCount();
    if (count == 2)
        return true;
    int minors = 0;
    int knights[2] = { 0, 0 };
    for (int i = 0; i < count; ++i) {
        const CPiece& piece = GetPiece(*m_onBoard.GetAt(i));
        if (piece.m_type == PIECE_BISHOP || piece.m_type == PIECE_KNIGHT)
            ++minors;
        if (piece.m_type == PIECE_KNIGHT)
            ++knights[piece.m_colour == BLACK ? 1 : 0];
    }
    if (count == 3)
        return minors > 0;
    if (count == 4)
        return knights[0] == 2 || knights[1] == 2;
    return false;
}

namespace {

bool HasThreeOfOne(SPositionKey* keys, int n)
{
    if (n < 9) // a position needs four plies to come back
        return false;
    std::sort(keys, keys + n);
    for (int i = 2; i < n; ++i)
        if (keys[i] == keys[i - 2])
            return true;
    return false;
}

} // namespace

// Counts the positions after each move of the game, replayed from the start
// (the start position itself is not counted); a position seen three times
// anywhere in the game is a draw. A pawn move or a capture can never be
// undone, so only positions between two of them can be equal.
bool CChessBoard::IsRepetitionDraw() const
{
    int n = m_history.GetCount();
    if (n < 9)
        return false;
    Zorlin::CArray<SPositionKey> keys(n, 10);
    keys.SetSize(n);
    CChessBoard start;
    start.SetupStartPosition();
    CPosition replay(start);
    int segment = 0;
    for (int i = 0; i < n; ++i) {
        const CMove& move = m_history.GetAt(i)->m_move;
        int from = CPosition::Square(move.m_from);
        bool irreversible = move.m_from.IsOnBoard() && move.m_to.IsOnBoard()
            && (CPosition::TypeOf(replay.At(from)) == PIECE_PAWN || replay.At(CPosition::Square(move.m_to)) != 0);
        if (irreversible) {
            if (HasThreeOfOne(keys.GetAt(segment), i - segment))
                return true;
            segment = i;
        }
        replay.Play(move);
        MakeKey(replay, (i + 1) % 2 == 0 ? WHITE : BLACK, *keys.GetAt(i));
    }
    return HasThreeOfOne(keys.GetAt(segment), n - segment);
}

bool CChessBoard::IsFiftyMoveDraw() const
{
    return m_history.GetCount() >= 100 && m_halfMoveClock >= 100;
}
