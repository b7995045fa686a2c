// The real updater in a temporary program folder. The test plays the client:
// it starts the updater through a helper process that ends at once, as the
// client does, and adopts the updater (and the client it restarts) as a
// subreaper so it can wait for both. The client is a script that records
// how it was started; questions are answered on the updater's input.

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/UpdateFixture.h"

extern char** environ;

using namespace UpdateTest;

namespace {

const char* const kReady = "Ready to begin update.";
const char* const kSuccess = "Update was successful! :-)\n\nClick OK to launch Rookwell.";
const char* const kRuleLine = "--------------------------------------\r\n";

std::string ClientScript(const std::string& version)
{
    return "#!/bin/sh\necho \"" + version + " args=$# cwd=$(pwd)\" >> \"$(dirname \"$0\")/launched.txt\"\n";
}

struct SRun {
    int code = -1;
    std::string messages; // what the updater told on its error output
};

class UpdaterProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        ASSERT_EQ(::mkdir(Program().c_str(), 0755), 0);
        WriteText(Program() + "/updater", ReadText(UPDATER_PROGRAM), 0755);
        WriteText(Program() + "/tavrin", ClientScript("v1"), 0755);
        WriteText(Program() + "/readme.txt", "old readme");
        m_updater = ReadText(UPDATER_PROGRAM);
    }

    std::string Program() const { return m_temp / "program"; }
    std::string Launched() const { return ReadText(Program() + "/launched.txt"); }
    std::string Log() const { return ReadText(Program() + "/updater.log"); }

    // The updater's environment without a display, so it talks on the console.
    static std::vector<std::string> Environment()
    {
        std::vector<std::string> out;
        for (char** e = environ; *e; ++e) {
            if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "WAYLAND_DISPLAY=", 16) != 0)
                out.push_back(*e);
        }
        return out;
    }

    // Runs the program folder's updater in folder cwd with the arguments,
    // answering its question with answer; waits for it and for whatever it started.
    SRun Run(const std::vector<std::string>& arguments, const std::string& answer = "ok\n",
             const std::string& cwd = "")
    {
        SRun run;
        int input[2], output[2], report[2];
        if (::pipe(input) != 0 || ::pipe(output) != 0 || ::pipe(report) != 0)
            return run;
        std::string program = Program() + "/updater";
        std::vector<std::string> args = {program};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<std::string> env = Environment();
        std::string folder = cwd.empty() ? m_temp.Path() : cwd;

        pid_t helper = ::fork();
        if (helper == 0) {
            // The client's part: start the updater and end.
            std::vector<char*> argv, envp;
            for (auto& a : args)
                argv.push_back(&a[0]);
            argv.push_back(nullptr);
            for (auto& e : env)
                envp.push_back(&e[0]);
            envp.push_back(nullptr);
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_adddup2(&actions, input[0], 0);
            posix_spawn_file_actions_adddup2(&actions, output[1], 2);
            for (int fd : {input[0], input[1], output[0], output[1], report[0], report[1]})
                posix_spawn_file_actions_addclose(&actions, fd);
            posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
            pid_t pid = -1;
            if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
                pid = -1;
            ssize_t ignored = ::write(report[1], &pid, sizeof pid);
            (void)ignored;
            // Give the updater a moment to see who started it; it waits for us to go.
            ::usleep(100000);
            ::_exit(0);
        }
        ::close(input[0]);
        ::close(output[1]);
        ::close(report[1]);
        ssize_t written = ::write(input[1], answer.data(), answer.size());
        (void)written;
        ::close(input[1]);
        pid_t updater = -1;
        if (::read(report[0], &updater, sizeof updater) != ssize_t(sizeof updater))
            updater = -1;
        ::close(report[0]);
        int status = 0;
        ::waitpid(helper, &status, 0);

        char block[4096];
        ssize_t n;
        while ((n = ::read(output[0], block, sizeof block)) > 0)
            run.messages.append(block, size_t(n));
        ::close(output[0]);
        if (updater > 0 && ::waitpid(updater, &status, 0) == updater && WIFEXITED(status))
            run.code = WEXITSTATUS(status);
        // The restarted client, adopted by us once the updater ended.
        while (::waitpid(-1, &status, 0) > 0) {
        }
        EXPECT_EQ(run.messages.find("Sanitizer"), std::string::npos) << run.messages;
        EXPECT_EQ(run.messages.find("runtime error"), std::string::npos) << run.messages;
        return run;
    }

    static bool Told(const SRun& run, const std::string& text)
    {
        return run.messages.find("Updater: " + text) != std::string::npos;
    }

    CTempFolder m_temp;
    std::string m_updater;
};

TEST_F(UpdaterProgramTest, AnUpdateInstallsEverythingAndStartsTheNewClient)
{
    WriteText(Program() + "/updater.log", "previous run\r\n");
    WriteText(Program() + "/html/english/page.htm", "old page");
    const std::string downloads = m_temp / "my downloads";
    ASSERT_TRUE(WritePackage(downloads + "/new update.rwf",
                             {{"contents/update/tavrin", ClientScript("v2")},
                              {"contents/update/updater", ElfImage("next updater")},
                              {"contents/update/readme.txt", "new readme"},
                              {"contents/update/engines/stub/engine", ElfImage("stub engine")},
                              {"contents/update/engines/stub/info.cfg", "name = Stub\n"},
                              {"contents/update/HTML/English/page.htm", "new page"}}));

    SRun run = Run({"new update.rwf", "tavrin"}, "ok\n", downloads);

    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(Told(run, kReady)) << run.messages;
    EXPECT_TRUE(Told(run, kSuccess)) << run.messages;
    // Every file but the new updater, in the plan's order, each shown.
    EXPECT_TRUE(Told(run, "copying 1 of 6: tavrin")) << run.messages;
    EXPECT_TRUE(Told(run, "copying 6 of 6: HTML/English/page.htm")) << run.messages;
    EXPECT_EQ(ReadText(Program() + "/readme.txt"), "new readme");
    EXPECT_EQ(ModeOf(Program() + "/readme.txt") & 0111, 0);
    EXPECT_EQ(ReadText(Program() + "/engines/stub/engine"), ElfImage("stub engine"));
    EXPECT_EQ(ModeOf(Program() + "/engines/stub/engine"), 0755);
    EXPECT_EQ(ReadText(Program() + "/html/english/page.htm"), "new page");
    EXPECT_FALSE(IsThere(Program() + "/HTML"));
    // The running updater stays; its successor waits beside it for the client.
    EXPECT_TRUE(ReadText(Program() + "/updater") == m_updater) << "the running updater was overwritten";
    EXPECT_EQ(ReadText(Program() + "/updater.update"), ElfImage("next updater"));
    EXPECT_EQ(ModeOf(Program() + "/updater.update"), 0755);
    // The new client was the one started: it was made runnable.
    EXPECT_EQ(Launched(), "v2 args=0 cwd=" + Program() + "\n");

    EXPECT_EQ(Log(), std::string("previous run\r\n") + kRuleLine +
                         "Update package: \"new update.rwf\"\r\n"
                         "Updating 'updater'!\r\n"
                         "Writing files...\r\n"
                         "tavrin\r\nupdater\r\nreadme.txt\r\nengines\r\n stub\r\n  engine\r\n  info.cfg\r\n"
                         "HTML\r\n English\r\n  page.htm\r\n"
                         "\r\n"
                         "DONE - Update completed successfully.\r\n"
                         "Running tavrin\r\n");
}

TEST_F(UpdaterProgramTest, StartedByHandItOnlyExplainsItself)
{
    WriteText(Program() + "/updater.log", "");
    SRun run = Run({});
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(Told(run, "Updater is used by Rookwell to perform updates,\nand does not need to be run manually."));
    EXPECT_FALSE(Told(run, kReady));
    EXPECT_FALSE(IsThere(Program() + "/launched.txt"));
    EXPECT_EQ(Log(), "");
}

TEST_F(UpdaterProgramTest, CancelInstallsNothingAndStartsTheClientAgain)
{
    WriteText(Program() + "/updater.log", "");
    const std::string package = m_temp / "update.rwf";
    ASSERT_TRUE(WritePackage(package, {{"contents/update/readme.txt", "new readme"},
                                       {"contents/update/updater", ElfImage("next")}}));
    auto before = Snapshot(Program());

    SRun run = Run({package, "tavrin"}, "cancel\n");

    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(Told(run, "Update has not been installed.\n\nClick OK to return to Rookwell.")) << run.messages;
    EXPECT_EQ(Launched(), "v1 args=0 cwd=" + Program() + "\n");
    ::unlink((Program() + "/launched.txt").c_str());
    EXPECT_EQ(Snapshot(Program()), before);
}

TEST_F(UpdaterProgramTest, ABadPackageIsRefusedUntouchedAndTheClientStillStarts)
{
    std::string big;
    for (int i = 0; i < 30000; ++i)
        big += char('a' + (i * 11) % 26);
    const std::string noFile = m_temp / "missing.rwf";
    const std::string notArchive = m_temp / "notes.rwf";
    WriteText(notArchive, "type = network invite\nfrom = someone\n");
    const std::string noContents = m_temp / "other.rwf";
    ASSERT_TRUE(WritePackage(noContents, {{"contents/engine/info.cfg", "name = x\n"}}));
    const std::string damaged = m_temp / "damaged.rwf";
    ASSERT_TRUE(WritePackage(damaged, {{"contents/update/updater", ElfImage("next")},
                                       {"contents/update/readme.txt", "new readme"},
                                       {"contents/update/data.bin", big}}));
    const long dataAt = DataOffset(damaged, "contents/update/data.bin");
    ASSERT_GE(dataAt, 0);
    Spoil(damaged, dataAt + 4, 40);

    struct SCase {
        std::string package;
        std::string logLine;
        std::string message;
    } cases[] = {
        {noFile, "FAILED - Could not open update file.\r\n", "Could not open update file.\nUpdate has not been installed."},
        {notArchive, "FAILED - Could not open update package.\r\n",
         "Could not open update package.\nUpdate has not been installed."},
        {noContents, "FAILED - Could not read package contents in dir \"contents/update\".\r\n",
         "Could not find package contents.\n\nUpdate has not been installed."},
        {damaged, "FAILED - Could not read 'data.bin' from the package.\r\n",
         "Could not open update package.\nUpdate has not been installed."},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.package);
        WriteText(Program() + "/updater.log", "");
        ::unlink((Program() + "/launched.txt").c_str());
        auto before = Snapshot(Program());

        SRun run = Run({c.package, "tavrin"});

        EXPECT_EQ(run.code, 1);
        EXPECT_TRUE(Told(run, c.message)) << run.messages;
        EXPECT_EQ(Log(), kRuleLine + ("Update package: \"" + c.package + "\"\r\n") + c.logLine + "Running tavrin\r\n");
        EXPECT_EQ(Launched(), "v1 args=0 cwd=" + Program() + "\n");
        ::unlink((Program() + "/launched.txt").c_str());
        auto after = Snapshot(Program());
        EXPECT_EQ(after.size(), before.size());
        after.erase(std::remove_if(after.begin(), after.end(), [](auto& e) { return e.first == "updater.log"; }),
                    after.end());
        before.erase(std::remove_if(before.begin(), before.end(), [](auto& e) { return e.first == "updater.log"; }),
                     before.end());
        EXPECT_EQ(after, before);
    }
}

TEST_F(UpdaterProgramTest, WithoutALogOneIsMadeAndWithoutANewUpdaterNoneAppears)
{
    const std::string package = m_temp / "update.rwf";
    ASSERT_TRUE(WritePackage(package, {{"contents/update/readme.txt", "new readme"}}, false));

    SRun run = Run({package, "tavrin"});

    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(Told(run, kSuccess)) << run.messages;
    EXPECT_EQ(ReadText(Program() + "/readme.txt"), "new readme");
    // Every update leaves its trace, so one that was cut short can be told.
    EXPECT_EQ(Log(), kRuleLine + ("Update package: \"" + package + "\"\r\n") +
                         "Writing files...\r\nreadme.txt\r\n\r\n"
                         "DONE - Update completed successfully.\r\nRunning tavrin\r\n");
    EXPECT_FALSE(IsThere(Program() + "/updater.update"));
    EXPECT_FALSE(IsThere(Program() + "/updater.unfinished")) << "a finished update leaves no mark";
    EXPECT_EQ(Launched(), "v1 args=0 cwd=" + Program() + "\n");
}

// What an earlier, killed run left: its mark (naming another package and
// folders) and full-size temporaries beside the files it was writing. This
// run clears them from every folder either update writes, and from no other.
TEST_F(UpdaterProgramTest, ARunAfterAKilledOneClearsItsMarkAndTemporaries)
{
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string dead = std::to_string(gone);
    WriteText(Program() + "/.tavrin.tmp-" + dead + "-0", "half of a new client");
    WriteText(Program() + "/.updater.update.tmp-" + dead + "-1", "half of a new updater");
    WriteText(Program() + "/engines/stub/.engine.tmp-" + dead + "-2", "half of an engine");
    WriteText(Program() + "/voices/old/.info.cfg.tmp-" + dead + "-3", "from the earlier package");
    WriteText(Program() + "/users/me/.user.cfg.tmp-" + dead + "-4", "not the update's");
    WriteText(Program() + "/updater.unfinished",
              "update={package=\"/gone/earlier.rwf\"\nfolders=\"voices/\nvoices/old/\n\"\n}\n");
    const std::string package = m_temp / "update.rwf";
    ASSERT_TRUE(WritePackage(package, {{"contents/update/tavrin", ClientScript("v2")},
                                       {"contents/update/engines/stub/engine", ElfImage("stub engine")}}));

    SRun run = Run({package, "tavrin"});

    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(Told(run, kSuccess)) << run.messages;
    std::vector<std::string> names;
    for (const auto& entry : Snapshot(Program()))
        names.push_back(entry.first);
    EXPECT_EQ(names, (std::vector<std::string>{"engines/", "engines/stub/", "engines/stub/engine", "launched.txt",
                                                "readme.txt", "tavrin", "updater", "updater.log", "users/",
                                                "users/me/", "users/me/.user.cfg.tmp-" + dead + "-4", "voices/",
                                                "voices/old/"}));
    EXPECT_NE(Log().find("An earlier update did not finish: \"/gone/earlier.rwf\"\r\n"), std::string::npos) << Log();
    EXPECT_EQ(Launched(), "v2 args=0 cwd=" + Program() + "\n");
}

TEST_F(UpdaterProgramTest, AFolderThatCannotBeWrittenIsRefusedBeforeAnythingChanges)
{
    const std::string package = m_temp / "update.rwf";
    ASSERT_TRUE(WritePackage(package, {{"contents/update/readme.txt", "new readme"}}));
    WriteText(Program() + "/updater.log", "");
    ASSERT_EQ(::chmod(Program().c_str(), 0555), 0);
    if (::access(Program().c_str(), W_OK) == 0) {
        ::chmod(Program().c_str(), 0755);
        GTEST_SKIP() << "running with rights that write any folder";
    }
    auto before = Snapshot(Program());

    SRun run = Run({package, "tavrin"});

    ::chmod(Program().c_str(), 0755);
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(Told(run, "Could not write to the Rookwell folder.\n\nUpdate has not been installed.")) << run.messages;
    EXPECT_NE(Log().find("FAILED - Could not write 'updater.unfinished'.\r\n"), std::string::npos) << Log();
    auto after = Snapshot(Program());
    after.erase(std::remove_if(after.begin(), after.end(),
                               [](auto& e) { return e.first == "updater.log" || e.first == "launched.txt"; }),
                after.end());
    before.erase(std::remove_if(before.begin(), before.end(), [](auto& e) { return e.first == "updater.log"; }),
                 before.end());
    EXPECT_EQ(after, before);
}

TEST_F(UpdaterProgramTest, FilesThatCannotBeWrittenMakeTheUpdateAFailure)
{
    WriteText(Program() + "/updater.log", "");
    WriteText(Program() + "/docs", "a file where the package has a folder");
    ASSERT_EQ(::mkdir((Program() + "/voices").c_str(), 0755), 0);
    WriteText(Program() + "/voices/keep", "a folder where the package has a file");
    const std::string package = m_temp / "update.rwf";
    ASSERT_TRUE(WritePackage(package, {{"contents/update/docs/manual.htm", "manual"},
                                       {"contents/update/voices", "not a folder"},
                                       {"contents/update/readme.txt", "new readme"}}));

    SRun run = Run({package, "tavrin"});

    EXPECT_EQ(run.code, 1);
    EXPECT_FALSE(Told(run, kSuccess));
    EXPECT_TRUE(Told(run, "Update was not completed: these files could not be written:\n\ndocs/\nvoices\n"))
        << run.messages;
    std::string log = Log();
    EXPECT_NE(log.find("FAILED - Could not write 'docs/'\r\nFAILED - Could not write 'voices'\r\n"
                       "FAILED - Update was not completed: 2 file(s) could not be written.\r\nRunning tavrin\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("DONE"), std::string::npos);
    // What could be written was, and the client came back.
    EXPECT_EQ(ReadText(Program() + "/readme.txt"), "new readme");
    EXPECT_EQ(ReadText(Program() + "/voices/keep"), "a folder where the package has a file");
    // The refused replacement left no temporary file behind.
    std::vector<std::string> names;
    for (const auto& entry : Snapshot(Program()))
        names.push_back(entry.first);
    // The mark stays: the next start offers to run the update again.
    EXPECT_EQ(names, (std::vector<std::string>{"docs", "launched.txt", "readme.txt", "tavrin", "updater",
                                                "updater.log", "updater.unfinished", "voices/", "voices/keep"}));
    EXPECT_EQ(Launched(), "v1 args=0 cwd=" + Program() + "\n");
}

TEST_F(UpdaterProgramTest, OnlyAClientOfTheProgramFolderIsStarted)
{
    WriteText(Program() + "/updater.log", "");
    WriteText(m_temp / "outside", ClientScript("outside"), 0755);
    for (const char* name : {"../outside", "nosuch", "/bin/sh"}) {
        SCOPED_TRACE(name);
        SRun run = Run({m_temp / "missing.rwf", name});
        EXPECT_EQ(run.code, 1);
        EXPECT_TRUE(Told(run, "Unable to launch Rookwell.")) << run.messages;
    }
    EXPECT_FALSE(IsThere(m_temp / "launched.txt"));
    EXPECT_FALSE(IsThere(Program() + "/launched.txt"));
}

TEST_F(UpdaterProgramTest, WithoutTheClientsNameTheUsualClientComesBack)
{
    WriteText(Program() + "/updater.log", "");
    const std::string package = m_temp / "update.rwf";
    ASSERT_TRUE(WritePackage(package, {{"contents/update/readme.txt", "new readme"}}));
    SRun run = Run({package});
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(Told(run, kSuccess)) << run.messages;
    EXPECT_EQ(Launched(), "v1 args=0 cwd=" + Program() + "\n");
    EXPECT_NE(Log().find("Running tavrin\r\n"), std::string::npos) << Log();
    ::unlink((Program() + "/launched.txt").c_str());

    // An empty name, after a failure.
    run = Run({m_temp / "missing.rwf", ""});
    EXPECT_EQ(run.code, 1);
    EXPECT_FALSE(Told(run, "Unable to launch Rookwell.")) << run.messages;
    EXPECT_EQ(Launched(), "v1 args=0 cwd=" + Program() + "\n");
}

} // namespace

namespace {

TEST_F(UpdaterProgramTest, TheLogEscapesWhatItIsGivenSoNoLineCanBeForged)
{
    WriteText(Program() + "/updater.log", "");
    const std::string forged = m_temp / "x\r\nDONE - Update completed successfully.\r\n\x1b[2J.rwf";
    SRun run = Run({forged, "tavrin"});
    EXPECT_EQ(run.code, 1);
    const std::string log = Log();
    EXPECT_EQ(log.find("\r\nDONE"), std::string::npos) << log;
    EXPECT_EQ(log.find('\x1b'), std::string::npos) << log;
    EXPECT_NE(log.find("x\\x0d\\x0aDONE - Update completed successfully.\\x0d\\x0a\\x1b[2J.rwf"), std::string::npos)
        << log;
    EXPECT_NE(log.find("FAILED - Could not open update file."), std::string::npos) << log;
}

} // namespace
