#pragma once

// The text work behind the PGN and FEN commands, kept apart from the frame:
// writing or appending an export, the HTML of the PGN display, and what the
// user is told of a game that cannot be shown.

#include "foundation/String.h"

namespace Zorlin {
template <class T> class CAssocArray;
}

// Replaces the file at diskPath with text, or (append) with its old content,
// a line end when it lacked one, one empty line and text. All or nothing:
// a failure leaves the old file as it was. False when anything failed.
bool WritePgnExport(const Zorlin::CString& diskPath, const Zorlin::CString& text, bool append);

// The PGN as one page of HTML: tag lines bold in a fixed font, move
// numbers bold, "<br>" between non-empty lines; every piece of the text
// escaped (tags carry names other people chose).
Zorlin::CString MakePgnDisplayHtml(const Zorlin::CString& pgn);

// Text from a PGN file fit to be shown in a message: at most maxLength
// characters, control characters as blanks.
Zorlin::CString ShortMessageText(const Zorlin::CString& text, int maxLength = 40);

// What the user is told when game number (from 1) of a PGN file cannot be
// shown, from what the loader left: the game's tags, its error text and
// the ply the board reached. A game of another variant or from a set-up
// position is named with the reason; a move that cannot be played, as
// "Illegal move: %s" with the game and the move's place.
Zorlin::CString PgnGameProblemText(int number, Zorlin::CAssocArray<Zorlin::CString>& tags,
                                   const Zorlin::CString& error, int ply);
