// The engine process over real child processes: the packages we ship, the
// start in the package folder, line gathering, stderr, ends and kills.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <unistd.h>

#include "client/core/ChildProcess.h"
#include "client/core/EngineProcess.h"
#include "client/core/tests/support/GameFixture.h"
#include "client/core/tests/support/ScriptedDevice.h"
#include "foundation/DiskDrive.h"

using namespace EngineTest;
using Zorlin::CString;

namespace {

std::string RealPath(const std::string& path)
{
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

class EngineProcess : public ::testing::Test {
protected:
    // Loads engines/<name>/ of the test program folder.
    bool LoadPackage(CEngineProcess& process, const std::string& name)
    {
        Zorlin::CDrive& drive = m_services.GetProgramDrive();
        drive.PushDirectory();
        bool entered = drive.ChangeDirectory(CString(("/engines/" + name + "/").c_str()));
        bool loaded = entered && process.Load(drive);
        drive.PopDirectory();
        return loaded;
    }
    // Reads lines until one equals last (or a few seconds pass).
    std::vector<std::string> ReadUntil(CEngineProcess& process, const std::string& last)
    {
        std::vector<std::string> lines;
        PumpUntil(
            [&] {
                CString line;
                while (process.ReadLine(line)) {
                    lines.push_back(line.GetText());
                    if (lines.back() == last)
                        return true;
                }
                process.WaitForOutput(5);
                return false;
            },
            10000);
        return lines;
    }
    bool Has(const std::vector<std::string>& lines, const std::string& line)
    {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    CTestServices m_services;
};

} // namespace

TEST_F(EngineProcess, ShippedPackagesNameInstalledPrograms)
{
    struct SPackage {
        const char* name;
        const char* exe;
        const char* command;
        bool sdOnly;
        bool nudge;
        bool rest;
    };
    const SPackage packages[] = {
        { "Gnu Chess 5", "/usr/games/polyglot", "-noini -ec \"/usr/games/gnuchess --uci\"", true, false, true },
        { "Gnu Chess 5 Direct", "/usr/bin/stdbuf", "-oL /usr/games/gnuchess -x", false, true, true },
        { "Fairy-Max", "/usr/games/fairymax", "", true, false, false },
        { "Phalanx", "/usr/games/phalanx", "", false, false, false },
        { "Stockfish", "/usr/games/polyglot", "-noini -ec \"/usr/games/stockfish\"", true, false, false },
    };
    for (const SPackage& package : packages) {
        SCOPED_TRACE(package.name);
        m_services.InstallPackage(package.name);
        CEngineProcess process;
        ASSERT_TRUE(LoadPackage(process, package.name));
        EXPECT_EQ(process.GetExe(), package.exe);
        EXPECT_EQ(process.GetSettings().GetValueOr("command", "?"), package.command);
        EXPECT_EQ(Zorlin::CConfig::IsTrue(process.GetSettings().GetValueOr("nosetdepth", "")), package.sdOnly);
        EXPECT_EQ(Zorlin::CConfig::IsTrue(process.GetSettings().GetValueOr("nudge", "")), package.nudge);
        EXPECT_EQ(process.RestsWhileWaiting(), package.rest);
        EXPECT_EQ(access(package.exe, X_OK), 0) << "not installed: run scripts/install-deps";
        // No photo of its own: the default picture, a BMP.
        ASSERT_GT(process.GetPhoto().GetSize(), 2u);
        char magic[2] = {};
        process.GetPhoto().Seek(0, Zorlin::CFile::kSeekStart);
        process.GetPhoto().Read(magic, 2);
        EXPECT_EQ(std::string(magic, 2), "BM");
    }
}

TEST_F(EngineProcess, PackageWithoutInfoDoesNotLoad)
{
    WriteWholeFile(m_services.m_programFolder + "/engines/Empty/readme.txt", "nothing here");
    CEngineProcess process;
    EXPECT_FALSE(LoadPackage(process, "Empty"));
    EXPECT_TRUE(process.GetExe().IsEmpty());
    EXPECT_FALSE(process.Start());
    EXPECT_FALSE(process.IsRunning());
}

TEST_F(EngineProcess, RunsInItsPackageFolderAndGathersPartialLines)
{
    char before[PATH_MAX];
    ASSERT_NE(getcwd(before, sizeof before), nullptr);
    // 300 kB of error output would block an engine whose stderr is not drained.
    std::string log = m_services.MakeFakePackage("Fake", "cwd\nraw mo\nsleep 80\nraw ve e2\nsleep 30\nraw e4\\n\n"
                                                         "err 300000\nsay after noise\n");
    CEngineProcess process;
    ASSERT_TRUE(LoadPackage(process, "Fake"));
    ASSERT_TRUE(process.Start()) << process.GetLastError().GetText();
    std::vector<std::string> lines = ReadUntil(process, "after noise");
    ASSERT_TRUE(Has(lines, "after noise"));
    EXPECT_TRUE(Has(lines, "move e2e4"));
    EXPECT_TRUE(Has(lines, "cwd " + RealPath(m_services.m_programFolder + "/engines/Fake")));
    char after[PATH_MAX];
    ASSERT_NE(getcwd(after, sizeof after), nullptr);
    EXPECT_STREQ(before, after);
    // The dialogue and the error output are in the engine's console.
    std::string console = m_services.ConsoleTextStarting("/usr/bin/python3 ");
    EXPECT_NE(console.find(">xboard\n>protover 2\n"), std::string::npos);
    EXPECT_NE(console.find("!noise noise"), std::string::npos);
    process.Stop();
    EXPECT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000));
    std::string received = ReadWholeFile(log);
    EXPECT_EQ(received.find("xboard\nprotover 2\n"), 0u);
    EXPECT_NE(received.find("?\nquit\n"), std::string::npos);
}

TEST_F(EngineProcess, ProgramThatCannotStartIsReported)
{
    WriteWholeFile(m_services.m_programFolder + "/engines/Gone/info.cfg", "exe = \"/nonexistent/engine\"\n");
    WriteWholeFile(m_services.m_programFolder + "/engines/Text/info.cfg", "exe = \"info.cfg\"\n");
    for (const char* name : { "Gone", "Text" }) {
        CEngineProcess process;
        ASSERT_TRUE(LoadPackage(process, name));
        EXPECT_FALSE(process.Start());
        EXPECT_FALSE(process.IsRunning());
        EXPECT_FALSE(process.GetLastError().IsEmpty());
        process.Send("xboard\n"); // does nothing
        CString line;
        EXPECT_FALSE(process.ReadLine(line));
    }
    EXPECT_EQ(m_services.CountConsoles("/nonexistent"), 0);
    EXPECT_EQ(m_services.CountConsoles("info.cfg"), 0);
}

TEST_F(EngineProcess, EngineThatExitsAtOnceLeavesItsLastWords)
{
    m_services.MakeFakePackage("Brief", "say goodbye\nraw no line end\nexit 3\n");
    CEngineProcess process;
    ASSERT_TRUE(LoadPackage(process, "Brief"));
    ASSERT_TRUE(process.Start());
    std::vector<std::string> lines = ReadUntil(process, "no line end");
    EXPECT_TRUE(Has(lines, "goodbye"));
    EXPECT_TRUE(Has(lines, "no line end"));
    EXPECT_TRUE(PumpUntil([&] { process.Pump(); return process.HasEnded(); }, 10000));
    process.Send("new\n"); // to a program that is gone: harmless
    process.Stop();
    EXPECT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000));
}

TEST_F(EngineProcess, EngineThatIgnoresQuitIsKilled)
{
    m_services.MakeFakePackage("Deaf", "say deaf now\ndeaf\n");
    CEngineProcess process;
    ASSERT_TRUE(LoadPackage(process, "Deaf"));
    ASSERT_TRUE(process.Start());
    ASSERT_TRUE(Has(ReadUntil(process, "deaf now"), "deaf now"));
    process.Stop();
    EXPECT_FALSE(process.IsRunning());
    EXPECT_EQ(CChildProcess::GetLiveCount(), 1);
    EXPECT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 15000));
}

TEST_F(EngineProcess, NudgedEngineGetsHeldInputAfterItsStart)
{
    // Like GNU Chess in its own xboard mode: nothing until more input comes.
    std::string log = m_services.MakeFakePackage("Sleepy", "wait protover\nwait \nwait \nwait \nsay feature done=1\n",
                                                 "nudge = yes\n");
    CEngineProcess process;
    ASSERT_TRUE(LoadPackage(process, "Sleepy"));
    ASSERT_TRUE(process.Start());
    EXPECT_TRUE(process.IsNudging());
    process.Send("new\n");
    process.Send("go\n");
    std::vector<std::string> lines = ReadUntil(process, "feature done=1");
    ASSERT_TRUE(Has(lines, "feature done=1"));
    EXPECT_TRUE(PumpUntil([&] { process.Pump(); return !process.IsNudging(); }, 5000));
    process.Stop();
    EXPECT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000));
    std::string received = ReadWholeFile(log);
    size_t newAt = received.find("\nnew\ngo\n");
    ASSERT_NE(newAt, std::string::npos) << received;
    // The held commands came after the blank lines that woke it, in order.
    EXPECT_NE(received.find("protover 2\n\n\n\n"), std::string::npos);
    EXPECT_GT(newAt, received.find("protover 2\n\n\n\n"));
}

// One read moves a bounded part of a flood into memory, however much the
// pipe holds, and says that more waits; how many reads a tick makes is up to
// its time (the player's poll).
TEST_F(EngineProcess, AFloodIsReadInBoundedPiecesAndDroppedAtTheEnd)
{
    auto state = std::make_shared<SDeviceState>();
    // A megabyte without a line end in pipe-sized pieces, then a move on a
    // line of its own.
    for (int i = 0; i < 256; ++i)
        state->output.push_back(std::string(4096, 'x'));
    state->output.push_back("\n");
    state->Say("move e2e4");
    CEngineProcess process;
    process.Attach(new CScriptedDevice(state));
    auto waiting = [&] {
        size_t bytes = 0;
        for (const std::string& chunk : state->output)
            bytes += chunk.size();
        return bytes;
    };
    size_t before = waiting();
    process.StartTick();
    Zorlin::CString line;
    ASSERT_TRUE(process.ReadLine(line)) << "the over-long line is cut at its bound";
    EXPECT_EQ(std::string(line.GetText()), std::string(CLineAccumulator::kMaxLine, 'x'));
    EXPECT_EQ(before - waiting(), size_t(CEngineProcess::kPumpBytes)) << "one read takes a bounded piece";
    EXPECT_TRUE(process.IsOutputBehind()) << "and says that more waits";
    // Read on: the rest of the cut line is dropped piece by piece, each read
    // saying that more waits, and then the move comes through.
    int reads = 0;
    while (!process.ReadLine(line) && reads < 40) {
        ++reads;
        ASSERT_TRUE(process.IsOutputBehind()) << "told to read on at read " << reads;
    }
    EXPECT_EQ(std::string(line.GetText()), "move e2e4");
    EXPECT_GE(reads, 14);
    EXPECT_FALSE(process.ReadLine(line));
    EXPECT_FALSE(process.IsOutputBehind()) << "all of it read";

    // Let go with lines still unread: the farewell does not read them all.
    for (int i = 0; i < 20000; ++i)
        state->Say("thinking");
    process.Abandon();
    EXPECT_TRUE(state->released);
    EXPECT_TRUE(state->Sent("quit"));
    EXPECT_GT(state->output.size(), 10000u);
}

// The engine's output wakes its reader: once when it writes, not again
// until it is read (a flood the reader leaves in the pipe does not keep
// waking it), and once more at its end; a stopped engine wakes nobody.
TEST_F(EngineProcess, OutputWakesTheReaderOncePerReadAndAtTheEnd)
{
    m_services.MakeFakePackage("Waker", "wait hello\nflood 20000 more output\nwait bye\nexit 0\n");
    CEngineProcess process;
    int notices = 0;
    process.SetOutputNotice([&] { ++notices; });
    ASSERT_TRUE(LoadPackage(process, "Waker"));
    ASSERT_TRUE(process.Start());
    EXPECT_TRUE(process.IsOutputWatched());
    process.Send("hello\n");
    ASSERT_TRUE(PumpUntil([&] { return notices > 0; }, 10000));
    EXPECT_FALSE(process.IsOutputWatched());
    for (int i = 0; i < 50; ++i)
        PumpEvents(2);
    EXPECT_EQ(notices, 1) << "unread output is told once";

    CString line;
    int read = 0;
    ASSERT_TRUE(PumpUntil([&] { return process.ReadLine(line); }, 10000));
    ++read;
    EXPECT_TRUE(process.IsOutputWatched()) << "a read watches again";
    ASSERT_TRUE(PumpUntil([&] { return notices == 2; }, 10000)) << "what is left is told";
    ASSERT_TRUE(PumpUntil(
        [&] {
            process.StartTick();
            while (process.ReadLine(line))
                ++read;
            return read == 20000;
        },
        20000));
    int before = notices;
    process.Send("bye\n");
    ASSERT_TRUE(PumpUntil([&] { return notices > before; }, 10000)) << "the end is told";
    EXPECT_TRUE(PumpUntil([&] { process.Pump(); return process.HasEnded(); }, 10000));
    EXPECT_FALSE(process.IsOutputWatched());
    before = notices;
    process.Stop();
    EXPECT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000));
    EXPECT_EQ(notices, before);
}
