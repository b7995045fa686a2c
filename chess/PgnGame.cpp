#include "chess/Pgn.h"

#include "chess/PgnScanner.h"
#include "foundation/AssocArray.h"
#include "foundation/File.h"

using Zorlin::CAssocArray;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

void AppendLine(CString& line, CString& out)
{
    line.Trim();
    if (!line.IsEmpty() && out.GetLength() + line.GetLength() < kPgnMaxMoveText) {
        out.Append(line);
        out.Append('\n');
    }
    line.Assign(CString());
}

// The raw bytes from..to, as trimmed lines; empty lines are left out.
void CollectLines(CFile& f, unsigned from, unsigned to, CString& out)
{
    if (to <= from || !f.Seek(static_cast<int>(from), CFile::kSeekStart))
        return;
    CString line;
    char block[4096];
    unsigned left = to - from;
    while (left > 0) {
        const unsigned n = left < sizeof block ? left : unsigned(sizeof block);
        if (!f.Read(block, n))
            break;
        const unsigned got = f.GetLastReadCount();
        for (unsigned i = 0; i < got; ++i) {
            const char c = block[i];
            if (c == '\n' || c == '\r')
                AppendLine(line, out);
            else if (line.GetLength() < kPgnMaxMoveText)
                line.Append(c);
        }
        left -= got;
    }
    AppendLine(line, out);
    f.Seek(static_cast<int>(to), CFile::kSeekStart);
}

} // namespace

bool ReadPgnGame(CFile& f, CAssocArray<CString>& tags, CString& errorText, CString& moveText)
{
    moveText.Assign(CString());
    errorText.Assign(CString());
    CPgnScanner scanner(f);
    switch (scanner.ReadTags(tags, errorText)) {
    case CPgnScanner::TAGS_NO_GAME:
        return false;
    case CPgnScanner::TAGS_ONLY:
        return true;
    case CPgnScanner::TAGS_MOVE_TEXT:
        break;
    }
    const unsigned from = f.GetPosition();
    scanner.SkipGame();
    CollectLines(f, from, f.GetPosition(), moveText);
    return true;
}
