#pragma once

// The board font's layout: 16 glyphs "ABCDEFGH12345678" in a 4 x 4 grid of
// equal cells, read left to right and top to bottom.
struct SGlyphCell {
    double u = 0.0; // fractions of the image
    double v = 0.0;
    double width = 0.0;
    double height = 0.0;
};

struct SGlyphQuad {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
};

// False for a character that has no glyph.
bool FindGlyphCell(char c, SGlyphCell& out);

// Where a glyph drawn at (x, y) lands: the cell is scaled by size / cell
// width (a fraction: a size smaller than the cell shrinks the glyph) and
// placed so that the cell point (offsetX, offsetY) falls on (x, y). False
// when the cell has no size.
bool LayOutGlyph(float x, float y, int offsetX, int offsetY, int size, double cellWidth,
                 double cellHeight, SGlyphQuad& out);
