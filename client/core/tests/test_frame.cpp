// The real application started in a temporary program folder under a
// private X server: the new user, the frame's views, commands by name, the
// keys, the status bar, help pages through the launcher, and the close path.
// The tests run in order on one running client.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include <wx/frame.h>
#include <wx/sashwin.h>
#include <wx/laywin.h>
#include <wx/menu.h>
#include <wx/splitter.h>
#include <wx/statusbr.h>
#include <wx/uiaction.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/dialogs/MenuBar.h"
#include "client/view/ConsoleWindow.h"
#include "foundation/Config.h"
#include "support/AppHarness.h"
#include "support/ClientEnvironment.h"
#include "client/view/tests/support/GuiLeaks.h"

using AppTest::CHarness;
using AppTest::g_client;
using AppTest::g_skip;

namespace {

::testing::Environment* const g_environment = AppTest::AddClientEnvironment();

class Frame : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!g_skip.empty())
            GTEST_SKIP() << g_skip;
        ASSERT_TRUE(g_client->OnInitResult());
        m_app = g_client->GetApp();
        m_frame = m_app->m_frame;
        ASSERT_NE(m_frame, nullptr);
    }
    bool Checked(int id) { return m_frame->GetMenuBar()->IsChecked(id); }
    void Choose(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(m_frame);
        m_frame->GetEventHandler()->ProcessEvent(event);
    }
    Zorlin::CString User(const char* key) { return m_app->m_userConfig->GetValueOr(key, ""); }

    CChessApp* m_app = nullptr;
    CChessFrame* m_frame = nullptr;
};

TEST_F(Frame, ANewUserIsMadeAndTheBrowserViewComesFirst)
{
    EXPECT_TRUE(g_client->Exists("users/tester/user.cfg"));
    EXPECT_TRUE(g_client->Exists("users/tester/played games"));
    // The first start asked for the profile: introduction first, no Cancel.
    const CHarness::SFirstRun& first = g_client->GetFirstRun();
    EXPECT_TRUE(first.introShown);
    EXPECT_TRUE(first.introFirst);
    ASSERT_TRUE(first.profileShown);
    EXPECT_FALSE(first.cancelEnabled);
    EXPECT_EQ(first.profileTitle.rfind("Rookwell - User Profile (", 0), 0u) << first.profileTitle;
    EXPECT_EQ(User(".profile.name"), "Tess Tester");
    EXPECT_NE(User(".profile.id"), "calculate");
    EXPECT_FALSE(User(".profile.id").IsEmpty());
    Zorlin::CConfig saved;
    std::string text = g_client->ReadFile("users/tester/user.cfg");
    ASSERT_TRUE(saved.ReadText(text.data(), int(text.size())));
    EXPECT_EQ(saved.GetValueOr(".profile.id", ""), User(".profile.id")) << "the profile was saved at OK";
    EXPECT_EQ(*m_app->m_userName, "tester");
    EXPECT_TRUE(m_frame->IsBrowserView());
    EXPECT_TRUE(Checked(ID_MENU_BROWSER));
    EXPECT_FALSE(Checked(ID_MENU_BOARD));
    EXPECT_TRUE(m_frame->GetBrowserPanel()->IsShown());
    EXPECT_FALSE(m_frame->GetBoardCanvas()->IsShown());
    EXPECT_FALSE(m_frame->GetGamePanel()->IsShown());
    // The view options come from the new user's defaults.
    EXPECT_TRUE(m_frame->GetShowCoordinates());
    EXPECT_TRUE(Checked(ID_MENU_COORDINATES));
    EXPECT_FALSE(Checked(ID_MENU_SKINNED_CURSOR));
    EXPECT_TRUE(Checked(ID_MENU_PANEL));
    EXPECT_TRUE(Checked(ID_MENU_STATUS_BAR));
    EXPECT_EQ(m_frame->GetTitle(), "Rookwell");
    // The crash marker lives while the client runs.
    EXPECT_TRUE(g_client->Exists("users/tester/running.marker"));
    ASSERT_NE(m_app->m_console, nullptr);
    std::string transcript = m_app->m_console->GetTranscript().GetText();
    EXPECT_NE(transcript.find("Rookwell - v1.24 (Lite)\n"), std::string::npos);
    EXPECT_NE(transcript.find("App path is " + g_client->GetFolder() + "/\n"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("Display Depth is 24 bpp\n"), std::string::npos) << transcript;
}

TEST_F(Frame, TheMenuBarHoldsEveryItemWithItsAccelerators)
{
    wxMenuBar* bar = m_frame->GetMenuBar();
    ASSERT_EQ(bar->GetMenuCount(), 5u);
    const char* titles[] = {"&Game", "&View", "&Actions", "&Options", "&Help"};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(bar->GetMenuLabel(i), titles[i]);
    const int missing[] = {10201, 10208, 10223, 10240, 10245, 10255, 10260};
    int items = 0;
    for (int id = 10201; id <= 10262; ++id) {
        wxMenuItem* item = bar->FindItem(id);
        bool expectedMissing = std::find(std::begin(missing), std::end(missing), id) != std::end(missing) || id == 10262;
        EXPECT_EQ(item == nullptr, expectedMissing) << id;
        if (item)
            ++items;
    }
    EXPECT_EQ(items, 54);
    // Exactly these items carry an accelerator. GTK cannot bind Tab (the key
    // hook does it), so that label goes without its accelerator.
    std::map<int, std::string> accelerators = {
        {ID_MENU_OPEN_GAME, "Ctrl-O"},   {ID_MENU_SAVE_GAME, "Ctrl-S"},  {ID_MENU_REFRESH_BROWSER, "F5"},
        {ID_MENU_MOVE_DIALOG, "Ctrl-M"}, {ID_MENU_MOVE_TEXT, "Ctrl-T"},
        {ID_MENU_CHAT, "Ctrl-H"},        {ID_MENU_CLOCK, "Ctrl-L"},      {ID_MENU_FULLSCREEN, "F11"},
        {ID_MENU_TAKE_BACK, "Ctrl-Z"},   {ID_MENU_HELP_CONTENTS, "F1"}};
    for (int id = 10202; id <= 10261; ++id) {
        wxMenuItem* item = bar->FindItem(id);
        if (!item)
            continue;
        std::string label(item->GetItemLabel().utf8_str().data());
        size_t tab = label.find('\t');
        auto wanted = accelerators.find(id);
        if (wanted == accelerators.end())
            EXPECT_EQ(tab, std::string::npos) << label;
        else
            EXPECT_EQ(tab == std::string::npos ? "" : label.substr(tab + 1), wanted->second) << id;
    }
    // Check items: the View menu's, but Refresh Browser and Fullscreen.
    for (int id : {10224, 10225, 10227, 10228, 10229, 10230, 10231, 10232, 10233, 10234, 10235, 10236, 10237, 10238})
        EXPECT_TRUE(bar->FindItem(id)->IsCheckable()) << id;
    for (int id : {10226, 10239, 10202, 10222, 10242})
        EXPECT_FALSE(bar->FindItem(id)->IsCheckable()) << id;
    EXPECT_EQ(bar->FindItem(ID_MENU_SAVE_GAME)->GetHelp(), bar->FindItem(ID_MENU_SAVE_GAME_AS)->GetHelp());
    EXPECT_TRUE(bar->FindItem(ID_MENU_NETWORK_GAME)->IsSubMenu());
    EXPECT_TRUE(bar->FindItem(ID_MENU_PGN)->GetHelp().empty());
}

TEST_F(Frame, CommandsRunByNameIgnoringCase)
{
    EXPECT_FALSE(m_frame->IsFlipped());
    EXPECT_TRUE(m_frame->ExecuteCommand("view_flip_view"));
    // Flip brings the board into view first.
    EXPECT_FALSE(m_frame->IsBrowserView());
    EXPECT_TRUE(m_frame->IsFlipped());
    EXPECT_TRUE(Checked(ID_MENU_FLIP_VIEW));
    EXPECT_TRUE(Checked(ID_MENU_BOARD));
    EXPECT_FALSE(Checked(ID_MENU_BROWSER));
    EXPECT_TRUE(m_frame->GetBoardCanvas()->IsShown());
    EXPECT_FALSE(m_frame->GetBrowserPanel()->IsShown());
    EXPECT_TRUE(m_frame->GetGamePanel()->IsShown());
    // GAME and MENU name no handler: true, nothing changes.
    EXPECT_TRUE(m_frame->ExecuteCommand("GAME"));
    EXPECT_TRUE(m_frame->ExecuteCommand("Menu"));
    EXPECT_TRUE(m_frame->IsFlipped());
    EXPECT_FALSE(m_frame->ExecuteCommand("VIEW_FLIP"));
    EXPECT_FALSE(m_frame->ExecuteCommand(""));
    EXPECT_TRUE(m_frame->ExecuteCommand("VIEW_BROWSER"));
    EXPECT_TRUE(m_frame->IsBrowserView());
    EXPECT_TRUE(m_frame->GetBrowserPanel()->IsShown());
    EXPECT_TRUE(m_frame->ExecuteCommand("VIEW_DISPLAY_COORDINATES"));
    EXPECT_FALSE(m_frame->GetShowCoordinates());
    EXPECT_FALSE(Checked(ID_MENU_COORDINATES));
    EXPECT_TRUE(m_frame->ExecuteCommand("VIEW_FLIP_VIEW"));
    EXPECT_FALSE(m_frame->IsFlipped());
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(Frame, KeysSwitchViewsPanelAndFullScreen)
{
    m_frame->ExecuteCommand("VIEW_BROWSER");
    EXPECT_TRUE(m_frame->HandleKey(WXK_F2, false));
    EXPECT_FALSE(m_frame->IsBrowserView());
    EXPECT_TRUE(m_frame->HandleKey(WXK_F2, false));
    EXPECT_TRUE(m_frame->IsBrowserView());

    // Tab: board view, panel off.
    ASSERT_TRUE(m_frame->IsPanelEnabled());
    EXPECT_TRUE(m_frame->HandleKey(WXK_TAB, false));
    EXPECT_FALSE(m_frame->IsBrowserView());
    EXPECT_FALSE(m_frame->IsPanelEnabled());
    EXPECT_FALSE(m_frame->GetGamePanel()->IsShown());
    EXPECT_FALSE(Checked(ID_MENU_PANEL));
    // Too narrow a frame: Tab enables the panel but cannot show it. The
    // toolkit may hold the frame wider than asked (its menu bar sets a
    // minimum), so the hidden panel is only checked when the width got below.
    m_frame->SetClientSize(250, 400);
    g_client->PumpUntil([&] { return m_frame->GetClientSize().x == 250; });
    for (int i = 0; i < 20; ++i)
        g_client->Pump();
    const bool narrow = m_frame->GetClientSize().x < CChessFrame::kPanelMinClientWidth;
    EXPECT_TRUE(m_frame->HandleKey(WXK_TAB, false));
    EXPECT_TRUE(m_frame->IsPanelEnabled());
    if (narrow) {
        EXPECT_FALSE(m_frame->GetGamePanel()->IsShown());
        EXPECT_FALSE(Checked(ID_MENU_PANEL));
    }
    // Widening shows it at the next size event.
    m_frame->SetClientSize(700, 500);
    g_client->PumpUntil([&] { return m_frame->GetGamePanel()->IsShown(); });
    EXPECT_TRUE(m_frame->GetGamePanel()->IsShown());

    // F11 and Escape.
    EXPECT_TRUE(m_frame->HandleKey(WXK_F11, false));
    EXPECT_TRUE(m_frame->IsFullScreenMode());
    EXPECT_TRUE(m_frame->HandleKey(WXK_ESCAPE, false));
    EXPECT_FALSE(m_frame->IsFullScreenMode());
    EXPECT_TRUE(m_frame->HandleKey(WXK_ESCAPE, false)); // nothing to leave, still used up
    EXPECT_FALSE(m_frame->IsFullScreenMode());
    // Other keys pass on; Backspace only with Alt.
    EXPECT_FALSE(m_frame->HandleKey('A', false));
    EXPECT_FALSE(m_frame->HandleKey(WXK_BACK, false));
    g_client->PumpUntil([&] { return !m_frame->IsFullScreen(); });
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(Frame, RealKeyPressesReachTheKeyHook)
{
    m_frame->ExecuteCommand("VIEW_BOARD");
    m_frame->Raise();
    m_frame->GetBoardCanvas()->SetFocus();
    g_client->PumpUntil([&] { return m_frame->GetBoardCanvas()->HasFocus(); });
    bool enabled = m_frame->IsPanelEnabled();
    wxUIActionSimulator keys;
    keys.Char(WXK_TAB);
    ASSERT_TRUE(g_client->PumpUntil([&] { return m_frame->IsPanelEnabled() != enabled; }));
    EXPECT_EQ(m_frame->GetGamePanel()->IsShown(), !enabled);
    keys.Char(WXK_TAB);
    ASSERT_TRUE(g_client->PumpUntil([&] { return m_frame->IsPanelEnabled() == enabled; }));
    keys.Char(WXK_F2);
    ASSERT_TRUE(g_client->PumpUntil([&] { return m_frame->IsBrowserView(); }));
    keys.Char(WXK_F2);
    ASSERT_TRUE(g_client->PumpUntil([&] { return !m_frame->IsBrowserView(); }));
}

TEST_F(Frame, TheStatusBarTogglesAgainAndAgain)
{
    ASSERT_NE(m_frame->GetStatusBar(), nullptr);
    for (int round = 0; round < 2; ++round) {
        Choose(ID_MENU_STATUS_BAR);
        EXPECT_EQ(User(".preferences.view.status"), "no");
        EXPECT_FALSE(Checked(ID_MENU_STATUS_BAR));
        EXPECT_FALSE(m_frame->GetStatusBar()->IsShown());
        Choose(ID_MENU_STATUS_BAR);
        EXPECT_EQ(User(".preferences.view.status"), "yes");
        EXPECT_TRUE(Checked(ID_MENU_STATUS_BAR));
        ASSERT_NE(m_frame->GetStatusBar(), nullptr);
        EXPECT_TRUE(m_frame->GetStatusBar()->IsShown());
        EXPECT_EQ(m_frame->GetStatusBar()->GetFieldsCount(), 3);
    }
    // Whose move it is and the last move fit their fields in this font.
    wxStatusBar* bar = m_frame->GetStatusBar();
    wxRect side, last;
    ASSERT_TRUE(bar->GetFieldRect(1, side));
    ASSERT_TRUE(bar->GetFieldRect(2, last));
    EXPECT_GT(side.width, bar->GetTextExtent(" Black to move").x);
    EXPECT_GT(last.width, bar->GetTextExtent("exd8=Q#").x);
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(Frame, HelpPagesOpenThroughTheLauncher)
{
    EXPECT_TRUE(m_frame->HandleKey(WXK_F1, false));
    ASSERT_TRUE(g_client->PumpUntil([] { return g_client->OpenedAddresses().size() >= 1; }));
    std::string folder = g_client->GetFolder();
    std::string escaped;
    for (char c : folder)
        escaped += c == ' ' ? std::string("%20") : std::string(1, c);
    EXPECT_EQ(g_client->OpenedAddresses()[0], "file://" + escaped + "/html/english/Doc/contents.htm");
    m_app->ShowHelp("game", "StartEmailGame");
    ASSERT_TRUE(g_client->PumpUntil([] { return g_client->OpenedAddresses().size() >= 2; }));
    EXPECT_EQ(g_client->OpenedAddresses()[1], "file://" + escaped + "/html/english/Doc/game.htm#StartEmailGame");
    // A page that is not there is reported, not opened.
    int before = g_client->GetPrompt().GetCount();
    m_app->ShowHelp("no such page", nullptr);
    ASSERT_EQ(g_client->GetPrompt().GetCount(), before + 1);
    EXPECT_EQ(g_client->GetPrompt().GetQuestion(before).caption, "Help");
    EXPECT_EQ(g_client->OpenedAddresses().size(), 2u);
}

TEST_F(Frame, ClosingSavesTheWindowAndTheSettings)
{
    m_frame->SetSize(40, 30, 640, 480);
    g_client->PumpUntil([&] { return m_frame->GetSize() == wxSize(640, 480); });
    wxRect rect = m_frame->GetRect();
    g_client->Stop();
    EXPECT_FALSE(g_client->Exists("users/tester/running.marker"));
    Zorlin::CConfig saved;
    std::string text = g_client->ReadFile("users/tester/user.cfg");
    ASSERT_TRUE(saved.ReadText(text.data(), int(text.size())));
    EXPECT_EQ(saved.GetValueOr(".preferences.window.width", ""), std::to_string(rect.width).c_str());
    EXPECT_EQ(saved.GetValueOr(".preferences.window.height", ""), std::to_string(rect.height).c_str());
    EXPECT_EQ(saved.GetValueOr(".preferences.window.x", ""), std::to_string(rect.x).c_str());
    // The view options written by the frame as it went.
    EXPECT_EQ(saved.GetValueOr(".Preferences.View.ShowCoords", ""), "no");
    EXPECT_EQ(saved.GetValueOr(".Preferences.View.ShowLastMove", ""), "yes");
    EXPECT_EQ(saved.GetValueOr(".preferences.view.status", ""), "yes");
    // The console's transcript reached its log when the frame took it along.
    std::string log = g_client->ReadFile("logs/Rookwell - Console.log");
    EXPECT_NE(log.find("App path is "), std::string::npos);
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

} // namespace
