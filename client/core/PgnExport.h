#pragma once

// The text work behind the PGN and FEN commands, kept apart from the frame:
// writing or appending an export, and the HTML of the PGN display.

#include "foundation/String.h"

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
