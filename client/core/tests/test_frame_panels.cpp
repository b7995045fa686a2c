// The panels beside the board in the real client under a private X
// server: the game panel with its clock strip, game page and move list, the
// chat pane, and the splitters that hold them. The tests run in order on
// one running client.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/splitter.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "chess/ChessBoard.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/Game.h"
#include "client/core/Player.h"
#include "client/dialogs/MenuBar.h"
#include "client/view/ChatWindow.h"
#include "client/view/ChessWindow.h"
#include "client/view/ClockWindow.h"
#include "client/view/GamePanel.h"
#include "client/view/MoveList.h"
#include "client/view/PanelSplitter.h"
#include "client/view/WebPanel.h"
#include "client/view/tests/support/GuiLeaks.h"
#include "foundation/AssocArray.h"
#include "foundation/Config.h"
#include "foundation/Win32File.h"
#include "support/AppHarness.h"
#include "support/ClientEnvironment.h"

using AppTest::CHarness;
using AppTest::g_client;
using AppTest::g_skip;
using Zorlin::CString;

namespace {

::testing::Environment* const g_environment = AppTest::AddClientEnvironment();

class Panels : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!g_skip.empty())
            GTEST_SKIP() << g_skip;
        ASSERT_TRUE(g_client->OnInitResult());
        m_app = g_client->GetApp();
        m_frame = m_app->m_frame;
        ASSERT_NE(m_frame, nullptr);
        m_panel = m_frame->GetGamePanelWindow();
        ASSERT_NE(m_panel, nullptr);
        m_frame->ExecuteCommand("VIEW_BOARD");
        Pump(5);
    }
    void TearDown() override
    {
        // A game in play with moves would ask to be saved when the client
        // closes at the end.
        if (m_frame && m_frame->GetGame())
            m_frame->GetGame()->SetInPlay(false);
    }
    void Pump(int times)
    {
        for (int i = 0; i < times; ++i)
            g_client->Pump();
    }
    // A game of two local players, in play, made current.
    CGame* NewGame()
    {
        CGame* game = new CGame;
        game->Setup();
        game->Start();
        m_frame->GetChessWindow()->ResetView(game, true, true);
        return game;
    }
    // Loads the first game of a test PGN file onto the game's board.
    void LoadPgn(CGame* game, const char* name)
    {
        std::string path = std::string(ROOKWELL_TESTDATA) + "/pgn/" + name;
        Zorlin::CWin32File file;
        ASSERT_TRUE(file.Open(path.c_str(), Zorlin::CFile::kModeRead));
        Zorlin::CAssocArray<CString> tags;
        CString error;
        ASSERT_TRUE(game->GetBoard().LoadPgnGame(file, tags, error)) << error.GetText();
    }
    // Selects a row of the move list as the user's click does.
    void ClickRow(int row)
    {
        CMoveList* list = m_panel->GetMoveList();
        list->SetItemState(row, 0, wxLIST_STATE_SELECTED);
        list->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        Pump(3);
    }

    CChessApp* m_app = nullptr;
    CChessFrame* m_frame = nullptr;
    CGamePanel* m_panel = nullptr;
};

TEST_F(Panels, TheFrameHoldsTheRealPanelsUnderTheNamesItKnows)
{
    EXPECT_EQ(m_frame->GetGamePanel(), m_panel);
    EXPECT_EQ(m_panel->GetName(), "layoutWindow");
    EXPECT_EQ(m_panel->GetClockWindow()->GetName(), "layoutWindow");
    EXPECT_EQ(m_panel->GetMoveList()->GetId(), 10000);
    EXPECT_EQ(m_panel->GetSplitter()->GetName(), "splitterWindow");
    EXPECT_EQ(m_panel->GetSplitter()->GetMinimumPaneSize(), 100);
    EXPECT_NE(dynamic_cast<CPanelSplitter*>(m_frame->GetSplitter()), nullptr);
    EXPECT_EQ(m_frame->GetSplitter()->GetName(), "splitterWindow");
    ASSERT_NE(m_frame->GetChatWindow(), nullptr);
    EXPECT_EQ(m_frame->GetChatWindow()->GetName(), "Chat");
    EXPECT_EQ(m_frame->GetChatWindow()->GetParent(), m_frame->GetSplitter());
    EXPECT_EQ(m_frame->GetClockView(), static_cast<CClockView*>(m_panel->GetClockWindow()));
    // The classes are known to the toolkit by name.
    wxObject* made = wxCreateDynamicObject("CClockWindow");
    EXPECT_NE(dynamic_cast<CClockWindow*>(made), nullptr);
    delete made;
    made = wxCreateDynamicObject("CChatWindow");
    EXPECT_NE(dynamic_cast<CChatWindow*>(made), nullptr);
    delete made;
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(Panels, TheClockStripSitsAboveTheSplitterOnlyWhileShown)
{
    ASSERT_TRUE(m_frame->GetGamePanel()->IsShown());
    EXPECT_FALSE(m_panel->IsClockShown());
    EXPECT_EQ(m_panel->GetSplitter()->GetPosition().y, 0);
    m_frame->ExecuteCommand("VIEW_SHOW_CLOCK");
    Pump(3);
    EXPECT_TRUE(m_panel->IsClockShown());
    EXPECT_TRUE(m_frame->GetMenuBar()->IsChecked(ID_MENU_CLOCK));
    EXPECT_EQ(m_panel->GetClockWindow()->GetSize().y, CGamePanel::kClockHeight);
    EXPECT_EQ(m_panel->GetSplitter()->GetPosition().y, CGamePanel::kClockHeight);
    EXPECT_EQ(m_panel->GetSplitter()->GetSize().y, m_panel->GetClientSize().y - CGamePanel::kClockHeight);
    m_frame->ExecuteCommand("VIEW_SHOW_CLOCK");
    Pump(3);
    EXPECT_FALSE(m_panel->IsClockShown());
    EXPECT_FALSE(m_frame->GetMenuBar()->IsChecked(ID_MENU_CLOCK));
    EXPECT_EQ(m_panel->GetSplitter()->GetPosition().y, 0);
    // A game showing its clocks goes through the frame: the item follows.
    m_frame->GetClockView()->SetShown(true);
    EXPECT_TRUE(m_panel->IsClockShown());
    EXPECT_TRUE(m_frame->GetMenuBar()->IsChecked(ID_MENU_CLOCK));
    EXPECT_EQ(m_panel->GetSplitter()->GetPosition().y, CGamePanel::kClockHeight);
}

TEST_F(Panels, TheClockCountsTheRunningSideDownAndEachSideHasItsOwnReminders)
{
    CGame* game = NewGame();
    CClockWindow* clock = m_panel->GetClockWindow();
    game->SetTimeControl(TIME_BLITZ, 0, 60.0);
    EXPECT_EQ(clock->GetTimeText(0), "01:00");
    EXPECT_EQ(clock->GetTimeText(1), "01:00");
    EXPECT_FALSE(clock->IsRunning());

    // The shipped marks are 300, 60, 30 and 10 seconds. The new times meet
    // the old marks first, which would blink; outside play nothing does.
    game->SetInPlay(false);
    clock->SetTime(45000.0, 61000.0, 0);
    clock->LoadReminders(45000.0);
    game->SetInPlay(true);
    clock->Start();
    clock->Step(14000.0);
    EXPECT_EQ(clock->GetTimeText(0), "00:31");
    EXPECT_EQ(clock->GetBlinkCount(0), 0);
    clock->Step(2000.0);
    // 29 s left: the 30-second mark fires; the time blinks for 20 steps.
    EXPECT_EQ(clock->GetBlinkCount(0), 19);
    EXPECT_EQ(clock->GetTimeText(0), "00:29");
    clock->Step(0.0);
    EXPECT_TRUE(clock->GetTimeText(0).IsEmpty()) << "off on odd counts";
    for (int i = 0; i < 18; ++i)
        clock->Step(0.0);
    EXPECT_EQ(clock->GetBlinkCount(0), 0) << clock->GetTimeText(0).GetText();
    clock->Step(0.0);
    EXPECT_EQ(clock->GetTimeText(0), "00:29");

    // Black's move: its own 60-second mark is still ahead although White's
    // time passed it long ago.
    clock->SetTime(29000.0, 61000.0, 1);
    clock->Step(2000.0);
    EXPECT_EQ(clock->GetTimeText(1), "00:59");
    EXPECT_EQ(clock->GetBlinkCount(1), 19);
    EXPECT_EQ(clock->GetBlinkCount(0), 0);

    // The real timer counts the running side down, never below zero.
    game->SetInPlay(false);
    clock->SetTime(29000.0, 600.0, 1);
    game->SetInPlay(true);
    g_client->PumpUntil([&] { return clock->GetShownTime(1) == 0.0; });
    EXPECT_EQ(clock->GetShownTime(1), 0.0);
    EXPECT_EQ(clock->GetTimeText(1), "00:00");
    EXPECT_EQ(clock->GetShownTime(0), 29000.0);
    clock->Stop();
    EXPECT_FALSE(clock->IsRunning());

    // Outside play nothing blinks.
    clock->SetTime(30500.0, 30500.0, 0);
    clock->LoadReminders(-1.0);
    game->SetInPlay(false);
    clock->Start();
    clock->Step(1000.0);
    EXPECT_TRUE(clock->GetReminders(0).GetMarks()[1].m_passed) << "the 30-second mark was met";
    EXPECT_EQ(clock->GetBlinkCount(0), 0);
    EXPECT_EQ(clock->GetTimeText(0), "00:30");
    clock->Stop();
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(Panels, AfterAMoveTheStoppedTimeIsAlwaysShownSoNeverBothBoxesGoBlank)
{
    CGame* game = NewGame();
    CClockWindow* clock = m_panel->GetClockWindow();
    game->SetTimeControl(TIME_BLITZ, 0, 300.0);
    game->SetInPlay(true);
    // Light text below the names in White's box, dark in Black's: a time is drawn.
    auto drawn = [&](int side) {
        wxImage face = clock->RenderFace().ConvertToImage();
        int n = 0;
        for (int y = 14; y < face.GetHeight() - 3; ++y)
            for (int x = side == 0 ? 4 : 84; x < (side == 0 ? 76 : 156); ++x) {
                int r = face.GetRed(x, y), g = face.GetGreen(x, y), b = face.GetBlue(x, y);
                n += side == 0 ? (r >= 235 && g >= 235 && b >= 235) : (r <= 15 && g <= 15 && b <= 15);
            }
        return n > 40;
    };
    // Both sides start a hair above the 60-second mark, so both blink soon
    // after the start; White moves while its time still blinks, at either
    // phase of the blink.
    const double start = 60100.0;
    for (int before = 1; before <= 4; ++before) {
        clock->SetTime(start, start, 0);
        clock->LoadReminders(-1.0);
        clock->Start();
        for (int i = 0; i < before; ++i)
            clock->Step(250.0);
        ASSERT_GT(clock->GetBlinkCount(0), 0) << "White's mark fired";
        clock->SetTime(start - 250.0 * before, start, 1);
        int blackBlank = 0;
        for (int i = 0; i < 24; ++i) {
            clock->Step(250.0);
            EXPECT_FALSE(clock->GetTimeText(0).IsEmpty()) << "White moved: its time stands, step " << i;
            EXPECT_TRUE(drawn(0)) << "step " << i;
            if (clock->GetTimeText(1).IsEmpty()) {
                ++blackBlank;
                EXPECT_FALSE(drawn(1));
            } else {
                EXPECT_TRUE(drawn(1)) << "step " << i;
            }
        }
        EXPECT_EQ(blackBlank, 10) << "Black's own mark still blinks its time";
        clock->Stop();
    }
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(Panels, ATimedGameDoesNotRemindOfTheTimeItStartsWith)
{
    CGame* game = NewGame();
    CClockWindow* clock = m_panel->GetClockWindow();
    game->SetInPlay(true);
    // A five-minute game after a view reset (marks loaded with no time), and
    // a game taken up again with 45 s left: neither the 300-second mark nor,
    // for the second, the 60-second one is news at the start.
    for (double left : {300000.0, 45000.0}) {
        game->SetTimeControl(TIME_BLITZ, 0, 300.0);
        clock->LoadReminders(-1.0);
        clock->SetTime(left, left, 0);
        EXPECT_EQ(clock->GetBlinkCount(0), 0) << left;
        clock->Start();
        for (int i = 0; i < 8; ++i)
            clock->Step(250.0);
        EXPECT_EQ(clock->GetBlinkCount(0), 0) << left;
        // Black's first turn meets its own marks the same way.
        clock->SetTime(left - 2000.0, left, 1);
        clock->Start();
        for (int i = 0; i < 8; ++i)
            clock->Step(250.0);
        EXPECT_EQ(clock->GetBlinkCount(1), 0) << left;
        // Marks still ahead fire as the time falls below them.
        clock->SetTime(left - 2000.0, 30100.0, 1);
        clock->Step(250.0);
        EXPECT_GT(clock->GetBlinkCount(1), 0) << left;
        clock->Stop();
    }
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(Panels, AfterEachMoveTheClockRunsForTheSideToMove)
{
    CGame* game = NewGame();
    CClockWindow* clock = m_panel->GetClockWindow();
    game->SetTimeControl(TIME_BLITZ, 0, 60.0);
    CChessWindow* canvas = m_frame->GetChessWindow();
    CMove move;
    ASSERT_TRUE(game->GetBoard().ParseMove("e4", move, true));
    ASSERT_TRUE(canvas->PlayMove(move, false));
    EXPECT_TRUE(clock->IsRunning());
    EXPECT_EQ(clock->GetRunningSide(), 1);
    // Black's time goes down between the moves, White's stays.
    ASSERT_TRUE(g_client->PumpUntil([&] { return clock->GetShownTime(1) < 59500.0; }));
    EXPECT_EQ(clock->GetShownTime(0), 60000.0);
    ASSERT_TRUE(game->GetBoard().ParseMove("e5", move, true));
    ASSERT_TRUE(canvas->PlayMove(move, false));
    EXPECT_TRUE(clock->IsRunning());
    EXPECT_EQ(clock->GetRunningSide(), 0);
    EXPECT_LT(clock->GetShownTime(1), 59500.0) << "Black was charged";

    // Mate stops it.
    for (const char* san : {"Qh5", "Nc6", "Bc4", "Nf6", "Qxf7#"}) {
        ASSERT_TRUE(game->GetBoard().ParseMove(san, move, true)) << san;
        ASSERT_TRUE(canvas->PlayMove(move, false)) << san;
    }
    EXPECT_FALSE(clock->IsRunning());
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(Panels, TheFaceShowsWhiteLeftInLightTextAndBlackRightInDarkText)
{
    CClockWindow* clock = m_panel->GetClockWindow();
    clock->SetTime(754000.0, 61000.0, 0);
    wxImage face = clock->RenderFace().ConvertToImage();
    ASSERT_EQ(face.GetWidth(), CClockWindow::kFaceWidth);
    ASSERT_EQ(face.GetHeight(), CClockWindow::kFaceHeight);
    // The shipped picture: dark behind White's time, light behind Black's.
    EXPECT_LT(face.GetRed(4, 4), 80);
    EXPECT_GT(face.GetRed(156, 4), 180);
    int light = 0, dark = 0, stray = 0;
    for (int y = 0; y < face.GetHeight(); ++y)
        for (int x = 0; x < face.GetWidth(); ++x) {
            bool isLight = face.GetRed(x, y) >= 235 && face.GetGreen(x, y) >= 235 && face.GetBlue(x, y) >= 235;
            bool isDark = face.GetRed(x, y) <= 15 && face.GetGreen(x, y) <= 15 && face.GetBlue(x, y) <= 15;
            if (x < 80) {
                light += isLight;
                stray += isDark;
            } else {
                dark += isDark;
                stray += isLight;
            }
        }
    EXPECT_GT(light, 40) << "White's time in (240, 240, 240)";
    EXPECT_GT(dark, 40) << "Black's time in black";
    EXPECT_EQ(stray, 0);
}

TEST_F(Panels, TheFaceNamesEachSideAndFramesTheRunningOne)
{
    CClockWindow* clock = m_panel->GetClockWindow();
    auto count = [](const wxImage& face, int x0, int x1, int y0, int y1, auto match) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += match(face.GetRed(x, y), face.GetGreen(x, y), face.GetBlue(x, y));
        return n;
    };
    auto mark = [](int r, int g, int b) { return r == 230 && g == 150 && b == 30; };

    clock->SetTime(300000.0, 300000.0, 1);
    wxImage stopped = clock->RenderFace().ConvertToImage();
    EXPECT_EQ(count(stopped, 0, 160, 0, 46, mark), 0) << "a stopped clock marks no side";
    // The names stand above the times, in each box's own text colour.
    auto lightish = [](int r, int, int) { return r >= 150; };
    auto darkish = [](int r, int, int) { return r <= 120; };
    EXPECT_GT(count(stopped, 0, 80, 0, 11, lightish), 8) << "White's name";
    EXPECT_GT(count(stopped, 80, 160, 0, 11, darkish), 8) << "Black's name";

    clock->Start();
    wxImage black = clock->RenderFace().ConvertToImage();
    EXPECT_GT(count(black, 80, 160, 0, 46, mark), 100) << "Black's box is framed while Black's time runs";
    EXPECT_EQ(count(black, 0, 80, 0, 46, mark), 0);
    clock->SetTime(300000.0, 290000.0, 0);
    wxImage white = clock->RenderFace().ConvertToImage();
    EXPECT_GT(count(white, 0, 80, 0, 46, mark), 100) << "then White's";
    EXPECT_EQ(count(white, 80, 160, 0, 46, mark), 0);
    clock->Stop();
}

TEST_F(Panels, ATimedGameShowsItsClock)
{
    CGame* game = NewGame();
    m_panel->ShowClock(false);
    ASSERT_FALSE(m_panel->IsClockShown());
    game->SetTimeControl(TIME_NONE, 0, 0.0);
    EXPECT_FALSE(m_panel->IsClockShown()) << "no clock without a time control";
    game->SetTimeControl(TIME_CONVENTIONAL, 0, 300.0);
    EXPECT_TRUE(m_panel->IsClockShown());
}

TEST_F(Panels, TheMoveListShowsARealGameAndSelectingRowsIsSafe)
{
    CGame* game = NewGame();
    LoadPgn(game, "molinari-bordais-1979.pgn");
    ASSERT_EQ(game->GetBoard().GetPly(), 10);
    m_frame->ExecuteCommand("VIEW_MOVE_TEXT");
    Pump(3);
    ASSERT_TRUE(m_panel->IsMoveListShown());
    EXPECT_TRUE(m_panel->GetMoveList()->IsShown());
    EXPECT_TRUE(m_panel->GetSplitter()->IsSplit());
    EXPECT_EQ(m_panel->GetSplitter()->GetWindow1(), static_cast<wxWindow*>(m_panel->GetGamePage()));

    m_panel->FillMoveList(game->GetBoard());
    CMoveList* list = m_panel->GetMoveList();
    ASSERT_EQ(list->GetItemCount(), 11);
    EXPECT_EQ(list->GetRowCount(), 11);
    // 1. e4 c5 2. c4 Nc6 3. Ne2 Nf6 4. Nbc3 Nb4 5. g3 Nd3#
    EXPECT_EQ(list->GetCellText(0, 0), "");
    EXPECT_EQ(list->GetCellText(1, 0), "1.");
    EXPECT_EQ(list->GetCellText(1, 1), "e4");
    EXPECT_EQ(list->GetCellText(1, 2), "");
    EXPECT_EQ(list->GetCellText(2, 0), "");
    EXPECT_EQ(list->GetCellText(2, 2), "c5");
    EXPECT_EQ(list->GetCellText(7, 0), "4.");
    EXPECT_EQ(list->GetCellText(7, 1), "Nbc3");
    EXPECT_EQ(CString(list->GetCellText(10, 2)).Mid(0, 2), "Nd3");
    EXPECT_EQ(list->GetCellText(11, 1), "") << "off the list";

    ClickRow(3);
    EXPECT_EQ(m_panel->GetSelectedPly(), 3);
    ClickRow(4);
    EXPECT_EQ(m_panel->GetSelectedPly(), 4);
    ClickRow(0);
    EXPECT_EQ(m_panel->GetSelectedPly(), 0);
    // The start row right after a reset (nothing selected before) and a row
    // the game does not have yet.
    m_panel->ResetMoveList();
    EXPECT_EQ(m_panel->GetSelectedPly(), -1);
    EXPECT_EQ(list->GetItemCount(), 1);
    m_panel->SelectPly(0);
    EXPECT_EQ(m_panel->GetSelectedPly(), 0);
    m_panel->SelectPly(11);
    m_panel->SelectPly(-3);
    EXPECT_EQ(m_panel->GetSelectedPly(), 0);
    m_panel->SelectPly(10);
    EXPECT_EQ(m_panel->GetSelectedPly(), 10);
    // Stepping through the list never changes the game.
    EXPECT_EQ(game->GetBoard().GetPly(), 10);

    m_frame->ExecuteCommand("VIEW_MOVE_TEXT");
    Pump(3);
    EXPECT_FALSE(m_panel->GetSplitter()->IsSplit());
    EXPECT_FALSE(list->IsShown());
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(Panels, TheGamePageShowsNamesAndTagsAsWritten)
{
    CGame* game = NewGame();
    LoadPgn(game, "molinari-bordais-1979.pgn");
    CPlayer* white = game->GetPlayer(WHITE);
    CPlayer* black = game->GetPlayer(BLACK);
    ASSERT_NE(white, nullptr);
    ASSERT_NE(black, nullptr);
    white->GetProperties().GetValue("name") = "<b>&";
    white->GetProperties().GetValue("email") = "x\"><i>@example.org";
    black->GetProperties().GetValue("name") = "Bordais";
    game->GetTags()["Event"] = "<i>cr</i> & co";
    ASSERT_TRUE(m_panel->LoadTemplate("inplay.htm"));
    m_frame->RefreshGamePanel();
    Pump(3);

    wxString shown = m_panel->GetGamePage()->GetBrowser()->ToText();
    EXPECT_NE(shown.Find("<b>&"), wxNOT_FOUND) << shown.utf8_str();
    EXPECT_NE(shown.Find("<i>cr</i> & co"), wxNOT_FOUND) << shown.utf8_str();
    EXPECT_NE(shown.Find("Bordais"), wxNOT_FOUND);

    std::string page = g_client->ReadFile("html/english/" + std::string(m_panel->GetGamePage()->GetPageFileName().GetText()));
    EXPECT_NE(page.find("<a href=\"mailto:x&quot;&gt;&lt;i&gt;@example.org\">&lt;b&gt;&amp;</a>"), std::string::npos)
        << page;
    EXPECT_EQ(page.find("<b>&<"), std::string::npos);
    EXPECT_EQ(page.find("<i>cr"), std::string::npos);
    // After 5. g3 Nd3# nothing was taken; the material sums read zero.
    EXPECT_NE(page.find("Material: 0"), std::string::npos);
    EXPECT_EQ(page.find("*["), std::string::npos) << "every field filled";

    // The frame's refresh follows the game's own status page.
    m_frame->UpdateGamePanel();
    Zorlin::CString status;
    game->GetStatusPage(status);
    std::string expected = g_client->ReadFile("html/english/" + std::string(status.GetText()));
    EXPECT_EQ(std::string(m_panel->GetPageTemplate().GetText()), expected);
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(Panels, ReturnInTheChatLineSendsItOnce)
{
    CChatWindow* chat = m_frame->GetChatWindow();
    ASSERT_NE(chat, nullptr);
    m_app->m_userConfig->GetValue(".profile.nickname") = "Tess";
    m_frame->ExecuteCommand("VIEW_CHAT");
    Pump(5);
    ASSERT_TRUE(chat->IsShown());
    m_frame->Raise();
    chat->GetInput()->SetFocus();
    ASSERT_TRUE(g_client->PumpUntil([&] { return chat->GetInput()->HasFocus(); }));

    int before = chat->GetSentCount();
    wxUIActionSimulator keys;
    keys.Char(WXK_RETURN);
    Pump(20);
    EXPECT_EQ(chat->GetSentCount(), before) << "an empty line sends nothing";
    EXPECT_TRUE(chat->GetTranscriptText().IsEmpty());

    keys.Text("hello");
    ASSERT_TRUE(g_client->PumpUntil([&] { return chat->GetInput()->GetValue() == "hello"; }));
    keys.Char(WXK_RETURN);
    ASSERT_TRUE(g_client->PumpUntil([&] { return chat->GetSentCount() > before; }));
    Pump(30);
    EXPECT_EQ(chat->GetSentCount(), before + 1);
    EXPECT_EQ(chat->GetTranscriptText(), "Tess: hello");
    EXPECT_TRUE(chat->GetInput()->GetValue().IsEmpty());

    // The button sends too; later lines start on a line of their own.
    chat->GetInput()->SetValue("again");
    wxCommandEvent click(wxEVT_BUTTON, CChatWindow::kSendId);
    chat->GetEventHandler()->ProcessEvent(click);
    chat->AddNotice("You are talking to Bordais");
    chat->ShowBatch();
    EXPECT_EQ(chat->GetTranscriptText(), "Tess: hello\nTess: again\nYou are talking to Bordais");
    EXPECT_EQ(chat->GetSentCount(), before + 2);

    // The menu's Clear Chat empties it; the next line has no break above.
    wxCommandEvent clear(wxEVT_MENU, ID_MENU_CLEAR_CHAT);
    m_frame->GetEventHandler()->ProcessEvent(clear);
    EXPECT_TRUE(chat->GetTranscriptText().IsEmpty());
    chat->AddMessage("Bordais", "hi");
    chat->ShowBatch();
    EXPECT_EQ(chat->GetTranscriptText(), "Bordais: hi");
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(Panels, TheFrameSplitterKeepsTheChatPaneHeight)
{
    wxSplitterWindow* splitter = m_frame->GetSplitter();
    if (!m_frame->IsChatShown())
        m_frame->ExecuteCommand("VIEW_CHAT");
    Pump(3);
    ASSERT_TRUE(splitter->IsSplit()) << "the chat pane is shown";
    splitter->SetSize(splitter->GetSize().x, 400);
    splitter->SetSashPosition(250, true);
    Pump(3);
    ASSERT_EQ(splitter->GetSashPosition(), 250);
    splitter->SetSize(splitter->GetSize().x, 500);
    Pump(3);
    EXPECT_EQ(splitter->GetSashPosition(), 350);
    EXPECT_EQ(splitter->GetClientSize().y - splitter->GetSashPosition(), 150) << "the chat pane kept its height";
    m_frame->SendSizeEvent();
    Pump(3);
}

TEST_F(Panels, APanelSplitterFollowsTheBottomEdgeWithAFloorAbove)
{
    CPanelSplitter* splitter = new CPanelSplitter(m_frame, wxID_ANY, wxPoint(0, 0), wxSize(200, 300), wxSP_NOBORDER);
    EXPECT_EQ(splitter->GetLastHeight(), 300);
    wxWindow* top = new wxWindow(splitter, wxID_ANY);
    wxWindow* bottom = new wxWindow(splitter, wxID_ANY);
    bottom->Hide();
    splitter->Initialize(top);
    // Not split: the one pane takes the size and the height is recorded.
    splitter->SetSize(200, 400);
    g_client->PumpUntil([&] { return splitter->GetLastHeight() == 400; });
    EXPECT_EQ(splitter->GetLastHeight(), 400);
    EXPECT_EQ(top->GetSize().y, 400);

    splitter->SplitHorizontally(top, bottom, 300);
    Pump(3);
    ASSERT_EQ(splitter->GetSashPosition(), 300);
    splitter->SetSize(200, 160);
    g_client->PumpUntil([&] { return splitter->GetLastHeight() == 160; });
    EXPECT_EQ(splitter->GetSashPosition(), 60);
    splitter->SetSize(200, 140);
    g_client->PumpUntil([&] { return splitter->GetLastHeight() == 140; });
    EXPECT_EQ(splitter->GetSashPosition(), 40) << "below 150 pixels the floor does not hold";
    splitter->SetSize(200, 400);
    g_client->PumpUntil([&] { return splitter->GetLastHeight() == 400; });
    EXPECT_EQ(splitter->GetSashPosition(), 300);
    splitter->Destroy();
    Pump(3);
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

} // namespace
