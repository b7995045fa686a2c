#pragma once

// How a game ended, in the words the player reads in Game Over, the status
// bar and the side panel: "Black wins on time", "White resigns",
// "Checkmate — White wins", "Draw by threefold repetition". Worked out
// from the result code, the game's end note and the final position alone.

#include "foundation/String.h"

class CChessBoard;

// End notes the game-over road sets besides the result code.
extern const char* const kEndNoteOnTime;   // "on time": the loser's flag fell
extern const char* const kEndNoteResigned; // "resigns": the loser resigned
extern const char* const kEndNoteAgreed;   // "agreed": a draw both sides accepted

// Empty while the game is open (no result, no note). A note the rules
// above do not know follows the winner ("White wins by forfeit") or stands
// alone for a game ended without a result ("Game ended").
Zorlin::CString GameEndText(const CChessBoard& board, int result, const Zorlin::CString& note);

// The side panel's Result field: the PGN result, and the words when there
// are any ("0-1, Black wins on time").
Zorlin::CString GameResultField(const Zorlin::CString& pgnResult, const Zorlin::CString& words);
