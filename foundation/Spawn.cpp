#include "foundation/Spawn.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Zorlin {

namespace {

// What the kernel sends the keeper when we end.
const int kKeeperSignal = SIGTERM;

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

void CloseEnd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// A pipe whose ends are close-on-exec and above the standard streams, so
// that putting the child's ends in place never overwrites another one.
bool MakePipe(int ends[2])
{
    if (pipe2(ends, O_CLOEXEC) != 0)
        return false;
    for (int i = 0; i < 2; ++i) {
        if (ends[i] > 2)
            continue;
        const int moved = fcntl(ends[i], F_DUPFD_CLOEXEC, 3);
        close(ends[i]);
        ends[i] = moved;
    }
    if (ends[0] >= 0 && ends[1] >= 0)
        return true;
    CloseEnd(ends[0]);
    CloseEnd(ends[1]);
    return false;
}

// Everything the child needs, made before the fork: between the fork and
// the exec only async-signal-safe calls are made (other threads of ours may
// hold locks the child would wait on for ever).
struct SChildSetup {
    const char* program = nullptr;
    char* const* arguments = nullptr;
    char* const* environment = nullptr;
    const char* folder = nullptr;
    int streams[3] = {-1, -1, -1};
    bool newSession = false;
    bool newGroup = false;
    bool endsWithUs = false;
    bool quiet = false;
    pid_t parent = 0;
};

[[noreturn]] void RunChild(const SChildSetup& setup, int report)
{
    // Signals we ignore (SIGPIPE) or block stay ours, not the program's; a
    // hang-up must reach it (the kernel's word that its group was orphaned
    // while stopped).
    struct sigaction byDefault;
    std::memset(&byDefault, 0, sizeof byDefault);
    byDefault.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &byDefault, nullptr);
    sigaction(SIGHUP, &byDefault, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    bool ok = true;
    if (setup.newSession)
        ok = setsid() >= 0;
    else if (setup.newGroup)
        ok = setpgid(0, 0) == 0;
    if (ok && setup.endsWithUs) {
        ok = prctl(PR_SET_PDEATHSIG, SIGKILL) == 0;
        // We may have ended before the signal was asked for.
        if (ok && getppid() != setup.parent)
            _exit(127);
    }
    for (int target = 0; ok && target < 3; ++target) {
        if (setup.streams[target] >= 0)
            ok = dup2(setup.streams[target], target) == target;
    }
    if (ok && setup.quiet) {
        const int null = open("/dev/null", O_RDWR);
        ok = null >= 0 && dup2(null, 0) == 0 && dup2(null, 1) == 1 && dup2(null, 2) == 2;
        if (null > 2)
            close(null);
    }
    if (ok && setup.folder)
        ok = chdir(setup.folder) == 0;
    if (ok)
        execve(setup.program, setup.arguments, setup.environment);
    const int code = errno;
    ssize_t written = write(report, &code, sizeof code);
    (void)written;
    _exit(127);
}

// The keeper's group, for its signal handler.
pid_t g_keptGroup = 0;

void EndKeptGroup(int)
{
    kill(-g_keptGroup, SIGKILL);
    _exit(0);
}

// Between the fork and the end only async-signal-safe calls, as in RunChild.
[[noreturn]] void KeepGroup(pid_t group, pid_t starter)
{
    g_keptGroup = group;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig)
        sigaction(sig, &action, nullptr);
    // The hang-up of an orphaned group is not its end: its end is ours.
    action.sa_handler = SIG_IGN;
    sigaction(SIGHUP, &action, nullptr);
    action.sa_handler = EndKeptGroup;
    sigaction(kKeeperSignal, &action, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (setpgid(0, group) != 0)
        _exit(0);
    prctl(PR_SET_NAME, "group keeper");
    if (prctl(PR_SET_PDEATHSIG, kKeeperSignal) != 0 || getppid() != starter)
        EndKeptGroup(0);
    // It holds nothing of ours: no pipe of an engine stays open through it.
    // The last to close is the starter's word that the keeper is ready.
    if (syscall(SYS_close_range, 0u, ~0u, 0) != 0) {
        for (int fd = 0; fd < 1024; ++fd)
            close(fd);
    }
    for (;;)
        pause();
}

pid_t StartKeeper(pid_t group)
{
    int ready[2];
    if (!MakePipe(ready))
        return -1;
    const pid_t starter = getpid();
    const pid_t keeper = fork();
    if (keeper == 0)
        KeepGroup(group, starter);
    CloseEnd(ready[1]);
    if (keeper > 0) {
        char none;
        while (read(ready[0], &none, 1) < 0 && errno == EINTR) {
        }
    }
    CloseEnd(ready[0]);
    return keeper;
}

} // namespace

void StopGroup(pid_t group, pid_t keeper, bool stopped)
{
    if (group <= 0)
        return;
    kill(-group, stopped ? SIGSTOP : SIGCONT);
    // The keeper stays awake, to end the group when we end.
    if (stopped && keeper > 0)
        kill(keeper, SIGCONT);
}

void EndGroup(pid_t group, pid_t& keeper)
{
    if (keeper <= 0)
        return;
    // The keeper, not yet reaped, holds the group's number: no other group
    // can have it.
    if (group > 0)
        kill(-group, SIGKILL);
    kill(keeper, SIGKILL);
    int status = 0;
    Reap(keeper, status);
    keeper = -1;
}

pid_t SpawnProgram(const std::vector<CString>& argv, const SSpawnOptions& options, CString& error,
                   SChildPipes* pipes, pid_t* keeper)
{
    if (keeper)
        *keeper = -1;
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

    SChildSetup setup;
    setup.program = program.GetText();
    setup.arguments = arguments.data();
    setup.environment = environment.data();
    setup.folder = options.folder.IsEmpty() ? nullptr : options.folder.GetText();
    setup.newSession = options.newSession;
    setup.newGroup = options.newGroup;
    setup.endsWithUs = options.endsWithUs;
    setup.quiet = options.quiet && !pipes;
    setup.parent = getpid();
    int input[2] = {-1, -1}, output[2] = {-1, -1}, errors[2] = {-1, -1}, report[2] = {-1, -1};
    bool ready = MakePipe(report);
    if (ready && pipes) {
        ready = MakePipe(input) && MakePipe(output) && MakePipe(errors);
        setup.streams[0] = input[0];
        setup.streams[1] = output[1];
        setup.streams[2] = errors[1];
    }
    const pid_t pid = ready ? fork() : -1;
    if (pid == 0)
        RunChild(setup, report[1]);
    const int forkError = errno;
    CloseEnd(report[1]);
    CloseEnd(input[0]);
    CloseEnd(output[1]);
    CloseEnd(errors[1]);
    // The report pipe closes at the exec; a failed one writes its errno first.
    int code = ready ? (pid < 0 ? forkError : 0) : EMFILE;
    if (pid > 0) {
        int told = 0;
        ssize_t n;
        while ((n = read(report[0], &told, sizeof told)) < 0 && errno == EINTR) {
        }
        if (n == ssize_t(sizeof told)) {
            code = told;
            int status = 0;
            Reap(pid, status);
        }
    }
    CloseEnd(report[0]);
    if (code != 0) {
        CloseEnd(input[1]);
        CloseEnd(output[0]);
        CloseEnd(errors[0]);
        error = DescribeFailure(argv[0], code);
        return -1;
    }
    if (pipes) {
        pipes->input = input[1];
        pipes->output = output[0];
        pipes->error = errors[0];
    }
    if (keeper && options.newGroup && options.endsWithUs && !options.newSession)
        *keeper = StartKeeper(pid);
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
