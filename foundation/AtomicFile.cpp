#include "foundation/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/File.h"

namespace Zorlin {

namespace {

std::atomic<unsigned> g_serial{0};

// The path a symbolic link leads to, so the link itself survives.
CString FollowLink(const CString& path)
{
    struct stat info;
    if (lstat(path.GetText(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char* real = realpath(path.GetText(), nullptr);
    if (!real)
        return path;
    CString resolved(real);
    std::free(real);
    return resolved;
}

void SplitPath(const CString& path, CString& folder, CString& name)
{
    int slash = -1;
    for (int i = path.GetLength() - 1; i >= 0; --i) {
        if (path[i] == '/') {
            slash = i;
            break;
        }
    }
    if (slash < 0) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? CString("/") : path.Mid(0, slash - 1);
        name = path.Mid(slash + 1);
    }
}

CString TemporaryName(const CString& folder, const CString& name)
{
    // Short enough for any file system's name limit.
    const int keep = name.GetLength() < 160 ? name.GetLength() : 160;
    CString temporary(folder);
    if (!temporary.IsEmpty() && temporary[temporary.GetLength() - 1] != '/')
        temporary.Append('/');
    temporary.Append('.');
    temporary.Append(name.Mid(0, keep - 1));
    temporary.AppendFormat(".tmp-%ld-%u", long(getpid()), g_serial.fetch_add(1));
    return temporary;
}

} // namespace

void SyncFolder(const CString& folder)
{
    const int handle = open(folder.GetText(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        return;
    fsync(handle);
    close(handle);
}

CAtomicFile::CAtomicFile() : m_handle(-1), m_failed(false), m_permissions(-1), m_durable(true) {}

CAtomicFile::~CAtomicFile()
{
    Abort();
}

bool CAtomicFile::Open(const CString& path, int permissions)
{
    Abort();
    m_failed = false;
    if (path.IsEmpty())
        return false;
    m_target = FollowLink(path);

    struct stat existing;
    const bool exists = stat(m_target.GetText(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return false;
    m_permissions = permissions;
    if (m_permissions == -1 && exists)
        m_permissions = int(existing.st_mode & 07777);

    CString folder;
    CString name;
    SplitPath(m_target, folder, name);
    if (name.IsEmpty())
        return false;
    // Every writer of the file clears what interrupted writes left, so no
    // full-size copy lingers beside it.
    RemoveStrayTemporaries(m_target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        CString temporary = TemporaryName(folder, name);
        m_handle = open(temporary.GetText(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (m_handle >= 0) {
            m_temporary = temporary;
            break;
        }
        if (errno != EEXIST)
            return false;
    }
    if (m_handle < 0)
        return false;
    if (m_permissions != -1 && fchmod(m_handle, mode_t(m_permissions)) != 0) {
        Abort();
        return false;
    }
    if (exists && fchown(m_handle, existing.st_uid, existing.st_gid) != 0) {
        // Only a privileged writer can give a file away; the bytes matter more.
    }
    return true;
}

bool CAtomicFile::Write(const void* data, size_t size)
{
    if (m_handle < 0 || m_failed)
        return false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const size_t piece = size < size_t(1) << 30 ? size : size_t(1) << 30;
        const ssize_t wrote = write(m_handle, bytes, piece);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            m_failed = true;
            return false;
        }
        bytes += wrote;
        size -= size_t(wrote);
    }
    return true;
}

bool CAtomicFile::WriteFrom(CFile& source)
{
    if (!source.IsOpen() || !source.IsReadable()) {
        m_failed = true;
        return false;
    }
    unsigned char block[16384];
    // Up to the size the source has now: a device would never end.
    const uint64_t size = source.GetSize(), at = source.GetPosition();
    uint64_t left = size > at ? size - at : 0;
    while (left > 0 && source.Read(block, unsigned(left < sizeof block ? left : sizeof block))) {
        const uint32_t got = source.GetLastReadCount();
        if (got == 0 || got > sizeof block)
            break;
        left -= got;
        if (!Write(block, got))
            return false;
    }
    // A source that stops before its end (a read error, a damaged archive
    // entry) would leave a truncated file in place of a whole one.
    if (source.GetPosition() < source.GetSize())
        m_failed = true;
    return !m_failed;
}

bool CAtomicFile::Commit()
{
    if (m_handle < 0 || m_failed) {
        Abort();
        return false;
    }
    // Sync before the rename: otherwise a crash can leave the new name on
    // an empty file.
    const bool synced = !m_durable || fsync(m_handle) == 0;
    const bool closed = close(m_handle) == 0;
    m_handle = -1;
    if (!synced || !closed || std::rename(m_temporary.GetText(), m_target.GetText()) != 0) {
        Abort();
        return false;
    }
    m_temporary = CString();
    CString folder;
    CString name;
    SplitPath(m_target, folder, name);
    if (m_durable)
        SyncFolder(folder);
    return true;
}

void CAtomicFile::Abort()
{
    if (m_handle >= 0) {
        close(m_handle);
        m_handle = -1;
    }
    if (!m_temporary.IsEmpty()) {
        unlink(m_temporary.GetText());
        m_temporary = CString();
    }
}

// The process number of a temporary ".NAME.tmp-PID-N" that a writer made,
// 0 when entry is not one. prefix, when not empty, is ".NAME.tmp-" for one
// NAME, cut as TemporaryName cuts it. name, when given, receives NAME.
static long StrayWriter(const char* entry, const CString& prefix, CString* name = nullptr)
{
    const char* p = nullptr;
    if (!prefix.IsEmpty()) {
        if (std::strncmp(entry, prefix.GetText(), size_t(prefix.GetLength())) != 0)
            return 0;
        p = entry + prefix.GetLength();
    } else {
        const char* tag = entry[0] == '.' && entry[1] ? std::strstr(entry + 2, ".tmp-") : nullptr;
        // The last ".tmp-" is the writer's: NAME may hold one of its own.
        for (const char* next = tag; next; next = std::strstr(next + 1, ".tmp-"))
            tag = next;
        if (!tag)
            return 0;
        p = tag + 5;
    }
    char* end = nullptr;
    const long pid = std::strtol(p, &end, 10);
    if (end == p || *end != '-' || pid <= 0)
        return 0;
    const char* serial = end + 1;
    std::strtoul(serial, &end, 10);
    if (end == serial || *end != 0)
        return 0;
    if (name) {
        const char* tag = p - 5;
        *name = CString();
        for (const char* c = entry + 1; c < tag; ++c)
            name->Append(*c);
    }
    return pid;
}

static bool WriterGone(long pid)
{
    return pid != long(getpid()) && kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

long TemporaryOfGoneWriter(const char* entry, CString& name)
{
    const long pid = StrayWriter(entry, CString(), &name);
    return pid > 0 && WriterGone(pid) ? pid : 0;
}

// Removes from folder the temporaries (of prefix's name, or of any name)
// whose writers no longer run.
static void RemoveStrays(const CString& folder, const CString& prefix)
{
    DIR* dir = opendir(folder.GetText());
    if (!dir)
        return;
    std::vector<CString> strays;
    while (struct dirent* entry = readdir(dir)) {
        const long pid = StrayWriter(entry->d_name, prefix);
        if (pid > 0 && WriterGone(pid))
            strays.push_back(CString(entry->d_name));
    }
    closedir(dir);
    for (const CString& stray : strays) {
        CString full(folder);
        if (!full.IsEmpty() && full[full.GetLength() - 1] != '/')
            full.Append('/');
        full.Append(stray);
        struct stat info;
        if (lstat(full.GetText(), &info) == 0 && S_ISREG(info.st_mode))
            unlink(full.GetText());
    }
}

void RemoveStrayTemporaries(const CString& path)
{
    const CString target = FollowLink(path);
    CString folder;
    CString name;
    SplitPath(target, folder, name);
    if (name.IsEmpty())
        return;
    const int keep = name.GetLength() < 160 ? name.GetLength() : 160;
    CString prefix(".");
    prefix.Append(name.Mid(0, keep - 1));
    prefix.Append(".tmp-");
    RemoveStrays(folder, prefix);
}

void RemoveStrayTemporariesIn(const CString& folder)
{
    RemoveStrays(folder, CString());
}

bool WriteFileAtomically(const CString& path, const void* data, size_t size, int permissions)
{
    CAtomicFile file;
    return file.Open(path, permissions) && file.Write(data, size) && file.Commit();
}

bool WriteFileAtomically(const CString& path, CFile& source, int permissions)
{
    CAtomicFile file;
    return file.Open(path, permissions) && file.WriteFrom(source) && file.Commit();
}

} // namespace Zorlin
