#pragma once

// Reading a move the user typed: "E2E4", "nf3", "e8=q", "b4", "bxc3".

#include "foundation/String.h"

class CChessBoard;
class CMove;

// Piece letters "prnqk" and the castling letter "o" become upper case and
// file letters "ACDEFGH" lower case; "b" and "B" stay as typed, since either
// may name the b-file or a bishop.
void NormaliseMoveText(Zorlin::CString& text);

// The legal move of the side to move that the text names, or false. The
// text is trimmed and normalised; when it does not read as a move, it is
// read once more with its first letter in upper case (so "bb5" can be a
// bishop move). A pawn that reaches the last rank without a named piece
// becomes a queen.
bool ReadTypedMove(const CChessBoard& board, const Zorlin::CString& typed, CMove& out);
