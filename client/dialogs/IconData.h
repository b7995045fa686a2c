#pragma once

// Pixel data of the icons and piece pictures, made by scripts/make-icons.

// Rows from the top, red, green, blue per pixel, no header.
extern const unsigned char kAppIconPixels32[32 * 32 * 3];
extern const unsigned char kAppIconPixels16[16 * 16 * 3];

// XPM texts of the twelve promotion pieces (see GetPieceBitmap).
extern const char* const* const kPieceXpms[12];
