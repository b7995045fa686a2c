// Updates that go wrong, against the real updater program. An update killed
// before each step that changes a file (a fault point loaded into the
// updater ends it there, as a kill or a power cut would): the next start
// either finds the folder whole, old or new, or finds the mark, tells the
// user and offers to run the update again, and running it again leaves the
// whole new folder with no temporaries.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <wx/defs.h>

#include "client/core/Prompt.h"
#include "client/core/UpdateResume.h"
#include "support/PackageBuilder.h"

extern char** environ;

using PackageTest::SEntry;
using Zorlin::CString;

namespace {

const int kFaultExit = 86; // the fault point's exit code
const char* const kUnfinished =
    "The last update of Rookwell did not finish, so some of its files may be old and some new.\n\n";

std::string ClientScript(const std::string& version)
{
    return "#!/bin/sh\necho \"" + version + "\" >> \"$(dirname \"$0\")/launched.txt\"\n";
}

// Every file and folder below root with its bytes; the log and what the
// restarted client writes are left out.
std::map<std::string, std::string> Snapshot(const std::string& root)
{
    std::map<std::string, std::string> files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        const std::string relative = std::filesystem::relative(item.path(), root).generic_string();
        if (relative == "updater.log" || relative == "launched.txt")
            continue;
        const std::string bytes = item.is_directory() ? std::string("<folder>") : PackageTest::ReadFile(item.path());
        // A program's image would drown a failure's report.
        files[relative] = bytes.size() < 4096 ? bytes : "<" + std::to_string(std::hash<std::string>()(bytes)) + ">";
    }
    return files;
}

std::vector<std::string> Temporaries(const std::string& root)
{
    std::vector<std::string> found;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = item.path().filename().string();
        if (name[0] == '.' && name.find(".tmp-") != std::string::npos)
            found.push_back(std::filesystem::relative(item.path(), root).generic_string());
    }
    return found;
}

class UpdateResumeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The updater's restart of the client comes to us once it ends.
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        m_base = PackageTest::MakeTempFolder("update-resume");
        ASSERT_FALSE(m_base.empty());
        m_program = m_base + "/program folder";
        m_package = m_base + "/my downloads/update 1.1.rwf";
        m_prompt.Install();
    }
    void TearDown() override { PackageTest::RemoveTree(m_base); }

    void Write(const std::string& relative, const std::string& bytes, mode_t mode = 0644)
    {
        PackageTest::WriteFile(m_program + "/" + relative, bytes);
        chmod((m_program + "/" + relative).c_str(), mode);
    }

    void MakeOldFolder()
    {
        PackageTest::RemoveTree(m_program);
        // A link, not a copy: the folder is made again for every kill.
        std::filesystem::create_directories(m_program);
        if (link(UPDATER_PROGRAM, (m_program + "/updater").c_str()) != 0)
            Write("updater", PackageTest::ReadFile(UPDATER_PROGRAM), 0755);
        Write("tavrin", ClientScript("v1"), 0755);
        Write("readme.txt", "old readme");
        Write("html/english/page.htm", "old page");
        Write("engines/stub/info.cfg", "name = Old\n");
        Write("users/tester/user.cfg", "profile={name=Tess\n}\n");
    }

    void MakePackage()
    {
        std::string manual;
        for (int i = 0; manual.size() < 40000; ++i)
            manual += "Line " + std::to_string(i) + " of the manual.\n";
        const std::vector<SEntry> entries = {
            PackageTest::Manifest("Rookwell Lite", "update", "Version 1.1"),
            {"contents/update/updater", "#!/bin/sh\nexit 0\n"},
            {"contents/update/tavrin", ClientScript("v2")},
            {"contents/update/readme.txt", "new readme"},
            {"contents/update/HTML/English/page.htm", "new page"},
            {"contents/update/engines/stub/info.cfg", "name = New\n"},
            {"contents/update/engines/stub/engine", std::string("\x7f" "ELF", 4) + std::string(20000, 'e')},
            {"contents/update/docs/manual.htm", manual},
        };
        std::filesystem::create_directories(m_base + "/my downloads");
        ASSERT_TRUE(PackageTest::WriteArchive(m_package, entries));
    }

    // Runs the program folder's updater on the package as the client starts
    // it (its parent goes away at once), answering OK, with the fault point
    // set to end it before file step faultStep (0: never). The exit code,
    // once it and the client it started have ended.
    int RunUpdater(long faultStep)
    {
        int report[2], ready[2];
        if (pipe2(report, O_CLOEXEC) != 0 || pipe2(ready, O_CLOEXEC) != 0)
            return -1;
        // The updater's copy tells the parent when the updater has looked
        // for it, so the parent can go then and the updater need not wait.
        fcntl(ready[1], F_SETFD, 0);
        std::vector<std::string> env;
        std::string sanitizer = "verify_asan_link_order=0";
        for (char** e = environ; *e; ++e) {
            if (std::strncmp(*e, "DISPLAY=", 8) == 0 || std::strncmp(*e, "WAYLAND_DISPLAY=", 16) == 0 ||
                std::strncmp(*e, "LD_PRELOAD=", 11) == 0 || std::strncmp(*e, "ROOKWELL_FAULT", 14) == 0)
                continue;
            if (std::strncmp(*e, "ASAN_OPTIONS=", 13) == 0)
                sanitizer += std::string(":") + (*e + 13);
            else
                env.push_back(*e);
        }
        env.push_back("ASAN_OPTIONS=" + sanitizer);
        env.push_back(std::string("LD_PRELOAD=") + FAULT_POINT);
        env.push_back("ROOKWELL_FAULT_STEP=" + std::to_string(faultStep));
        env.push_back("ROOKWELL_FAULT_PARENT_FD=" + std::to_string(ready[1]));
        std::vector<std::string> args = {m_program + "/updater", m_package, "tavrin"};
        const std::string errors = m_base + "/updater said.txt";

        const pid_t helper = fork();
        if (helper == 0) {
            std::vector<char*> argv, envp;
            for (auto& a : args)
                argv.push_back(&a[0]);
            argv.push_back(nullptr);
            for (auto& e : env)
                envp.push_back(&e[0]);
            envp.push_back(nullptr);
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
            posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            posix_spawn_file_actions_addchdir_np(&actions, m_base.c_str());
            pid_t pid = -1;
            if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
                pid = -1;
            ssize_t ignored = write(report[1], &pid, sizeof pid);
            (void)ignored;
            close(ready[1]);
            char byte;
            ignored = read(ready[0], &byte, 1); // the updater asked for us, or ended
            _exit(0);
        }
        close(report[1]);
        close(ready[0]);
        close(ready[1]);
        pid_t updater = -1;
        if (read(report[0], &updater, sizeof updater) != ssize_t(sizeof updater))
            updater = -1;
        close(report[0]);
        int status = 0;
        waitpid(helper, &status, 0);
        int code = -1;
        if (updater > 0 && waitpid(updater, &status, 0) == updater && WIFEXITED(status))
            code = WEXITSTATUS(status);
        while (waitpid(-1, &status, 0) > 0) {
        }
        const std::string said = PackageTest::ReadFile(errors);
        EXPECT_EQ(said.find("Sanitizer"), std::string::npos) << said;
        EXPECT_EQ(said.find("runtime error"), std::string::npos) << said;
        unlink(errors.c_str());
        return code;
    }

    // A fresh old folder, updated and killed at the first step from from
    // on that leaves it marked; false when none does.
    bool KillWhileMarked(long from)
    {
        for (long step = from; step < from + 100; ++step) {
            MakeOldFolder();
            if (RunUpdater(step) != kFaultExit)
                return false;
            if (std::filesystem::exists(m_program + "/updater.unfinished"))
                return true;
        }
        return false;
    }

    // The start-up's look at the last update, answering the offer with answer.
    EUnfinishedUpdate StartUp(int answer, int faultStepOfRerun = -1)
    {
        m_prompt.Clear();
        m_prompt.QueueButton(answer);
        m_started.clear();
        return OfferUnfinishedUpdate(m_program.c_str(), nullptr, [&](const CString& package, CString& error) {
            m_started.push_back(package.GetText());
            if (faultStepOfRerun < 0)
                return true;
            error = "not started";
            return RunUpdater(faultStepOfRerun) == 0;
        });
    }

    std::string m_base;
    std::string m_program;
    std::string m_package;
    CScriptedPrompt m_prompt;
    std::vector<std::string> m_started;
};

TEST_F(UpdateResumeTest, AKillAtEveryFileStepIsToldAtTheNextStartAndMendedByRunningItAgain)
{
    MakePackage();
    MakeOldFolder();
    const auto before = Snapshot(m_program);
    ASSERT_EQ(RunUpdater(0), 0);
    const auto after = Snapshot(m_program);
    ASSERT_EQ(after.at("tavrin"), ClientScript("v2"));
    ASSERT_EQ(after.at("html/english/page.htm"), "new page");
    ASSERT_EQ(after.count("updater.unfinished"), 0u) << "a finished update leaves no mark";
    EXPECT_EQ(PackageTest::ReadFile(m_program + "/launched.txt"), "v2\n");
    EXPECT_NE(PackageTest::ReadFile(m_program + "/updater.log").find("DONE - Update completed successfully."),
              std::string::npos)
        << "the log is made when it was missing";
    EXPECT_EQ(StartUp(wxYES), EUnfinishedUpdate::kNone);
    EXPECT_EQ(m_prompt.GetCount(), 0);

    int killed = 0, marked = 0;
    long step = 1;
    for (; step < 1000; ++step) {
        SCOPED_TRACE("killed before file step " + std::to_string(step));
        MakeOldFolder();
        const int code = RunUpdater(step);
        if (code != kFaultExit) {
            // Past the last step: the update ran whole.
            EXPECT_EQ(code, 0);
            EXPECT_EQ(Snapshot(m_program), after);
            break;
        }
        ++killed;
        EXPECT_FALSE(PackageTest::ReadFile(m_program + "/launched.txt").size()) << "a killed updater starts nothing";
        if (!std::filesystem::exists(m_program + "/updater.unfinished")) {
            // Killed before the mark was made or after it went: the folder
            // is whole, old or new, and the start says nothing.
            EXPECT_EQ(StartUp(wxYES), EUnfinishedUpdate::kNone);
            EXPECT_EQ(m_prompt.GetCount(), 0);
            const auto now = Snapshot(m_program);
            EXPECT_TRUE(now == before || now == after) << ::testing::PrintToString(now);
            EXPECT_TRUE(Temporaries(m_program).empty());
            continue;
        }
        ++marked;
        // The start tells and offers; No leaves it for the next start, with
        // the temporaries of the killed writers gone.
        EXPECT_EQ(StartUp(wxNO), EUnfinishedUpdate::kLater);
        ASSERT_EQ(m_prompt.GetCount(), 1);
        EXPECT_EQ(m_prompt.GetQuestion(0).caption, "Update");
        EXPECT_EQ(m_prompt.GetQuestion(0).text, CString(kUnfinished) + "Update package:\n" + m_package.c_str() +
                                                    "\n\nRun the update again now?");
        EXPECT_EQ(Temporaries(m_program), std::vector<std::string>());
        EXPECT_TRUE(m_started.empty());
        // Yes runs it again: a whole new folder, no mark, no temporaries.
        EXPECT_EQ(StartUp(wxYES, 0), EUnfinishedUpdate::kUpdaterStarted);
        EXPECT_EQ(m_started, std::vector<std::string>{m_package});
        EXPECT_EQ(Snapshot(m_program), after);
        EXPECT_EQ(PackageTest::ReadFile(m_program + "/launched.txt"), "v2\n");
        EXPECT_EQ(StartUp(wxYES), EUnfinishedUpdate::kNone);
    }
    EXPECT_LT(step, 1000) << "the update never ran to its end";
    // Steps before the mark (the log) and after it went, and many between.
    EXPECT_GT(killed, marked);
    EXPECT_GE(marked, 15);
}

TEST_F(UpdateResumeTest, AKilledRerunIsStillToldAndTheUsersFolderIsNeverTouched)
{
    MakePackage();
    MakeOldFolder();
    ASSERT_EQ(RunUpdater(0), 0);
    const auto after = Snapshot(m_program);

    // Killed late in the first run and again early in the second: the mark
    // of the second names the same package, and the third run mends all.
    ASSERT_TRUE(KillWhileMarked(20));
    EXPECT_EQ(StartUp(wxYES, 5), EUnfinishedUpdate::kNotStarted);
    ASSERT_EQ(m_prompt.GetCount(), 2);
    EXPECT_EQ(m_prompt.GetQuestion(1).text,
              "The updater could not be started:\n\nnot started\n\nThe update is still not finished.");
    EXPECT_EQ(StartUp(wxYES, 0), EUnfinishedUpdate::kUpdaterStarted);
    EXPECT_EQ(Snapshot(m_program), after);
    EXPECT_EQ(PackageTest::ReadFile(m_program + "/users/tester/user.cfg"), "profile={name=Tess\n}\n");
    const std::string log = PackageTest::ReadFile(m_program + "/updater.log");
    EXPECT_NE(log.find("An earlier update did not finish: \"" + m_package + "\""), std::string::npos) << log;
}

TEST_F(UpdateResumeTest, AMarkWhosePackageIsGoneIsToldOnceAndCleared)
{
    MakePackage();
    ASSERT_TRUE(KillWhileMarked(10));
    ASSERT_EQ(unlink(m_package.c_str()), 0);

    EXPECT_EQ(StartUp(wxOK), EUnfinishedUpdate::kPackageGone);
    ASSERT_EQ(m_prompt.GetCount(), 1);
    EXPECT_EQ(m_prompt.GetQuestion(0).text, CString(kUnfinished) + "Its package is no longer there:\n" +
                                                m_package.c_str() + "\n\nInstall the update again to mend Rookwell.");
    EXPECT_TRUE(m_prompt.GetQuestion(0).style & wxOK);
    EXPECT_FALSE(m_prompt.GetQuestion(0).style & wxYES_NO) << "nothing can be offered";
    EXPECT_TRUE(m_started.empty());
    EXPECT_TRUE(Temporaries(m_program).empty());
    EXPECT_EQ(StartUp(wxOK), EUnfinishedUpdate::kNone) << "told once";
    EXPECT_EQ(m_prompt.GetCount(), 0);
}

} // namespace
