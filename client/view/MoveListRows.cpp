#include "client/view/MoveListRows.h"

#include <algorithm>
#include <cmath>

using Zorlin::CString;

SMoveListRow MakeMoveListRow(int n, const CString& san)
{
    SMoveListRow row;
    if (n % 2 == 1) {
        row.m_label.AppendFormat("%i.", (n - 1) / 2 + 1);
        row.m_white = san;
    } else {
        row.m_black = san;
    }
    return row;
}

namespace {

int Channel(double value)
{
    long rounded = std::lround(value);
    return int(std::clamp(rounded, 0L, 255L));
}

// Each product rounded, the sum saturated.
int Mix(int a, double wa, int b, double wb)
{
    return std::min(255, Channel(a * wa) + Channel(b * wb));
}

} // namespace

SRowColour MoveListRowColour(int n, SRowColour menu, SRowColour window)
{
    // Row 0, the empty row, takes the lighter White mix untinted.
    bool white = n % 2 == 1 || n <= 0;
    double wm = white ? 0.1 : 0.4;
    double ww = white ? 0.9 : 0.6;
    int base[3] = {Mix(menu.r, wm, window.r, ww), Mix(menu.g, wm, window.g, ww), Mix(menu.b, wm, window.b, ww)};
    const int tint[3] = {50, 100, 50};
    double t = 0.002 * std::min(std::max(n, 0), 100);
    int out[3];
    for (int i = 0; i < 3; ++i)
        out[i] = Mix(base[i], 1.0 - t, tint[i], t);
    return {(unsigned char)out[0], (unsigned char)out[1], (unsigned char)out[2]};
}
