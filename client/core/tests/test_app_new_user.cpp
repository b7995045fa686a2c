// A new user who closes the profile dialog instead of confirming it: the
// client does not start, and the user folder waits for the next start with
// its placeholder profile id. A user whose settings file was damaged is
// told and offered the profile dialog.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <wx/defs.h>

#include "client/core/ChessApp.h"
#include "foundation/Config.h"
#include "foundation/ConfigText.h"
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

// A user whose user.cfg was cut short (a disk, a sync tool): the start
// tells them, keeps the file aside, offers the profile dialog, and the
// statistics that could be read reach the file written at exit.
TEST(AppNewUser, ADamagedSettingsFileIsToldAndTheProfileOffered)
{
    CHarness client;
    ASSERT_TRUE(client.PrepareFolder("setuser = kim")) << client.GetError();
    Zorlin::CConfig settings;
    const std::string defaults = client.ReadFile("assets/cfg/defaultuser.cfg");
    ASSERT_TRUE(settings.ReadText(defaults.data(), int(defaults.size())));
    settings.GetValue(".profile.id") = "A1B2C3";
    settings.GetValue(".profile.name") = "Kim";
    settings.GetValue(".preferences.matches.played") = "12";
    settings.GetValue(".preferences.matches.won") = "5";
    const std::string whole = settings.ToText(true).GetText();
    const size_t cut = whole.find("drawn");
    ASSERT_NE(cut, std::string::npos);
    const std::string damaged = whole.substr(0, cut);
    ASSERT_EQ(std::system(("mkdir -p '" + client.Path("users/kim") + "'").c_str()), 0);
    std::ofstream(client.Path("users/kim/user.cfg"), std::ios::binary) << damaged;

    client.GetPrompt().QueueButton(wxYES);
    if (!client.Start({}))
        GTEST_SKIP() << client.GetError();
    EXPECT_TRUE(client.OnInitResult());
    ASSERT_GE(client.GetPrompt().GetCount(), 1);
    const CScriptedPrompt::SQuestion& told = client.GetPrompt().GetQuestion(0);
    EXPECT_EQ(told.caption, "Settings");
    EXPECT_NE(std::string(told.text.GetText()).find("user.cfg.damaged"), std::string::npos) << told.text.GetText();
    EXPECT_EQ(told.style & wxYES_NO, wxYES_NO);
    const CHarness::SFirstRun& first = client.GetFirstRun();
    EXPECT_TRUE(first.profileShown) << "the Yes opens the profile dialog";
    EXPECT_FALSE(first.introShown) << "the profile was kept: no new user's introduction";
    EXPECT_TRUE(first.cancelEnabled);
    EXPECT_EQ(client.ReadFile("users/kim/user.cfg.damaged"), damaged);
    client.Stop();

    Zorlin::CConfig saved;
    const std::string text = client.ReadFile("users/kim/user.cfg");
    EXPECT_TRUE(Zorlin::ReadTextWhole(saved, text.data(), int(text.size())));
    EXPECT_EQ(saved.GetValueOr(".profile.id", ""), "A1B2C3");
    EXPECT_EQ(saved.GetValueOr(".preferences.matches.played", ""), "12");
    EXPECT_EQ(saved.GetValueOr(".preferences.matches.won", ""), "5");
    EXPECT_EQ(client.ReadFile("users/kim/user.cfg.damaged"), damaged) << "the damaged file is not written over";
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

} // namespace
