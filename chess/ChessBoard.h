#pragma once

#include <cstdint>

#include "chess/ChessTypes.h"
#include "chess/Move.h"
#include "chess/Piece.h"
#include "foundation/Array.h"
#include "foundation/String.h"

namespace Zorlin {
class CFile;
template <class T> class CAssocArray;
}

class CPosition;

// One move of the game history.
struct SHistoryEntry {
    double m_timeSpent = 0.0; // milliseconds the mover used
    CMove m_move;             // as made, its text holding the SAN
    // Zero-terminated copy of the SAN, at most 11 characters; the view appends
    // "+" or "#", and the move list, PGN writer and saved games read it.
    char m_shortText[12] = {};

    // The move's text and its short copy (cut to 11 bytes).
    void SetText(const Zorlin::CString& text);
};

enum ClockMode : int32_t {
    CLOCK_NONE = 0,
    CLOCK_MOVES_PER_PERIOD = 1,
    CLOCK_WHOLE_GAME = 2,
};

// The whole state of one game as the rules see it. Every position is the
// start position plus a history, so replaying is exact; there is no unmake.
class CChessBoard {
public:
    CChessBoard();
    CChessBoard(const CChessBoard& other);
    CChessBoard& operator=(const CChessBoard& other);
    ~CChessBoard();

    // --- Position and move model ---
    void Clear();
    void SetupStartPosition();
    // False when the square is taken or off the board, or colour or type is
    // not a real piece.
    bool AddPiece(Colour colour, PieceType type, int x, int y, bool kingsSide);
    bool RemovePieceAt(const SSquare& square);
    int GetIdAt(const SSquare& square) const;
    int GetIdAt(int x, int y) const { return GetIdAt(SSquare(x, y)); }
    CPiece& GetPieceAt(const SSquare& square);
    const CPiece& GetPieceAt(const SSquare& square) const;
    CPiece& GetPieceAt(int x, int y) { return GetPieceAt(SSquare(x, y)); }
    const CPiece& GetPieceAt(int x, int y) const { return GetPieceAt(SSquare(x, y)); }
    // Any id ever handed out (captured pieces too); unknown ids give the empty piece.
    CPiece& GetPiece(int id);
    const CPiece& GetPiece(int id) const;
    CPiece* FindKing(Colour colour);
    const CPiece* FindKing(Colour colour) const;
    // Appends the side to move's pieces of that type, in on-board order.
    int CollectPieces(PieceType type, Zorlin::CArray<CPiece*>& out);

    bool MakeMove(CMove& move, double ms);
    // The light move used to test legality: grid and piece squares only.
    bool ApplyToGrid(const CMove& move);
    void ReplayInto(CChessBoard& target, CMove& lastMove, int count) const;
    bool GoBackToMove(int n);

    void SetTimeControl(int moves, double seconds);
    void SetTimeLimit(double seconds);

    Colour GetSideToMove() const { return m_sideToMove; }
    int GetPly() const { return m_ply; }
    int GetHalfMoveClock() const { return m_halfMoveClock; }
    int GetLastId() const { return m_lastId; }
    // Ids of the pieces on the board, in the order they were added.
    const Zorlin::CArray<int>& GetOnBoardIds() const { return m_onBoard; }
    const Zorlin::CArray<int>& GetCapturedBy(Colour capturer) const { return m_captured[capturer == BLACK ? 1 : 0]; }
    Zorlin::CArray<SHistoryEntry>& GetHistory() { return m_history; }
    const Zorlin::CArray<SHistoryEntry>& GetHistory() const { return m_history; }

    ClockMode GetClockMode() const { return m_clockMode; }
    int GetMovesPerPeriod() const { return m_movesPerPeriod; }
    double GetPeriod() const { return m_period; }
    double GetGameTime() const { return m_gameTime; }
    double GetClock(Colour colour) const { return m_clocks[colour == BLACK ? 1 : 0]; }
    void SetClock(Colour colour, double seconds) { m_clocks[colour == BLACK ? 1 : 0] = seconds; }

    // For building positions other than the start (tests, analysis).
    void SetSideToMove(Colour colour) { m_sideToMove = colour == BLACK ? BLACK : WHITE; }
    void SetPly(int ply) { m_ply = ply < 0 ? 0 : ply; }
    void SetHalfMoveClock(int n) { m_halfMoveClock = n < 0 ? 0 : n; }

    // --- Move generation, legality and end of game ---
    bool IsInCheck(Colour colour, Zorlin::CArray<CPiece*>* attackers = nullptr) const;
    GameState GetGameState(Colour colour, Zorlin::CString* reason = nullptr) const;
    bool IsDraw(Zorlin::CString& reason) const;
    bool IsRepetitionDraw() const;
    bool IsFiftyMoveDraw() const;
    // Every legal move of the side to move, pieces in on-board order
    // (promotions once each, with PIECE_NONE).
    int GetLegalMoves(Zorlin::CArray<CMove>& out) const;
    // Leaf count of the legal move tree, every promotion counted four times.
    uint64_t Perft(int depth) const;

    // --- Notation ---
    void MakeSan(CMove& move, Zorlin::CString& out) const;
    // What the last move's SAN ends with: "#" when the side to move is
    // mated, "+" when it is in check, else "".
    const char* GetCheckMark() const;
    bool ParseMove(const Zorlin::CString& text, CMove& out, bool legalOnly) const;
    bool ParseSan(const Zorlin::CString& text, CMove& out, bool legalOnly) const;
    bool ParseCoordinates(const Zorlin::CString& text, CMove& out, bool legalOnly) const;
    static void CleanMoveText(Zorlin::CString& text);
    int FilterByReach(Zorlin::CArray<CPiece*>& list, const SSquare& target, bool legalOnly) const;
    void DescribeMove(const CMove& move, Zorlin::CString& out) const;
    bool IsUniqueMover(const CMove& move) const;
    bool IsOnlyOneOnFile(const CPiece& piece) const;
    bool IsOnlyOneOnRank(const CPiece& piece) const;
    bool IsUniqueCapture(const CMove& move) const;

    // --- PGN and FEN ---
    bool LoadPgnGame(Zorlin::CFile& f, Zorlin::CAssocArray<Zorlin::CString>& tags, Zorlin::CString& errorText);
    bool GetFen(Zorlin::CString& out, bool repetitionKey) const;
    bool GetEnPassantSquare(SSquare& out) const;

private:
    friend class CPosition;

    void CopyFrom(const CChessBoard& other);
    void RemoveFromOnBoard(int id);
    bool NormaliseMove(CMove& move) const;
    void AppendHistory(const CMove& move, double ms);
    void RunClock(double ms);
    bool IsInsufficientMaterial() const;
    bool CheckLegal(CMove& move) const;
    bool SetCastling(CMove& out, bool kingSide) const;
    bool FinishRead(CMove& out, bool legalOnly) const;

    int m_grid[8][8];                   // piece ids, [x][y]; 0 = empty
    Zorlin::CArray<CPiece> m_pieces;    // by id; id 0 is the empty piece
    Zorlin::CArray<int> m_onBoard;      // ids on the board, in order of adding
    Zorlin::CArray<int> m_captured[2];  // ids taken by White, by Black, in order
    Colour m_sideToMove;
    int m_lastId;
    int m_ply;
    int m_halfMoveClock;
    Zorlin::CArray<SHistoryEntry> m_history;
    ClockMode m_clockMode;
    int m_movesPerPeriod;
    double m_period;
    double m_gameTime;
    double m_clocks[2];
};

// djb2 over the bytes taken as signed 8-bit values.
uint32_t HashText(const char* text);
inline uint32_t HashText(const Zorlin::CString& text) { return HashText(text.GetText()); }

// Keep only the candidates on that file, or that rank.
void FilterByFile(int file, Zorlin::CArray<CPiece*>& list);
void FilterByRank(int rank, Zorlin::CArray<CPiece*>& list);
