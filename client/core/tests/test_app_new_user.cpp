// A new user who closes the profile dialog instead of confirming it: the
// client does not start, and the user folder waits for the next start with
// its placeholder profile id.

#include <gtest/gtest.h>

#include "client/core/ChessApp.h"
#include "foundation/Config.h"
#include "support/AppHarness.h"
#include "client/view/tests/support/GuiLeaks.h"

using AppTest::CHarness;

namespace {

TEST(AppNewUser, ClosingTheProfileDialogEndsTheStartAndKeepsTheFolder)
{
    CHarness client;
    ASSERT_TRUE(client.PrepareFolder("setuser = newcomer")) << client.GetError();
    client.SetNewUserName("");
    if (!client.Start({}))
        GTEST_SKIP() << client.GetError();
    EXPECT_FALSE(client.OnInitResult());
    const CHarness::SFirstRun& first = client.GetFirstRun();
    EXPECT_TRUE(first.introShown);
    EXPECT_TRUE(first.introFirst);
    EXPECT_TRUE(first.profileShown);
    EXPECT_FALSE(first.cancelEnabled);
    EXPECT_EQ(client.GetApp()->m_frame, nullptr) << "no frame for an unconfirmed profile";
    EXPECT_EQ(client.GetPrompt().GetCount(), 0) << "no message either";

    ASSERT_TRUE(client.Exists("users/newcomer/user.cfg"));
    Zorlin::CConfig saved;
    std::string text = client.ReadFile("users/newcomer/user.cfg");
    ASSERT_TRUE(saved.ReadText(text.data(), int(text.size())));
    EXPECT_EQ(saved.GetValueOr(".profile.id", ""), "calculate");
    EXPECT_TRUE(saved.GetValueOr(".profile.name", "").IsEmpty());
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

} // namespace
