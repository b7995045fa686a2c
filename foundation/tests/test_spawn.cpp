// Starting programs: every way a file can fail to run is told by the start
// itself, nothing is ever handed to a shell, and a program waited for is
// killed with its children at the limit.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
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
