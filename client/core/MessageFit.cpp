#include "client/core/MessageFit.h"

#include <algorithm>

using Zorlin::CString;

namespace {

// The bytes of the UTF-8 character at p[i] (a stray byte counts as one).
int CharacterLength(const unsigned char* p, int i, int n)
{
    int end = i + 1;
    if (p[i] >= 0xC0)
        while (end < n && (p[end] & 0xC0) == 0x80)
            ++end;
    return end - i;
}

// Room a box takes beyond its text, and a generous size of one character
// of the dialog font, in pixels.
const int kChromeWidth = 160;
const int kChromeHeight = 220;
const int kCharacterWidth = 10;
const int kLineHeight = 20;
// Wider lines are hard to read; the toolkit wraps its own lines near this.
const int kMostColumns = 60;

} // namespace

CString FitMessageText(const CString& text, int columns, int lines)
{
    columns = std::max(columns, 1);
    lines = std::max(lines, 1);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.GetText());
    const int n = text.GetLength();
    CString out;
    out.Reserve(n + n / columns + 4);
    int line = 1, column = 0, word = 0;
    for (int i = 0; i < n;) {
        const int length = CharacterLength(p, i, n);
        const char c = char(p[i]);
        if (c == '\n') {
            column = word = 0;
            ++line;
        } else if (c != ' ' && word == columns) {
            // A word as wide as a line: broken here.
            out += '\n';
            column = word = 0;
            ++line;
        } else if (column >= columns) {
            // The toolkit wraps here, taking the word begun so far along.
            column = c == ' ' ? 0 : word;
            ++line;
        }
        if (line > lines) {
            out += "...";
            return out;
        }
        if (c != '\n') {
            ++column;
            word = c == ' ' ? 0 : word + 1;
        }
        out.Append(text.GetText() + i, length);
        i += length;
    }
    return out;
}

SMessageTextLimits MessageTextLimits(int screenWidth, int screenHeight)
{
    SMessageTextLimits limits;
    limits.columns = std::clamp((screenWidth - kChromeWidth) / kCharacterWidth, 10, kMostColumns);
    limits.lines = std::max((screenHeight - kChromeHeight) / kLineHeight, 3);
    return limits;
}
