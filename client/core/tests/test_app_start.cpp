// A start after a crash, from another folder, with a relative file on the
// command line: the safe-mode question, its settings on disk, the
// troubleshooting page, and the file named by its absolute path.

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "foundation/Config.h"
#include "support/AppHarness.h"
#include "client/view/tests/support/GuiLeaks.h"

using AppTest::CHarness;

namespace {

TEST(AppStart, AfterACrashSafeModeIsOfferedAndTheFileArgumentOpens)
{
    CHarness client;
    ASSERT_TRUE(client.PrepareFolder("setuser = tester")) << client.GetError();
    ASSERT_EQ(mkdir(client.Path("users").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(client.Path("users/tester").c_str(), 0755), 0);
    std::ofstream(client.Path("users/tester/user.cfg")) << "profile={id=ABC123\nname=Tess\n}\n"
                                                           "preferences={graphics={16bit=no\n}\nlanguage=english\n}\n";
    std::ofstream(client.Path("users/tester/running.marker")) << "1\n";
    std::string elsewhere = client.Path("../elsewhere");
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
    char real[4096];
    ASSERT_NE(realpath(elsewhere.c_str(), real), nullptr);
    elsewhere = real;
    // A game type no other file holds: its name in the message proves which
    // file was read.
    ASSERT_EQ(mkdir((elsewhere + "/my games").c_str(), 0755), 0);
    std::ofstream(elsewhere + "/my games/a game.rwg") << "game={type=OnlyHere\n}\n";
    client.GetPrompt().QueueButton(wxYES); // safe mode?
    client.GetPrompt().QueueButton(wxOK);  // it is on
    if (!client.Start({"my games/a game.rwg"}, elsewhere))
        GTEST_SKIP() << client.GetError();
    ASSERT_TRUE(client.OnInitResult());
    CChessApp* app = client.GetApp();

    ASSERT_GE(client.GetPrompt().GetCount(), 3);
    EXPECT_EQ(client.GetPrompt().GetQuestion(0).caption, "Safe Mode");
    EXPECT_TRUE(client.GetPrompt().GetQuestion(0).style & wxYES_NO);
    // Safe mode is on now and on disk, before anything else ran.
    EXPECT_TRUE(app->m_16BitColour);
    EXPECT_TRUE(app->m_smallTextures);
    Zorlin::CConfig saved;
    std::string text = client.ReadFile("users/tester/user.cfg");
    ASSERT_TRUE(saved.ReadText(text.data(), int(text.size())));
    EXPECT_EQ(saved.GetValueOr(".preferences.graphics.16bit", ""), "yes");
    EXPECT_EQ(saved.GetValueOr(".preferences.graphics.small textures", ""), "yes");
    EXPECT_EQ(saved.GetValueOr(".profile.name", ""), "Tess");

    // Both answers lead to the troubleshooting page.
    ASSERT_TRUE(client.PumpUntil([&] { return !client.OpenedAddresses().empty(); }));
    EXPECT_NE(client.OpenedAddresses()[0].find("/html/english/Doc/troubleshooting.htm"), std::string::npos);

    // The file was named relative to where the client was started.
    const CScriptedPrompt::SQuestion& open = client.GetPrompt().GetQuestion(client.GetPrompt().GetCount() - 1);
    std::string shown = open.text.GetText();
    EXPECT_NE(shown.find("'OnlyHere' game type"), std::string::npos) << shown;

    // An existing user's folder gets what it lacks, and keeps its settings.
    EXPECT_TRUE(client.Exists("users/tester/played games"));
    EXPECT_EQ(app->m_userConfig->GetValueOr(".profile.id", ""), "ABC123");
    // The marker is there again for this run and goes at a clean exit.
    EXPECT_TRUE(client.Exists("users/tester/running.marker"));
    client.Stop();
    EXPECT_FALSE(client.Exists("users/tester/running.marker"));
    EXPECT_EQ(client.GetPrompt().GetUnexpectedCount(), 1) << "only the file message is unscripted";
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

} // namespace
