#include "updater/ClientLaunch.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <unistd.h>

#include "foundation/Spawn.h"
#include "foundation/URL.h"

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
    // The client finds its files from its own folder; starting it there also
    // matches what it was started with before the update.
    Zorlin::SSpawnOptions options;
    options.folder = folder;
    options.newSession = true;
    CString error;
    return Zorlin::SpawnProgram({folder + "/" + name}, options, error) > 0;
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
