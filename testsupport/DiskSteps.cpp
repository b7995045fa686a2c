// Read without the large-file renames, so that both names of a call can be
// defined here.
#undef _FILE_OFFSET_BITS
#undef _FORTIFY_SOURCE

#include "testsupport/DiskSteps.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace DiskSteps {

namespace {

// Steps the process may still take below g_root; -1 never stops.
long g_stepsLeft = -1;
std::string g_root;
ESyncs g_syncs = ESyncs::kSkipped;
int g_report = -1;
bool g_noExchange = false;

} // namespace

void StopBefore(const std::string& root, long stop, ESyncs syncs, int report)
{
    g_root = root;
    g_syncs = syncs;
    g_report = report;
    g_stepsLeft = stop;
}

void NeverStop()
{
    g_stepsLeft = -1;
}

void SetNoExchange(bool noExchange)
{
    g_noExchange = noExchange;
}

namespace {

void Step(const char* call, const char* path)
{
    if (g_stepsLeft < 0 || !path || std::string(path).rfind(g_root, 0) != 0)
        return;
    if (g_stepsLeft == 0) {
        if (g_report >= 0) {
            const std::string said = std::string(call) + " " + path;
            if (syscall(SYS_write, long(g_report), said.c_str(), long(said.size())) < 0)
                _exit(kStoppedStatus + 1);
        }
        _exit(kStoppedStatus);
    }
    --g_stepsLeft;
}

int OpenAt(int folder, const char* path, int flags, va_list rest)
{
    mode_t mode = 0;
    if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE)
        mode = mode_t(va_arg(rest, int));
    if (flags & O_CREAT)
        Step("open", path);
    return int(syscall(SYS_openat, long(folder), path, long(flags), long(mode)));
}

int RenameAt(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags)
{
    if (g_noExchange && (flags & RENAME_EXCHANGE)) {
        errno = EINVAL;
        return -1;
    }
    Step("rename", to);
    return int(syscall(SYS_renameat2, long(fromFolder), from, long(toFolder), to, long(flags)));
}

} // namespace

} // namespace DiskSteps

using DiskSteps::OpenAt;
using DiskSteps::RenameAt;
using DiskSteps::Step;

extern "C" {

int open(const char* path, int flags, ...)
{
    va_list rest;
    va_start(rest, flags);
    const int handle = OpenAt(AT_FDCWD, path, flags, rest);
    va_end(rest);
    return handle;
}

// The client's code is built for large files and calls these names.
int open64(const char* path, int flags, ...) __attribute__((alias("open")));

int openat(int folder, const char* path, int flags, ...)
{
    va_list rest;
    va_start(rest, flags);
    const int handle = OpenAt(folder, path, flags, rest);
    va_end(rest);
    return handle;
}

int openat64(int folder, const char* path, int flags, ...) __attribute__((alias("openat")));

int mkdir(const char* path, mode_t mode) noexcept
{
    Step("mkdir", path);
    return int(syscall(SYS_mkdirat, long(AT_FDCWD), path, long(mode)));
}

int rmdir(const char* path) noexcept
{
    Step("rmdir", path);
    return int(syscall(SYS_unlinkat, long(AT_FDCWD), path, long(AT_REMOVEDIR)));
}

int unlink(const char* path) noexcept
{
    Step("unlink", path);
    return int(syscall(SYS_unlinkat, long(AT_FDCWD), path, 0L));
}

int link(const char* from, const char* to) noexcept
{
    Step("link", to);
    return int(syscall(SYS_linkat, long(AT_FDCWD), from, long(AT_FDCWD), to, 0L));
}

int symlink(const char* destination, const char* path) noexcept
{
    Step("symlink", path);
    return int(syscall(SYS_symlinkat, destination, long(AT_FDCWD), path));
}

int rename(const char* from, const char* to) noexcept
{
    return RenameAt(AT_FDCWD, from, AT_FDCWD, to, 0);
}

int renameat(int fromFolder, const char* from, int toFolder, const char* to) noexcept
{
    return RenameAt(fromFolder, from, toFolder, to, 0);
}

int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) noexcept
{
    return RenameAt(fromFolder, from, toFolder, to, flags);
}

int fsync(int handle)
{
    if (DiskSteps::g_stepsLeft >= 0) {
        if (DiskSteps::g_syncs == DiskSteps::ESyncs::kSkipped)
            return 0;
        char link[64], path[4096];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", handle);
        const ssize_t length = readlink(link, path, sizeof path - 1);
        if (length > 0) {
            path[length] = '\0';
            Step("fsync", path);
        }
    }
    return int(syscall(SYS_fsync, long(handle)));
}

} // extern "C"
