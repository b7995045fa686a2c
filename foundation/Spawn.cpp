#include "foundation/Spawn.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Zorlin {

namespace {

bool IsDisplayVariable(const char* entry)
{
    return std::strncmp(entry, "DISPLAY=", 8) == 0 || std::strncmp(entry, "WAYLAND_DISPLAY=", 16) == 0;
}

CString DescribeFailure(const CString& program, int code)
{
    struct stat info;
    const bool exists = stat(program.GetText(), &info) == 0;
    CString text = program;
    if (code == ENOENT && !exists)
        text += " is missing.";
    else if (code == ENOENT)
        text += " can not be run: a program it needs is missing.";
    else if (code == EACCES)
        text += " is not allowed to run.";
    else if (code == ENOEXEC)
        text += " is not a program for this computer.";
    else
        text += CString(" can not be run: ") + std::strerror(code) + ".";
    return text;
}

// Waits for pid to end; false when it still runs after limitMs.
bool WaitForEnd(pid_t pid, int limitMs, int& status)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    // The kernel tells when the process ends; without that, ask often.
    const int handle = int(syscall(SYS_pidfd_open, pid, 0));
    for (;;) {
        const pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            break;
        if (ended < 0 && errno != EINTR) {
            status = -1; // reaped by someone else: how it ended is not known
            break;
        }
        const long left =
            long(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0) {
            if (handle >= 0)
                close(handle);
            return false;
        }
        if (handle >= 0) {
            struct pollfd watch = {handle, POLLIN, 0};
            poll(&watch, 1, int(left));
        } else {
            struct timespec pause = {0, (left < 5 ? left : 5) * 1000000L};
            nanosleep(&pause, nullptr);
        }
    }
    if (handle >= 0)
        close(handle);
    return true;
}

void Reap(pid_t pid, int& status)
{
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

pid_t SpawnProgram(const std::vector<CString>& argv, const SSpawnOptions& options, CString& error)
{
    if (argv.empty() || argv[0].IsEmpty()) {
        error = "No program was named.";
        return -1;
    }
    // The program's path is taken after the change of folder.
    CString program = argv[0];
    char here[4096];
    if (!options.folder.IsEmpty() && program[0] != '/' && getcwd(here, sizeof here))
        program = CString(here) + "/" + program;
    std::vector<char*> arguments;
    for (const CString& argument : argv)
        arguments.push_back(const_cast<char*>(argument.GetText()));
    arguments.push_back(nullptr);
    std::vector<char*> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        if (!options.withoutDisplay || !IsDisplayVariable(*entry))
            environment.push_back(*entry);
    }
    environment.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        error = argv[0] + " can not be run: out of memory.";
        return -1;
    }
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        error = argv[0] + " can not be run: out of memory.";
        return -1;
    }
    // Signals we ignore (SIGPIPE) or block stay ours, not the program's.
    sigset_t defaults;
    sigset_t none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&none);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (options.newSession)
        flags |= POSIX_SPAWN_SETSID;
    else if (options.newGroup)
        flags |= POSIX_SPAWN_SETPGROUP;
    bool ready = posix_spawnattr_setflags(&attributes, flags) == 0 &&
                 posix_spawnattr_setsigdefault(&attributes, &defaults) == 0 &&
                 posix_spawnattr_setsigmask(&attributes, &none) == 0 && posix_spawnattr_setpgroup(&attributes, 0) == 0;
    if (ready && !options.folder.IsEmpty())
        ready = posix_spawn_file_actions_addchdir_np(&actions, options.folder.GetText()) == 0;
    if (ready && options.quiet) {
        ready = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
                posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
                posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) == 0;
    }
    pid_t pid = -1;
    // glibc's posix_spawn reports a failed exec as its result and, unlike
    // execvp, never retries a file it cannot run as a shell script.
    const int code =
        ready ? posix_spawn(&pid, program.GetText(), &actions, &attributes, arguments.data(), environment.data())
              : EINVAL;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (code != 0) {
        error = DescribeFailure(argv[0], code);
        return -1;
    }
    return pid;
}

SProgramEnd RunProgram(const std::vector<CString>& argv, const SSpawnOptions& options, int limitMs)
{
    SProgramEnd end;
    SSpawnOptions own = options;
    own.newGroup = true;
    const pid_t pid = SpawnProgram(argv, own, end.error);
    if (pid < 0)
        return end;
    end.started = true;
    int status = 0;
    if (!WaitForEnd(pid, limitMs, status)) {
        // The group goes too: a script's children must not outlive it.
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
        Reap(pid, status);
        end.timedOut = true;
        return end;
    }
    if (status != -1 && WIFEXITED(status))
        end.exitCode = WEXITSTATUS(status);
    else if (status != -1 && WIFSIGNALED(status))
        end.signal = WTERMSIG(status);
    return end;
}

} // namespace Zorlin
