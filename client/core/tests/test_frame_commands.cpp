// The Game, Actions, Options and Help commands run on the real client in a
// temporary program folder under a private X server, against real engines
// (and one scripted engine that takes draws). Questions are answered from a
// script; modal dialogs are worked from inside their own loops. The tests
// run in order on one running client.

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/html/htmlwin.h>
#include <wx/listbox.h>
#include <wx/menu.h>
#include <wx/radiobox.h>
#include <wx/statusbr.h>
#include <wx/utils.h>

#include "client/core/AIGame.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/Player.h"
#include "client/core/RemoteCommands.h"
#include "client/dialogs/AboutDialog.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/EnterMoveDialog.h"
#include "client/dialogs/GameOverDialog.h"
#include "client/dialogs/MenuBar.h"
#include "client/dialogs/NewAIGameDialog.h"
#include "client/view/BoardScene.h"
#include "client/view/BrowserPanel.h"
#include "client/view/ChessWindow.h"
#include "foundation/Config.h"
#include "support/AppHarness.h"
#include "support/ClientEnvironment.h"
#include "support/GameFixture.h"
#include "client/view/tests/support/GuiLeaks.h"

using AppTest::CHarness;
using AppTest::g_client;
using AppTest::g_skip;
using AppTest::RunWithModal;
using Zorlin::CString;

namespace {

const char kGnuChess[] = "Gnu Chess 5";
const char kDrawTaker[] = "Draw Taker";

std::string g_drawTakerLog;

bool EngineInstalled()
{
    return access("/usr/games/polyglot", X_OK) == 0 && access("/usr/games/gnuchess", X_OK) == 0;
}

// An engine package that plays no moves but accepts every draw offer, and
// writes down every line it is sent.
std::string MakeDrawTaker(const std::string& programFolder)
{
    std::string folder = programFolder + "/engines/" + kDrawTaker;
    if (std::system(("mkdir -p '" + folder + "'").c_str()) != 0)
        return "";
    std::string script = folder + "/script.txt";
    std::string log = folder + "/engine.log";
    std::ofstream(script) << "wait protover\n"
                             "say feature myname=\"Draw Taker\" ping=1 usermove=1 setboard=1 sigint=0 done=1\n"
                             "wait draw\n"
                             "say offer draw\n";
    std::ofstream(log) << "";
    Zorlin::CConfig info;
    info.GetValue("exe") = "/usr/bin/python3";
    std::string command = "\"" + EngineTest::FakeEnginePath() + "\" \"" + script + "\" \"" + log + "\"";
    info.GetValue("command") = command.c_str();
    std::ofstream(folder + "/info.cfg") << info.ToText(true).GetText();
    return log;
}

::testing::Environment* const g_environment = AppTest::AddClientEnvironment(
    [](CHarness& client) { g_drawTakerLog = MakeDrawTaker(client.GetFolder()); });

// A game opened only to be looked at, as a saved e-mail game is: it keeps
// what the frame's Resign and Offer Draw hand it.
class CViewedGame : public CGame {
public:
    bool IsOnlyViewed() const override { return true; }
    void Resign(int side) override { calls.push_back("resign " + std::to_string(side)); }
    void OfferDraw(int side) override { calls.push_back("draw " + std::to_string(side)); }

    std::vector<std::string> calls;
};

class Commands : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!g_skip.empty())
            GTEST_SKIP() << g_skip;
        ASSERT_TRUE(g_client->OnInitResult());
        m_app = g_client->GetApp();
        m_frame = m_app->m_frame;
        ASSERT_NE(m_frame, nullptr);
        m_canvas = dynamic_cast<CChessWindow*>(m_frame->GetBoardCanvas());
        Prompt().Clear();
        // Notices are simply acknowledged; a question nobody scripted fails.
        Prompt().SetResponder([](const CScriptedPrompt::SQuestion& question) {
            CScriptedPrompt::SAnswer answer;
            answer.code = wxOK;
            if (question.kind != CScriptedPrompt::kMessage || (question.style & (wxYES_NO | wxCANCEL))) {
                ADD_FAILURE() << "unexpected question: " << question.caption.GetText() << ": "
                              << question.text.GetText();
                answer.code = (question.style & wxCANCEL) ? wxCANCEL : wxNO;
            }
            return answer;
        });
    }
    void TearDown() override
    {
        if (!g_skip.empty())
            return;
        Prompt().SetResponder(nullptr);
        EXPECT_EQ(CHarness::GetAssertCount(), 0);
    }

    CScriptedPrompt& Prompt() { return g_client->GetPrompt(); }
    CGame* Game() { return m_frame->GetGame(); }
    CString User(const char* key) { return m_app->m_userConfig->GetValueOr(key, ""); }
    void Choose(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(m_frame);
        m_frame->GetEventHandler()->ProcessEvent(event);
    }
    // The last question asked, as "caption: text".
    std::string Last()
    {
        int n = Prompt().GetCount();
        if (n == 0)
            return "";
        const CScriptedPrompt::SQuestion& q = Prompt().GetQuestion(n - 1);
        return std::string(q.caption.GetText()) + ": " + q.text.GetText();
    }
    // Starts a game against engine through the New AI Game dialog, the
    // computer playing Black.
    CAIGame* StartComputerGame(const char* engine)
    {
        bool seen = RunWithModal<CNewAIGameDialog>([&] { EXPECT_TRUE(m_frame->ExecuteCommand("GAME_NEW_GAME_VERSUS_COMPUTER")); },
                                                   [&](CNewAIGameDialog& dialog) {
                                                       wxListBox* list = dynamic_cast<wxListBox*>(dialog.FindWindow(ID_AI_ENGINES));
                                                       ASSERT_NE(list, nullptr);
                                                       int index = list->FindString(engine);
                                                       ASSERT_NE(index, wxNOT_FOUND) << engine;
                                                       list->SetSelection(index);
                                                       dynamic_cast<wxRadioBox*>(dialog.FindWindow(ID_AI_COMPUTER_PLAYS))->SetSelection(0);
                                                       EXPECT_TRUE(AppTest::Press(dialog, ID_AI_OK));
                                                   });
        EXPECT_TRUE(seen) << "the New AI Game dialog opened";
        return dynamic_cast<CAIGame*>(Game());
    }
    // The user's move, dropped on the board.
    bool UserMoves(const char* text)
    {
        CGame* game = Game();
        CMove move;
        if (!m_canvas || !game || !game->GetBoard().ParseMove(text, move, true))
            return false;
        return m_canvas->PlayMove(move, false);
    }
    bool WaitForPly(int ply)
    {
        return g_client->PumpUntil([&] { return Game() && Game()->GetBoard().GetPly() == ply; });
    }
    void CloseGameOverWindows(bool pressOk)
    {
        for (wxWindow* window : wxTopLevelWindows)
            if (CGameOverDialog* over = dynamic_cast<CGameOverDialog*>(window))
                if (over->IsShown()) {
                    if (pressOk)
                        EXPECT_TRUE(AppTest::Press(*over, ID_GAMEOVER_OK));
                    else
                        over->Close();
                }
        for (int i = 0; i < 5; ++i)
            g_client->Pump();
    }
    int GameOverWindowsShown()
    {
        int n = 0;
        for (wxWindow* window : wxTopLevelWindows)
            if (dynamic_cast<CGameOverDialog*>(window) && window->IsShown())
                ++n;
        return n;
    }

    CChessApp* m_app = nullptr;
    CChessFrame* m_frame = nullptr;
    CChessWindow* m_canvas = nullptr;
};

TEST_F(Commands, TheEmptyGameRefusesWhatNeedsAGameInPlay)
{
    ASSERT_NE(m_canvas, nullptr) << "the board canvas is in the frame";
    ASSERT_NE(Game(), nullptr) << "there is always a current game";
    EXPECT_EQ(Game()->GetSettings().GetValueOr("type", ""), "Dummy");
    Choose(ID_MENU_RESET_GAME);
    EXPECT_EQ(Last(), "Reset: Game not in play!");
    Choose(ID_MENU_OFFER_DRAW);
    EXPECT_EQ(Last(), "Offer Draw: Game not in play!");
    Choose(ID_MENU_RESIGN);
    EXPECT_EQ(Last(), "Resign: Game not in play!");
    // Two local players at the start position, White to move: target -2.
    Choose(ID_MENU_TAKE_BACK);
    EXPECT_EQ(Last(), "Take back: Nothing to take back.");
    EXPECT_EQ(Prompt().GetCount(), 4);
    // End Game while nothing is in play asks nothing and replaces the game.
    CGame* before = Game();
    Choose(ID_MENU_END_GAME);
    EXPECT_EQ(Prompt().GetCount(), 4);
    EXPECT_NE(Game(), before);
    EXPECT_EQ(Game()->GetSettings().GetValueOr("type", ""), "Dummy");
    EXPECT_FALSE(m_frame->IsBrowserView()) << "End Game shows the board";
}

// A menu with nothing enabled would open and hold the keyboard: the Actions
// title is greyed exactly while none of its items could be chosen.
TEST_F(Commands, TheActionsMenuOpensOnlyWithSomethingToChoose)
{
    ASSERT_NE(m_canvas, nullptr);
    wxMenuBar* bar = m_frame->GetMenuBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->GetMenuLabelText(2), "Actions");
    auto titleOn = [&] {
        g_client->Pump();
        return bar->IsEnabledTop(2);
    };
    m_canvas->ResetView(new CGame, false, true);
    ASSERT_EQ(Game()->GetSettings().GetValueOr("type", ""), "Dummy");
    EXPECT_FALSE(titleOn()) << "the empty game: every item is off";

    CGame* game = new CGame;
    game->Setup();
    game->Start();
    game->GetSettings().GetValue("type") = "LocalGame";
    m_canvas->ResetView(game, false, true);
    game->SetInPlay(true);
    EXPECT_TRUE(titleOn()) << "a game in play";
    // Finished at the start position: Reset Game is still there to choose.
    game->SetInPlay(false);
    EXPECT_TRUE(titleOn());

    m_canvas->ResetView(new CGame, false, true);
    EXPECT_FALSE(titleOn()) << "the empty game again";
}

// The Actions menu offers Take Back exactly when the command would ask the
// other side rather than refuse.
TEST_F(Commands, TakeBackIsOfferedExactlyWhenTheCommandWouldGoAhead)
{
    ASSERT_NE(m_canvas, nullptr);
    wxMenuBar* bar = m_frame->GetMenuBar();
    ASSERT_NE(bar, nullptr);
    auto offered = [&] {
        wxUpdateUIEvent update(ID_MENU_TAKE_BACK);
        update.SetEventObject(m_frame);
        m_frame->GetEventHandler()->ProcessEvent(update);
        return bar->IsEnabled(ID_MENU_TAKE_BACK);
    };
    // Two players at this machine.
    CGame* game = new CGame;
    game->Setup();
    game->Start();
    m_canvas->ResetView(game, false, true);
    ASSERT_EQ(Game(), game);
    EXPECT_FALSE(offered()) << "the start position";
    ASSERT_TRUE(UserMoves("e2e4"));
    // Black, also local, is to move: target -1.
    EXPECT_FALSE(offered()) << "one half-move between two local players";
    Choose(ID_MENU_TAKE_BACK);
    EXPECT_EQ(Last(), "Take back: Nothing to take back.");
    ASSERT_TRUE(UserMoves("e7e5"));
    EXPECT_TRUE(offered()) << "two half-moves: target 0";
    // A finished game can still be taken back.
    game->SetInPlay(false);
    EXPECT_TRUE(offered()) << "a game no longer in play";
    m_canvas->ResetView(new CGame, false, true);
    g_client->Pump();
    EXPECT_FALSE(offered()) << "the empty game again";
}

TEST_F(Commands, ClearStatisticsAsksAndOnlyYesClears)
{
    m_app->m_userConfig->GetValue(".preferences.matches.played") = "4711";
    m_app->m_userConfig->GetValue(".preferences.matches.won") = "3";
    m_app->m_userConfig->GetValue(".preferences.matches.lost") = "2";
    m_app->m_userConfig->GetValue(".preferences.matches.drawn") = "2";
    CBrowserPanel* browser = dynamic_cast<CBrowserPanel*>(m_frame->GetBrowserPanel());
    ASSERT_NE(browser, nullptr);
    // The page is built for the browser view; behind the board it waits.
    browser->Rebuild(false);
    m_frame->ShowBrowser(true, false);
    auto page = [&] { return std::string(browser->GetBrowser()->ToText().utf8_str().data()); };
    ASSERT_NE(page().find("4711"), std::string::npos) << "the side panel shows the statistics: " << page();
    Prompt().QueueButton(wxNO);
    EXPECT_TRUE(m_frame->ExecuteCommand("OPTIONS_CLEAR_STATISTICS"));
    ASSERT_EQ(Prompt().GetCount(), 1);
    EXPECT_EQ(Last(), "Clear game statistics: Are you sure?");
    EXPECT_TRUE(Prompt().GetQuestion(0).style & wxYES_NO);
    EXPECT_EQ(User(".preferences.matches.played"), "4711");
    EXPECT_EQ(User(".preferences.matches.won"), "3");
    EXPECT_NE(page().find("4711"), std::string::npos);
    Prompt().QueueButton(wxYES);
    EXPECT_TRUE(m_frame->ExecuteCommand("options_clear_statistics"));
    EXPECT_EQ(Prompt().GetCount(), 2);
    for (const char* key : {".preferences.matches.played", ".preferences.matches.won", ".preferences.matches.lost",
                            ".preferences.matches.drawn"})
        EXPECT_EQ(User(key), "0") << key;
    // The side panel shows the cleared counters at once.
    EXPECT_EQ(page().find("4711"), std::string::npos) << page();
    m_frame->ShowBrowser(false, false);
}

TEST_F(Commands, PenColoursAreAskedStoredAndGivenToTheScene)
{
    // The scene set up at start draws both pens in the stored colours.
    if (CBoardScene* first = m_canvas ? dynamic_cast<CBoardScene*>(m_canvas->GetScene()) : nullptr) {
        auto rgb = [](Zorlin::CColour c) {
            return std::to_string(c.GetRed()) + "," + std::to_string(c.GetGreen()) + "," + std::to_string(c.GetBlue());
        };
        EXPECT_EQ(rgb(first->GetPenColour(0)), "255,32,32");
        EXPECT_EQ(rgb(first->GetPenColour(1)), "32,96,255");
    }
    // The new user's colours are where the chooser opens.
    Prompt().QueueColour(10, 20, 30);
    EXPECT_TRUE(m_frame->ExecuteCommand("OPTIONS_CHANGE_COLOUR"));
    ASSERT_EQ(Prompt().GetCount(), 1);
    EXPECT_EQ(Prompt().GetQuestion(0).kind, CScriptedPrompt::kColour);
    EXPECT_EQ(std::string(Prompt().GetQuestion(0).text.GetText()), "255,32,32");
    EXPECT_EQ(User(".preferences.pen.colour.red"), "10");
    EXPECT_EQ(User(".preferences.pen.colour.green"), "20");
    EXPECT_EQ(User(".preferences.pen.colour.blue"), "30");
    // A cancelled chooser changes nothing.
    Prompt().QueueColour(1, 2, 3, false);
    EXPECT_TRUE(m_frame->ExecuteCommand("OPTIONS_CHANGE_COLOUR"));
    EXPECT_EQ(std::string(Prompt().GetQuestion(1).text.GetText()), "10,20,30");
    EXPECT_EQ(User(".preferences.pen.colour.red"), "10");
    // The opponent's pen has its own keys.
    Prompt().QueueColour(200, 0, 100);
    Choose(ID_MENU_OPPONENT_PEN_COLOUR);
    EXPECT_EQ(std::string(Prompt().GetQuestion(2).text.GetText()), "32,96,255");
    EXPECT_EQ(User(".preferences.pen.opponent.red"), "200");
    EXPECT_EQ(User(".preferences.pen.opponent.blue"), "100");
    EXPECT_EQ(User(".preferences.pen.colour.red"), "10");

    // The scene draws with the new colour: a stroke of pen 0 comes out in it
    // and Clear Annotation removes the own strokes only.
    CBoardScene* scene = m_canvas ? dynamic_cast<CBoardScene*>(m_canvas->GetScene()) : nullptr;
    if (!scene)
        GTEST_SKIP() << "no board scene on the canvas yet";
    scene->PenMoveTo(0, 100, 100);
    scene->PenLineTo(0, 200, 200);
    scene->PenMoveTo(1, 100, 200);
    scene->PenLineTo(1, 200, 100);
    EXPECT_FALSE(scene->GetPenNodes(0).empty());
    EXPECT_TRUE(m_frame->ExecuteCommand("OPTIONS_CLEAR_ANNOTATION"));
    EXPECT_TRUE(scene->GetPenNodes(0).empty());
    EXPECT_FALSE(scene->GetPenNodes(1).empty());
    EXPECT_TRUE(m_canvas->IsRedrawRequested());
}

TEST_F(Commands, AboutOpensAndCloses)
{
    bool shown = false;
    bool seen = RunWithModal<CAboutDialog>([&] { EXPECT_TRUE(m_frame->ExecuteCommand("HELP_ABOUT")); },
                                           [&](CAboutDialog& about) {
                                               EXPECT_EQ(about.GetParent(), m_frame);
                                               EXPECT_EQ(about.GetTitle(), "About Rookwell");
                                               shown = about.IsShown();
                                               EXPECT_TRUE(AppTest::Press(about, ID_ABOUT_OK));
                                           });
    EXPECT_TRUE(seen);
    EXPECT_TRUE(shown);
    for (int i = 0; i < 5; ++i)
        g_client->Pump();
    for (wxWindow* window : wxTopLevelWindows)
        EXPECT_EQ(dynamic_cast<CAboutDialog*>(window), nullptr) << "the About box is gone";
}

TEST_F(Commands, RemotePlayCommandsSayTheyAreNotThereYet)
{
    CGame* before = Game();
    EXPECT_TRUE(m_frame->ExecuteCommand("GAME_ONLINE"));
    EXPECT_TRUE(m_frame->ExecuteCommand("GAME_NEW_EMAIL_GAME"));
    EXPECT_TRUE(m_frame->ExecuteCommand("GAME_NETWORK_START"));
    EXPECT_TRUE(m_frame->ExecuteCommand("GAME_NETWORK_JOIN"));
    EXPECT_TRUE(m_frame->ExecuteCommand("OPTIONS_GRIDMOOR"));
    EXPECT_TRUE(m_frame->ExecuteCommand("OPTIONS_OPPONENTS"));
    ASSERT_EQ(Prompt().GetCount(), 6);
    const char* captions[] = {"Play Online", "Start Email Game", "Host a Game", "Join a Game", "Gridmoor Preferences",
                              "Opponents"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(std::string(Prompt().GetQuestion(i).caption.GetText()), captions[i]);
    EXPECT_EQ(Game(), before) << "the current game stays";
}

TEST_F(Commands, TheMoveDialogFollowsItsCheckItem)
{
    wxMenuBar* bar = m_frame->GetMenuBar();
    bar->Check(ID_MENU_MOVE_DIALOG, true); // as the menu does before the command
    Choose(ID_MENU_MOVE_DIALOG);
    CEnterMoveDialog* dialog = nullptr;
    for (wxWindow* window : wxTopLevelWindows)
        if (CEnterMoveDialog* found = dynamic_cast<CEnterMoveDialog*>(window))
            dialog = found;
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->IsShown());
    EXPECT_FALSE(dialog->IsModal());
    bar->Check(ID_MENU_MOVE_DIALOG, false);
    Choose(ID_MENU_MOVE_DIALOG);
    EXPECT_FALSE(dialog->IsShown());
    bar->Check(ID_MENU_MOVE_DIALOG, true);
    Choose(ID_MENU_MOVE_DIALOG);
    int dialogs = 0;
    for (wxWindow* window : wxTopLevelWindows)
        if (dynamic_cast<CEnterMoveDialog*>(window))
            ++dialogs;
    EXPECT_EQ(dialogs, 1) << "one dialog, kept by the frame";
    EXPECT_TRUE(dialog->IsShown());
    // Its close box hides it and unchecks the item; checking it shows the same
    // window. A close box is pressed once the window is on the screen: the
    // X server's map notice is taken in first, or it would mark the window
    // shown again after it was hidden.
    using MappedFn = int (*)(void*);
    using DisplayFn = void* (*)();
    using SyncFn = void (*)(void*);
    MappedFn mapped = reinterpret_cast<MappedFn>(dlsym(RTLD_DEFAULT, "gtk_widget_get_mapped"));
    DisplayFn display = reinterpret_cast<DisplayFn>(dlsym(RTLD_DEFAULT, "gdk_display_get_default"));
    SyncFn sync = reinterpret_cast<SyncFn>(dlsym(RTLD_DEFAULT, "gdk_display_sync"));
    ASSERT_TRUE(mapped && display && sync);
    auto onScreen = [&] { return mapped(dialog->GetHandle()) != 0; };
    ASSERT_TRUE(g_client->PumpUntil(onScreen));
    sync(display());
    g_client->Pump();
    wxCloseEvent close(wxEVT_CLOSE_WINDOW, dialog->GetId());
    close.SetEventObject(dialog);
    dialog->GetEventHandler()->ProcessEvent(close);
    g_client->Pump();
    EXPECT_FALSE(onScreen());
    EXPECT_FALSE(bar->IsChecked(ID_MENU_MOVE_DIALOG));
    bar->Check(ID_MENU_MOVE_DIALOG, true);
    Choose(ID_MENU_MOVE_DIALOG);
    EXPECT_TRUE(g_client->PumpUntil(onScreen));
    bar->Check(ID_MENU_MOVE_DIALOG, false);
    Choose(ID_MENU_MOVE_DIALOG);
}

TEST_F(Commands, AGameAgainstTheEngineTakesBackAndResets)
{
    if (!EngineInstalled())
        GTEST_SKIP() << "gnuchess and polyglot are not installed";
    CAIGame* game = StartComputerGame(kGnuChess);
    ASSERT_NE(game, nullptr) << "the new game is current";
    EXPECT_TRUE(game->IsStarted());
    EXPECT_TRUE(game->IsInPlay());
    EXPECT_EQ(game->GetLocalColour(), WHITE);
    EXPECT_EQ(Prompt().GetCount(), 0);

    // The user's move and the engine's reply.
    ASSERT_TRUE(UserMoves("e2e4"));
    ASSERT_TRUE(WaitForPly(2)) << "the engine answered";
    // Both half-moves go back.
    m_frame->GetStatusBar()->SetStatusText("some text", 0);
    Choose(ID_MENU_TAKE_BACK);
    EXPECT_EQ(Prompt().GetCount(), 0);
    EXPECT_EQ(game->GetBoard().GetPly(), 0);
    EXPECT_EQ(game->GetBoard().GetSideToMove(), WHITE);
    EXPECT_NE(m_frame->GetStatusBar()->GetStatusText(0), "some text");
    Choose(ID_MENU_TAKE_BACK);
    EXPECT_EQ(Last(), "Take back: Nothing to take back.");

    // While the engine thinks, the engine's player refuses.
    Prompt().Clear();
    ASSERT_TRUE(UserMoves("d2d4"));
    Choose(ID_MENU_TAKE_BACK);
    EXPECT_EQ(Last(), "Take back: Cant take back while computer is thinking.");
    EXPECT_EQ(game->GetBoard().GetPly(), 1);
    ASSERT_TRUE(WaitForPly(2));

    // Reset: No keeps the moves, Yes goes back to the start, still in play.
    Prompt().Clear();
    Prompt().QueueButton(wxNO);
    Choose(ID_MENU_RESET_GAME);
    EXPECT_EQ(Last(), "Reset Game: This will reset the board to the initial position.\n\nAre you sure?");
    EXPECT_EQ(game->GetBoard().GetPly(), 2);
    Prompt().QueueButton(wxYES);
    Choose(ID_MENU_RESET_GAME);
    EXPECT_EQ(Game(), game);
    EXPECT_EQ(game->GetBoard().GetPly(), 0);
    EXPECT_TRUE(game->IsInPlay());
    // The engine plays on from the new start.
    ASSERT_TRUE(UserMoves("g1f3"));
    EXPECT_TRUE(WaitForPly(2));
}

TEST_F(Commands, TheEngineDeclinesADrawAndTheScriptedOneAcceptsIt)
{
    if (!EngineInstalled())
        GTEST_SKIP() << "gnuchess and polyglot are not installed";
    CAIGame* game = dynamic_cast<CAIGame*>(Game());
    ASSERT_NE(game, nullptr) << "the game of the test before";
    ASSERT_TRUE(game->IsInPlay());
    // No sends nothing.
    Prompt().QueueButton(wxNO);
    Choose(ID_MENU_OFFER_DRAW);
    EXPECT_EQ(Last(), "Offer Draw: Are you sure?");
    // Yes goes to the engine, which keeps playing.
    Prompt().QueueButton(wxYES);
    Choose(ID_MENU_OFFER_DRAW);
    int ply = game->GetBoard().GetPly();
    ASSERT_TRUE(UserMoves("b1c3"));
    ASSERT_TRUE(WaitForPly(ply + 2));
    EXPECT_TRUE(game->IsInPlay());
    EXPECT_EQ(game->GetResult(), RESULT_NONE);

    // A game with moves not saved asks before it is left.
    Prompt().Clear();
    Prompt().QueueButton(wxNO);
    CAIGame* taker = StartComputerGame(kDrawTaker);
    EXPECT_EQ(Prompt().CountText("Do you wish to save the current game?"), 1);
    ASSERT_NE(taker, nullptr);
    ASSERT_NE(taker, game);
    EXPECT_TRUE(taker->IsInPlay());
    Prompt().Clear();
    Prompt().QueueButton(wxNO);
    Choose(ID_MENU_OFFER_DRAW);
    EXPECT_TRUE(taker->IsInPlay()) << "No offers nothing";
    Prompt().QueueButton(wxYES);
    Prompt().QueueButton(wxOK); // "Draw accepted"
    Choose(ID_MENU_OFFER_DRAW);
    ASSERT_TRUE(g_client->PumpUntil([&] { return Game() == taker && !taker->IsInPlay(); }));
    EXPECT_EQ(taker->GetResult(), RESULT_DRAW);
    EXPECT_EQ(Prompt().CountText("Draw accepted"), 1);
    std::ifstream log(g_drawTakerLog);
    std::string sent((std::istreambuf_iterator<char>(log)), {});
    EXPECT_NE(sent.find("\ndraw\n"), std::string::npos) << sent;
    EXPECT_EQ(GameOverWindowsShown(), 1);
    CloseGameOverWindows(false);
    // Over: the actions refuse again.
    Choose(ID_MENU_RESIGN);
    EXPECT_EQ(Last(), "Resign: Game not in play!");
}

TEST_F(Commands, ResigningEndsTheGameForTheEngineAndCountsItLost)
{
    if (!EngineInstalled())
        GTEST_SKIP() << "gnuchess and polyglot are not installed";
    m_app->m_userConfig->GetValue(".preferences.matches.played") = "0";
    m_app->m_userConfig->GetValue(".preferences.matches.lost") = "0";
    // The game before is over: it is left without a question.
    CAIGame* game = StartComputerGame(kGnuChess);
    EXPECT_EQ(Prompt().GetCount(), 0);
    ASSERT_NE(game, nullptr);
    ASSERT_TRUE(UserMoves("e2e4"));
    ASSERT_TRUE(WaitForPly(2));
    // Anything but Yes keeps playing.
    Prompt().QueueButton(wxNO);
    Choose(ID_MENU_RESIGN);
    EXPECT_EQ(Last(), "Resign: Are you sure?");
    EXPECT_TRUE(game->IsInPlay());
    Prompt().QueueButton(wxYES);
    Choose(ID_MENU_RESIGN);
    EXPECT_FALSE(game->IsInPlay());
    EXPECT_EQ(game->GetResult(), RESULT_BLACK_WINS) << "the engine plays Black and wins";
    ASSERT_EQ(GameOverWindowsShown(), 1);
    for (wxWindow* window : wxTopLevelWindows)
        if (CGameOverDialog* over = dynamic_cast<CGameOverDialog*>(window))
            if (wxCheckBox* record = dynamic_cast<wxCheckBox*>(over->FindWindow(ID_GAMEOVER_RECORD_RESULT)))
                record->SetValue(true);
    CloseGameOverWindows(true);
    EXPECT_EQ(User(".preferences.matches.played"), "1");
    EXPECT_EQ(User(".preferences.matches.lost"), "1");
    EXPECT_EQ(User(".preferences.matches.won"), "0");

    // End Game after the end: nothing to ask, an empty game again.
    Prompt().Clear();
    Choose(ID_MENU_END_GAME);
    EXPECT_EQ(Prompt().GetCount(), 0);
    EXPECT_EQ(Game()->GetSettings().GetValueOr("type", ""), "Dummy");
}

TEST_F(Commands, EndGameAsksWhileAGameIsInPlay)
{
    if (!EngineInstalled())
        GTEST_SKIP() << "gnuchess and polyglot are not installed";
    CAIGame* game = StartComputerGame(kGnuChess);
    ASSERT_NE(game, nullptr);
    ASSERT_TRUE(UserMoves("c2c4"));
    ASSERT_TRUE(WaitForPly(2));
    Prompt().QueueButton(wxNO);
    Choose(ID_MENU_END_GAME);
    EXPECT_EQ(Last(), "End Game: End the current game?");
    EXPECT_EQ(Game(), game);
    // Yes, then the save question: Cancel keeps the game too.
    Prompt().QueueButton(wxYES);
    Prompt().QueueButton(wxCANCEL);
    Choose(ID_MENU_END_GAME);
    EXPECT_EQ(Last(), "End Game: Do you wish to save the current game?");
    EXPECT_EQ(Game(), game);
    Prompt().QueueButton(wxYES);
    Prompt().QueueButton(wxNO);
    Choose(ID_MENU_END_GAME);
    EXPECT_NE(Game(), game);
    EXPECT_EQ(Game()->GetSettings().GetValueOr("type", ""), "Dummy");
}

TEST_F(Commands, AnEngineThatCannotStartLeavesTheGameAsItWas)
{
    std::string folder = g_client->GetFolder() + "/engines/Broken Engine";
    ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
    std::ofstream(folder + "/info.cfg") << "exe = \"/nonexistent/rookwell-engine\"\n";
    CGame* before = Game();
    Prompt().QueueButton(wxOK);
    StartComputerGame("Broken Engine");
    EXPECT_EQ(Game(), before);
    EXPECT_EQ(Prompt().GetCount(), 1) << "one message about the engine";
    EXPECT_EQ(Last(), "Error: There was a problem starting the engine.");
    EXPECT_EQ(Game()->GetSettings().GetValueOr("type", ""), "Dummy");

    // A program that starts and ends at once is caught after the dialog;
    // the user reads the same words.
    folder = g_client->GetFolder() + "/engines/Quitting Engine";
    ASSERT_EQ(std::system(("mkdir -p '" + folder + "'").c_str()), 0);
    std::ofstream(folder + "/info.cfg") << "exe = \"/bin/true\"\n";
    Prompt().Clear();
    Prompt().QueueButton(wxOK);
    StartComputerGame("Quitting Engine");
    EXPECT_EQ(Prompt().GetCount(), 1) << "one message about the engine";
    EXPECT_EQ(Last(), "Error: There was a problem starting the engine.");
    EXPECT_EQ(Game()->GetSettings().GetValueOr("type", ""), "Dummy");
}

TEST_F(Commands, AGameOnlyViewedAnswersResignAndOfferDrawItself)
{
    CViewedGame* game = new CViewedGame();
    game->Setup();
    game->Start();
    game->SetInPlay(false);
    m_canvas->ResetView(game, false, true);
    ASSERT_EQ(Game(), game);
    // Offered although the game is not in play, since the game has a word for them.
    wxMenu* actions = m_frame->GetMenuBar()->GetMenu(2);
    wxUpdateUIEvent update(wxID_ANY);
    m_frame->GetEventHandler()->ProcessEvent(update);
    EXPECT_TRUE(actions->IsEnabled(ID_MENU_RESIGN));
    EXPECT_TRUE(actions->IsEnabled(ID_MENU_OFFER_DRAW));
    Choose(ID_MENU_RESIGN);
    Choose(ID_MENU_OFFER_DRAW);
    EXPECT_EQ(Prompt().GetCount(), 0) << "neither \"Game not in play!\" nor a question";
    EXPECT_EQ(game->calls, (std::vector<std::string>{"resign 0", "draw 0"}));
    EXPECT_FALSE(game->IsInPlay());
    EXPECT_EQ(GameOverWindowsShown(), 0);

    CGame* empty = new CGame();
    empty->GetSettings().GetValue("type") = "Dummy";
    empty->Setup();
    m_canvas->ResetView(empty, false, true);
    m_frame->GetEventHandler()->ProcessEvent(update);
    EXPECT_FALSE(actions->IsEnabled(ID_MENU_RESIGN));
}

// Remote play's new-game commands, each standing in for its dialog: it
// writes down that it ran.
std::vector<ERemoteCommand> g_remoteRuns;
void RunEmail(wxWindow*) { g_remoteRuns.push_back(ERemoteCommand::EmailGame); }
void RunHost(wxWindow*) { g_remoteRuns.push_back(ERemoteCommand::HostNetworkGame); }
void RunJoin(wxWindow*) { g_remoteRuns.push_back(ERemoteCommand::JoinNetworkGame); }

// Installs the three for one test; the client goes back to having none.
struct SRemoteNewGames {
    SRemoteNewGames()
    {
        g_remoteRuns.clear();
        SetRemoteCommand(ERemoteCommand::EmailGame, RunEmail);
        SetRemoteCommand(ERemoteCommand::HostNetworkGame, RunHost);
        SetRemoteCommand(ERemoteCommand::JoinNetworkGame, RunJoin);
    }
    ~SRemoteNewGames()
    {
        for (ERemoteCommand command :
             {ERemoteCommand::EmailGame, ERemoteCommand::HostNetworkGame, ERemoteCommand::JoinNetworkGame})
            SetRemoteCommand(command, nullptr);
    }
};

TEST_F(Commands, RemoteNewGamesAskTheGameInPlayBeforeTheirDialog)
{
    CGame* game = new CGame();
    game->Setup();
    game->Start();
    m_canvas->ResetView(game, false, true);
    ASSERT_EQ(Game(), game);
    ASSERT_TRUE(UserMoves("e2e4"));
    ASSERT_TRUE(game->HasUnsavedPlay());

    const struct {
        int id;
        ERemoteCommand command;
    } commands[] = {{ID_MENU_NEW_EMAIL_GAME, ERemoteCommand::EmailGame},
                    {ID_MENU_HOST_NETWORK_GAME, ERemoteCommand::HostNetworkGame},
                    {ID_MENU_JOIN_NETWORK_GAME, ERemoteCommand::JoinNetworkGame}};
    std::string path;
    {
        SRemoteNewGames installed;
        for (const auto& item : commands) {
            SCOPED_TRACE(item.id);
            // Cancel keeps the game and opens nothing.
            Prompt().Clear();
            g_remoteRuns.clear();
            Prompt().QueueButton(wxCANCEL);
            Choose(item.id);
            EXPECT_EQ(Prompt().GetCount(), 1);
            EXPECT_EQ(Last(), "End Game: Do you wish to save the current game?");
            EXPECT_TRUE(g_remoteRuns.empty()) << "no dialog after Cancel";
            EXPECT_EQ(Game(), game);
            EXPECT_TRUE(game->HasUnsavedPlay());

            // No leaves it unsaved; the dialog opens, the game stays until a new one begins.
            Prompt().Clear();
            Prompt().QueueButton(wxNO);
            Choose(item.id);
            EXPECT_EQ(Last(), "End Game: Do you wish to save the current game?");
            EXPECT_EQ(g_remoteRuns, std::vector<ERemoteCommand>{item.command});
            EXPECT_EQ(Game(), game);
            EXPECT_TRUE(game->HasUnsavedPlay());

            // Yes saves it, then the dialog opens.
            Prompt().Clear();
            g_remoteRuns.clear();
            // The first save asks where; later ones write the same file again.
            const bool first = path.empty();
            Prompt().QueueButton(wxYES);
            if (first) {
                path = g_client->GetFolder() + "/before remote play.rwg";
                Prompt().QueueText(CString(path.c_str()), true);
            } else {
                ASSERT_EQ(unlink(path.c_str()), 0);
            }
            Choose(item.id);
            ASSERT_EQ(Prompt().GetCount(), first ? 2 : 1) << "the question, then where to save the first time";
            EXPECT_EQ(std::string(Prompt().GetQuestion(0).text.GetText()), "Do you wish to save the current game?");
            EXPECT_EQ(g_remoteRuns, std::vector<ERemoteCommand>{item.command});
            EXPECT_EQ(access(path.c_str(), R_OK), 0) << path;
            EXPECT_FALSE(game->HasUnsavedPlay());

            // Saved, nothing is asked again.
            Prompt().Clear();
            g_remoteRuns.clear();
            Choose(item.id);
            EXPECT_EQ(Prompt().GetCount(), 0);
            EXPECT_EQ(g_remoteRuns, std::vector<ERemoteCommand>{item.command});
            // Unsaved again for the next command.
            game->SetSavedPly(-1);
        }
    }

    // Without remote play nothing would be left: only the notice.
    Prompt().Clear();
    Choose(ID_MENU_HOST_NETWORK_GAME);
    EXPECT_EQ(Last(), "Host a Game: This part of Rookwell is not available yet:\n\nHost a Game");
    EXPECT_EQ(Prompt().GetCount(), 1);

    game->SetInPlay(false);
    CGame* empty = new CGame();
    empty->GetSettings().GetValue("type") = "Dummy";
    empty->Setup();
    m_canvas->ResetView(empty, false, true);
}

} // namespace
