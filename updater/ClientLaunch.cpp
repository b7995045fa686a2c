#include "updater/ClientLaunch.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <spawn.h>
#include <unistd.h>

#include "foundation/URL.h"

extern char** environ;

using Zorlin::CString;
using Zorlin::CURL;

CString GetProgramFolder()
{
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return CString(".");
    buffer[n] = 0;
    CString path(buffer);
    int slash = path.ReverseFind('/');
    if (slash <= 0)
        return CString("/");
    return path.Mid(0, slash - 1);
}

bool StartClient(const CString& folder, const CString& name)
{
    if (!CURL::IsPlainName(name))
        return false;
    CString program = folder + "/" + name;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return false;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    // The client finds its files from its own folder; starting it there also
    // matches what it was started with before the update.
    bool ready = posix_spawn_file_actions_addchdir_np(&actions, folder.GetText()) == 0 &&
                 posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID) == 0;
    pid_t pid = 0;
    char* argv[] = {const_cast<char*>(program.GetText()), nullptr};
    // glibc reports a failed exec here, so a missing or unrunnable client is seen.
    bool started = ready && posix_spawn(&pid, program.GetText(), &actions, &attributes, argv, environ) == 0;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return started;
}

void WaitForParentToEnd(pid_t parent, int limitMs)
{
    const int stepMs = 20;
    for (int waited = 0; waited < limitMs; waited += stepMs) {
        if (getppid() != parent)
            return;
        struct timespec pause = {0, stepMs * 1000000L};
        while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
    }
}
