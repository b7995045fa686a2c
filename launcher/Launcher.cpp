#include "launcher/Launcher.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "launcher/LinkPolicy.h"
#include "platform/SystemPlaces.h"

extern char** environ;

std::string ProgramFolder()
{
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return std::string();
    std::string path(buffer, size_t(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool RunOpener(const char* opener, const std::string& target)
{
    std::string program = opener;
    char* args[] = {&program[0], const_cast<char*>(target.c_str()), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, opener, nullptr, nullptr, args, environ) != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int LauncherMain(int argc, char** argv)
{
    if (argc < 2 || !argv[1][0])
        return 1;
    std::string target;
    // The client keeps its user's files in their own data folder when its
    // program folder is not a portable one, and so may open documents there.
    const std::string folder = ProgramFolder();
    const Zorlin::CString own =
        IsPortableProgramFolder(Zorlin::CString(folder.c_str())) ? Zorlin::CString() : UserDataFolder();
    if (LinkPolicy::Classify(argv[1], folder.c_str(), own.GetText(), target) == LinkPolicy::kRefused) {
        std::fprintf(stderr, "linkhop: refused to open \"%s\": only web pages, mail addresses "
                             "and documents of the program folder are opened\n", argv[1]);
        return 1;
    }
    if (RunOpener("xdg-open", target))
        return 1;
    std::vector<std::string> browsers;
    const char* named = std::getenv("BROWSER");
    std::string list = named ? named : "";
    for (size_t start = 0; start <= list.size();) {
        size_t colon = list.find(':', start);
        std::string one = list.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!one.empty())
            browsers.push_back(one);
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    browsers.push_back("x-www-browser");
    for (const std::string& browser : browsers)
        if (RunOpener(browser.c_str(), target))
            return 1;
    std::fprintf(stderr, "linkhop: neither xdg-open nor a browser could open \"%s\"\n", target.c_str());
    return LinkPolicy::kNotOpened;
}
