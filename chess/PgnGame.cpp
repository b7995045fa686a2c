#include "chess/Pgn.h"

#include "chess/Move.h"
#include "chess/PgnScanner.h"
#include "foundation/AssocArray.h"
#include "foundation/File.h"

#include <algorithm>

using Zorlin::CAssocArray;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

// Raw move text to trimmed lines, each ended by "\n"; empty lines are left
// out. A line is cut to kPgnMaxMoveText bytes before it is trimmed, and a
// line that would take the text past that bound is dropped.
class CLineCollector {
public:
    explicit CLineCollector(CString& out) : m_out(out) {}

    void Add(const char* bytes, unsigned count)
    {
        const char* const end = bytes + count;
        while (bytes < end) {
            const char* stop = bytes;
            while (stop < end && *stop != '\n' && *stop != '\r')
                ++stop;
            Keep(bytes, stop);
            if (stop == end)
                return;
            EndLine();
            bytes = stop + 1;
        }
    }
    void Finish() { EndLine(); }

private:
    void Keep(const char* from, const char* to)
    {
        const int room = kPgnMaxMoveText - m_line.GetLength();
        const int n = static_cast<int>(std::min<ptrdiff_t>(to - from, room));
        if (n > 0)
            m_line.Append(from, n);
    }
    void EndLine()
    {
        const char* text = m_line.GetText();
        int from = 0, to = m_line.GetLength();
        while (from < to && text[from] == ' ')
            ++from;
        while (to > from && text[to - 1] == ' ')
            --to;
        if (to > from && m_out.GetLength() + (to - from) < kPgnMaxMoveText) {
            m_out.Append(text + from, to - from);
            m_out.Append('\n');
        }
        m_line.Truncate(0);
    }

    CString& m_out;
    CString m_line;
};

// The bytes from..to read again from the file, which is left at to.
void CollectFromFile(CFile& f, uint64_t from, uint64_t to, CLineCollector& lines)
{
    if (!f.Seek(static_cast<int64_t>(from), CFile::kSeekStart))
        return;
    char block[4096];
    uint64_t left = to - from;
    while (left > 0) {
        const unsigned n = left < sizeof block ? unsigned(left) : unsigned(sizeof block);
        if (!f.Read(block, n))
            break;
        const unsigned got = std::min(f.GetLastReadCount(), n);
        lines.Add(block, got);
        left -= got;
    }
    f.Seek(static_cast<int64_t>(to), CFile::kSeekStart);
}

} // namespace

bool ReadPgnGame(CFile& f, CAssocArray<CString>& tags, CString& errorText, CString& moveText)
{
    moveText.Assign(CString());
    errorText.Assign(CString());
    uint64_t from = 0, to = 0;
    CLineCollector lines(moveText);
    {
        CPgnScanner scanner(f);
        switch (scanner.ReadTags(tags, errorText)) {
        case CPgnScanner::TAGS_NO_GAME:
            return false;
        case CPgnScanner::TAGS_ONLY:
            return true;
        case CPgnScanner::TAGS_MOVE_TEXT:
            break;
        }
        from = scanner.GetMoveTextStart();
        scanner.KeepFrom(from);
        scanner.SkipGame();
        to = scanner.GetPosition();
        if (const char* bytes = scanner.FindBytesSince(from)) {
            lines.Add(bytes, unsigned(to - from));
            lines.Finish();
            return true;
        }
    }
    // A game longer than the scanner's buffer; the scanner has put the file
    // at its end.
    if (to > from)
        CollectFromFile(f, from, to, lines);
    lines.Finish();
    return true;
}

bool HoldsPgn(CFile& f)
{
    CPgnScanner scanner(f);
    CAssocArray<CString> tags;
    CString error;
    for (;;) {
        const CPgnScanner::TagEnd end = scanner.ReadTags(tags, error);
        if (end == CPgnScanner::TAGS_NO_GAME)
            return false;
        if (tags.GetCount() > 0)
            return true;
        while (scanner.NextMove())
            if (IsMoveShapedWord(scanner.GetText()))
                return true;
    }
}
