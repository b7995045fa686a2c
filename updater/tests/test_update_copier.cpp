// The update plan and the copier against real archives written by our own
// writer and a real temporary program folder.

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "foundation/ArchiveDrive.h"
#include "foundation/DiskDrive.h"
#include "foundation/Win32File.h"
#include "support/UpdateFixture.h"
#include "updater/UpdateCopier.h"
#include "updater/UpdatePlan.h"
#include "updater/UpdaterPrompt.h"

extern char** environ;

using namespace UpdateTest;
using Zorlin::CArchiveDrive;
using Zorlin::CDiskDrive;
using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CURL;
using Zorlin::CWin32File;

namespace {

// Opens the package and enters "contents/update".
bool OpenUpdateFolder(CArchiveDrive& archive, const std::string& path)
{
    auto* host = new CWin32File(path.c_str(), CFile::kModeRead);
    return archive.Open(host, nullptr, true) && archive.ChangeDirectory(CURL("contents/update"));
}

std::vector<std::string> PlanPaths(const CUpdatePlan& plan)
{
    std::vector<std::string> paths;
    for (const auto& item : plan.GetItems())
        paths.push_back(std::string(item.path.GetText()) + (item.folder ? "" : "=" + std::to_string(item.size)));
    return paths;
}

class UpdateCopierTest : public ::testing::Test {
protected:
    std::string Package() const { return m_temp / "package.rwf"; }
    std::string Program() const { return m_temp / "program"; }
    void SetUp() override { ASSERT_EQ(::mkdir(Program().c_str(), 0755), 0); }

    CTempFolder m_temp;
};

TEST_F(UpdateCopierTest, PlanListsFoldersBeforeTheirFilesAndFindsOnlyTheTopUpdater)
{
    ASSERT_TRUE(WritePackage(Package(), {{"contents/update/Updater", ElfImage("new")},
                                         {"contents/update/engines/stub/engine", ElfImage("engine")},
                                         {"contents/update/engines/stub/info.cfg", "name = Stub\n"},
                                         {"contents/update/bin/updater", "not the top one"},
                                         {"contents/other.txt", "outside the update folder"}}));
    CArchiveDrive archive;
    ASSERT_TRUE(OpenUpdateFolder(archive, Package()));
    CUpdatePlan plan;
    ASSERT_TRUE(plan.Build(archive));
    EXPECT_EQ(PlanPaths(plan), (std::vector<std::string>{"Updater=10", "engines/", "engines/stub/",
                                                          "engines/stub/engine=13", "engines/stub/info.cfg=12",
                                                          "bin/", "bin/updater=15"}));
    EXPECT_EQ(plan.GetFileCount(), 4);
    EXPECT_EQ(std::string(plan.FindTopFile("updater").GetText()), "Updater");
    EXPECT_FALSE(plan.HasTopFile("engine"));
    EXPECT_TRUE(plan.Verify(archive));
}

TEST_F(UpdateCopierTest, VerifyRefusesADamagedMemberBeforeAnythingIsWritten)
{
    std::string big;
    for (int i = 0; i < 40000; ++i)
        big += char('a' + (i * 7) % 26);
    ASSERT_TRUE(WritePackage(Package(), {{"contents/update/big.dat", big}, {"contents/update/small.txt", "x"}}));
    const long dataAt = DataOffset(Package(), "contents/update/big.dat");
    ASSERT_GE(dataAt, 0);
    // The start of its first compressed chunk.
    Spoil(Package(), dataAt + 4, 56);

    CArchiveDrive archive;
    ASSERT_TRUE(OpenUpdateFolder(archive, Package()));
    CUpdatePlan plan;
    ASSERT_TRUE(plan.Build(archive));
    EXPECT_FALSE(plan.Verify(archive));
    EXPECT_EQ(std::string(plan.GetProblem().GetText()), "big.dat");

    // Even without the check, the copier never puts a short file in place.
    WriteText(Program() + "/big.dat", "old");
    CDiskDrive program(Program().c_str());
    CUpdateCopier copier(archive, program);
    EXPECT_FALSE(copier.CopyFile("big.dat", "big.dat", archive.GetFileSize(CURL("big.dat"))));
    EXPECT_EQ(ReadText(Program() + "/big.dat"), "old");
    EXPECT_EQ(Snapshot(Program()).size(), 1u);
}

TEST_F(UpdateCopierTest, ModesFollowTheContentAndExistingFilesKeepTheirs)
{
    ASSERT_TRUE(WritePackage(Package(), {{"contents/update/engine", ElfImage("x")},
                                         {"contents/update/run.sh", "#!/bin/sh\necho hi\n"},
                                         {"contents/update/notes.txt", "new notes"},
                                         {"contents/update/secret.cfg", "new secret"},
                                         {"contents/update/empty", ""}}));
    WriteText(Program() + "/secret.cfg", "old secret", 0600);
    CArchiveDrive archive;
    ASSERT_TRUE(OpenUpdateFolder(archive, Package()));
    CUpdatePlan plan;
    ASSERT_TRUE(plan.Build(archive));
    CDiskDrive program(Program().c_str());
    CUpdateCopier copier(archive, program);
    std::vector<CString> failed;
    copier.CopyAll(plan, CString(), failed);
    EXPECT_TRUE(failed.empty());

    EXPECT_EQ(ModeOf(Program() + "/engine"), 0755);
    EXPECT_EQ(ModeOf(Program() + "/run.sh"), 0755);
    EXPECT_EQ(ModeOf(Program() + "/notes.txt") & 0111, 0);
    EXPECT_EQ(ModeOf(Program() + "/secret.cfg"), 0600);
    EXPECT_EQ(ReadText(Program() + "/secret.cfg"), "new secret");
    EXPECT_TRUE(IsThere(Program() + "/empty"));
    EXPECT_EQ(ReadText(Program() + "/engine"), ElfImage("x"));
}

TEST_F(UpdateCopierTest, ARunningProgramIsReplacedWhereWritingIntoItFails)
{
    const std::string target = Program() + "/prog";
    WriteText(target, ReadText("/bin/sleep"), 0755);
    std::string path = target;
    std::string seconds = "30";
    char* argv[] = {&path[0], &seconds[0], nullptr};
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, target.c_str(), nullptr, nullptr, argv, environ), 0);
    // Once it runs, writing into the file itself is refused (text file busy).
    bool busy = false;
    for (int i = 0; i < 500 && !busy; ++i) {
        CWin32File direct(target.c_str(), CFile::kModeWrite | CFile::kModeCreate);
        busy = !direct.IsOpen() && errno == ETXTBSY;
        if (!busy)
            ::usleep(2000);
    }

    ASSERT_TRUE(WritePackage(Package(), {{"contents/update/prog", ElfImage("replacement")}}));
    CArchiveDrive archive;
    ASSERT_TRUE(OpenUpdateFolder(archive, Package()));
    CDiskDrive program(Program().c_str());
    CUpdateCopier copier(archive, program);
    bool copied = copier.CopyFile("prog", "prog", archive.GetFileSize(CURL("prog")));
    bool stillRunning = ::kill(pid, 0) == 0;
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);

    EXPECT_TRUE(busy);
    EXPECT_TRUE(copied);
    EXPECT_TRUE(stillRunning);
    EXPECT_EQ(ReadText(target), ElfImage("replacement"));
    EXPECT_EQ(ModeOf(target), 0755);
}

TEST(ConsolePromptTest, AQuestionReadsOneLineAndGoesAheadWithoutInput)
{
    struct SCase {
        const char* input;
        bool ok;
    } cases[] = {{"cancel\n", false}, {"  No \n", false}, {"C\n", false}, {"ok\n", true},
                 {"yes\n", true},     {"\n", true},       {"", true},     {"cancelled\n", true}};
    for (const SCase& c : cases) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ASSERT_EQ(::write(ends[1], c.input, std::strlen(c.input)), ssize_t(std::strlen(c.input)));
        ::close(ends[1]);
        FILE* in = ::fdopen(ends[0], "r");
        char* written = nullptr;
        size_t size = 0;
        FILE* out = ::open_memstream(&written, &size);
        CConsolePrompt prompt(in, out);
        EXPECT_EQ(prompt.AskOkCancel("Go?"), c.ok) << "input: " << c.input;
        std::fclose(out);
        EXPECT_EQ(std::string(written, size).rfind("Updater: Go?\n[OK/Cancel] ", 0), 0u);
        std::free(written);
        std::fclose(in);
    }
}

} // namespace
