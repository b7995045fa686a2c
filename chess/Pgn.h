#pragma once

#include "foundation/String.h"

namespace Zorlin {
class CFile;
template <class T> class CAssocArray;
}

// What the PGN lexer returns; the values are fixed.
enum PgnToken : int32_t {
    TOKEN_INVALID = 0,      // a byte that starts no token (consumed, text empty)
    TOKEN_END_OF_FILE = 1,
    TOKEN_END_OF_LINE = 2,  // LF, CR LF or a lone CR
    TOKEN_PUNCTUATION = 3,  // one of . * ! ?
    TOKEN_SYMBOL = 4,       // letters, digits and _+#=:-/ run together, not all digits
    TOKEN_STRING = 5,       // a quoted string, without the quotes
    TOKEN_INTEGER = 6,      // a symbol of digits only
    TOKEN_NAG = 7,          // $ and the digits after it
    TOKEN_BRACKET = 8,      // one of []()<>{}
    TOKEN_COMMENT_LINE = 9, // ; and the rest of its line
    TOKEN_ESCAPE_LINE = 10, // % at the start of a line, and the rest of it
};

// Longest text a token keeps; the rest of an over-long token is read and dropped.
const int kPgnMaxTokenText = 16384;
// The longest game the rules allow is shorter than this (a draw is forced
// after 75 moves without a capture or a pawn move); the loader refuses
// longer ones.
const int kPgnMaxPlies = 17700;
// Longest move text ReadPgnGame collects for one game; the rest is dropped.
const int kPgnMaxMoveText = 1 << 20;

// Reads one token byte by byte. atLineStart belongs to the caller: it starts
// true, every line end sets it and every other token clears it (a comment or
// escape line leaves it set, as its line end has been read with it).
PgnToken ReadPgnToken(Zorlin::CFile& f, Zorlin::CString& text, bool& atLineStart);

// Reads the next game of a PGN file: its tag pairs into tags (emptied first)
// and its move text as raw lines, each trimmed and ended by "\n" (the token
// that opened the move text, normally the first move number, is left out).
// False when no further game is found. A malformed tag pair is skipped and
// named in errorText, which is otherwise left empty. The file ends up at the
// start of what follows the game.
bool ReadPgnGame(Zorlin::CFile& f, Zorlin::CAssocArray<Zorlin::CString>& tags,
                 Zorlin::CString& errorText, Zorlin::CString& moveText);

// Whether a text is PGN at all: some game in it has a tag pair or a token
// shaped like a move (SAN, coordinates or castling, legal or not). Plain
// prose, a lone result or bare move numbers are not.
bool HoldsPgn(Zorlin::CFile& f);

// Why a game with these tags is not played onto a board, for the user:
// another variant, or a set-up position (any but the start position at
// move 1). Empty for standard chess from the start.
Zorlin::CString PgnGameRefusal(Zorlin::CAssocArray<Zorlin::CString>& tags);
