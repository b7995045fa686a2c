#include "client/view/GlyphLayout.h"

#include <cmath>
#include <cstring>

namespace {
const char kGlyphs[] = "ABCDEFGH12345678";
}

bool FindGlyphCell(char c, SGlyphCell& out)
{
    if (c == 0)
        return false;
    const char* at = std::strchr(kGlyphs, c);
    if (!at)
        return false;
    const int i = int(at - kGlyphs);
    out.u = (i % 4) * 0.25;
    out.v = (i / 4) * 0.25;
    out.width = 0.25;
    out.height = 0.25;
    return true;
}

bool LayOutGlyph(float x, float y, int offsetX, int offsetY, int size, double cellWidth,
                 double cellHeight, SGlyphQuad& out)
{
    if (!(cellWidth > 0.0) || !(cellHeight > 0.0))
        return false;
    const double k = double(size) / cellWidth;
    out.x = std::floor(x - offsetX * k);
    out.y = std::floor(y - offsetY * k);
    out.width = k * cellWidth;
    out.height = k * cellHeight;
    return true;
}
