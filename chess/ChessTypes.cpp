#include "chess/ChessTypes.h"

namespace {

const char kLetters[] = "PRNBQK";
const char* const kNames[] = { "Pawn", "Rook", "Knight", "Bishop", "Queen", "King" };

} // namespace

char PieceLetter(int type)
{
    return type >= PIECE_PAWN && type <= PIECE_KING ? kLetters[type] : '?';
}

const char* PieceName(int type)
{
    return type >= PIECE_PAWN && type <= PIECE_KING ? kNames[type] : "";
}

PieceType PieceTypeFromLetter(char c)
{
    switch (c) {
    case 'P': case 'p': return PIECE_PAWN;
    case 'R': case 'r': return PIECE_ROOK;
    case 'N': case 'n': return PIECE_KNIGHT;
    case 'B': case 'b': return PIECE_BISHOP;
    case 'Q': case 'q': return PIECE_QUEEN;
    case 'K': case 'k': return PIECE_KING;
    default: return PIECE_NONE;
    }
}
