#include "client/dialogs/PgnIndex.h"

#include "chess/Pgn.h"
#include "foundation/AssocArray.h"
#include "foundation/File.h"

using Zorlin::CAssocArray;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

CString TagOrUnknown(CAssocArray<CString>& tags, const char* name)
{
    const CString* value = tags.Find(name);
    return value && !value->IsEmpty() ? *value : CString("unknown");
}

} // namespace

CString CPgnIndex::MakeLabel(int number, const CString& white, const CString& black)
{
    CString label;
    label.Append(number);
    label.Append(". ");
    label.Append(white.IsEmpty() ? CString("unknown") : white);
    label.Append(" vs ");
    label.Append(black.IsEmpty() ? CString("unknown") : black);
    return label;
}

int CPgnIndex::Build(CFile& file, const Progress& progress)
{
    m_games.clear();
    CAssocArray<CString> tags;
    CString error, moveText;
    while (true) {
        uint32_t start = file.GetPosition();
        if (!ReadPgnGame(file, tags, error, moveText))
            break;
        uint32_t end = file.GetPosition();
        if (end <= start)
            break; // a reader that makes no progress would loop for ever
        int number = GetCount() + 1;
        m_games.push_back({start, end - start,
                           MakeLabel(number, TagOrUnknown(tags, "White"), TagOrUnknown(tags, "Black"))});
        if (progress && !progress(number))
            break;
    }
    return GetCount();
}

bool CPgnIndex::ReadGame(CFile& file, int n, CString& text) const
{
    if (n < 0 || n >= GetCount())
        return false;
    const SGame& game = m_games[size_t(n)];
    if (!file.Seek(int(game.offset), 0))
        return false;
    text = CString();
    text.SetLength(int(game.length));
    char* out = text.GetBuffer();
    uint32_t done = 0;
    // A read may stop at a block boundary of a buffered file.
    while (done < game.length) {
        if (!file.Read(out + done, game.length - done) || file.GetLastReadCount() == 0)
            return false;
        done += file.GetLastReadCount();
    }
    return true;
}
