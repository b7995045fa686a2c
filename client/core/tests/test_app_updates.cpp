// The real start-up after an update went wrong: a new updater that cannot
// run here is refused and told, an unfinished update whose package is gone
// is told and the start goes on, and a Yes to running an unfinished update
// again starts the updater and ends the start so it can work.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <wx/defs.h>

#include "client/core/ChessApp.h"
#include "client/view/tests/support/GuiLeaks.h"
#include "support/AppHarness.h"

using AppTest::CHarness;

namespace {

void MakeUser(CHarness& client)
{
    ASSERT_EQ(std::system(("mkdir -p '" + client.Path("users/tester") + "'").c_str()), 0);
    std::ofstream(client.Path("users/tester/user.cfg")) << "profile={id=ABC123\nname=Tess\n}\n"
                                                           "preferences={language=english\n}\n";
}

void WriteProgram(CHarness& client, const std::string& name, const std::string& bytes, mode_t mode)
{
    std::ofstream(client.Path(name), std::ios::binary) << bytes;
    chmod(client.Path(name).c_str(), mode);
}

std::string Mark(const std::string& package)
{
    return "update={package=\"" + package + "\"\nfolders=\"html/\n\"\n}\n";
}

pid_t GonePid()
{
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    return gone;
}

TEST(AppUpdates, ARefusedUpdaterAndAnUpdateWithoutItsPackageAreToldAndTheStartGoesOn)
{
    CHarness client;
    ASSERT_TRUE(client.PrepareFolder("setuser = tester")) << client.GetError();
    MakeUser(client);
    const std::string oldUpdater = "#!/bin/sh\n# the updater that works\nexit 0\n";
    WriteProgram(client, "updater", oldUpdater, 0755);
    WriteProgram(client, "updater.update", std::string("\x7f" "ELF\x02\x01\x01\0damaged", 15), 0755);
    const std::string gone = client.Path("../downloads/update.rwf");
    std::ofstream(client.Path("updater.unfinished")) << Mark(gone);
    const std::string stray = "html/.index.htm.tmp-" + std::to_string(GonePid()) + "-0";
    std::ofstream(client.Path(stray)) << "a killed writer's";

    client.GetPrompt().QueueButton(wxOK);
    client.GetPrompt().QueueButton(wxOK);
    if (!client.Start({}))
        GTEST_SKIP() << client.GetError();
    EXPECT_TRUE(client.OnInitResult());
    ASSERT_GE(client.GetPrompt().GetCount(), 2);
    const CScriptedPrompt::SQuestion& refused = client.GetPrompt().GetQuestion(0);
    EXPECT_EQ(refused.caption, "Update");
    EXPECT_EQ(refused.text, Zorlin::CString(("The updater that came with the last update can not run on this "
                                             "computer, so Rookwell keeps the updater it had.\n\n" +
                                             client.Path("updater.update") +
                                             " is not a program for this computer.")
                                                .c_str()));
    const CScriptedPrompt::SQuestion& unfinished = client.GetPrompt().GetQuestion(1);
    EXPECT_EQ(unfinished.caption, "Update");
    EXPECT_NE(std::string(unfinished.text.GetText()).find("Its package is no longer there:\n" + gone),
              std::string::npos)
        << unfinished.text.GetText();
    EXPECT_EQ(client.GetPrompt().GetUnexpectedCount(), 0);

    EXPECT_EQ(client.ReadFile("updater"), oldUpdater);
    EXPECT_FALSE(client.Exists("updater.update"));
    EXPECT_FALSE(client.Exists("updater.unfinished"));
    EXPECT_FALSE(client.Exists(stray));
    EXPECT_NE(client.GetApp()->m_frame, nullptr) << "the client runs";
    client.Stop();
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST(AppUpdates, YesToAnUnfinishedUpdateHandsOverToTheUpdater)
{
    CHarness client;
    ASSERT_TRUE(client.PrepareFolder("setuser = tester")) << client.GetError();
    MakeUser(client);
    const std::string package = client.Path("../update.rwf");
    std::ofstream(package) << "the package";
    std::ofstream(client.Path("updater.unfinished")) << Mark(package);
    const std::string started = client.Path("../started");
    ASSERT_EQ(mkfifo(started.c_str(), 0600), 0);
    WriteProgram(client, "updater", "#!/bin/sh\nprintf '%s|' \"$@\" > '" + started + "'\n", 0755);
    // Open before the start, so the updater's write finds its reader.
    const int reader = open(started.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    client.GetPrompt().QueueButton(wxYES);
    if (!client.Start({})) {
        close(reader);
        GTEST_SKIP() << client.GetError();
    }
    EXPECT_FALSE(client.OnInitResult()) << "the client gives way to the updater";
    ASSERT_EQ(client.GetPrompt().GetCount(), 1);
    EXPECT_EQ(client.GetPrompt().GetQuestion(0).style & wxYES_NO, wxYES_NO);
    EXPECT_EQ(client.GetApp()->m_frame, nullptr);

    struct pollfd watch = {reader, POLLIN, 0};
    ASSERT_EQ(poll(&watch, 1, 60000), 1) << "the updater was not started";
    char buffer[4096];
    const ssize_t got = read(reader, buffer, sizeof buffer);
    close(reader);
    ASSERT_GT(got, 0);
    EXPECT_EQ(std::string(buffer, size_t(got)), package + "|tavrin|");
    EXPECT_TRUE(client.Exists("updater.unfinished")) << "the mark stays until the updater has finished";
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

} // namespace
