// The New AI Game dialog against the real engine packages of the program
// folder: the engines run, the game lands on the board, the choices stay.

#include <wx/checkbox.h>
#include <wx/html/htmlwin.h>
#include <wx/listbox.h>
#include <wx/radiobox.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>
#include <wx/stopwatch.h>

#include "client/core/AIGame.h"
#include "client/core/Player.h"
#include "client/core/Prompt.h"
#include "client/dialogs/NewAIGameDialog.h"
#include "client/dialogs/tests/support/FakeBoard.h"
#include "client/dialogs/tests/support/GuiTest.h"

using Zorlin::CString;

namespace {

const char kGnuChess[] = "Gnu Chess 5";

class AIGameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        board.reset(new CFakeBoard(app));
        prompt.Install();
        std::string engines = ROOKWELL_SOURCE "/data/engines/";
        for (const char* name : {kGnuChess, "Fairy-Max"})
            app.WriteProgramFile(std::string("engines/") + name + "/info.cfg",
                                 CFakeApp::ReadFile(engines + name + "/info.cfg"));
        app.WriteProgramFile("engines/Missing Engine/info.cfg", "exe = \"/nonexistent/rookwell-engine\"\n");
        app.WriteProgramFile("engines/Gnu Chess 5/about.htm", "<p>GNU Chess, the default engine.</p>");
        // A game on the board already, as after start-up.
        CGame* dummy = new CGame();
        dummy->GetSettings().GetValue("type") = "Dummy";
        board->ResetView(dummy, true, false);
    }
    void TearDown() override { board.reset(); }

    bool EngineInstalled() { return access("/usr/games/polyglot", X_OK) == 0 && access("/usr/games/gnuchess", X_OK) == 0; }
    template <class T> T* Find(wxWindow* dialog, int id) { return GuiTest::Find<T>(dialog, id); }
    int Select(wxWindow* dialog, const char* engine)
    {
        wxListBox* list = Find<wxListBox>(dialog, 10016);
        int index = list->FindString(engine);
        GuiTest::Choose(dialog, 10016, index);
        return index;
    }

    CFakeApp app;
    std::unique_ptr<CFakeBoard> board;
    CScriptedPrompt prompt;
};

} // namespace

TEST_F(AIGameTest, FirstUseShowsTheDefaults)
{
    CNewAIGameDialog dialog(nullptr);
    wxListBox* list = Find<wxListBox>(&dialog, 10016);
    ASSERT_EQ(list->GetCount(), 3u);
    EXPECT_EQ(list->GetStringSelection(), kGnuChess);
    EXPECT_EQ(Find<wxRadioBox>(&dialog, 10018)->GetSelection(), 0) << "the computer plays Black";
    EXPECT_EQ(Find<wxSpinCtrl>(&dialog, 10019)->GetValue(), 40);
    EXPECT_EQ(Find<wxSpinCtrl>(&dialog, 10020)->GetValue(), 5);
    EXPECT_TRUE(Find<wxCheckBox>(&dialog, 10021)->GetValue());
    EXPECT_EQ(Find<wxSlider>(&dialog, 10022)->GetValue(), 3);
    EXPECT_TRUE(Find<wxSlider>(&dialog, 10022)->IsEnabled());
    EXPECT_FALSE(Find<wxCheckBox>(&dialog, 10023)->GetValue());
    GuiTest::Toggle(&dialog, 10021, false);
    EXPECT_FALSE(Find<wxSlider>(&dialog, 10022)->IsEnabled());
    GuiTest::Click(&dialog, 10017);
    GuiTest::Click(&dialog, 10025);
    EXPECT_TRUE(app.Called("OpenUrl:https://www.pemberlode.example/rookwell/engines/"));
    EXPECT_TRUE(app.Called("Help:game#StartGameVersusComputer"));
    EXPECT_EQ(app.userSettings.GetKeyCount(), 0) << "reading the settings creates none";
}

namespace {

wxHtmlWindow* FindHtml(wxWindow* window)
{
    if (wxHtmlWindow* html = dynamic_cast<wxHtmlWindow*>(window))
        return html;
    for (wxWindow* child : window->GetChildren())
        if (wxHtmlWindow* html = FindHtml(child))
            return html;
    return nullptr;
}

} // namespace

// Each engine package shipped in data/engines says what it is, how strong,
// and under which licence, in the dialog's pane.
TEST_F(AIGameTest, EveryShippedEngineDescribesItself)
{
    const std::string engines = ROOKWELL_SOURCE "/data/engines/";
    const char* const shipped[] = {kGnuChess, "Gnu Chess 5 Direct", "Fairy-Max", "Phalanx", "Stockfish"};
    for (const char* name : shipped)
        for (const char* file : {"info.cfg", "about.htm"})
            app.WriteProgramFile(std::string("engines/") + name + "/" + file,
                                 CFakeApp::ReadFile(engines + name + "/" + file));
    CNewAIGameDialog dialog(nullptr);
    wxHtmlWindow* pane = FindHtml(&dialog);
    ASSERT_NE(pane, nullptr);
    for (const char* name : shipped) {
        ASSERT_GE(Select(&dialog, name), 0) << name;
        const std::string text = pane->ToText().utf8_string();
        EXPECT_NE(text.find(name), std::string::npos) << text;
        EXPECT_NE(text.find("Strength."), std::string::npos) << text;
        EXPECT_NE(text.find("Licence."), std::string::npos) << text;
        EXPECT_NE(text.find("Authors and copyright."), std::string::npos) << text;
    }
}

TEST_F(AIGameTest, OkStartsAGameAgainstTheRealEngineAndRemembersTheChoices)
{
    if (!EngineInstalled())
        GTEST_SKIP() << "gnuchess and polyglot are not installed";
    app.userSettings.GetValue("Preferences.Dialogs.AIGame.Pondering") = "YES";
    CNewAIGameDialog dialog(nullptr);
    EXPECT_TRUE(Find<wxCheckBox>(&dialog, 10023)->GetValue());
    GuiTest::RunModal(dialog, [&] {
        Select(&dialog, kGnuChess);
        Find<wxSpinCtrl>(&dialog, 10020)->SetValue(90);
        GuiTest::Toggle(&dialog, 10021, false);
        GuiTest::Click(&dialog, 10027);
    });
    CAIGame* game = dynamic_cast<CAIGame*>(board->GetGame());
    ASSERT_NE(game, nullptr) << "the new game is on the board";
    EXPECT_TRUE(game->IsStarted());
    EXPECT_TRUE(game->IsInPlay());
    EXPECT_EQ(game->GetLocalColour(), WHITE);
    EXPECT_EQ(game->GetTimeControlType(), TIME_CONVENTIONAL);
    EXPECT_EQ(game->GetMovesPerPeriod(), 40);
    EXPECT_EQ(game->GetPeriodSeconds(), 5400.0);
    EXPECT_FALSE(game->GetSettings().KeyExists("depth")) << "no depth without the box";
    EXPECT_EQ(std::string(game->GetSettings().GetValueOr("pondering", "").GetText()), "yes");
    EXPECT_EQ(game->GetBoard().GetPly(), 0);
    EXPECT_TRUE(board->Called("ShowPosition"));
    EXPECT_EQ(app.Setting("Preferences.Dialogs.AIGame.Engine"), kGnuChess);
    EXPECT_EQ(app.Setting("Preferences.Dialogs.AIGame.Time"), "90");
    EXPECT_EQ(app.Setting("Preferences.Dialogs.AIGame.Pondering"), "yes");
    EXPECT_EQ(app.Setting("Preferences.Dialogs.AIGame.DepthEnabled"), "no");
    EXPECT_EQ(prompt.GetCount(), 0);
}

TEST_F(AIGameTest, AnEngineThatPlaysWhiteMakesTheFirstMove)
{
    if (!EngineInstalled())
        GTEST_SKIP() << "gnuchess and polyglot are not installed";
    CNewAIGameDialog dialog(nullptr);
    GuiTest::RunModal(dialog, [&] {
        Select(&dialog, kGnuChess);
        Find<wxRadioBox>(&dialog, 10018)->SetSelection(1);
        Find<wxSlider>(&dialog, 10022)->SetValue(1);
        GuiTest::Click(&dialog, 10027);
    });
    CAIGame* game = dynamic_cast<CAIGame*>(board->GetGame());
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(game->GetLocalColour(), BLACK);
    EXPECT_EQ(std::string(game->GetSettings().GetValueOr("depth", "").GetText()), "1");
    // The board's tick: poll until the engine has answered (generous bound,
    // not a measure of speed).
    CPlayer* computer = game->GetPlayer(WHITE);
    ASSERT_NE(computer, nullptr);
    wxStopWatch watch;
    while (!computer->HasMove() && watch.Time() < 60000) {
        computer->Poll();
        wxMilliSleep(20);
        GuiTest::Pump();
    }
    ASSERT_TRUE(computer->HasMove()) << "the engine made no move";
    CMove move;
    ASSERT_TRUE(computer->GetMove(move));
    Zorlin::CArray<CMove> legal;
    game->GetBoard().GetLegalMoves(legal);
    bool found = false;
    for (int i = 0; i < legal.GetCount(); ++i)
        found |= legal.GetAt(i)->SameSquares(move);
    EXPECT_TRUE(found) << "the engine's first move is legal";
}

TEST_F(AIGameTest, AnEngineThatDoesNotStartLeavesTheOldGame)
{
    CGame* before = board->GetGame();
    CNewAIGameDialog dialog(nullptr);
    GuiTest::RunModal(dialog, [&] {
        Select(&dialog, "Missing Engine");
        GuiTest::Click(&dialog, 10027);
    });
    EXPECT_EQ(board->GetGame(), before);
    ASSERT_EQ(prompt.GetCount(), 1);
    EXPECT_STREQ(prompt.GetQuestion(0).text.GetText(), "There was a problem starting the engine.");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Error");
    EXPECT_EQ(app.Setting("Preferences.Dialogs.AIGame.Engine"), "(missing)") << "nothing remembered";
}

TEST_F(AIGameTest, RandomColourTellsTheUserWhichSideIsTheirs)
{
    if (!EngineInstalled())
        GTEST_SKIP() << "gnuchess and polyglot are not installed";
    CNewAIGameDialog dialog(nullptr);
    prompt.QueueButton(wxOK);
    GuiTest::RunModal(dialog, [&] {
        Select(&dialog, kGnuChess);
        Find<wxRadioBox>(&dialog, 10018)->SetSelection(2);
        GuiTest::Click(&dialog, 10027);
    });
    CAIGame* game = dynamic_cast<CAIGame*>(board->GetGame());
    ASSERT_NE(game, nullptr);
    ASSERT_EQ(prompt.GetCount(), 1);
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Chosen colour at random");
    std::string told = prompt.GetQuestion(0).text.GetText();
    EXPECT_EQ(told, game->GetLocalColour() == WHITE ? "You will be playing as White" : "You will be playing as Black");
    EXPECT_EQ(app.Setting("Preferences.Dialogs.AIGame.Colour"), "2");
}
