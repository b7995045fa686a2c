// Starting programs: every way a file can fail to run is told by the start
// itself, nothing is ever handed to a shell, and a program waited for is
// killed with its children at the limit.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cctype>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "foundation/Spawn.h"
#include "testsupport/TempFiles.h"

using Zorlin::CString;
using Zorlin::RunProgram;
using Zorlin::SpawnProgram;
using Zorlin::SProgramEnd;
using Zorlin::SSpawnOptions;

namespace {

class SpawnTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = RookwellTest::MakeTempFolder("spawn");
        ASSERT_FALSE(m_folder.empty());
    }
    void TearDown() override { RookwellTest::RemoveTree(m_folder); }

    std::string Make(const std::string& name, const std::string& bytes, mode_t mode = 0755)
    {
        const std::string path = m_folder + "/" + name;
        RookwellTest::WriteWholeFile(path, bytes);
        chmod(path.c_str(), mode);
        return path;
    }
    // A copy of a real program of this machine with its processor changed.
    std::string ForeignProgram()
    {
        std::string image = RookwellTest::ReadWholeFile("/bin/true");
        if (image.size() < 20 || image.compare(0, 4, "\x7f" "ELF") != 0)
            return std::string();
        // e_machine: 0xB7 (AArch64) on an x86-64 machine, else x86-64.
        const unsigned char machine = (unsigned char)image[18] == 0x3E ? 0xB7 : 0x3E;
        image[18] = char(machine);
        image[19] = 0;
        return Make("foreign", image);
    }

    std::string m_folder;
};

TEST_F(SpawnTest, EveryFileThatCannotRunIsToldByTheStartItself)
{
    // A script without "#!" would run under execvp's shell fallback and
    // write the marker; the start must refuse it instead.
    const std::string marker = m_folder + "/ran";
    struct SCase {
        std::string path;
        std::string told;
    } cases[] = {
        {m_folder + "/nothing here", " is missing."},
        {Make("not runnable", "#!/bin/sh\ntouch '" + marker + "'\n", 0644), " is not allowed to run."},
        {Make("garbage", std::string("\x01\x02garbage\xff\xfe", 11)), " is not a program for this computer."},
        {Make("bare script", "touch '" + marker + "'\nexit 0\n"), " is not a program for this computer."},
        {Make("lost interpreter", "#!/nonexistent/sh\nexit 0\n"), " can not be run: a program it needs is missing."},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.path);
        CString error;
        EXPECT_EQ(SpawnProgram({c.path.c_str()}, SSpawnOptions(), error), -1);
        EXPECT_EQ(error, CString((c.path + c.told).c_str()));
        const SProgramEnd end = RunProgram({c.path.c_str()}, SSpawnOptions(), 10000);
        EXPECT_FALSE(end.started);
        EXPECT_FALSE(end.Succeeded());
        EXPECT_EQ(end.error, error);
    }
    EXPECT_FALSE(RookwellTest::FileExists(marker)) << "a file was run through a shell";

    const std::string foreign = ForeignProgram();
    if (foreign.empty())
        GTEST_SKIP() << "/bin/true is not an ELF image here";
    CString error;
    const pid_t pid = SpawnProgram({foreign.c_str()}, SSpawnOptions(), error);
    if (pid > 0) {
        waitpid(pid, nullptr, 0);
        GTEST_SKIP() << "an emulator registered for other processors runs them here";
    }
    EXPECT_EQ(error, CString((foreign + " is not a program for this computer.").c_str()));
}

TEST_F(SpawnTest, AProgramRunsWithItsArgumentsFolderAndStreams)
{
    const std::string work = m_folder + "/work place";
    ASSERT_EQ(mkdir(work.c_str(), 0755), 0);
    const std::string script =
        Make("report", "#!/bin/sh\n"
                       "printf '%s|' \"$#\" \"$1\" \"$2\" \"$(pwd)\" \"${DISPLAY-none}\" > \"$3\"\n"
                       "read line && echo \"read $line\" >> \"$3\"\n"
                       "echo to-stdout\n"
                       "exit 7\n");
    const std::string out = m_folder + "/out";
    setenv("DISPLAY", ":97", 1);
    SSpawnOptions options;
    options.folder = work.c_str();
    options.quiet = true;
    options.withoutDisplay = true;
    SProgramEnd end = RunProgram({script.c_str(), "two words", "$(not expanded)", out.c_str()}, options, 20000);
    EXPECT_TRUE(end.started);
    EXPECT_FALSE(end.timedOut);
    EXPECT_EQ(end.exitCode, 7);
    EXPECT_FALSE(end.Succeeded());
    EXPECT_EQ(RookwellTest::ReadWholeFile(out), "3|two words|$(not expanded)|" + work + "|none|");

    // With the display kept and a relative program named from our folder.
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    ASSERT_EQ(chdir(m_folder.c_str()), 0);
    options.withoutDisplay = false;
    end = RunProgram({"report", "a", "b", out.c_str()}, options, 20000);
    ASSERT_EQ(chdir(here), 0);
    unsetenv("DISPLAY");
    EXPECT_EQ(end.exitCode, 7);
    EXPECT_EQ(RookwellTest::ReadWholeFile(out), "3|a|b|" + work + "|:97|");
}

TEST_F(SpawnTest, AProgramThatDoesNotEndIsKilledWithItsChildren)
{
    const std::string pidFile = m_folder + "/child";
    const std::string script = Make("hang", "#!/bin/sh\nsleep 600 &\necho $! > '" + pidFile + "'\nwait\n");
    const SProgramEnd end = RunProgram({script.c_str()}, SSpawnOptions(), 300);
    EXPECT_TRUE(end.started);
    EXPECT_TRUE(end.timedOut);
    EXPECT_FALSE(end.Succeeded());
    // The child of the script went with it: it ends (if the script got as
    // far as starting it before the limit).
    const std::string text = RookwellTest::ReadWholeFile(pidFile);
    if (!text.empty()) {
        const pid_t child = pid_t(std::atol(text.c_str()));
        ASSERT_GT(child, 0);
        const int handle = int(syscall(SYS_pidfd_open, child, 0));
        if (handle >= 0) {
            struct pollfd watch = {handle, POLLIN, 0};
            EXPECT_EQ(poll(&watch, 1, 60000), 1) << "the script's child still runs";
            close(handle);
        }
    }

    const SProgramEnd good = RunProgram({"/bin/true"}, SSpawnOptions(), 20000);
    EXPECT_TRUE(good.Succeeded());
    const SProgramEnd killed = RunProgram({Make("suicide", "#!/bin/sh\nkill -TERM $$\n").c_str()}, SSpawnOptions(),
                                          20000);
    EXPECT_EQ(killed.signal, SIGTERM);
    EXPECT_FALSE(killed.Succeeded());
}

TEST_F(SpawnTest, ADetachedProgramOutlivesItsStartInASessionOfItsOwn)
{
    const std::string out = m_folder + "/session";
    const std::string script = Make("session", "#!/bin/sh\ncut -d' ' -f6 /proc/$$/stat > '" + out + "'\n");
    SSpawnOptions options;
    options.newSession = true;
    CString error;
    const pid_t pid = SpawnProgram({script.c_str()}, options, error);
    ASSERT_GT(pid, 0) << error.GetText();
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(std::atol(RookwellTest::ReadWholeFile(out).c_str()), long(pid));
}

} // namespace

namespace {

// True when pid ends within limitMs (it need not be our child).
bool EndsWithin(pid_t pid, int limitMs)
{
    const int handle = int(syscall(SYS_pidfd_open, pid, 0));
    if (handle < 0)
        return errno == ESRCH;
    struct pollfd watch = {handle, POLLIN, 0};
    const bool ended = poll(&watch, 1, limitMs) == 1;
    close(handle);
    return ended;
}

std::string ReadAll(int fd)
{
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, size_t(n));
    return text;
}

// Field of /proc/<pid>/stat after the name: 1 the state, 3 the group, 4 the session.
long StatField(pid_t pid, int field)
{
    std::string text = RookwellTest::ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
    size_t at = text.rfind(')');
    if (at == std::string::npos)
        return -1;
    std::istringstream rest(text.substr(at + 1));
    std::string word;
    for (int i = 0; i < field && rest >> word; ++i) {
    }
    return word.empty() || !std::isdigit((unsigned char)word[0]) ? (word.empty() ? -1 : word[0]) : std::atol(word.c_str());
}

} // namespace

TEST_F(SpawnTest, AProgramOnPipesSpeaksLeadsItsGroupInOurSessionAndIgnoresNothingOfOurs)
{
    // SIGPIPE ignored here must not be ignored there.
    struct sigaction before;
    signal(SIGPIPE, SIG_IGN);
    sigaction(SIGPIPE, nullptr, &before);
    const std::string script = Make("talk", "#!/bin/sh\nread line\necho \"got $line\"\necho oops >&2\n"
                                            "grep SigIgn /proc/$$/status\n");
    SSpawnOptions options;
    options.newGroup = true;
    options.endsWithUs = true;
    Zorlin::SChildPipes pipes;
    CString error;
    const pid_t pid = SpawnProgram({script.c_str()}, options, error, &pipes);
    ASSERT_GT(pid, 0) << error.GetText();
    ASSERT_GE(pipes.input, 3);
    ASSERT_GE(pipes.output, 3);
    ASSERT_GE(pipes.error, 3);
    for (int fd : {pipes.input, pipes.output, pipes.error})
        EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC) << "a second program would hold this one's pipes";
    EXPECT_EQ(StatField(pid, 3), long(pid)) << "it leads a group of its own";
    EXPECT_EQ(StatField(pid, 4), long(getsid(0))) << "in our session";
    ASSERT_EQ(write(pipes.input, "hello\n", 6), 6);
    close(pipes.input);
    const std::string said = ReadAll(pipes.output);
    EXPECT_EQ(said.rfind("got hello\n", 0), 0u) << said;
    // SIGPIPE is signal 13: bit 12 of the ignored set.
    const size_t mask = said.find("SigIgn:");
    ASSERT_NE(mask, std::string::npos) << said;
    const unsigned long long ignored = std::stoull(said.substr(mask + 7), nullptr, 16);
    EXPECT_EQ(ignored & (1ull << (SIGPIPE - 1)), 0ull) << said;
    EXPECT_EQ(ReadAll(pipes.error), "oops\n");
    close(pipes.output);
    close(pipes.error);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    sigaction(SIGPIPE, &before, nullptr);
}

// However its starter ends: killed while the program runs, or while the
// program and its own child are stopped, the group is hung up with it; a
// child that ignores the end of its input goes too.
TEST_F(SpawnTest, AProgramThatEndsWithUsDiesWithItsStarterAndTakesItsChildren)
{
    for (bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "stopped" : "running");
        const std::string childFile = m_folder + (stopped ? "/stopped-child" : "/running-child");
        // The program starts a child of its own that ignores the end of its input.
        const std::string script = Make("parent", "#!/bin/sh\nsleep 600 &\necho $! > '" + childFile + "'\nwait\n");
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        const pid_t starter = fork();
        ASSERT_GE(starter, 0);
        if (starter == 0) {
            // The starter: a session of its own, as a desktop starts the client.
            setsid();
            SSpawnOptions options;
            options.newGroup = true;
            options.endsWithUs = true;
            CString error;
            pid_t keeper = -1;
            const pid_t pid = SpawnProgram({script.c_str()}, options, error, nullptr, &keeper);
            if (keeper <= 0)
                _exit(1);
            if (write(report[1], &pid, sizeof pid) != ssize_t(sizeof pid))
                _exit(1);
            pause();
            _exit(0);
        }
        close(report[1]);
        pid_t program = -1;
        ASSERT_EQ(read(report[0], &program, sizeof program), ssize_t(sizeof program));
        close(report[0]);
        ASSERT_GT(program, 0);
        std::string text;
        for (int i = 0; i < 20000 && (text = RookwellTest::ReadWholeFile(childFile)).find('\n') == std::string::npos;
             ++i)
            usleep(1000);
        const pid_t child = pid_t(std::atol(text.c_str()));
        ASSERT_GT(child, 0) << "the program did not start its child";
        if (stopped) {
            ASSERT_EQ(kill(-program, SIGSTOP), 0);
            for (int i = 0; i < 20000 && (StatField(program, 1) != 'T' || StatField(child, 1) != 'T'); ++i)
                usleep(1000);
            ASSERT_EQ(StatField(child, 1), 'T');
        }
        ASSERT_EQ(kill(starter, SIGKILL), 0);
        ASSERT_EQ(waitpid(starter, nullptr, 0), starter);
        EXPECT_TRUE(EndsWithin(program, 60000)) << "the program outlived its starter";
        const bool childEnded = EndsWithin(child, 60000);
        EXPECT_TRUE(childEnded) << "its child outlived it";
        if (!childEnded)
            kill(child, SIGKILL);
    }
}

// The keeper waits in the program's group, holding nothing of ours, awake
// while the group rests; once the program ends, EndGroup takes what it left.
TEST_F(SpawnTest, AKeeperHoldsTheGroupAndEndGroupTakesWhatTheProgramLeft)
{
    const std::string childFile = m_folder + "/left-child";
    const std::string script =
        Make("leaver", "#!/bin/sh\nsleep 600 &\necho $! > '" + childFile + "'\nread line\n");
    SSpawnOptions options;
    options.newGroup = true;
    options.endsWithUs = true;
    Zorlin::SChildPipes pipes;
    pid_t keeper = -1;
    CString error;
    const pid_t pid = SpawnProgram({script.c_str()}, options, error, &pipes, &keeper);
    ASSERT_GT(pid, 0) << error.GetText();
    ASSERT_GT(keeper, 0);
    EXPECT_EQ(StatField(keeper, 3), long(pid)) << "the keeper is in the program's group";
    Zorlin::StopGroup(pid, keeper, true);
    for (int i = 0; i < 20000 && StatField(pid, 1) != 'T'; ++i)
        usleep(1000);
    EXPECT_EQ(StatField(pid, 1), 'T') << "the group rests";
    EXPECT_NE(StatField(keeper, 1), 'T') << "the keeper stays awake";
    Zorlin::StopGroup(pid, keeper, false);
    const std::string fds = "/proc/" + std::to_string(keeper) + "/fd";
    int held = 0;
    if (DIR* folder = opendir(fds.c_str())) {
        while (dirent* entry = readdir(folder))
            held += entry->d_name[0] != '.';
        closedir(folder);
    }
    EXPECT_EQ(held, 0) << "the keeper holds no descriptor of ours";
    std::string text;
    for (int i = 0; i < 20000 && (text = RookwellTest::ReadWholeFile(childFile)).find('\n') == std::string::npos; ++i)
        usleep(1000);
    const pid_t child = pid_t(std::atol(text.c_str()));
    ASSERT_GT(child, 0);
    close(pipes.input);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_FALSE(EndsWithin(child, 0)) << "the program's child is left behind";
    Zorlin::EndGroup(pid, keeper);
    EXPECT_EQ(keeper, -1);
    EXPECT_TRUE(EndsWithin(child, 60000)) << "what the program left goes with its group";
    close(pipes.output);
    close(pipes.error);
}
