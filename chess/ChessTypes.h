#pragma once

#include <cstdint>

// Numberings shared by the rules, the notation code and their callers.
// They are stored in saved games and sent to peers: the values are fixed.

enum PieceType : int32_t {
    PIECE_PAWN = 0,
    PIECE_ROOK = 1,
    PIECE_KNIGHT = 2,
    PIECE_BISHOP = 3,
    PIECE_QUEEN = 4,
    PIECE_KING = 5,
    PIECE_NONE = 6, // empty square, or no promotion
};

enum MoveKind : int32_t {
    MOVE_NORMAL = 0,
    MOVE_CAPTURE = 1,
    MOVE_CASTLE_QUEENSIDE = 2,
    MOVE_CASTLE_KINGSIDE = 3,
    MOVE_EN_PASSANT = 4,
};

enum Colour : int32_t {
    WHITE = 0,
    BLACK = 1,
    COLOUR_NONE = 2, // the empty piece
};

enum GameState : int32_t {
    STATE_PLAYING = 0,
    STATE_CHECKMATE = 2,
    STATE_DRAW = 3, // stalemate or a draw rule; a reason text is given
    STATE_NO_KING = 4,
};

inline Colour OtherColour(Colour c) { return c == WHITE ? BLACK : WHITE; }

// A square: x is the file (0..7 for a..h), y the rank (0..7 for 1..8).
// Anything outside 0..7 is off the board and reads as empty everywhere.
struct SSquare {
    int32_t x = 0;
    int32_t y = 0;

    SSquare() = default;
    SSquare(int32_t file, int32_t rank) : x(file), y(rank) {}

    bool IsOnBoard() const { return uint32_t(x) < 8 && uint32_t(y) < 8; }
    bool operator==(const SSquare& o) const { return x == o.x && y == o.y; }
    bool operator!=(const SSquare& o) const { return !(*this == o); }
};

// "PRNBQK" by type; '?' for anything else.
char PieceLetter(int type);
// "Pawn" ... "King" by type; "" for anything else.
const char* PieceName(int type);
// 'P'/'p' ... 'K'/'k' to their type; PIECE_NONE for any other byte.
PieceType PieceTypeFromLetter(char c);
// True for the four pieces a pawn may become.
inline bool IsPromotionType(int type)
{
    return type == PIECE_ROOK || type == PIECE_KNIGHT || type == PIECE_BISHOP || type == PIECE_QUEEN;
}
