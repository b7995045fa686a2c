#include "client/core/UserFolderSweep.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "chess/Pgn.h"
#include "client/core/Game.h"
#include "foundation/AssocArray.h"
#include "foundation/AtomicFile.h"
#include "foundation/BufferFile.h"
#include "foundation/Win32File.h"

using Zorlin::CString;

namespace {

// Far above any game a player can make; a bigger temporary is no game of ours.
const uint64_t kMaxPlayedGameBytes = 8u << 20;

CString Join(const CString& folder, const CString& name)
{
    CString path(folder);
    if (!path.IsEmpty() && path[path.GetLength() - 1] != '/')
        path.Append('/');
    path += name;
    return path;
}

bool EndsWith(const CString& text, const char* tail)
{
    const int n = int(strlen(tail));
    return text.GetLength() >= n && text.Mid(text.GetLength() - n) == tail;
}

bool ReadSmallFile(const CString& path, CString& text)
{
    Zorlin::CWin32File file(path, Zorlin::CFile::kModeRead);
    if (!file.IsOpen() || file.GetSize() == 0 || file.GetSize() > kMaxPlayedGameBytes)
        return false;
    text.SetLength(int(file.GetSize()));
    return file.Read(text.GetBuffer(), unsigned(text.GetLength())) &&
           file.GetLastReadCount() == unsigned(text.GetLength());
}

// Links the temporary under the first free one of NAME.pgn, NAME (2).pgn ...
// so no game already there is replaced; the disk path, or empty.
CString PutInPlace(const CString& folder, const CString& temporary, const CString& name)
{
    const int fd = open(temporary.GetText(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return CString();
    const bool synced = fsync(fd) == 0;
    close(fd);
    if (!synced)
        return CString();
    const CString stem = name.Mid(0, name.GetLength() - 5);
    for (int copy = 1; copy < 100; ++copy) {
        CString target = Join(folder, stem);
        if (copy > 1)
            target.AppendFormat(" (%d)", copy);
        target += ".pgn";
        if (link(temporary.GetText(), target.GetText()) == 0) {
            unlink(temporary.GetText());
            Zorlin::SyncFolder(folder);
            return target;
        }
        if (errno != EEXIST)
            return CString();
    }
    return CString();
}

std::vector<CString> RecoverPlayedGames(const CString& folder)
{
    std::vector<CString> whole;
    std::vector<CString> names;
    if (DIR* dir = opendir(folder.GetText())) {
        while (struct dirent* entry = readdir(dir)) {
            CString name;
            if (Zorlin::TemporaryOfGoneWriter(entry->d_name, name) && EndsWith(name, ".pgn") &&
                name.GetLength() > 4) {
                whole.push_back(CString(entry->d_name));
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    std::vector<CString> placed;
    for (size_t i = 0; i < whole.size(); ++i) {
        const CString temporary = Join(folder, whole[i]);
        struct stat info;
        CString text;
        if (lstat(temporary.GetText(), &info) != 0 || !S_ISREG(info.st_mode) || !ReadSmallFile(temporary, text) ||
            !IsWholePgnGame(text))
            continue;
        const CString target = PutInPlace(folder, temporary, names[i]);
        if (!target.IsEmpty())
            placed.push_back(target);
    }
    return placed;
}

} // namespace

bool IsWholePgnGame(const CString& text)
{
    CString copy(text);
    Zorlin::CBufferFile file(copy);
    Zorlin::CAssocArray<CString> tags;
    CString errors;
    CString moves;
    if (!ReadPgnGame(file, tags, errors, moves) || !errors.IsEmpty())
        return false;
    CString* result = tags.Find("Result");
    if (!result || (ResultFromText(*result) == RESULT_NONE && *result != "*"))
        return false;
    // The last word of the file, which a cut leaves short or missing (the
    // moves alone may lack it: the reader drops a game's first token).
    auto blank = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
    int end = text.GetLength();
    while (end > 0 && blank(text[end - 1]))
        --end;
    int start = end;
    while (start > 0 && !blank(text[start - 1]))
        --start;
    return end > start && text.Mid(start, end - 1) == *result;
}

std::vector<CString> SweepUserFolder(const CString& userFolder)
{
    const std::vector<CString> placed = RecoverPlayedGames(Join(userFolder, "played games"));
    Zorlin::RemoveStrayTemporariesIn(userFolder);
    for (const char* sub : {"active games", "opponents", "played games"})
        Zorlin::RemoveStrayTemporariesIn(Join(userFolder, sub));
    return placed;
}
