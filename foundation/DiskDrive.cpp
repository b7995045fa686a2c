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

CString CDiskDrive::FindOnDisk(const CString& absolutePath)
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
                if (FindNoCase(found, name, other))
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

CString CDiskDrive::GetDiskPath(const CURL& path) const
{
    CURL full(m_root);
    full.Append(ResolveInCurrent(path));
    return FindOnDisk(full);
}

CAutoPointer<CFile> CDiskDrive::OpenFile(const CURL& path, unsigned mode)
{
    if (m_valid) {
        CAutoPointer<CFile> file(new CWin32File(GetDiskPath(path), mode));
        if (file->IsOpen())
            return file;
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
    if (!IsEnterableFolder(FindOnDisk(full).GetText()))
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
    std::string disk = WithoutTrailingSlash(GetDiskPath(path).GetText());
    if (IsFolder(disk.c_str()))
        return true;
    if (::mkdir(disk.c_str(), 0777) == 0)
        return true;
    return errno == EEXIST && IsFolder(disk.c_str());
}

bool CDiskDrive::ListDirectory(CArray<CString>& out, bool fullPaths)
{
    if (!m_valid)
        return false;
    CURL full(m_root);
    full.Append(m_current);
    std::vector<std::string> names;
    if (!ReadFolder(FindOnDisk(full).GetText(), names))
        return false;
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
    CDrive::GetFullPath(inOut, path);
    inOut = FindOnDisk(inOut);
}

} // namespace Zorlin
