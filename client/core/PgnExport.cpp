#include "client/core/PgnExport.h"

#include "chess/Pgn.h"
#include "client/core/HtmlText.h"
#include "foundation/AssocArray.h"
#include "foundation/AtomicFile.h"
#include "foundation/Win32File.h"

using Zorlin::CAssocArray;
using Zorlin::CAtomicFile;
using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CWin32File;

namespace {


// Characters [from, end) (Mid's end is inclusive and counts from the back
// when negative).
CString Slice(const CString& text, int from, int end)
{
    return from < end ? text.Mid(from, end - 1) : CString();
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A player's name from the tags, fit for a message.
CString PlayerName(CAssocArray<CString>& tags, const char* side)
{
    const CString* name = tags.Find(side);
    return ShortMessageText(name && !name->IsEmpty() ? *name : CString("unknown"));
}

// The last two bytes of an open file (fewer for a shorter one).
CString Tail(CFile& file)
{
    CString tail;
    const uint64_t size = file.GetSize();
    if (size == 0)
        return tail;
    const int take = size >= 2 ? 2 : 1;
    char bytes[2] = {};
    if (file.Seek(int64_t(size) - take, CFile::kSeekStart) && file.Read(bytes, unsigned(take)) &&
        file.GetLastReadCount() == unsigned(take))
        tail.Append(bytes, take);
    return tail;
}

} // namespace

bool WritePgnExport(const CString& diskPath, const CString& text, bool append)
{
    CAtomicFile out;
    if (!out.Open(diskPath))
        return false;
    if (append) {
        CWin32File old(diskPath, CFile::kModeRead);
        if (!old.IsOpen())
            return false;
        const CString tail = Tail(old);
        if (!old.Seek(0, CFile::kSeekStart) || !out.WriteFrom(old))
            return false;
        // The new game starts after an empty line, whatever the old file's
        // last line looked like, so every reader sees a new game begin.
        if (!tail.IsEmpty()) {
            const char last = tail[tail.GetLength() - 1];
            if (last != '\n' && last != '\r' && !out.Write("\r\n", 2))
                return false;
            if (!out.Write("\r\n", 2))
                return false;
        }
    }
    return out.Write(text.GetText(), size_t(text.GetLength())) && out.Commit();
}

CString MakePgnDisplayHtml(const CString& pgn)
{
    CString html;
    bool first = true;
    int start = 0;
    const int length = pgn.GetLength();
    while (start <= length) {
        int end = start;
        while (end < length && pgn[end] != '\n')
            ++end;
        int from = start;
        start = end + 1;
        while (from < end && IsBlank(pgn[from]))
            ++from;
        while (end > from && IsBlank(pgn[end - 1]))
            --end;
        const CString line = Slice(pgn, from, end);
        if (line.IsEmpty())
            continue;
        if (!first)
            html.Append("<br>");
        first = false;
        if (line[0] == '[') {
            html.Append("<code><b>");
            html.Append(EscapeHtml(line));
            html.Append("</b></code>");
            continue;
        }
        html.Append("<font size=\"-1\">");
        int w = 0;
        while (w < line.GetLength()) {
            while (w < line.GetLength() && IsBlank(line[w]))
                ++w;
            int wordEnd = w;
            while (wordEnd < line.GetLength() && !IsBlank(line[wordEnd]))
                ++wordEnd;
            if (wordEnd == w)
                break;
            const CString word = Slice(line, w, wordEnd);
            w = wordEnd;
            if (word[word.GetLength() - 1] == '.') {
                html.Append("<b>");
                html.Append(EscapeHtml(word));
                html.Append(" </b>");
            } else {
                html.Append(EscapeHtml(word));
                html.Append(' ');
            }
        }
        html.Append("</font>");
    }
    return html;
}

CString ShortMessageText(const CString& text, int maxLength)
{
    CString out;
    for (int i = 0; i < text.GetLength() && out.GetLength() < maxLength; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        out.Append(c < 0x20 || c == 0x7F ? ' ' : char(c));
    }
    if (text.GetLength() > maxLength)
        out.Append("...");
    return out;
}

CString PgnGameProblemText(int number, CAssocArray<CString>& tags, const CString& error, int ply)
{
    const CString white = PlayerName(tags, "White");
    const CString black = PlayerName(tags, "Black");
    CString text;
    const CString refusal = PgnGameRefusal(tags);
    if (!refusal.IsEmpty() || error.IsEmpty()) {
        text.AppendFormat("Game %d (%s vs %s) cannot be shown", number, white.GetText(), black.GetText());
        if (!refusal.IsEmpty()) {
            text.Append(": ");
            text.Append(ShortMessageText(refusal, 80));
        }
        text.Append(".");
        return text;
    }
    text = "Illegal move: ";
    text.Append(ShortMessageText(error));
    // Which game and which move, so the user can find it in the file.
    text.AppendFormat("\n\nGame %d (%s vs %s), move %d (%s).", number, white.GetText(), black.GetText(), ply / 2 + 1,
                      ply % 2 == 0 ? "White" : "Black");
    return text;
}
