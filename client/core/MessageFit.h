#pragma once

// A message box grows with its text, and texts from other people (a name,
// a sender) can be any length: before a box is shown its text is broken and
// cut so that the box, and its buttons, stay on the screen.

#include "foundation/String.h"

// Breaks every run of more than columns characters without a space or a
// line end into lines of columns characters, and cuts the text, ending it
// with "...", where it would take more than lines lines (a line longer than
// columns counts as the lines it wraps into). Characters are UTF-8
// sequences, never cut in two. Texts within the limits come back unchanged.
Zorlin::CString FitMessageText(const Zorlin::CString& text, int columns, int lines);

// The limits for a box on a screen of that work area, in pixels.
struct SMessageTextLimits {
    int columns;
    int lines;
};
SMessageTextLimits MessageTextLimits(int screenWidth, int screenHeight);
