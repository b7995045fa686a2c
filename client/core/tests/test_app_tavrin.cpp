// The real tavrin program in a temporary copy of the program folder, under
// a private X server: it starts with the desktop's user, draws its frame
// without loading the GL driver behind the start page, and on SIGTERM (the
// desktop ending the session) closes as the close box does, saving the
// window and the settings.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "foundation/Config.h"
#include "testsupport/XvfbDisplay.h"
#include "client/view/tests/support/GuiLeaks.h"

extern char** environ;

namespace {

std::string BuildFolder()
{
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string path(buffer, n > 0 ? size_t(n) : 0);
    path = path.substr(0, path.rfind('/'));
    return path.substr(0, path.rfind('/'));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// xdotool on the private display; its output.
std::string XTool(const std::string& display, const std::string& arguments)
{
    std::string command = "DISPLAY='" + display + "' xdotool " + arguments + " 2>/dev/null";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
}

// The first visible window whose name matches, or empty.
std::string FindWindowNamed(const std::string& display, const std::string& pattern)
{
    std::string out = XTool(display, "search --onlyvisible --name '" + pattern + "'");
    return out.substr(0, out.find('\n'));
}

// Polls find() until it names a window, for at most 30 s; empty when none came.
template <class Find>
std::string WaitFor(Find find)
{
    for (int i = 0; i < 600; ++i) {
        std::string found = find();
        if (!found.empty())
            return found;
        usleep(50000);
    }
    return "";
}

bool WaitGone(const std::string& display, const std::string& window)
{
    for (int i = 0; i < 600; ++i) {
        std::string out = XTool(display, "search --onlyvisible --name '.'");
        if (("\n" + out).find("\n" + window + "\n") == std::string::npos)
            return true;
        usleep(50000);
    }
    return false;
}

// Gives the window the keyboard and waits until the server reports it has
// it; keys sent after that are queued behind the focus change.
bool TakeFocus(const std::string& display, const std::string& window)
{
    for (int i = 0; i < 600; ++i) {
        XTool(display, "windowfocus --sync " + window);
        std::string focused = XTool(display, "getwindowfocus");
        if (focused.substr(0, focused.find('\n')) == window)
            return true;
        usleep(50000);
    }
    return false;
}

Zorlin::CConfig ReadConfig(const std::string& path)
{
    Zorlin::CConfig config;
    std::string text = ReadFile(path);
    config.ReadText(text.data(), int(text.size()));
    return config;
}

TEST(Tavrin, StartsDrawsAndClosesCleanlyOnTerminate)
{
    RookwellTest::CXvfbDisplay& display = RookwellTest::SharedDisplay();
    if (!display.IsReady())
        GTEST_SKIP() << display.GetError();
    std::string program = BuildFolder() + "/program";
    if (access((program + "/tavrin").c_str(), X_OK) != 0)
        GTEST_SKIP() << "tavrin is not built";
    if (std::system("command -v xdotool > /dev/null") != 0)
        GTEST_SKIP() << "xdotool answers the first start's profile dialog; it is not installed";
    char pattern[] = "/tmp/tavrin-run-XXXXXX";
    std::string base = mkdtemp(pattern);
    std::string folder = base + "/Rookwell";
    ASSERT_EQ(std::system(("cp -r '" + program + "' '" + folder + "' && mkdir '" + base + "/home'").c_str()), 0);
    // The first value of a key wins, so Debug is changed where it stands.
    ASSERT_EQ(std::system(("sed -i 's/^Debug = no/Debug = yes/' '" + folder + "/cfg/app.cfg'").c_str()), 0);
    ASSERT_NE(ReadFile(folder + "/cfg/app.cfg").find("Debug = yes"), std::string::npos);
    std::system(("sed -i 's/app = yes/app = no/; s/browser = yes/browser = no/' '" + folder +
                 "/assets/cfg/defaultuser.cfg'").c_str());

    std::string promptLog = base + "/prompts.log";
    std::vector<std::string> env = {"DISPLAY=" + display.GetName(), "HOME=" + base + "/home",
                                    "XDG_CONFIG_HOME=" + base + "/home/.config", "PATH=/usr/bin:/bin",
                                    "SDL_AUDIODRIVER=dummy", "LOGNAME=player one", "USER=player one",
                                    "ROOKWELL_PROMPT_LOG=" + promptLog,
                                    // A sanitizer build of tavrin: the desktop libraries' own blocks.
                                    "LSAN_OPTIONS=fast_unwind_on_malloc=0:suppressions=" ROOKWELL_SOURCE
                                    "/client/view/tests/support/gui-leaks.supp"};
    if (const char* asan = getenv("ASAN_OPTIONS"))
        env.push_back(std::string("ASAN_OPTIONS=") + asan);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(&e[0]);
    envp.push_back(nullptr);
    std::string executable = folder + "/tavrin";
    char* argv[] = {&executable[0], nullptr};
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, executable.c_str(), nullptr, nullptr, argv, envp.data()), 0);

    // The new user is asked for a profile first: the introduction is
    // confirmed, then the name typed and the dialog confirmed, as a user does.
    // Each key goes to a window that holds the keyboard focus, and the next
    // step waits for the window it answered to be gone, so no key reaches a
    // window it was not meant for.
    const std::string& name = display.GetName();
    std::string intro = WaitFor([&] { return FindWindowNamed(name, "^Rookwell - User Profile$"); });
    ASSERT_FALSE(intro.empty()) << "the introduction came first";
    ASSERT_TRUE(TakeFocus(name, intro)) << "the introduction takes the keyboard";
    XTool(name, "key --clearmodifiers Return");
    ASSERT_TRUE(WaitGone(name, intro)) << "Return closes the introduction";
    std::string profile = WaitFor([&] { return FindWindowNamed(name, "^Rookwell - User Profile [(]"); });
    ASSERT_FALSE(profile.empty()) << "the profile dialog opened";
    ASSERT_TRUE(TakeFocus(name, profile)) << "the profile dialog takes the keyboard";
    XTool(name, "type --delay 20 'Tess Tester'");
    XTool(name, "key --clearmodifiers alt+o");
    // An empty or cut name is refused with a message, which is written down.
    ASSERT_TRUE(WaitGone(name, profile)) << "the profile dialog closed; asked: " << ReadFile(promptLog);
    EXPECT_EQ(ReadFile(promptLog).find("Please enter your name."), std::string::npos) << ReadFile(promptLog);

    // Debug writes the console's log as it grows: wait for the first drawing.
    std::string log = folder + "/logs/Rookwell - Console.log";
    bool drawn = false;
    for (int i = 0; i < 300 && !drawn; ++i) {
        usleep(50000);
        std::string text = ReadFile(log);
        drawn = text.find("First frame drawn after") != std::string::npos &&
                text.find("Start-up took") != std::string::npos;
    }
    EXPECT_TRUE(drawn) << ReadFile(log);
    // The start page is shown first: the GL driver (megabytes of software
    // renderer under Xvfb) waits for the board.
    std::string maps = ReadFile("/proc/" + std::to_string(pid) + "/maps");
    EXPECT_NE(maps.find("libgtk-3"), std::string::npos) << "the maps were read";
    EXPECT_EQ(maps.find("_dri.so"), std::string::npos) << "the GL driver loaded before the board was shown";
    EXPECT_EQ(ReadFile(log).find("GL RENDERER= "), std::string::npos);
    kill(pid, SIGTERM);
    int status = -1;
    for (int i = 0; i < 300; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            break;
        usleep(50000);
        status = -1;
    }
    if (status == -1) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "tavrin did not end after SIGTERM";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    // The user came from the desktop's settings, named after the login.
    std::string user;
    for (const char* candidate : {"player one", "root"}) {
        struct stat info;
        if (stat((folder + "/users/" + candidate + "/user.cfg").c_str(), &info) == 0)
            user = candidate;
    }
    ASSERT_FALSE(user.empty()) << "no user folder was made";
    std::string registry = ReadFile(base + "/home/.config/Rookwell Lite.conf");
    EXPECT_NE(registry.find("user=" + user), std::string::npos) << registry;
    EXPECT_NE(access((base + "/home/.Rookwell Lite").c_str(), F_OK), 0) << "no settings straight in the home";

    Zorlin::CConfig saved = ReadConfig(folder + "/users/" + user + "/user.cfg");
    EXPECT_EQ(saved.GetValueOr(".preferences.window.width", ""), "620");
    EXPECT_EQ(saved.GetValueOr(".preferences.window.height", ""), "520");
    EXPECT_FALSE(saved.GetValueOr(".preferences.window.x", "").IsEmpty());
    EXPECT_EQ(saved.GetValueOr(".profile.name", ""), "Tess Tester");
    EXPECT_NE(saved.GetValueOr(".profile.id", ""), "calculate");
    EXPECT_FALSE(saved.GetValueOr(".profile.id", "").IsEmpty());
    EXPECT_NE(access((folder + "/users/" + user + "/running.marker").c_str(), F_OK), 0);
    std::system(("rm -rf '" + base + "'").c_str());
}

} // namespace
