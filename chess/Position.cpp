#include "chess/Position.h"

#include <cstring>

#include "chess/ChessBoard.h"

namespace {

const int kKnightSteps[8] = { 33, 31, -31, -33, 18, 14, -14, -18 };
const int kKingSteps[8] = { 1, -1, 16, -16, 17, 15, -15, -17 };
const int kRookSteps[4] = { 1, -1, 16, -16 };
const int kBishopSteps[4] = { 17, 15, -15, -17 };

const uint8_t kPawnCode = PIECE_PAWN + 1;
const uint8_t kKingCode = PIECE_KING + 1;

bool IsLastRank(int sq)
{
    int rank = CPosition::RankOf(sq);
    return rank == 0 || rank == 7;
}

} // namespace

CPosition::CPosition(const CChessBoard& board)
{
    std::memset(m_board, 0, sizeof(m_board));
    m_king[0] = m_king[1] = -1;
    m_epVictim = -1;
    const Zorlin::CArray<int>& ids = board.GetOnBoardIds();
    for (int i = 0; i < ids.GetCount(); ++i) {
        const CPiece& p = board.GetPiece(*ids.GetAt(i));
        int sq = Square(p.m_x, p.m_y);
        uint8_t code = Code(p.m_colour, p.m_type);
        if (p.m_lastMovePly == -1)
            code |= kUnmoved;
        m_board[sq] = code;
        if (p.m_type == PIECE_KING && m_king[p.m_colour] < 0)
            m_king[p.m_colour] = sq;
        // Only a pawn whose single move was the last one made, now on the
        // fourth or fifth rank, may be taken en passant.
        if (p.m_type == PIECE_PAWN && p.m_movesMade == 1 && (p.m_y == 3 || p.m_y == 4)
            && p.m_lastMovePly == board.GetPly() - 1 && m_epVictim < 0)
            m_epVictim = sq;
    }
}

void CPosition::Add(SMove*& out, int from, int to, int kind, int captured) const
{
    out->from = uint8_t(from);
    out->to = uint8_t(to);
    out->kind = uint8_t(kind);
    out->captured = uint8_t(captured);
    out->promotion = PIECE_NONE;
    ++out;
}

void CPosition::AddPawnMove(SMove*& out, int from, int to, int kind, int captured, bool expand) const
{
    if (!expand || !IsLastRank(to)) {
        Add(out, from, to, kind, captured);
        return;
    }
    static const uint8_t kPromotions[4] = { PIECE_QUEEN, PIECE_ROOK, PIECE_BISHOP, PIECE_KNIGHT };
    for (uint8_t promotion : kPromotions) {
        Add(out, from, to, kind, captured);
        out[-1].promotion = promotion;
    }
}

int CPosition::GeneratePiece(int from, SMove* out) const
{
    return GenerateFrom(from, out, false);
}

int CPosition::GenerateFrom(int from, SMove* out, bool expand) const
{
    SMove* start = out;
    uint8_t code = m_board[from];
    if (code == kEmpty)
        return 0;
    int colour = ColourOf(code);
    uint8_t enemyBit = colour == WHITE ? kBlackBit : 0;
    int type = TypeOf(code);

    switch (type) {
    case PIECE_PAWN: {
        int forward = colour == WHITE ? 16 : -16;
        int one = from + forward;
        if (OnBoard(one) && m_board[one] == kEmpty) {
            AddPawnMove(out, from, one, MOVE_NORMAL, 0, expand);
            int two = one + forward;
            if ((code & kUnmoved) && OnBoard(two) && m_board[two] == kEmpty)
                AddPawnMove(out, from, two, MOVE_NORMAL, 0, expand);
        }
        for (int side = -1; side <= 1; side += 2) {
            int to = one + side;
            if (!OnBoard(to) || !OnBoard(from + side))
                continue;
            uint8_t target = m_board[to];
            if (target == kEmpty) {
                if (from + side == m_epVictim && ColourOf(m_board[m_epVictim]) != colour)
                    Add(out, from, to, MOVE_EN_PASSANT, from + side);
            } else if ((target & kBlackBit) == enemyBit) {
                AddPawnMove(out, from, to, MOVE_CAPTURE, to, expand);
            }
        }
        break;
    }
    case PIECE_KNIGHT:
    case PIECE_KING: {
        const int* steps = type == PIECE_KNIGHT ? kKnightSteps : kKingSteps;
        for (int i = 0; i < 8; ++i) {
            int to = from + steps[i];
            if (!OnBoard(to))
                continue;
            uint8_t target = m_board[to];
            if (target == kEmpty)
                Add(out, from, to, MOVE_NORMAL, 0);
            else if ((target & kBlackBit) == enemyBit)
                Add(out, from, to, MOVE_CAPTURE, to);
        }
        if (type == PIECE_KING && (code & kUnmoved)) {
            if (CanCastle(from, colour, -1))
                Add(out, from, from - 2, MOVE_CASTLE_QUEENSIDE, 0);
            if (CanCastle(from, colour, 1))
                Add(out, from, from + 2, MOVE_CASTLE_KINGSIDE, 0);
        }
        break;
    }
    case PIECE_ROOK:
    case PIECE_BISHOP:
    case PIECE_QUEEN: {
        const int* steps = type == PIECE_BISHOP ? kBishopSteps : kRookSteps;
        int directions = type == PIECE_QUEEN ? 8 : 4;
        for (int d = 0; d < directions; ++d) {
            int step = d < 4 ? steps[d] : kBishopSteps[d - 4];
            for (int to = from + step; OnBoard(to); to += step) {
                uint8_t target = m_board[to];
                if (target == kEmpty) {
                    Add(out, from, to, MOVE_NORMAL, 0);
                    continue;
                }
                if ((target & kBlackBit) == enemyBit)
                    Add(out, from, to, MOVE_CAPTURE, to);
                break;
            }
        }
        break;
    }
    default:
        break;
    }
    return int(out - start);
}

int CPosition::GenerateAll(int colour, SMove* out, bool expandPromotions) const
{
    int count = 0;
    uint8_t colourBit = colour == BLACK ? kBlackBit : 0;
    for (int sq = 0; sq < 128; sq = (sq + 9) & ~8) {
        uint8_t code = m_board[sq];
        if (code != kEmpty && (code & kBlackBit) == colourBit)
            count += GenerateFrom(sq, out + count, expandPromotions);
    }
    return count;
}

// The corner must hold an unmoved piece and the square beside it must be
// empty; the king's two steps must be safe. The king must not be in check.
bool CPosition::CanCastle(int from, int colour, int direction) const
{
    int rank = RankOf(from);
    int corner = Square(direction > 0 ? 7 : 0, rank);
    int besideCorner = Square(direction > 0 ? 6 : 1, rank);
    if (InCheck(colour))
        return false;
    if (m_board[corner] == kEmpty || !(m_board[corner] & kUnmoved) || m_board[besideCorner] != kEmpty)
        return false;
    int one = from + direction;
    int two = from + 2 * direction;
    if (!OnBoard(one) || !OnBoard(two) || RankOf(one) != rank || RankOf(two) != rank)
        return false;
    return IsSafeKingSquare(one, colour) && IsSafeKingSquare(two, colour);
}

bool CPosition::IsSafeKingSquare(int sq, int colour) const
{
    if (!OnBoard(sq) || m_board[sq] != kEmpty)
        return false;
    int king = m_king[colour];
    if (king < 0)
        return true;
    uint8_t code = m_board[king];
    m_board[king] = kEmpty;
    m_board[sq] = code;
    m_king[colour] = sq;
    bool safe = !IsAttacked(sq, OtherColour(Colour(colour)));
    m_king[colour] = king;
    m_board[sq] = kEmpty;
    m_board[king] = code;
    return safe;
}

bool CPosition::IsAttacked(int sq, int byColour) const
{
    uint8_t colourBit = byColour == BLACK ? kBlackBit : 0;
    uint8_t pawn = kPawnCode | colourBit;
    int behind = byColour == WHITE ? -16 : 16;
    for (int side = -1; side <= 1; side += 2) {
        int from = sq + behind + side;
        if (OnBoard(from) && (m_board[from] & kPieceMask) == pawn)
            return true;
    }
    uint8_t knight = (PIECE_KNIGHT + 1) | colourBit;
    uint8_t king = kKingCode | colourBit;
    for (int i = 0; i < 8; ++i) {
        int from = sq + kKnightSteps[i];
        if (OnBoard(from) && (m_board[from] & kPieceMask) == knight)
            return true;
        from = sq + kKingSteps[i];
        if (OnBoard(from) && (m_board[from] & kPieceMask) == king)
            return true;
    }
    uint8_t queen = (PIECE_QUEEN + 1) | colourBit;
    for (int d = 0; d < 8; ++d) {
        int step = d < 4 ? kRookSteps[d] : kBishopSteps[d - 4];
        uint8_t slider = d < 4 ? uint8_t((PIECE_ROOK + 1) | colourBit) : uint8_t((PIECE_BISHOP + 1) | colourBit);
        for (int from = sq + step; OnBoard(from); from += step) {
            uint8_t code = m_board[from] & kPieceMask;
            if (code == kEmpty)
                continue;
            if (code == slider || code == queen)
                return true;
            break;
        }
    }
    return false;
}

bool CPosition::InCheck(int colour) const
{
    int king = m_king[colour];
    return king >= 0 && IsAttacked(king, OtherColour(Colour(colour)));
}

void CPosition::Make(const SMove& move, SUndo& undo) const
{
    uint8_t code = m_board[move.from];
    int colour = ColourOf(code);
    undo.fromCode = code;
    undo.toCode = m_board[move.to];
    undo.epVictim = m_epVictim;
    undo.king[0] = m_king[0];
    undo.king[1] = m_king[1];

    if (move.kind == MOVE_EN_PASSANT) {
        undo.capturedCode = m_board[move.captured];
        m_board[move.captured] = kEmpty;
    } else if (move.kind == MOVE_CASTLE_KINGSIDE || move.kind == MOVE_CASTLE_QUEENSIDE) {
        int direction = move.to > move.from ? 1 : -1;
        int rookFrom = Square(direction > 0 ? 7 : 0, RankOf(move.from));
        int rookTo = move.to - direction;
        undo.rookFromCode = m_board[rookFrom];
        undo.rookToCode = m_board[rookTo];
        m_board[rookFrom] = kEmpty;
        m_board[rookTo] = uint8_t(undo.rookFromCode & ~kUnmoved);
    }

    uint8_t moved = uint8_t(code & ~kUnmoved);
    bool pawn = (code & kTypeMask) == kPawnCode;
    if (pawn && move.promotion != PIECE_NONE && IsLastRank(move.to))
        moved = uint8_t((moved & kBlackBit) | (move.promotion + 1));
    int other = colour ^ 1;
    if (move.to == m_king[other])
        m_king[other] = -1;
    m_board[move.to] = moved;
    m_board[move.from] = kEmpty;
    if (move.from == m_king[colour])
        m_king[colour] = move.to;
    int rank = RankOf(move.to);
    m_epVictim = (pawn && (code & kUnmoved) && (rank == 3 || rank == 4)) ? move.to : -1;
}

void CPosition::Unmake(const SMove& move, const SUndo& undo) const
{
    m_board[move.from] = undo.fromCode;
    m_board[move.to] = undo.toCode;
    if (move.kind == MOVE_EN_PASSANT) {
        m_board[move.captured] = undo.capturedCode;
    } else if (move.kind == MOVE_CASTLE_KINGSIDE || move.kind == MOVE_CASTLE_QUEENSIDE) {
        int direction = move.to > move.from ? 1 : -1;
        m_board[move.to - direction] = undo.rookToCode;
        m_board[Square(direction > 0 ? 7 : 0, RankOf(move.from))] = undo.rookFromCode;
    }
    m_epVictim = undo.epVictim;
    m_king[0] = undo.king[0];
    m_king[1] = undo.king[1];
}

bool CPosition::IsLegal(const SMove& move) const
{
    int colour = ColourOf(m_board[move.from]);
    SUndo undo;
    Make(move, undo);
    bool legal = !InCheck(colour);
    Unmake(move, undo);
    return legal;
}

bool CPosition::HasLegalMove(int colour) const
{
    SMove moves[kMaxMoves];
    uint8_t colourBit = colour == BLACK ? kBlackBit : 0;
    for (int sq = 0; sq < 128; sq = (sq + 9) & ~8) {
        uint8_t code = m_board[sq];
        if (code == kEmpty || (code & kBlackBit) != colourBit)
            continue;
        int n = GenerateFrom(sq, moves, false);
        for (int i = 0; i < n; ++i)
            if (IsLegal(moves[i]))
                return true;
    }
    return false;
}

int CPosition::EnPassantVictim(int colour) const
{
    if (m_epVictim < 0 || ColourOf(m_board[m_epVictim]) == colour)
        return -1;
    uint8_t pawn = Code(colour, PIECE_PAWN);
    int forward = colour == WHITE ? 16 : -16;
    for (int side = -1; side <= 1; side += 2) {
        int from = m_epVictim + side;
        if (!OnBoard(from) || (m_board[from] & kPieceMask) != pawn)
            continue;
        SMove move = { uint8_t(from), uint8_t(m_epVictim + forward), MOVE_EN_PASSANT, uint8_t(m_epVictim), PIECE_NONE };
        if (IsLegal(move))
            return m_epVictim;
    }
    return -1;
}

bool CPosition::Reaches(int from, int target, bool legalOnly) const
{
    SMove moves[kMaxMoves];
    int n = GenerateFrom(from, moves, false);
    for (int i = 0; i < n; ++i)
        if (moves[i].to == target && (!legalOnly || IsLegal(moves[i])))
            return true;
    return false;
}

uint64_t CPosition::Perft(int depth, int colour) const
{
    return depth <= 0 ? 1 : PerftInner(depth, colour);
}

uint64_t CPosition::PerftInner(int depth, int colour) const
{
    SMove moves[kMaxMoves];
    int n = GenerateAll(colour, moves, true);
    uint64_t total = 0;
    for (int i = 0; i < n; ++i) {
        SUndo undo;
        Make(moves[i], undo);
        if (!InCheck(colour))
            total += depth == 1 ? 1 : PerftInner(depth - 1, colour ^ 1);
        Unmake(moves[i], undo);
    }
    return total;
}

void CPosition::Play(const CMove& move)
{
    SMove m;
    m.from = uint8_t(Square(move.m_from));
    m.to = uint8_t(Square(move.m_to));
    m.kind = uint8_t(move.m_kind);
    m.captured = uint8_t(Square(move.m_captured));
    m.promotion = uint8_t(move.m_promotion);
    if (!move.m_from.IsOnBoard() || !move.m_to.IsOnBoard() || m_board[m.from] == kEmpty)
        return;
    SUndo undo;
    Make(m, undo);
}

CMove CPosition::ToMove(const SMove& move)
{
    CMove out;
    out.m_kind = MoveKind(move.kind);
    out.m_promotion = PieceType(move.promotion);
    out.m_from = SSquare(FileOf(move.from), RankOf(move.from));
    out.m_to = SSquare(FileOf(move.to), RankOf(move.to));
    if (move.kind == MOVE_CAPTURE || move.kind == MOVE_EN_PASSANT) {
        out.m_captured = SSquare(FileOf(move.captured), RankOf(move.captured));
    } else if (move.kind == MOVE_CASTLE_KINGSIDE || move.kind == MOVE_CASTLE_QUEENSIDE) {
        int direction = move.to > move.from ? 1 : -1;
        out.m_rookFrom = SSquare(direction > 0 ? 7 : 0, out.m_from.y);
        out.m_rookTo = SSquare(out.m_to.x - direction, out.m_to.y);
    }
    return out;
}
