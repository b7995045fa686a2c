// Start-ups that cannot go on: the exit that follows touches only what
// exists and writes no settings.

#include <gtest/gtest.h>

#include <cstdio>

#include "client/core/ChessApp.h"
#include "support/AppHarness.h"
#include "client/view/tests/support/GuiLeaks.h"

using AppTest::CHarness;

namespace {

TEST(AppStart, WithoutProgramSettingsTheClientStopsWithAMessage)
{
    CHarness client;
    ASSERT_TRUE(client.PrepareFolder("")) << client.GetError();
    ASSERT_EQ(std::remove(client.Path("cfg/app.cfg").c_str()), 0);
    if (!client.Start({}))
        GTEST_SKIP() << client.GetError();
    EXPECT_FALSE(client.OnInitResult());
    ASSERT_EQ(client.GetPrompt().GetCount(), 1);
    const CScriptedPrompt::SQuestion& question = client.GetPrompt().GetQuestion(0);
    EXPECT_EQ(question.caption, "Problem");
    EXPECT_NE(std::string(question.text.GetText()).find("couldn't find an important file"), std::string::npos);
    EXPECT_EQ(client.GetApp()->m_frame, nullptr);
    EXPECT_EQ(client.GetApp()->m_userConfig, nullptr);
    client.Stop();
    EXPECT_FALSE(client.Exists("users"));
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

} // namespace
