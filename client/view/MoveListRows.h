#pragma once

// What a row of the move list shows, apart from the list control: one row
// per half-move, row n (from 1) holding ply n.

#include "foundation/String.h"

struct SMoveListRow {
    Zorlin::CString m_label; // "1." on White's rows, empty on Black's
    Zorlin::CString m_white;
    Zorlin::CString m_black;
};

// Row n (odd: White's move, even: Black's) for a move's SAN.
SMoveListRow MakeMoveListRow(int n, const Zorlin::CString& san);

struct SRowColour {
    unsigned char r, g, b;
};

// The row's background: White's and Black's rows in two mixes of the menu
// and window colours, tinted towards dark green as the game grows.
SRowColour MoveListRowColour(int n, SRowColour menu, SRowColour window);
