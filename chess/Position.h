#pragma once

#include <cstdint>

#include "chess/ChessTypes.h"
#include "chess/Move.h"

class CChessBoard;

// A compact working copy of a board's position for move generation and
// legality: a 0x88 mailbox of piece codes with make/unmake, so no legality
// question ever copies a whole board. Built from a board in one pass; answers
// exactly what the piece records say (unmoved pieces, the pawn that may be
// taken en passant).
class CPosition {
public:
    // Piece code: type + 1 in bits 0-2, colour in bit 3, "never moved" in bit 4.
    static const uint8_t kEmpty = 0;
    static const uint8_t kTypeMask = 7;
    static const uint8_t kBlackBit = 8;
    static const uint8_t kUnmoved = 16;
    static const uint8_t kPieceMask = 15;
    static const int kMaxMoves = 256;

    struct SMove {
        uint8_t from;
        uint8_t to;
        uint8_t kind;      // MoveKind
        uint8_t captured;  // square of the taken piece (captures, en passant)
        uint8_t promotion; // PieceType
    };

    explicit CPosition(const CChessBoard& board);

    static int Square(int x, int y) { return y * 16 + x; }
    static int Square(const SSquare& s) { return s.y * 16 + s.x; }
    static int FileOf(int sq) { return sq & 15; }
    static int RankOf(int sq) { return sq >> 4; }
    static bool OnBoard(int sq) { return (sq & 0x88) == 0; }
    static uint8_t Code(int colour, int type) { return uint8_t((type + 1) | (colour == BLACK ? kBlackBit : 0)); }
    static int TypeOf(uint8_t code) { return (code & kTypeMask) - 1; }
    static int ColourOf(uint8_t code) { return (code & kBlackBit) ? BLACK : WHITE; }

    uint8_t At(int sq) const { return m_board[sq]; }
    int KingSquare(int colour) const { return m_king[colour]; }

    // Makes a move record for good (replaying a history).
    void Play(const CMove& move);

    // Pseudo-legal moves of the piece on from, in generation order; pawn moves
    // to the last rank once each with PIECE_NONE.
    int GeneratePiece(int from, SMove* out) const;
    // Pseudo-legal moves of every piece of colour, by square; with
    // expandPromotions each pawn move to the last rank comes four times.
    int GenerateAll(int colour, SMove* out, bool expandPromotions) const;

    bool IsAttacked(int sq, int byColour) const;
    bool InCheck(int colour) const;
    // Empty, and the colour's king would not be attacked standing there.
    bool IsSafeKingSquare(int sq, int colour) const;
    // The move does not leave the mover's king attacked.
    bool IsLegal(const SMove& move) const;
    bool HasLegalMove(int colour) const;
    // The pawn the colour may take en passant by a legal move, or -1; the
    // position's en passant square only counts for repetition then.
    int EnPassantVictim(int colour) const;
    // Whether the piece on from has a move ending on target (legal or not).
    bool Reaches(int from, int target, bool legalOnly) const;
    uint64_t Perft(int depth, int colour) const;

    static CMove ToMove(const SMove& move);

private:
    struct SUndo {
        uint8_t fromCode, toCode, capturedCode, rookFromCode, rookToCode;
        int epVictim;
        int king[2];
    };

    void Make(const SMove& move, SUndo& undo) const;
    void Unmake(const SMove& move, const SUndo& undo) const;
    bool CanCastle(int from, int colour, int direction) const;
    void Add(SMove*& out, int from, int to, int kind, int captured) const;
    void AddPawnMove(SMove*& out, int from, int to, int kind, int captured, bool expand) const;
    int GenerateFrom(int from, SMove* out, bool expand) const;
    uint64_t PerftInner(int depth, int colour) const;

    // Mutable: the const questions try moves and take them back.
    mutable uint8_t m_board[128];
    mutable int m_king[2];  // the square of each side's first king, or -1
    mutable int m_epVictim; // the pawn that may be taken en passant, or -1
};
