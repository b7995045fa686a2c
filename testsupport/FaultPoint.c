// A fault point for tests, loaded into a real program with LD_PRELOAD: it
// ends the process with _exit, as a kill or a power cut would, just before
// the Nth step that changes a file: an open for writing, a write to a
// regular file, a rename, a removal or a new folder.
//
//   ROOKWELL_FAULT_STEP=N      end before step N (from 1); unset: never
//   ROOKWELL_FAULT_PARENT_FD=F write one byte to descriptor F when the
//                              program first asks for its parent, so a test
//                              that plays the parent knows when to go away
//   ROOKWELL_FAULT_FULL_FOLDER=F the disk of folder F is full while the
//                              file "F/disk full" exists: every write to a
//                              regular file below F fails with ENOSPC
//   ROOKWELL_FAULT_CALL=C      with ROOKWELL_FAULT_PATH=P: end at the first
//   ROOKWELL_FAULT_PATH=P      call C ("fsync" or "rename") on a path that
//                              holds P (for a rename, either of its paths),
//                              before the call is made
//
// All are taken out of the environment at load, so programs this one
// starts run untouched.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

enum { kFaultExitCode = 86 };

static long g_stopAt;
static long g_steps;
static int g_parentFd = -1;
static char g_fullFolder[4096];
static char g_fullMarker[4096 + 16];
static char g_faultCall[16];
static char g_faultPath[4096];

__attribute__((constructor)) static void LoadFaultPoint(void)
{
    const char* step = getenv("ROOKWELL_FAULT_STEP");
    const char* fd = getenv("ROOKWELL_FAULT_PARENT_FD");
    g_stopAt = step ? atol(step) : 0;
    g_parentFd = fd ? atoi(fd) : -1;
    const char* full = getenv("ROOKWELL_FAULT_FULL_FOLDER");
    if (full) {
        snprintf(g_fullFolder, sizeof g_fullFolder, "%s", full);
        snprintf(g_fullMarker, sizeof g_fullMarker, "%s/disk full", full);
    }
    unsetenv("ROOKWELL_FAULT_FULL_FOLDER");
    const char* call = getenv("ROOKWELL_FAULT_CALL");
    const char* path = getenv("ROOKWELL_FAULT_PATH");
    if (call && path && path[0]) {
        snprintf(g_faultCall, sizeof g_faultCall, "%s", call);
        snprintf(g_faultPath, sizeof g_faultPath, "%s", path);
    }
    unsetenv("ROOKWELL_FAULT_CALL");
    unsetenv("ROOKWELL_FAULT_PATH");
    if (g_parentFd >= 0)
        fcntl(g_parentFd, F_SETFD, FD_CLOEXEC);
    unsetenv("ROOKWELL_FAULT_STEP");
    unsetenv("ROOKWELL_FAULT_PARENT_FD");
}

static void Step(void)
{
    if (g_stopAt > 0 && ++g_steps >= g_stopAt)
        _exit(kFaultExitCode);
}

static void* Next(const char* name)
{
    return dlsym(RTLD_NEXT, name);
}

static void CallOnPath(const char* call, const char* path)
{
    if (g_faultCall[0] && path && strcmp(call, g_faultCall) == 0 && strstr(path, g_faultPath))
        _exit(kFaultExitCode);
}

static int Writes(int flags)
{
    return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND)) != 0;
}

pid_t getppid(void)
{
    pid_t (*real)(void) = (pid_t(*)(void))Next("getppid");
    pid_t parent = real();
    if (g_parentFd >= 0) {
        char byte = 1;
        ssize_t ignored = write(g_parentFd, &byte, 1);
        (void)ignored;
        close(g_parentFd);
        g_parentFd = -1;
    }
    return parent;
}

// The mode argument is there only when a file may be made.
#define TAKE_MODE(flags, mode)                                                                                    \
    do {                                                                                                          \
        if (((flags) & O_CREAT) || ((flags) & O_TMPFILE) == O_TMPFILE) {                                          \
            va_list list;                                                                                         \
            va_start(list, flags);                                                                                \
            mode = va_arg(list, mode_t);                                                                          \
            va_end(list);                                                                                         \
        }                                                                                                         \
    } while (0)

typedef int (*OpenFunction)(const char*, int, ...);
typedef int (*OpenAtFunction)(int, const char*, int, ...);

enum { kNoFolder = -1000 };

static int OpenThrough(const char* name, int folder, const char* path, int flags, mode_t mode)
{
    if (Writes(flags))
        Step();
    if (folder == kNoFolder)
        return ((OpenFunction)Next(name))(path, flags, mode);
    return ((OpenAtFunction)Next(name))(folder, path, flags, mode);
}

int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    TAKE_MODE(flags, mode);
    return OpenThrough("open", kNoFolder, path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    mode_t mode = 0;
    TAKE_MODE(flags, mode);
    return OpenThrough("open64", kNoFolder, path, flags, mode);
}

int openat(int folder, const char* path, int flags, ...)
{
    mode_t mode = 0;
    TAKE_MODE(flags, mode);
    return OpenThrough("openat", folder, path, flags, mode);
}

int openat64(int folder, const char* path, int flags, ...)
{
    mode_t mode = 0;
    TAKE_MODE(flags, mode);
    return OpenThrough("openat64", folder, path, flags, mode);
}

// The path descriptor fd was opened with, as the system names it now.
static int PathOf(int fd, char* path, size_t size)
{
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t length = readlink(link, path, size - 1);
    if (length <= 0)
        return 0;
    path[length] = '\0';
    return 1;
}

int fsync(int fd)
{
    char path[4096];
    if (g_faultCall[0] && PathOf(fd, path, sizeof path))
        CallOnPath("fsync", path);
    int (*real)(int) = (int (*)(int))Next("fsync");
    return real(fd);
}

// Whether fd is a regular file below the full folder while it is full.
static int DiskFull(int fd)
{
    struct stat info;
    if (!g_fullMarker[0] || access(g_fullMarker, F_OK) != 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return 0;
    // The folder may be made after the start: resolved when it is full.
    char path[4096], folder[4096];
    if (!PathOf(fd, path, sizeof path) || !realpath(g_fullFolder, folder))
        return 0;
    size_t size = strlen(folder);
    return strncmp(path, folder, size) == 0 && path[size] == '/';
}

ssize_t write(int fd, const void* data, size_t size)
{
    struct stat info;
    if (g_stopAt > 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        Step();
    if (DiskFull(fd)) {
        errno = ENOSPC;
        return -1;
    }
    ssize_t (*real)(int, const void*, size_t) = (ssize_t(*)(int, const void*, size_t))Next("write");
    return real(fd, data, size);
}

int rename(const char* from, const char* to)
{
    CallOnPath("rename", from);
    CallOnPath("rename", to);
    Step();
    int (*real)(const char*, const char*) = (int (*)(const char*, const char*))Next("rename");
    return real(from, to);
}

int renameat(int fromFolder, const char* from, int toFolder, const char* to)
{
    CallOnPath("rename", from);
    CallOnPath("rename", to);
    Step();
    int (*real)(int, const char*, int, const char*) = (int (*)(int, const char*, int, const char*))Next("renameat");
    return real(fromFolder, from, toFolder, to);
}

int unlink(const char* path)
{
    Step();
    int (*real)(const char*) = (int (*)(const char*))Next("unlink");
    return real(path);
}

int unlinkat(int folder, const char* path, int flags)
{
    Step();
    int (*real)(int, const char*, int) = (int (*)(int, const char*, int))Next("unlinkat");
    return real(folder, path, flags);
}

int mkdir(const char* path, mode_t mode)
{
    Step();
    int (*real)(const char*, mode_t) = (int (*)(const char*, mode_t))Next("mkdir");
    return real(path, mode);
}
