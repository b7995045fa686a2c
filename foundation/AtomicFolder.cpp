#include "foundation/AtomicFolder.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/AtomicFile.h"
#include "foundation/Win32File.h"

namespace Zorlin {

namespace {

const char kNewTag[] = ".new-";
const char kOldTag[] = ".old-";
const size_t kTagLength = 5;

std::string Join(const std::string& folder, const std::string& name)
{
    return folder == "/" ? folder + name : folder + "/" + name;
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

void SplitPath(const std::string& path, std::string& folder, std::string& name)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
        return;
    }
    folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    name = path.substr(slash + 1);
}

std::string SwapName(const std::string& name, const char* tag)
{
    return "." + name + tag + std::to_string(long(getpid()));
}

// ".NAME.new-PID" or ".NAME.old-PID": NAME, and whether the tree is an old
// one set aside.
bool ParseSwapName(const std::string& entry, std::string& name, bool& old)
{
    size_t digits = entry.size();
    while (digits > 0 && entry[digits - 1] >= '0' && entry[digits - 1] <= '9')
        --digits;
    if (digits == entry.size() || entry[0] != '.' || digits < kTagLength + 2)
        return false;
    const std::string tag = entry.substr(digits - kTagLength, kTagLength);
    if (tag != kNewTag && tag != kOldTag)
        return false;
    name = entry.substr(1, digits - kTagLength - 1);
    old = tag == kOldTag;
    return name != "." && name != "..";
}

bool RemoveTree(const std::string& path)
{
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(info.st_mode))
        return unlink(path.c_str()) == 0;
    // A folder the package or the user made read-only is still ours to empty.
    if (access(path.c_str(), W_OK | X_OK) != 0)
        chmod(path.c_str(), (info.st_mode & 07777) | S_IRWXU);
    std::vector<std::string> names;
    bool removed = ListNames(path, names);
    for (const std::string& name : names)
        removed = RemoveTree(Join(path, name)) && removed;
    return rmdir(path.c_str()) == 0 && removed;
}

// The files of the tree were synced as they were written; their names
// are synced here, so none is missing once the tree is in place.
void SyncTree(const std::string& folder)
{
    std::vector<std::string> names;
    ListNames(folder, names);
    for (const std::string& name : names) {
        const std::string path = Join(folder, name);
        struct stat info;
        if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            SyncTree(path);
    }
    SyncFolder(CString(folder.c_str()));
}

bool CopyFileBytes(const std::string& from, const std::string& to, mode_t mode)
{
    CWin32File source(from.c_str(), CFile::kModeRead);
    return source.IsOpen() && WriteFileAtomically(CString(to.c_str()), source, int(mode & 07777));
}

// Copies the tree below from into the existing folder to. Files are hard
// links: the new tree replaces a file by renaming over its name, so the old
// tree never sees a change.
bool CopyTree(const std::string& from, const std::string& to)
{
    std::vector<std::string> names;
    if (!ListNames(from, names))
        return false;
    for (const std::string& name : names) {
        const std::string source = Join(from, name);
        const std::string target = Join(to, name);
        struct stat info;
        if (lstat(source.c_str(), &info) != 0)
            return false;
        if (S_ISDIR(info.st_mode)) {
            if (mkdir(target.c_str(), 0700) != 0 || !CopyTree(source, target) ||
                chmod(target.c_str(), info.st_mode & 07777) != 0)
                return false;
        } else if (S_ISREG(info.st_mode)) {
            if (link(source.c_str(), target.c_str()) != 0 && !CopyFileBytes(source, target, info.st_mode))
                return false;
        } else if (S_ISLNK(info.st_mode)) {
            char destination[PATH_MAX];
            const ssize_t length = readlink(source.c_str(), destination, sizeof destination - 1);
            if (length < 0)
                return false;
            destination[length] = 0;
            if (symlink(destination, target.c_str()) != 0)
                return false;
        } else {
            return false; // no package makes devices or pipes, and no copy would be the same
        }
    }
    return true;
}

// Swaps two names in one step where the system and the disk can.
bool Exchange(const std::string& a, const std::string& b, bool& unsupported)
{
#ifdef RENAME_EXCHANGE
    if (renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0)
        return true;
    unsupported = errno == EINVAL || errno == ENOSYS || errno == ENOTSUP || errno == EOPNOTSUPP;
#else
    (void)a;
    (void)b;
    unsupported = true;
#endif
    return false;
}

} // namespace

bool ListNames(const std::string& folder, std::vector<std::string>& names)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return false;
    while (struct dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    }
    closedir(dir);
    return true;
}

CAtomicFolder::CAtomicFolder() : m_lock(-1) {}

CAtomicFolder::~CAtomicFolder()
{
    Abort();
}

bool CAtomicFolder::Open(const CString& target)
{
    Abort();
    m_target = CString();
    std::string path = WithoutTrailingSlash(target.GetText());
    if (path.empty())
        return false;
    struct stat info;
    const bool exists = stat(path.c_str(), &info) == 0;
    if (exists && !S_ISDIR(info.st_mode))
        return false;
    if (exists) {
        char* real = realpath(path.c_str(), nullptr);
        if (!real)
            return false;
        path = real;
        std::free(real);
    }
    std::string folder;
    std::string name;
    SplitPath(path, folder, name);
    if (name.empty() || name == "." || name == "..")
        return false;

    // Shared with other swaps; MendFolderSwaps waits for none of them.
    m_lock = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_lock < 0)
        return false;
    flock(m_lock, LOCK_SH);
    const std::string fresh = Join(folder, SwapName(name, kNewTag));
    RemoveTree(fresh);
    if (mkdir(fresh.c_str(), exists ? 0700 : 0777) != 0) {
        Unlock();
        return false;
    }
    m_target = CString(path.c_str());
    m_new = CString(fresh.c_str());
    if (exists && (!CopyTree(path, fresh) || chmod(fresh.c_str(), info.st_mode & 07777) != 0)) {
        Abort();
        return false;
    }
    return true;
}

bool CAtomicFolder::Commit()
{
    if (m_new.IsEmpty())
        return false;
    const std::string fresh = m_new.GetText();
    const std::string target = m_target.GetText();
    std::string folder;
    std::string name;
    SplitPath(target, folder, name);
    SyncTree(fresh);

    std::string old; // the tree to remove once the new one is in place
    struct stat info;
    bool unsupported = false;
    if (lstat(target.c_str(), &info) != 0) {
        if (std::rename(fresh.c_str(), target.c_str()) != 0) {
            Abort();
            return false;
        }
    } else if (Exchange(fresh, target, unsupported)) {
        old = fresh;
    } else if (unsupported) {
        // Two renames: an interruption between them leaves the old tree
        // aside, which MendFolderSwaps puts back.
        old = Join(folder, SwapName(name, kOldTag));
        if (std::rename(target.c_str(), old.c_str()) != 0) {
            Abort();
            return false;
        }
        if (std::rename(fresh.c_str(), target.c_str()) != 0) {
            std::rename(old.c_str(), target.c_str());
            Abort();
            return false;
        }
    } else {
        Abort();
        return false;
    }
    m_new = CString();
    SyncFolder(CString(folder.c_str()));
    if (!old.empty())
        RemoveTree(old);
    Unlock();
    return true;
}

void CAtomicFolder::Abort()
{
    if (!m_new.IsEmpty()) {
        RemoveTree(m_new.GetText());
        m_new = CString();
    }
    Unlock();
}

void CAtomicFolder::Unlock()
{
    if (m_lock >= 0) {
        close(m_lock);
        m_lock = -1;
    }
}

bool MendFolderSwaps(const CString& folderText, std::vector<CString>& unmended)
{
    unmended.clear();
    const std::string folder = WithoutTrailingSlash(folderText.GetText());
    const int lock = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock < 0)
        return true;
    if (flock(lock, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        close(lock); // a swap is under way: its trees are not leftovers
        return true;
    }
    std::vector<std::string> names;
    ListNames(folder, names);
    bool mended = true;
    for (const std::string& entry : names) {
        std::string name;
        bool old = false;
        if (!ParseSwapName(entry, name, old))
            continue;
        const std::string path = Join(folder, entry);
        const std::string target = Join(folder, name);
        struct stat info;
        if (old && lstat(target.c_str(), &info) != 0 && errno == ENOENT) {
            if (std::rename(path.c_str(), target.c_str()) != 0) {
                mended = false;
                unmended.push_back(CString(name.c_str()));
            }
            continue;
        }
        RemoveTree(path);
    }
    SyncFolder(CString(folder.c_str()));
    close(lock);
    return mended;
}

bool IsFolderSwapName(const CString& name)
{
    std::string unused;
    bool old = false;
    return ParseSwapName(name.GetText(), unused, old);
}

} // namespace Zorlin
