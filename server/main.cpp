// gridmoor-server: hosts online play for Rookwell clients.

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "server/GridmoorServer.h"
#include "server/ServerOptions.h"

namespace {

// At most limit bytes of a file; false when it cannot be read.
bool ReadSmallFile(const std::string& path, size_t limit, std::string& out)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    out.clear();
    char block[4096];
    ssize_t got = 0;
    while (out.size() < limit && (got = read(fd, block, sizeof(block))) > 0)
        out.append(block, size_t(got));
    bool ok = got >= 0;
    close(fd);
    if (out.size() > limit)
        out.resize(limit);
    return ok;
}

std::string ProgramFolder()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return ".";
    std::string exe(path, size_t(n));
    size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "." : exe.substr(0, slash);
}

// Thousands of players need thousands of descriptors.
void RaiseDescriptorLimit()
{
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int main(int argc, char** argv)
{
    SServerOptions options;
    std::string error;
    if (!ParseServerOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "gridmoor-server: %s\n%s", error.c_str(), ServerUsage());
        return 2;
    }
    if (options.help) {
        std::fputs(ServerUsage(), stdout);
        return 0;
    }
    if (options.port < 0) {
        std::string settingsPath = ProgramFolder() + "/cfg/app.cfg";
        std::string settings;
        if (ReadSmallFile(settingsPath, 1 << 20, settings))
            options.port = ReadConfiguredPort(settings);
        if (options.port < 0) {
            std::fprintf(stderr, "gridmoor-server: no .gridmoor.port in %s; give --port\n", settingsPath.c_str());
            return 2;
        }
    }
    std::string motd;
    if (!options.motdPath.empty() && !ReadSmallFile(options.motdPath, 16384, motd)) {
        std::fprintf(stderr, "gridmoor-server: cannot read %s: %s\n", options.motdPath.c_str(), std::strerror(errno));
        return 2;
    }
    RaiseDescriptorLimit();
    CGridmoorServer server(options, motd);
    if (!server.Open(error)) {
        std::fprintf(stderr, "gridmoor-server: %s\n", error.c_str());
        return 1;
    }
    return server.Run();
}
