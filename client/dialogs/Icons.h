#pragma once

// The program's window icon and the promotion pieces, built from pixel data
// compiled into the program so they work before any file is read.

#include <wx/bitmap.h>

// 0: the 32 x 32 icon, 1: the 16 x 16 icon; any other index: a null bitmap.
// The grey background (212, 208, 200) is the mask, so it shows as transparent.
wxBitmap GetAppIcon(int index);

// 0-3: black queen, rook, bishop, knight on #999999; 4-7: the same on
// #CCCCCC; 8-11: white queen, rook, bishop, knight on #CCCCCC; any other
// index: a null bitmap.
wxBitmap GetPieceBitmap(int index);

// The mask colour of both icons.
const unsigned char kAppIconMaskRed = 212;
const unsigned char kAppIconMaskGreen = 208;
const unsigned char kAppIconMaskBlue = 200;
