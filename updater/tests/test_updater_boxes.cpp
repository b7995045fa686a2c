// The real updater with a display: its messages are the toolkit's boxes.
// A private X server shows them and xdotool answers them like a user.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "testsupport/XvfbDisplay.h"
#include "support/UpdateFixture.h"

extern char** environ;

using namespace UpdateTest;

namespace {

std::string Output(const std::string& command)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char block[256];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, pipe)) > 0)
        out.append(block, n);
    ::pclose(pipe);
    return out;
}

// The visible windows called "Updater", one id a line.
std::vector<std::string> VisibleBoxes()
{
    std::vector<std::string> ids;
    std::string all = Output("xdotool search --onlyvisible --name '^Updater$' 2>/dev/null");
    size_t start = 0, end;
    while ((end = all.find('\n', start)) != std::string::npos) {
        if (end > start)
            ids.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return ids;
}

bool Ended(pid_t pid, int& status)
{
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

// Waits for a box, answers it with key, and waits for it to go. False when
// no box came while the updater was running, or the box stayed. The bounds
// (a minute each) only stop a hung updater.
bool Answer(pid_t pid, const char* key, int& status, bool& ended)
{
    ended = false;
    std::string box;
    for (int i = 0; i < 1200 && box.empty(); ++i) {
        std::vector<std::string> boxes = VisibleBoxes();
        if (!boxes.empty())
            box = boxes[0];
        else if ((ended = Ended(pid, status)))
            return false;
        else
            ::usleep(50000);
    }
    if (box.empty())
        return false;
    std::system(("xdotool windowfocus --sync " + box + " key " + key + " 2>/dev/null").c_str());
    for (int i = 0; i < 1200; ++i) {
        std::vector<std::string> boxes = VisibleBoxes();
        bool still = false;
        for (const std::string& b : boxes)
            still = still || b == box;
        if (!still)
            return true;
        ::usleep(50000);
    }
    return false;
}

TEST(UpdaterBoxesTest, TheQuestionIsABoxAndEscapeCancelsIt)
{
    RookwellTest::CXvfbDisplay& display = RookwellTest::SharedDisplay();
    ASSERT_TRUE(display.IsReady()) << display.GetError();
    if (Output("command -v xdotool").empty())
        GTEST_SKIP() << "xdotool is not installed";

    CTempFolder temp;
    const std::string program = temp / "program";
    WriteText(program + "/updater", ReadText(UPDATER_PROGRAM), 0755);
    WriteText(program + "/tavrin", "#!/bin/sh\necho started >> \"$(dirname \"$0\")/launched.txt\"\n", 0755);
    WriteText(program + "/updater.log", "");
    const std::string package = temp / "update.rwf";
    ASSERT_TRUE(WritePackage(package, {{"contents/update/readme.txt", "new"}}));

    std::string path = program + "/updater";
    std::string client = "tavrin";
    char* argv[] = {&path[0], const_cast<char*>(package.c_str()), &client[0], nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // A sanitizer build: what the desktop libraries keep for the process's life is theirs.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "LSAN_OPTIONS=", 13) != 0)
            env.push_back(*e);
    }
    env.push_back("LSAN_OPTIONS=fast_unwind_on_malloc=0:suppressions=" ROOKWELL_SOURCE
                  "/client/view/tests/support/gui-leaks.supp");
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(&e[0]);
    envp.push_back(nullptr);
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);

    int status = 0;
    bool ended = false;
    // The question, then "Update has not been installed.", then nothing more.
    bool asked = Answer(pid, "Escape", status, ended);
    bool told = asked && Answer(pid, "Return", status, ended);
    bool more = told && Answer(pid, "Return", status, ended);
    if (!ended && ::waitpid(pid, &status, WNOHANG) != pid) {
        for (int i = 0; i < 1200 && !Ended(pid, status); ++i)
            ::usleep(50000);
        if (::kill(pid, 0) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "the updater did not end";
        }
    }

    EXPECT_TRUE(asked);
    EXPECT_TRUE(told);
    EXPECT_FALSE(more);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadText(program + "/readme.txt"), "");
    EXPECT_EQ(ReadText(program + "/updater.log"), "");
    // The client was started again; give the detached script its moment.
    for (int i = 0; i < 3000 && ReadText(program + "/launched.txt").empty(); ++i)
        ::usleep(20000);
    EXPECT_EQ(ReadText(program + "/launched.txt"), "started\n");
}

} // namespace
