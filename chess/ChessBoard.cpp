#include "chess/ChessBoard.h"

#include <cstring>

namespace {

const int kPieceCapacity = 40;

bool IsLastRank(int y)
{
    return y == 0 || y == 7;
}

} // namespace

CChessBoard::CChessBoard()
    : m_pieces(kPieceCapacity, 10),
      m_onBoard(32, 10),
      m_history(100, 50, Zorlin::CArray<SHistoryEntry>::kGrowDouble),
      m_movesPerPeriod(0),
      m_period(0.0),
      m_gameTime(0.0)
{
    m_captured[0].InitCapacity(20);
    m_captured[1].InitCapacity(20);
    Clear();
}

CChessBoard::CChessBoard(const CChessBoard& other)
    : m_pieces(kPieceCapacity, 10), m_onBoard(32, 10), m_history(100, 50, Zorlin::CArray<SHistoryEntry>::kGrowDouble)
{
    CopyFrom(other);
}

CChessBoard& CChessBoard::operator=(const CChessBoard& other)
{
    if (this != &other)
        CopyFrom(other);
    return *this;
}

CChessBoard::~CChessBoard() = default;

void CChessBoard::CopyFrom(const CChessBoard& other)
{
    std::memcpy(m_grid, other.m_grid, sizeof(m_grid));
    m_pieces = other.m_pieces;
    for (int i = 0; i < m_pieces.GetCount(); ++i)
        m_pieces.GetAt(i)->m_owner = this;
    m_pieces.GetAt(0)->m_owner = nullptr;
    m_onBoard = other.m_onBoard;
    m_captured[0] = other.m_captured[0];
    m_captured[1] = other.m_captured[1];
    m_sideToMove = other.m_sideToMove;
    m_lastId = other.m_lastId;
    m_ply = other.m_ply;
    m_halfMoveClock = other.m_halfMoveClock;
    m_history = other.m_history;
    m_clockMode = other.m_clockMode;
    m_movesPerPeriod = other.m_movesPerPeriod;
    m_period = other.m_period;
    m_gameTime = other.m_gameTime;
    m_clocks[0] = other.m_clocks[0];
    m_clocks[1] = other.m_clocks[1];
}

void CChessBoard::Clear()
{
    m_history.SetGrowStep(50);
    m_pieces.SetSize(0);
    CPiece* empty = m_pieces.AddNew();
    empty->Set(COLOUR_NONE, PIECE_NONE, false);
    m_history.SetSize(0);
    m_onBoard.SetSize(0);
    m_captured[0].SetSize(0);
    m_captured[1].SetSize(0);
    std::memset(m_grid, 0, sizeof(m_grid));
    m_clocks[0] = m_clocks[1] = 0.0;
    m_clockMode = CLOCK_NONE;
    m_sideToMove = WHITE;
    m_lastId = 0;
    m_ply = 0;
    m_halfMoveClock = 0;
}

void CChessBoard::SetupStartPosition()
{
    static const PieceType kBackRank[8] = { PIECE_ROOK, PIECE_KNIGHT, PIECE_BISHOP, PIECE_QUEEN,
                                            PIECE_KING, PIECE_BISHOP, PIECE_KNIGHT, PIECE_ROOK };
    Clear();
    for (int x = 0; x < 8; ++x)
        AddPiece(WHITE, kBackRank[x], x, 0, x >= 5);
    for (int x = 0; x < 8; ++x) {
        AddPiece(WHITE, PIECE_PAWN, x, 1, false);
        AddPiece(BLACK, PIECE_PAWN, x, 6, false);
    }
    for (int x = 0; x < 8; ++x)
        AddPiece(BLACK, kBackRank[x], x, 7, x >= 5);
    m_sideToMove = WHITE;
    m_ply = 0;
    m_halfMoveClock = 0;
}

bool CChessBoard::AddPiece(Colour colour, PieceType type, int x, int y, bool kingsSide)
{
    if (!SSquare(x, y).IsOnBoard() || m_grid[x][y] != 0)
        return false;
    if ((colour != WHITE && colour != BLACK) || type < PIECE_PAWN || type > PIECE_KING)
        return false;
    int id = ++m_lastId;
    CPiece* piece = m_pieces.AddNew();
    piece->Set(colour, type, kingsSide);
    piece->m_x = x;
    piece->m_y = y;
    piece->m_owner = this;
    m_grid[x][y] = id;
    m_onBoard.Add(id);
    return true;
}

void CChessBoard::RemoveFromOnBoard(int id)
{
    int n = m_onBoard.GetCount();
    int* ids = m_onBoard.GetData();
    for (int i = 0; i < n; ++i) {
        if (ids[i] == id) {
            std::memmove(ids + i, ids + i + 1, sizeof(int) * size_t(n - i - 1));
            m_onBoard.SetSize(n - 1);
            return;
        }
    }
}

bool CChessBoard::RemovePieceAt(const SSquare& square)
{
    int id = GetIdAt(square);
    if (id == 0)
        return false;
    m_grid[square.x][square.y] = 0;
    RemoveFromOnBoard(id);
    return true;
}

int CChessBoard::GetIdAt(const SSquare& square) const
{
    return square.IsOnBoard() ? m_grid[square.x][square.y] : 0;
}

CPiece& CChessBoard::GetPieceAt(const SSquare& square)
{
    return *m_pieces.GetAt(GetIdAt(square));
}

const CPiece& CChessBoard::GetPieceAt(const SSquare& square) const
{
    return *m_pieces.GetAt(GetIdAt(square));
}

CPiece& CChessBoard::GetPiece(int id)
{
    return *m_pieces.GetAt(id > 0 && id < m_pieces.GetCount() ? id : 0);
}

const CPiece& CChessBoard::GetPiece(int id) const
{
    return *m_pieces.GetAt(id > 0 && id < m_pieces.GetCount() ? id : 0);
}

const CPiece* CChessBoard::FindKing(Colour colour) const
{
    for (int i = 0; i < m_onBoard.GetCount(); ++i) {
        const CPiece& piece = GetPiece(*m_onBoard.GetAt(i));
        if (piece.m_colour == colour && piece.m_type == PIECE_KING)
            return &piece;
    }
    return nullptr;
}

CPiece* CChessBoard::FindKing(Colour colour)
{
    return const_cast<CPiece*>(static_cast<const CChessBoard*>(this)->FindKing(colour));
}

int CChessBoard::CollectPieces(PieceType type, Zorlin::CArray<CPiece*>& out)
{
    int found = 0;
    for (int i = 0; i < m_onBoard.GetCount(); ++i) {
        CPiece& piece = GetPiece(*m_onBoard.GetAt(i));
        if (piece.m_colour == m_sideToMove && piece.m_type == type) {
            out.Add(&piece);
            ++found;
        }
    }
    return found;
}

// Makes a caller's move record consistent with the board before it is
// played, or refuses it: a move must never leave the grid and the list of
// pieces on the board telling different stories.
bool CChessBoard::NormaliseMove(CMove& move) const
{
    const CPiece& piece = GetPieceAt(move.m_from);
    if (piece.m_type == PIECE_NONE || !move.m_to.IsOnBoard() || move.m_from == move.m_to)
        return false;
    const CPiece& target = GetPieceAt(move.m_to);
    if (move.IsCastling()) {
        const CPiece& rook = GetPieceAt(move.m_rookFrom);
        if (piece.m_type != PIECE_KING || rook.m_type == PIECE_NONE)
            return false;
        if (move.m_rookFrom == move.m_from || move.m_rookTo == move.m_to || !move.m_rookTo.IsOnBoard())
            return false;
        bool kingFree = target.m_type == PIECE_NONE || move.m_to == move.m_rookFrom;
        bool rookFree = GetPieceAt(move.m_rookTo).m_type == PIECE_NONE || move.m_rookTo == move.m_from;
        return kingFree && rookFree;
    }
    if (target.m_type != PIECE_NONE && target.m_colour == piece.m_colour)
        return false;
    if (move.m_kind == MOVE_EN_PASSANT) {
        const CPiece& victim = GetPieceAt(move.m_captured);
        return target.m_type == PIECE_NONE && victim.m_type != PIECE_NONE && victim.m_colour != piece.m_colour;
    }
    if (target.m_type != PIECE_NONE) {
        move.m_kind = MOVE_CAPTURE;
        move.m_captured = move.m_to;
    } else {
        move.m_kind = MOVE_NORMAL;
    }
    // A pawn on the last rank never stays a pawn (nor becomes a king).
    if (piece.m_type == PIECE_PAWN && IsLastRank(move.m_to.y)) {
        if (!IsPromotionType(move.m_promotion))
            move.m_promotion = PIECE_QUEEN;
    } else {
        move.m_promotion = PIECE_NONE;
    }
    return true;
}

bool CChessBoard::MakeMove(CMove& move, double ms)
{
    if (!NormaliseMove(move))
        return false;
    if (move.m_text.IsEmpty()) {
        Zorlin::CString san;
        MakeSan(move, san);
    }

    int id = GetIdAt(move.m_from);
    CPiece& piece = GetPiece(id);
    if (piece.m_type == PIECE_PAWN || move.m_kind == MOVE_CAPTURE)
        m_halfMoveClock = 0;
    else
        ++m_halfMoveClock;

    if (piece.m_type == PIECE_PAWN && IsLastRank(move.m_to.y))
        piece.m_type = move.m_promotion;

    if (move.IsCapture()) {
        m_captured[m_sideToMove == BLACK ? 1 : 0].Add(GetIdAt(move.m_captured));
        RemovePieceAt(move.m_captured);
    }

    // Lift the king before the rook lands, so neither overwrites the other.
    m_grid[move.m_from.x][move.m_from.y] = 0;
    if (move.IsCastling()) {
        int rookId = GetIdAt(move.m_rookFrom);
        CPiece& rook = GetPiece(rookId);
        m_grid[move.m_rookFrom.x][move.m_rookFrom.y] = 0;
        m_grid[move.m_rookTo.x][move.m_rookTo.y] = rookId;
        rook.m_lastMovePly = m_ply;
        ++rook.m_movesMade;
        rook.m_x = move.m_rookTo.x;
        rook.m_y = move.m_rookTo.y;
    }
    m_grid[move.m_to.x][move.m_to.y] = id;
    piece.m_x = move.m_to.x;
    piece.m_y = move.m_to.y;

    AppendHistory(move, ms);
    RunClock(ms);

    m_sideToMove = OtherColour(m_sideToMove);
    piece.m_lastMovePly = m_ply;
    ++m_ply;
    ++piece.m_movesMade;
    return true;
}

void SHistoryEntry::SetText(const Zorlin::CString& text)
{
    m_move.m_text = text;
    // However long the text was, the short copy holds at most 11 bytes.
    int n = text.GetLength();
    if (n > int(sizeof(m_shortText)) - 1)
        n = int(sizeof(m_shortText)) - 1;
    std::memcpy(m_shortText, text.GetText(), size_t(n));
    m_shortText[n] = 0;
}

void CChessBoard::AppendHistory(const CMove& move, double ms)
{
    SHistoryEntry* entry = m_history.AddNew();
    entry->m_timeSpent = ms;
    entry->m_move = move;
    entry->SetText(move.m_text);
}

// The period is added once, at White's move whose number equals the moves
// per period; stored games and peers count time this way.
void CChessBoard::RunClock(double ms)
{
    if (m_clockMode == CLOCK_NONE)
        return;
    m_clocks[m_sideToMove == BLACK ? 1 : 0] -= ms / 1000.0;
    if (m_clockMode == CLOCK_MOVES_PER_PERIOD && m_sideToMove == WHITE && m_ply / 2 + 1 == m_movesPerPeriod) {
        m_clocks[0] += m_period;
        m_clocks[1] += m_period;
    }
}

bool CChessBoard::ApplyToGrid(const CMove& move)
{
    int id = GetIdAt(move.m_from);
    if (id == 0 || !move.m_to.IsOnBoard())
        return false;
    int rookId = 0;
    if (move.IsCastling() && move.m_rookTo.IsOnBoard() && move.m_rookTo != move.m_to)
        rookId = GetIdAt(move.m_rookFrom);
    m_grid[move.m_from.x][move.m_from.y] = 0;
    if (rookId != 0)
        m_grid[move.m_rookFrom.x][move.m_rookFrom.y] = 0;
    if (move.m_kind == MOVE_EN_PASSANT)
        RemovePieceAt(move.m_captured);
    RemovePieceAt(move.m_to);
    m_grid[move.m_to.x][move.m_to.y] = id;
    CPiece& piece = GetPiece(id);
    piece.m_x = move.m_to.x;
    piece.m_y = move.m_to.y;
    if (rookId != 0) {
        RemovePieceAt(move.m_rookTo);
        m_grid[move.m_rookTo.x][move.m_rookTo.y] = rookId;
    }
    return true;
}

void CChessBoard::ReplayInto(CChessBoard& target, CMove& lastMove, int count) const
{
    if (&target == this) {
        CChessBoard copy(*this);
        copy.ReplayInto(target, lastMove, count);
        return;
    }
    if (count < 0)
        count = 0;
    if (count > m_history.GetCount())
        count = m_history.GetCount();
    target.SetupStartPosition();
    if (m_clockMode == CLOCK_MOVES_PER_PERIOD)
        target.SetTimeControl(m_movesPerPeriod, m_period);
    else if (m_clockMode == CLOCK_WHOLE_GAME)
        target.SetTimeLimit(m_gameTime);
    for (int i = 0; i < count; ++i) {
        const SHistoryEntry* entry = m_history.GetAt(i);
        CMove move = entry->m_move;
        target.MakeMove(move, entry->m_timeSpent);
    }
    if (count > 0)
        lastMove = m_history.GetAt(count - 1)->m_move;
}

bool CChessBoard::GoBackToMove(int n)
{
    CChessBoard fresh;
    CMove lastMove;
    ReplayInto(fresh, lastMove, n);
    *this = fresh;
    return true;
}

void CChessBoard::SetTimeControl(int moves, double seconds)
{
    m_clockMode = CLOCK_MOVES_PER_PERIOD;
    m_movesPerPeriod = moves;
    m_period = seconds;
    m_clocks[0] = m_clocks[1] = seconds;
}

void CChessBoard::SetTimeLimit(double seconds)
{
    m_clockMode = CLOCK_WHOLE_GAME;
    m_gameTime = seconds;
    m_clocks[0] = m_clocks[1] = seconds;
}
