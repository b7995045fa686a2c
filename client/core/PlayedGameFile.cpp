#include "client/core/PlayedGameFile.h"

#include <cerrno>

#include "chess/Pgn.h"
#include "foundation/AssocArray.h"
#include "foundation/AtomicFile.h"
#include "foundation/AutoPointer.h"
#include "foundation/BufferFile.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/NameText.h"

using namespace Zorlin;

namespace {

const char kFolder[] = "/played games/";
const int kMaxNameLength = 40;
// "2025-01-31 142501 ": the time MakePlayedGameName puts first.
const char kStampPattern[] = "dddd-dd-dd dddddd ";
const int kStampLength = int(sizeof kStampPattern) - 1;
// The tags of our own files come in their first lines.
const unsigned kLabelReadLimit = 8192;

CString PlainName(const CString& name)
{
    CString out;
    for (int i = 0; i < name.GetLength() && out.GetLength() < kMaxNameLength; ++i) {
        char c = name[i];
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                     c == '-' || c == '_';
        if (plain)
            out.Append(c);
    }
    out.Trim();
    return out.IsEmpty() ? CString("unknown") : out;
}

bool HasStamp(const CString& name)
{
    if (name.GetLength() < kStampLength)
        return false;
    for (int i = 0; i < kStampLength; ++i) {
        const bool digit = name[i] >= '0' && name[i] <= '9';
        if (kStampPattern[i] == 'd' ? !digit : name[i] != kStampPattern[i])
            return false;
    }
    return true;
}

// " (2)" and the like, which WritePlayedGame adds to a name in use.
bool IsCopySuffix(const CString& text)
{
    const int n = text.GetLength();
    if (n == 0)
        return true;
    if (n < 4 || text[0] != ' ' || text[1] != '(' || text[n - 1] != ')')
        return false;
    for (int i = 2; i < n - 1; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

// A name as typed, cut as the file name is; "unknown" as there when none was.
CString ShownName(const CString& typed)
{
    CString name = typed;
    name.Trim();
    return name.IsEmpty() ? PlainName(name) : CutCharacters(name, kMaxNameLength);
}

} // namespace

CString MakePlayedGameName(const CString& white, const CString& black, time_t when)
{
    struct tm local = {};
    localtime_r(&when, &local);
    CString name;
    name.AppendFormat("%04d-%02d-%02d %02d%02d%02d ", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                      local.tm_hour, local.tm_min, local.tm_sec);
    name.Append(PlainName(white));
    name.Append(" vs ");
    name.Append(PlainName(black));
    return name;
}

CString FreePlayedGameFile(CDrive& userDrive, const CString& name)
{
    CString file;
    for (int copy = 1; copy < 100; ++copy) {
        file = name;
        if (copy > 1)
            file.AppendFormat(" (%d)", copy);
        file.Append(".pgn");
        if (!userDrive.Exists(CURL(CString(kFolder, file.GetText()))))
            break;
    }
    return file;
}

bool WritePlayedGameFile(CDrive& userDrive, const CString& file, const CString& pgn, int* error)
{
    userDrive.MakeDirectory(CURL(kFolder));
    CURL diskPath(CString(kFolder, file.GetText()));
    userDrive.GetFullPath(diskPath, "");
    CAtomicFile out;
    errno = 0;
    if (out.Open(diskPath) && out.Write(pgn.GetText(), size_t(pgn.GetLength())) && out.Commit())
        return true;
    // Taken before the temporary is removed, which may set another.
    if (error)
        *error = errno ? errno : EIO;
    out.Abort();
    return false;
}

bool WritePlayedGame(CDrive& userDrive, const CString& name, const CString& pgn, CString* written, int* error)
{
    const CString file = FreePlayedGameFile(userDrive, name);
    if (!WritePlayedGameFile(userDrive, file, pgn, error))
        return false;
    if (written)
        *written = file;
    return true;
}

CString PlayedGameLabel(const CString& fileName, const CString& white, const CString& black)
{
    int dot = -1;
    if (!fileName.ReverseFind('.', &dot, fileName.GetLength() - 1, 0) || dot <= 0 ||
        !KeysEqualNoCase(fileName.Mid(dot), CString(".pgn")))
        return CString();
    const CString stem = fileName.Mid(0, dot - 1);
    const CString plain = PlainName(white) + " vs " + PlainName(black);
    if (!HasStamp(stem) || !stem.MatchAt(plain, kStampLength) ||
        !IsCopySuffix(stem.Mid(kStampLength + plain.GetLength())))
        return CString();
    if (!IsPrintableUtf8(white) || !IsPrintableUtf8(black))
        return CString();
    CString label = stem.Mid(0, kStampLength - 1);
    label += ShownName(white);
    label += " vs ";
    label += ShownName(black);
    label += stem.Mid(kStampLength + plain.GetLength());
    return label;
}

CString ReadPlayedGameLabel(CDrive& userDrive, const CString& fileName)
{
    // Only our own files are worth opening.
    if (!HasStamp(fileName))
        return CString();
    CAutoPointer<CFile> file = userDrive.OpenFile(CURL(CString(kFolder, fileName.GetText())), CFile::kModeRead);
    if (!file || file->IsNull() || !file->IsOpen())
        return CString();
    const uint64_t size = file->GetSize();
    CString head;
    head.SetLength(int(size < kLabelReadLimit ? size : kLabelReadLimit));
    if (head.IsEmpty() || !file->Read(head.GetBuffer(), unsigned(head.GetLength())))
        return CString();
    CBufferFile text(head);
    CAssocArray<CString> tags;
    CString error, moves;
    if (!ReadPgnGame(text, tags, error, moves))
        return CString();
    const CString* white = tags.Find("White");
    const CString* black = tags.Find("Black");
    return white && black ? PlayedGameLabel(fileName, *white, *black) : CString();
}
