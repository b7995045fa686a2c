#pragma once

// The texts the board canvas writes into the frame's status bar, worked
// out from the game alone.

#include "foundation/String.h"

class CChessBoard;
struct SHistoryEntry;

// Field 1: who is to move, or how the game ended. " White Mate" names the
// side that gave mate; a stalemate says " Stalemate", any other draw
// " Draw"; a win without mate (resignation, time) " White wins" or
// " Black wins" (the first field tells how); otherwise " White to move" or
// " Black to move". The end note of a game ended without a result stands
// alone (" Game ended").
Zorlin::CString BoardStateText(const CChessBoard& board, int result, const Zorlin::CString& endNote = "");

// The side to move has no legal move and is not in check. Other draws
// (repetition, the fifty-move rule, too little material) are none.
bool IsStalemate(const CChessBoard& board);

// Field 2: " " and the last move's text with its check mark; empty before
// the first move.
Zorlin::CString BoardLastMoveText(const CChessBoard& board);

// Appends a check mark ('+' or '#') to a history entry's short text, which
// has room for 11 characters; a text that is full is left as it is.
void AppendCheckMark(SHistoryEntry& entry, char mark);
