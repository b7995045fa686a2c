#include "client/core/PlayedGames.h"

#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#include "client/core/PlayedGameFile.h"
#include "foundation/AtomicFile.h"
#include "foundation/AutoDirectory.h"
#include "foundation/AutoPointer.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"
#include "foundation/Win32File.h"

using namespace Zorlin;

namespace {

const char kFolder[] = "/played games/";
const char kIndex[] = "played games.idx";
const char kIndexHeader[] = "played games index 1\n";
// Far above what 100,000 games make; a larger file is not ours.
const uint64_t kIndexLimit = 64u << 20;

struct SStamp {
    int64_t size = -1;
    int64_t time = -1;
};

// Stamps are taken inside the folder, so thousands of files cost no walk
// of the whole path each.
class CFolderStamps {
public:
    explicit CFolderStamps(const CString& folder)
        : m_folder(folder), m_fd(::open(folder.GetText(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
    }
    ~CFolderStamps()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CFolderStamps(const CFolderStamps&) = delete;
    CFolderStamps& operator=(const CFolderStamps&) = delete;

    SStamp Of(const CString& name) const;

private:
    CString m_folder;
    int m_fd;
};

SStamp CFolderStamps::Of(const CString& name) const
{
    SStamp stamp;
    struct stat info;
    int result = m_fd >= 0 ? ::fstatat(m_fd, name.GetText(), &info, 0) : ::stat((m_folder + name).GetText(), &info);
    if (result == 0) {
        stamp.size = int64_t(info.st_size);
        stamp.time = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    }
    return stamp;
}

CString DiskPath(CDrive& drive, const char* path)
{
    CURL full(path);
    drive.GetFullPath(full, "");
    return full;
}

// A name or label that fits one field of an index line.
bool Indexable(const CString& text)
{
    for (int i = 0; i < text.GetLength(); ++i)
        if (text[i] == '\t' || text[i] == '\n' || text[i] == '\r' || text[i] == '\0')
            return false;
    return true;
}

bool ParseNumber(std::string_view text, int64_t& out)
{
    if (text.empty() || text.size() > 19)
        return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + uint64_t(c - '0');
    }
    if (value > uint64_t(INT64_MAX))
        return false;
    out = int64_t(value);
    return true;
}

} // namespace

struct CPlayedGames::SKnown {
    std::unordered_map<std::string, SEntry> byFile;
};

CPlayedGames::CPlayedGames() : m_known(new SKnown) {}

CPlayedGames::~CPlayedGames() = default;

const char* CPlayedGames::IndexName()
{
    return kIndex;
}

void CPlayedGames::Refresh(CDrive& userDrive)
{
    const CString folder = DiskPath(userDrive, kFolder);
    const CString index = DiskPath(userDrive, (CString("/") + kIndex).GetText());
    if (folder != m_folder) {
        m_known->byFile.clear();
        m_folder = folder;
        ReadIndex(index);
    }
    CArray<CString> names;
    {
        CAutoDirectory inside(userDrive, kFolder);
        if (inside)
            userDrive.ListDirectory(names, false);
    }
    SortNatural(names);

    std::unordered_map<std::string, SEntry> now;
    now.reserve(size_t(names.GetCount()));
    bool changed = false;
    m_files.RemoveAll();
    m_labels.RemoveAll();
    m_files.Reserve(names.GetCount());
    m_labels.Reserve(names.GetCount());
    const CFolderStamps stamps(folder);
    for (int i = 0; i < names.GetCount(); ++i) {
        const CString& name = *names.GetAt(i);
        const SStamp stamp = stamps.Of(name);
        SEntry entry;
        entry.size = stamp.size;
        entry.time = stamp.time;
        auto known = m_known->byFile.find(name.GetText());
        if (known != m_known->byFile.end() && known->second.size == stamp.size && known->second.time == stamp.time &&
            stamp.size >= 0) {
            entry.label = known->second.label;
        } else {
            entry.label = ReadPlayedGameLabel(userDrive, name);
            changed = true;
        }
        m_files.Add(name);
        m_labels.Add(entry.label);
        now[name.GetText()] = std::move(entry);
    }
    changed = changed || now.size() != m_known->byFile.size();
    m_known->byFile.swap(now);
    if (changed)
        WriteIndex(index);
}

bool CPlayedGames::Add(CDrive& userDrive, const CString& file, const CString& pgn, CString& error)
{
    int number = 0;
    if (!WritePlayedGameFile(userDrive, file, pgn, &number)) {
        error = std::strerror(number);
        return false;
    }
    Refresh(userDrive);
    return true;
}

void CPlayedGames::ReadIndex(const CString& path)
{
    CWin32File file(path, CFile::kModeRead);
    if (!file.IsOpen() || file.GetSize() > kIndexLimit)
        return;
    std::string text(size_t(file.GetSize()), '\0');
    if (text.empty() || !file.Read(&text[0], unsigned(text.size())) || text.compare(0, sizeof kIndexHeader - 1, kIndexHeader) != 0)
        return;
    // "size TAB time TAB file TAB label"; a line that is not is skipped,
    // and its file read again.
    const std::string_view all(text);
    size_t at = sizeof kIndexHeader - 1;
    while (at < all.size()) {
        size_t end = all.find('\n', at);
        if (end == std::string_view::npos)
            break;
        const std::string_view line = all.substr(at, end - at);
        at = end + 1;
        size_t a = line.find('\t'), b = a == line.npos ? a : line.find('\t', a + 1),
               c = b == line.npos ? b : line.find('\t', b + 1);
        SEntry entry;
        if (c == line.npos || !ParseNumber(line.substr(0, a), entry.size) ||
            !ParseNumber(line.substr(a + 1, b - a - 1), entry.time) || c == b + 1)
            continue;
        const std::string_view label = line.substr(c + 1);
        entry.label = CString(std::string(label).c_str());
        m_known->byFile[std::string(line.substr(b + 1, c - b - 1))] = std::move(entry);
    }
}

bool CPlayedGames::WriteIndex(const CString& path) const
{
    std::string text(kIndexHeader);
    for (int i = 0; i < m_files.GetCount(); ++i) {
        const CString& file = *m_files.GetAt(i);
        auto known = m_known->byFile.find(file.GetText());
        if (known == m_known->byFile.end() || known->second.size < 0 || !Indexable(file) ||
            !Indexable(known->second.label))
            continue;
        text += std::to_string(known->second.size) + '\t' + std::to_string(known->second.time) + '\t' +
                file.GetText() + '\t' + known->second.label.GetText() + '\n';
    }
    // Only a cache: a start without it reads the files again.
    CAtomicFile out;
    out.SetDurable(false);
    return out.Open(path) && out.Write(text.data(), text.size()) && out.Commit();
}

CPlayedGames& GetPlayedGames()
{
    static CPlayedGames list;
    return list;
}
