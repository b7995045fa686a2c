#include "foundation/DiskDrive.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/NullFile.h"
#include "foundation/Win32File.h"

namespace Zorlin {

namespace {

inline bool IsSeparator(char c) { return c == '/' || c == '\\'; }

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c; }

bool EqualNoCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b))
            return false;
    }
    return *a == *b;
}

bool PathExists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const char* path)
{
    struct stat st;
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// What changing into the folder would need: a folder we may search.
bool IsEnterableFolder(const char* path)
{
    return IsFolder(path) && ::access(path, X_OK) == 0;
}

// The sorted names of a folder's entries, "." and ".." left out.
bool ReadFolder(const char* path, std::vector<std::string>& names)
{
    DIR* dir = ::opendir(path);
    if (!dir)
        return false;
    while (struct dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return true;
}

// The first entry of folder, in name order, that equals name ignoring case.
bool FindNoCase(const std::string& folder, const std::string& name, std::string& found)
{
    std::vector<std::string> names;
    if (!ReadFolder(folder.empty() ? "/" : folder.c_str(), names))
        return false;
    for (const std::string& candidate : names) {
        if (EqualNoCase(candidate.c_str(), name.c_str())) {
            found = candidate;
            return true;
        }
    }
    return false;
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

CDiskDrive::CDiskDrive(const char* root) : m_valid(false)
{
    SetRoot(CString(root));
}

bool CDiskDrive::SetRoot(const CString& root)
{
    std::string text = root.GetText();
    std::replace(text.begin(), text.end(), '\\', '/');
    if (text.empty())
        text = ".";
    if (text[0] != '/') {
        char cwd[PATH_MAX];
        if (!::getcwd(cwd, sizeof cwd)) {
            m_valid = false;
            return false;
        }
        text = std::string(cwd) + "/" + text;
    }
    text = std::filesystem::path(text).lexically_normal().string();
    CString found = FindOnDisk(CString(text.c_str()));
    if (found.IsEmpty() || found[found.GetLength() - 1] != '/')
        found += '/';
    m_root = found;
    m_valid = IsEnterableFolder(m_root.GetText());
    if (m_valid)
        m_current = "";
    return m_valid;
}

bool MakePrivateFolders(const CString& folder)
{
    const std::string text = WithoutTrailingSlash(folder.GetText());
    if (text.empty() || text[0] != '/')
        return false;
    // Made from the top down: a user's data or settings folder may not exist yet.
    for (size_t slash = text.find('/', 1); slash != std::string::npos; slash = text.find('/', slash + 1))
        ::mkdir(text.substr(0, slash).c_str(), 0700);
    ::mkdir(text.c_str(), 0700);
    return IsFolder(text.c_str());
}

bool CDiskDrive::SetOwnFolder(const CString& folder)
{
    m_own = CString();
    std::string text = std::filesystem::path(folder.GetText()).lexically_normal().string();
    if (text.empty() || text[0] != '/')
        return false;
    text = WithoutTrailingSlash(text);
    MakePrivateFolders(CString(text.c_str()));
    if (!IsEnterableFolder(text.c_str()) || ::access(text.c_str(), W_OK) != 0)
        return false;
    m_own = CString((text + "/").c_str());
    return true;
}

namespace {

// The folders whose listings a drive keeps; past this it starts afresh.
const size_t kMaxCachedFolders = 256;

std::string LowerName(const std::string& name)
{
    std::string lower(name);
    for (char& c : lower)
        c = LowerAscii(c);
    return lower;
}

bool ChangeTime(const std::string& folder, timespec& changed)
{
    struct stat st;
    if (::stat(folder.empty() ? "/" : folder.c_str(), &st) != 0)
        return false;
    changed = st.st_mtim;
    return true;
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// Walks the components of an absolute path: those that do not exist as
// written are replaced by what findNoCase(folder, name, found) finds.
template <class F>
CString ResolveComponents(const CString& absolutePath, F findNoCase)
{
    std::string path = absolutePath.GetText();
    if (path.empty() || path[0] != '/' || PathExists(path))
        return absolutePath;

    bool trailingSlash = path.back() == '/';
    std::string found;
    size_t pos = 0;
    bool matching = true;
    while (pos < path.size()) {
        while (pos < path.size() && path[pos] == '/')
            ++pos;
        if (pos == path.size())
            break;
        size_t end = path.find('/', pos);
        if (end == std::string::npos)
            end = path.size();
        std::string name = path.substr(pos, end - pos);
        pos = end;
        if (matching) {
            std::string exact = found + "/" + name;
            std::string other;
            if (!PathExists(exact)) {
                if (findNoCase(found, name, other))
                    name = other;
                else
                    matching = false;
            }
        }
        found += "/";
        found += name;
    }
    if (found.empty() || trailingSlash)
        found += "/";
    return CString(found.c_str());
}

} // namespace

CString CDiskDrive::FindOnDisk(const CString& absolutePath)
{
    return ResolveComponents(absolutePath, FindNoCase);
}

CString CDiskDrive::Resolve(const CString& absolutePath) const
{
    return ResolveComponents(absolutePath, [this](const std::string& folder, const std::string& name,
                                                  std::string& found) { return FindCached(folder, name, found); });
}

bool CDiskDrive::FindCached(const std::string& folder, const std::string& name, std::string& found) const
{
    timespec changed;
    if (!ChangeTime(folder, changed))
        return false;
    std::lock_guard<std::mutex> lock(m_listingLock);
    auto listing = m_listings.find(folder);
    if (listing == m_listings.end() || !SameTime(listing->second.changed, changed)) {
        std::vector<std::string> names;
        if (!ReadFolder(folder.empty() ? "/" : folder.c_str(), names))
            return false;
        if (m_listings.size() >= kMaxCachedFolders)
            m_listings.clear();
        SListing& fresh = m_listings[folder];
        fresh.changed = changed;
        fresh.byLowerName.clear();
        for (const std::string& entry : names)
            fresh.byLowerName.emplace(LowerName(entry), entry); // the first in name order stays
        listing = m_listings.find(folder);
    }
    auto match = listing->second.byLowerName.find(LowerName(name));
    if (match == listing->second.byLowerName.end())
        return false;
    found = match->second;
    return true;
}

void CDiskDrive::NoteCreated(const CString& diskPath)
{
    const std::string path = WithoutTrailingSlash(diskPath.GetText());
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 >= path.size())
        return;
    const std::string folder = path.substr(0, slash);
    const std::string name = path.substr(slash + 1);
    std::lock_guard<std::mutex> lock(m_listingLock);
    auto listing = m_listings.find(folder);
    if (listing == m_listings.end())
        return;
    timespec changed;
    if (!ChangeTime(folder, changed)) {
        m_listings.erase(listing);
        return;
    }
    std::string& kept = listing->second.byLowerName[LowerName(name)];
    if (kept.empty() || name < kept)
        kept = name;
    listing->second.changed = changed;
}

std::string CDiskDrive::ListCurrentFolder()
{
    if (!m_valid)
        return std::string();
    CURL full(m_root);
    full.Append(m_current);
    // The run of writes goes to the own folder, made for it.
    if (!m_own.IsEmpty() && MakeDirectory(CURL(".")))
        full = CURL(GetWritablePath(CURL(".")));
    const std::string folder = WithoutTrailingSlash(Resolve(full).GetText());
    std::string unused;
    FindCached(folder, std::string(), unused); // reads the listing unless it is fresh
    std::lock_guard<std::mutex> lock(m_listingLock);
    return m_listings.count(folder) ? folder : std::string();
}

bool CDiskDrive::FindListed(const std::string& folder, const std::string& name, std::string& found) const
{
    std::lock_guard<std::mutex> lock(m_listingLock);
    auto listing = m_listings.find(folder);
    if (listing == m_listings.end())
        return false;
    auto match = listing->second.byLowerName.find(LowerName(name));
    if (match == listing->second.byLowerName.end())
        return false;
    found = match->second;
    return true;
}

bool CDiskDrive::HasListing(const std::string& folder) const
{
    std::lock_guard<std::mutex> lock(m_listingLock);
    return m_listings.count(folder) != 0;
}

void CDiskDrive::NoteListed(const std::string& folder, const std::string& name)
{
    std::lock_guard<std::mutex> lock(m_listingLock);
    auto listing = m_listings.find(folder);
    if (listing == m_listings.end())
        return;
    std::string& kept = listing->second.byLowerName[LowerName(name)];
    if (kept.empty() || name < kept)
        kept = name;
}

CString CDiskDrive::RootPath(const CURL& path) const
{
    CURL full(m_root);
    full.Append(ResolveInCurrent(path));
    return Resolve(full);
}

CString CDiskDrive::OwnPath(const CURL& path) const
{
    CURL full(m_own);
    full.Append(ResolveInCurrent(path));
    return Resolve(full);
}

void CDiskDrive::KeepOwnOnly(const CString& topFolder)
{
    std::string name = LowerName(topFolder.GetText());
    std::replace(name.begin(), name.end(), '\\', '/');
    while (!name.empty() && name.front() == '/')
        name.erase(name.begin());
    while (!name.empty() && name.back() == '/')
        name.pop_back();
    if (!name.empty() && name.find('/') == std::string::npos)
        m_ownOnly.push_back(name);
}

bool CDiskDrive::IsOwnOnly(const CURL& resolved) const
{
    if (m_own.IsEmpty() || m_ownOnly.empty())
        return false;
    std::string path = LowerName(resolved.GetText());
    std::replace(path.begin(), path.end(), '\\', '/');
    while (!path.empty() && path.front() == '/')
        path.erase(path.begin());
    const std::string top = path.substr(0, path.find('/'));
    return std::find(m_ownOnly.begin(), m_ownOnly.end(), top) != m_ownOnly.end();
}

CString CDiskDrive::GetDiskPath(const CURL& path) const
{
    if (IsOwnOnly(ResolveInCurrent(path)))
        return OwnPath(path);
    const CString root = RootPath(path);
    if (m_own.IsEmpty())
        return root;
    const CString own = OwnPath(path);
    return PathExists(WithoutTrailingSlash(own.GetText())) || !PathExists(WithoutTrailingSlash(root.GetText()))
               ? own
               : root;
}

CString CDiskDrive::GetWritablePath(const CURL& path)
{
    if (m_own.IsEmpty())
        return GetDiskPath(path);
    const CString own = OwnPath(path);
    const std::string target = WithoutTrailingSlash(own.GetText());
    // The folders between the own folder and the target, which a first
    // write into a folder of the program's own finds missing.
    const std::string ownRoot = WithoutTrailingSlash(m_own.GetText());
    for (size_t slash = target.find('/', ownRoot.size() + 1); slash != std::string::npos;
         slash = target.find('/', slash + 1)) {
        const std::string folder = target.substr(0, slash);
        if (::mkdir(folder.c_str(), 0777) == 0)
            NoteCreated(CString(folder.c_str()));
    }
    return own;
}

CAutoPointer<CFile> CDiskDrive::OpenFile(const CURL& path, unsigned mode)
{
    if (m_valid) {
        const bool writes = mode & (CFile::kModeWrite | CFile::kModeAppend | CFile::kModeCreate |
                                    CFile::kModeOpenOrCreate | CFile::kModeCreateNew);
        const CString disk = writes ? GetWritablePath(path) : GetDiskPath(path);
        CAutoPointer<CFile> file(new CWin32File(disk, mode));
        if (file->IsOpen()) {
            if (mode & (CFile::kModeCreate | CFile::kModeOpenOrCreate))
                NoteCreated(disk);
            return file;
        }
    }
    return CAutoPointer<CFile>(new CNullFile());
}

bool CDiskDrive::Exists(const CURL& path)
{
    CAutoPointer<CFile> file = OpenFile(path, CFile::kModeRead);
    return !file->IsNull();
}

bool CDiskDrive::GetInfo(const CURL& path, SFileInfo& info)
{
    info.one = 1;
    CString disk = GetDiskPath(path);
    if (m_valid && IsEnterableFolder(disk.GetText())) {
        info.kind = kKindFolder;
        info.access = 0;
        return true;
    }
    info.kind = kKindFile;
    info.access = 0;
    // A missing path (or a link to one) is no file: callers test IsFile
    // before they open a page or a package.
    struct stat st;
    if (!m_valid || ::stat(disk.GetText(), &st) != 0)
        return false;
    info.access = kAccessRead | kAccessOpened | kAccessLocal;
    int fd = ::open(disk.GetText(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        info.access |= kAccessWrite;
        ::close(fd);
    }
    return true;
}

unsigned CDiskDrive::GetFileSize(const CURL& path)
{
    if (!m_valid)
        return 0;
    int fd = ::open(GetDiskPath(path).GetText(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct stat st;
    unsigned size = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        size = st.st_size > off_t(0xFFFFFFFFu) ? 0xFFFFFFFFu : unsigned(st.st_size);
    ::close(fd);
    return size;
}

bool CDiskDrive::ChangeDirectory(const CURL& path)
{
    if (!m_valid)
        return false;
    CURL folder(path);
    if (folder.IsEmpty() || !IsSeparator(folder[folder.GetLength() - 1]))
        folder += '/';
    CURL next(m_current);
    next.Resolve(folder.GetText());

    CURL full(m_root);
    full.Append(next);
    CURL own(m_own);
    own.Append(next);
    const bool inOwn = !m_own.IsEmpty() && IsEnterableFolder(Resolve(own).GetText());
    if (!inOwn && (IsOwnOnly(next) || !IsEnterableFolder(Resolve(full).GetText())))
        return false;
    if (!next.IsAbsolute())
        next = CURL(CString("/", next.GetText()));
    m_current = next;
    return true;
}

bool CDiskDrive::MakeDirectory(const CURL& path)
{
    if (!m_valid)
        return false;
    std::string disk = WithoutTrailingSlash(GetWritablePath(path).GetText());
    if (IsFolder(disk.c_str()))
        return true;
    if (::mkdir(disk.c_str(), 0777) == 0) {
        NoteCreated(CString(disk.c_str()));
        return true;
    }
    return errno == EEXIST && IsFolder(disk.c_str());
}

bool CDiskDrive::ListDirectory(CArray<CString>& out, bool fullPaths)
{
    if (!m_valid)
        return false;
    CURL full(m_root);
    full.Append(m_current);
    std::vector<std::string> names;
    bool listed = !IsOwnOnly(m_current) && ReadFolder(Resolve(full).GetText(), names);
    if (!m_own.IsEmpty()) {
        // The own folder's entries join the root's; a name both have shows once.
        CURL own(m_own);
        own.Append(m_current);
        std::vector<std::string> ownNames;
        if (ReadFolder(Resolve(own).GetText(), ownNames)) {
            listed = true;
            std::unordered_map<std::string, bool> seen;
            for (const std::string& name : names)
                seen[LowerName(name)] = true;
            for (const std::string& name : ownNames)
                if (!seen.count(LowerName(name)))
                    names.push_back(name);
            std::sort(names.begin(), names.end());
        }
    }
    if (!listed)
        return false;
    out.Reserve(out.GetCount() + int(names.size()));
    for (const std::string& name : names) {
        if (fullPaths)
            out.Add(CString(m_current.GetText(), name.c_str()));
        else
            out.Add(CString(name.c_str()));
    }
    return true;
}

void CDiskDrive::GetFullPath(CURL& inOut, const char* path)
{
    if (m_own.IsEmpty()) {
        CDrive::GetFullPath(inOut, path);
        inOut = Resolve(inOut);
        return;
    }
    CURL relative(inOut);
    CDrive::GetDrivePath(relative, path);
    inOut = GetDiskPath(relative);
}

} // namespace Zorlin
