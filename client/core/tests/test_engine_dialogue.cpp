// The xboard dialogue of the computer player, driven through a scripted
// device: what goes to the engine, and what its lines do.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "client/core/ComputerPlayer.h"
#include "client/core/EngineProcess.h"
#include "client/core/Game.h"
#include "client/core/LocalPlayer.h"
#include "client/core/tests/support/GameFixture.h"
#include "client/core/tests/support/ScriptedDevice.h"

using namespace EngineTest;
using Zorlin::CString;

namespace {

// A game of the user against a computer player that talks to a scripted
// device instead of a program.
class CDeviceGame : public CGame {
public:
    CDeviceGame(Colour computerColour, std::shared_ptr<SDeviceState> state) : m_computerColour(computerColour)
    {
        m_computer = new CComputerPlayer();
        m_computer->GetEngineProcess()->Attach(new CScriptedDevice(std::move(state)));
        SetPlayers(m_computer, new CLocalPlayer());
        m_settings.GetValue("timecontrol.moves") = "40";
        m_settings.GetValue("timecontrol.seconds") = "300";
    }
    void Start() override
    {
        m_board.SetupStartPosition();
        m_board.SetTimeControl(40, 300);
        m_result = RESULT_NONE;
        m_inPlay = true;
        GetSecondPlayer()->StartGame(&m_board, OtherColour(m_computerColour));
        m_computer->StartGame(&m_board, m_computerColour);
    }
    CComputerPlayer* m_computer;
    Colour m_computerColour;
};

class EngineDialogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_state = std::make_shared<SDeviceState>();
        // A poll's time to read never runs out here unless a test says so:
        // a loaded machine must not change what one poll reads.
        CEngineProcess::SetTickReadTime(60000.0);
    }
    void TearDown() override { CEngineProcess::SetTickReadTime(CEngineProcess::kTickReadMs); }

    CDeviceGame& NewGame(Colour computerColour, const char* features = "feature done=1")
    {
        if (features)
            m_state->Say(features);
        m_game = new CDeviceGame(computerColour, m_state);
        m_services.m_frame.m_view.ResetView(m_game, false, false);
        m_game->Start();
        return *m_game;
    }
    CComputerPlayer& Computer() { return *m_game->m_computer; }
    CFakeChessView& View() { return m_services.m_frame.m_view; }
    // Polls as a few ticks would, so everything waiting is read.
    void Settle()
    {
        for (int i = 0; i < 30; ++i)
            Computer().Poll();
    }
    CTestServices m_services;
    std::shared_ptr<SDeviceState> m_state;
    CDeviceGame* m_game = nullptr;
};

} // namespace

TEST_F(EngineDialogue, StartSendsHandshakeLevelAndColour)
{
    m_game = nullptr;
    NewGame(WHITE);
    Settle();
    EXPECT_EQ(m_state->written.find("xboard\nprotover 2\n"), 0u);
    EXPECT_TRUE(m_state->Sent("new"));
    EXPECT_TRUE(m_state->Sent("random"));
    EXPECT_TRUE(m_state->Sent("level 40 5:0 0"));
    EXPECT_TRUE(m_state->Sent("hard"));
    EXPECT_TRUE(m_state->Sent("easy")); // not pondering
    // The computer plays White: it is told so, and the clocks, and set going.
    EXPECT_NE(m_state->written.find("white\ntime 30000\notim 30000\ngo\n"), std::string::npos) << m_state->written;
}

TEST_F(EngineDialogue, LevelDepthAndPonderingFollowTheSettings)
{
    NewGame(BLACK);
    m_game->GetSettings().GetValue("timecontrol.moves") = ""; // no moves per period
    m_game->GetSettings().GetValue("timecontrol.seconds") = "90.5";
    m_game->GetSettings().GetValue("depth") = "6";
    m_game->GetSettings().GetValue("pondering") = "Yes";
    m_state->written.clear();
    Computer().SendLevel();
    EXPECT_EQ(m_state->written, "level 0 1:30 0\ndepth 6\nsd 6\nhard\n");

    // A package that takes no "depth" gets only "sd".
    Computer().GetEngineProcess()->GetSettings().GetValue("nosetdepth") = "TRUE";
    m_state->written.clear();
    Computer().SendLevel();
    EXPECT_EQ(m_state->written, "level 0 1:30 0\nsd 6\nhard\n");
}

TEST_F(EngineDialogue, UsermoveIsAcceptedOnceAndPrefixesMoves)
{
    NewGame(BLACK, "feature usermove=1 myname=\"Test Engine\" setboard=1 ping=0 done=1");
    Settle();
    EXPECT_TRUE(Computer().AreFeaturesDone());
    EXPECT_EQ(m_state->CountSent("accepted usermove"), 1);
    EXPECT_EQ(m_state->CountSent("accepted setboard"), 1);
    EXPECT_FALSE(m_state->Sent("accepted myname"));
    EXPECT_FALSE(m_state->Sent("accepted done"));
    ASSERT_NE(Computer().FindFeature("myname"), nullptr);
    EXPECT_EQ(*Computer().FindFeature("myname"), "Test Engine");
    ASSERT_TRUE(View().PlayText("e4"));
    EXPECT_TRUE(m_state->Sent("usermove e2e4"));
}

TEST_F(EngineDialogue, MovesGoBareWithoutUsermove)
{
    NewGame(BLACK, "feature usermove=0 done=1");
    ASSERT_TRUE(View().PlayText("d4"));
    EXPECT_TRUE(m_state->Sent("d2d4"));
    EXPECT_FALSE(m_state->Sent("usermove d2d4"));
}

TEST_F(EngineDialogue, BothMoveLineFormsYieldTheirLastWord)
{
    NewGame(BLACK);
    Settle();
    ASSERT_TRUE(View().PlayText("e4"));
    m_state->Say("move e7e5");
    Computer().Poll();
    ASSERT_TRUE(Computer().HasMove());
    View().Tick();
    ASSERT_EQ(View().m_sans.size(), 2u);
    EXPECT_EQ(View().m_sans[1], "e5");

    ASSERT_TRUE(View().PlayText("Nf3"));
    m_state->Say("2. ... b8c6");
    m_state->Say("My move is : b8c6"); // the same move told again: no move
    View().Tick();
    ASSERT_EQ(View().m_sans.size(), 4u);
    EXPECT_EQ(View().m_sans[3], "Nc6");
    View().Tick();
    EXPECT_FALSE(Computer().HasMove());
    EXPECT_EQ(View().m_sans.size(), 4u);
}

TEST_F(EngineDialogue, OnlyMoveLinesYieldMoves)
{
    NewGame(BLACK);
    Settle();
    ASSERT_TRUE(View().PlayText("e4"));
    m_state->Say("Hint: e7e5");
    m_state->Say("e7e5");
    m_state->Say("thinking 1 2 3 e7e5");
    for (int i = 0; i < 3; ++i)
        Computer().Poll();
    EXPECT_FALSE(Computer().HasMove());
}

TEST_F(EngineDialogue, MoveSplitAcrossWritesAndLines)
{
    NewGame(BLACK);
    Settle();
    ASSERT_TRUE(View().PlayText("e4"));
    // Partial writes make one line.
    m_state->output.push_back("mo");
    m_state->output.push_back("ve c7");
    Computer().Poll();
    EXPECT_FALSE(Computer().HasMove());
    m_state->output.push_back("c5\r\n");
    Computer().Poll();
    ASSERT_TRUE(Computer().HasMove());
    View().Tick();
    ASSERT_TRUE(View().PlayText("Nf3"));
    // "N ..." alone: the next line's first word completes the move.
    m_state->Say("2. ...");
    m_state->Say("d7d6 is my move");
    Computer().Poll();
    EXPECT_FALSE(Computer().HasMove());
    Computer().Poll();
    ASSERT_TRUE(Computer().HasMove());
    EXPECT_EQ(Computer().GetReadyText(), "d7d6");
}

TEST_F(EngineDialogue, AMoveBehindThinkingOutputIsTakenInItsPollAndCommandsEndThePoll)
{
    NewGame(BLACK);
    Settle();
    ASSERT_TRUE(View().PlayText("e4"));
    // Some 50 KB of thinking, blank lines among it, then the move: one poll.
    for (int i = 0; i < 1200; ++i)
        m_state->Say(i % 100 == 0 ? "" : " 7 +12 104 28813 e7e5 g1f3 b8c6 f1b5 " + std::to_string(i));
    m_state->Say("move e7e5");
    Computer().Poll();
    EXPECT_TRUE(Computer().HasMove());
    View().Tick();
    ASSERT_EQ(View().m_sans.size(), 2u);

    // Two megabytes of thinking are read in the poll that finds them while
    // its time lasts: with time enough the move behind them is taken at once,
    // however many bytes came first.
    ASSERT_TRUE(View().PlayText("Nf3"));
    std::string line(99, 't');
    for (int i = 0; i < 20000; ++i)
        m_state->Say(line);
    m_state->Say("move b8c6");
    Computer().Poll();
    EXPECT_TRUE(Computer().HasMove());
    EXPECT_TRUE(m_state->output.empty());
    EXPECT_FALSE(Computer().IsReadingBehind());
    View().Tick();
    ASSERT_EQ(View().m_sans.size(), 4u);

    ASSERT_TRUE(View().PlayText("Bb5"));
    m_services.m_prompt.QueueButton(wxNO);
    m_state->Say("offer draw");
    m_state->Say("move a7a6");
    Computer().Poll();
    EXPECT_EQ(m_services.m_prompt.CountText("Accept draw?"), 1);
    EXPECT_FALSE(Computer().HasMove());
    Computer().Poll();
    EXPECT_TRUE(Computer().HasMove());
    View().Tick();
    ASSERT_EQ(View().m_sans.size(), 6u);

    // Without time to read, a poll still reads a line, says that more waits,
    // and leaves the rest in the pipe for the next.
    CEngineProcess::SetTickReadTime(0.0);
    ASSERT_TRUE(View().PlayText("Ba4"));
    for (int i = 0; i < 50; ++i)
        m_state->Say(line);
    m_state->Say("move g8f6");
    int polls = 0;
    while (!Computer().HasMove() && polls < 100) {
        Computer().Poll();
        ++polls;
        if (!Computer().HasMove()) {
            EXPECT_TRUE(Computer().IsReadingBehind()) << "after poll " << polls;
        }
    }
    EXPECT_TRUE(Computer().HasMove());
    EXPECT_EQ(polls, 51);
}

// While the user answers the engine's draw offer or resignation, no time is
// charged to the side to move and the clock window stands still; declined,
// both go on from where they were.
TEST_F(EngineDialogue, NoClockRunsWhileTheEnginesOfferOrResignationIsAsked)
{
    const int kAnswerMs = 2000;
    NewGame(BLACK);
    m_game->SetTimeControl(TIME_CONVENTIONAL, 40, 300);
    Settle();
    CFakeClock& clock = m_services.m_frame.m_clock;
    bool runningWhileAsked = true;
    m_services.m_prompt.SetResponder([&](const CScriptedPrompt::SQuestion& question) {
        runningWhileAsked = clock.m_running;
        std::this_thread::sleep_for(std::chrono::milliseconds(kAnswerMs));
        CScriptedPrompt::SAnswer answer;
        answer.code = question.kind == CScriptedPrompt::kChoice ? 1 : wxNO; // Keep playing, No
        return answer;
    });
    const char* const words[][2] = { { "offer draw", "move e7e5" }, { "resign", "move b8c6" } };
    for (const auto& word : words) {
        SCOPED_TRACE(word[0]);
        ASSERT_TRUE(View().PlayText(View().m_sans.empty() ? "e4" : "Nf3"));
        m_game->RunClockForSideToMove(); // as the board window does after a move
        int starts = clock.m_starts;
        m_state->Say(word[0]);
        Computer().Poll();
        EXPECT_FALSE(runningWhileAsked);
        EXPECT_TRUE(clock.m_running);
        EXPECT_GT(clock.m_starts, starts);
        EXPECT_GT(clock.m_blackMs, 300000.0 - kAnswerMs);
        size_t before = View().m_sans.size();
        m_state->Say(word[1]);
        View().Tick();
        ASSERT_EQ(View().m_sans.size(), before + 1);
        EXPECT_LT(View().m_moveTimes.back(), kAnswerMs);
        EXPECT_TRUE(m_game->IsInPlay());
    }
    EXPECT_EQ(m_services.m_prompt.GetCount(), 2);
}

TEST_F(EngineDialogue, EndingTheGameAtTheEnginesResignationLeavesTheClocksAsTheyWere)
{
    NewGame(BLACK);
    m_game->SetTimeControl(TIME_CONVENTIONAL, 40, 300);
    Settle();
    ASSERT_TRUE(View().PlayText("e4"));
    CFakeClock& clock = m_services.m_frame.m_clock;
    double shownBlack = clock.m_blackMs;
    m_services.m_prompt.QueueChoice(0); // End game
    m_state->Say("resign");
    Computer().Poll();
    EXPECT_FALSE(m_game->IsInPlay());
    EXPECT_FALSE(clock.m_running);
    EXPECT_EQ(clock.m_blackMs, shownBlack);
    EXPECT_EQ(m_game->GetDisplayClock(BLACK), 300000.0);
}

TEST_F(EngineDialogue, EngineMovesAreCheckedBeforeTheyArePlayed)
{
    NewGame(BLACK);
    Settle();
    // Not the engine's turn: a move for White from the engine is refused.
    m_state->Say("move e2e4");
    Computer().Poll();
    EXPECT_FALSE(Computer().HasMove());
    ASSERT_TRUE(View().PlayText("e4"));
    // Illegal for Black, and nonsense.
    m_state->Say("move e7e4");
    m_state->Say("move zz99");
    m_state->Say("move e8e7");
    for (int i = 0; i < 3; ++i)
        Computer().Poll();
    EXPECT_FALSE(Computer().HasMove());
    EXPECT_NE(m_services.ConsoleText("CComputerPlayer - Console").find("Illegal move from the engine: e7e4"), std::string::npos);
    EXPECT_EQ(View().m_sans.size(), 1u);
    // After the game ends nothing is taken either.
    m_game->SetInPlay(false);
    m_game->SetResult(RESULT_WHITE_WINS);
    m_state->Say("move e7e5");
    Computer().Poll();
    EXPECT_FALSE(Computer().HasMove());
}

TEST_F(EngineDialogue, PromotionsTravelWithLowerCaseLetters)
{
    NewGame(BLACK);
    Settle();
    CChessBoard& board = m_game->GetBoard();
    board.Clear();
    board.AddPiece(WHITE, PIECE_KING, 4, 0, false);
    board.AddPiece(WHITE, PIECE_PAWN, 6, 6, false);
    board.AddPiece(BLACK, PIECE_KING, 7, 0, false);
    board.AddPiece(BLACK, PIECE_PAWN, 1, 1, true);
    board.SetSideToMove(WHITE);
    CMove move;
    ASSERT_TRUE(board.ParseMove("g8=N", move, true));
    move.m_text = "";
    View().PlayMove(move, false);
    EXPECT_TRUE(m_state->Sent("g7g8n"));
    m_state->Say("move b2b1r");
    Computer().Poll();
    ASSERT_TRUE(Computer().HasMove());
    CMove reply;
    ASSERT_TRUE(Computer().GetMove(reply));
    EXPECT_EQ(reply.m_promotion, PIECE_ROOK);
    EXPECT_FALSE(Computer().HasMove());
}

TEST_F(EngineDialogue, ResignationIsAskedOnceAfterKeepPlaying)
{
    NewGame(BLACK);
    Settle();
    m_services.m_prompt.QueueChoice(1); // Keep playing
    m_state->Say("resign");
    m_state->Say("resign");
    Computer().Poll();
    Computer().Poll();
    ASSERT_EQ(m_services.m_prompt.GetCount(), 1);
    const auto& question = m_services.m_prompt.GetQuestion(0);
    EXPECT_EQ(question.text, "Computer resigns.");
    EXPECT_EQ(question.caption, "Resign");
    ASSERT_EQ(question.choices.GetCount(), 2);
    EXPECT_EQ(*question.choices.GetAt(0), "End game");
    EXPECT_EQ(*question.choices.GetAt(1), "Keep playing");
    EXPECT_TRUE(m_game->IsInPlay());
}

TEST_F(EngineDialogue, EndGameAfterResignationGivesTheOtherSideTheWin)
{
    NewGame(BLACK);
    Settle();
    m_services.m_prompt.QueueChoice(0);
    m_state->Say("resign");
    Computer().Poll();
    EXPECT_FALSE(m_game->IsInPlay());
    EXPECT_EQ(m_game->GetResult(), RESULT_WHITE_WINS);
    ASSERT_EQ(View().m_gameOverFlags.size(), 1u);
    EXPECT_EQ(View().m_gameOverFlags[0], 1);
    EXPECT_TRUE(m_state->Sent("result 1-0 {White wins}"));
}

TEST_F(EngineDialogue, DrawOffersBothWays)
{
    NewGame(WHITE);
    Settle();
    // The engine offers; the user declines, then accepts the next offer.
    m_services.m_prompt.QueueButton(wxNO);
    m_services.m_prompt.QueueButton(wxYES);
    m_state->Say("offer draw");
    Computer().Poll();
    EXPECT_TRUE(m_game->IsInPlay());
    m_state->Say("offer draw");
    Computer().Poll();
    EXPECT_FALSE(m_game->IsInPlay());
    EXPECT_EQ(m_game->GetResult(), RESULT_DRAW);
    EXPECT_EQ(View().m_gameOverFlags.back(), 0);
    EXPECT_TRUE(m_state->Sent("result 1/2-1/2 {Draw}"));

    // The user offers; the engine's offer then means it accepts.
    m_game->Start();
    m_services.m_prompt.Clear();
    Computer().OfferDraw(); // the user offers
    EXPECT_TRUE(m_state->Sent("draw"));
    m_state->Say("offer draw");
    Computer().Poll();
    ASSERT_EQ(m_services.m_prompt.GetCount(), 1);
    EXPECT_EQ(m_services.m_prompt.GetQuestion(0).text, "Draw accepted");
    EXPECT_EQ(m_game->GetResult(), RESULT_DRAW);
}

TEST_F(EngineDialogue, ADrawOfferAlwaysGetsAnAnswer)
{
    // With pings: the pong after the offer, with no acceptance before it,
    // is the engine's "no", told once.
    NewGame(WHITE, "feature ping=1 done=1");
    Settle();
    m_services.m_prompt.Clear();
    Computer().OfferDraw();
    EXPECT_TRUE(m_state->Sent("draw"));
    EXPECT_TRUE(m_state->Sent("ping 1"));
    Settle();
    EXPECT_EQ(m_services.m_prompt.GetCount(), 0) << "no answer before the pong";
    m_state->Say("pong 1");
    Settle();
    ASSERT_EQ(m_services.m_prompt.GetCount(), 1);
    EXPECT_EQ(m_services.m_prompt.GetQuestion(0).caption, "Offer draw");
    EXPECT_EQ(m_services.m_prompt.GetQuestion(0).text, "Draw declined");
    EXPECT_TRUE(m_game->IsInPlay());
    // A later offer of the engine is its own, asked as such.
    m_services.m_prompt.QueueButton(wxNO);
    m_state->Say("offer draw");
    Settle();
    ASSERT_EQ(m_services.m_prompt.GetCount(), 2);
    EXPECT_EQ(m_services.m_prompt.GetQuestion(1).text, "Accept draw?");

    // An acceptance before the pong ends the game; the pong then says nothing.
    m_game->Start();
    Settle();
    m_services.m_prompt.Clear();
    Computer().OfferDraw();
    EXPECT_TRUE(m_state->Sent("ping 2"));
    m_state->Say("offer draw");
    m_state->Say("pong 2");
    Settle();
    ASSERT_EQ(m_services.m_prompt.GetCount(), 1);
    EXPECT_EQ(m_services.m_prompt.GetQuestion(0).text, "Draw accepted");
    EXPECT_EQ(m_game->GetResult(), RESULT_DRAW);
    EXPECT_EQ(m_game->GetEndNote(), "agreed");
}

TEST_F(EngineDialogue, WithoutPingsTheEnginesNextMoveDeclinesTheOffer)
{
    NewGame(BLACK);
    Settle();
    m_services.m_prompt.Clear();
    ASSERT_TRUE(View().PlayText("e4"));
    Computer().OfferDraw();
    EXPECT_FALSE(m_state->Sent("ping 1"));
    m_state->Say("move e7e5");
    Settle();
    ASSERT_EQ(m_services.m_prompt.GetCount(), 1);
    EXPECT_EQ(m_services.m_prompt.GetQuestion(0).text, "Draw declined");
}

TEST_F(EngineDialogue, DialogsRaisedFromPollDoNotPollAgain)
{
    NewGame(BLACK);
    Settle();
    ASSERT_TRUE(View().PlayText("e4"));
    m_state->Say("offer draw");
    m_state->Say("move e7e5");
    bool movedInside = true;
    m_services.m_prompt.SetResponder([&](const CScriptedPrompt::SQuestion&) {
        // A game tick while the dialog is up.
        View().Tick();
        movedInside = Computer().HasMove() || View().m_sans.size() != 1;
        CScriptedPrompt::SAnswer answer;
        answer.code = wxNO;
        return answer;
    });
    Computer().Poll();
    EXPECT_FALSE(movedInside);
    Computer().Poll();
    EXPECT_TRUE(Computer().HasMove());
}

TEST_F(EngineDialogue, EngineTextIsEscapedInItsMessageBox)
{
    NewGame(BLACK);
    Computer().GetProperties().GetValue("name") = "Bishop & Co";
    m_state->Say("tellics say <b>mate</b> in \"3\" & more");
    m_state->Say("tellopponent <a href=\"x\">hi</a>");
    Settle();
    ASSERT_EQ(m_services.m_htmlMessages.size(), 2u);
    EXPECT_EQ(m_services.m_htmlMessages[0].first, "Message from Bishop & Co");
    EXPECT_EQ(m_services.m_htmlMessages[0].second, "&lt;b&gt;mate&lt;/b&gt; in &quot;3&quot; &amp; more");
    EXPECT_EQ(m_services.m_htmlMessages[1].second, "&lt;a href=&quot;x&quot;&gt;hi&lt;/a&gt;");
}

TEST_F(EngineDialogue, PositionsArriveAsMovesFromTheStart)
{
    NewGame(BLACK, "feature ping=1 done=1");
    Settle();
    ASSERT_TRUE(View().PlayText("e4"));
    m_state->Say("move c7c5");
    View().Tick();
    ASSERT_TRUE(View().PlayText("Nf3"));
    m_state->written.clear();
    Computer().SetPosition(m_game->GetBoard());
    EXPECT_EQ(m_state->written.find("new\nforce\ne2e4\nc7c5\ng1f3\nping 1\nlevel "), 0u) << m_state->written;
    // The engine's clock, then the user's, in centiseconds, after the level
    // (which some engines take as a fresh period) and before "go" (Black to
    // move: the engine's turn).
    const CChessBoard& board = m_game->GetBoard();
    std::string clocks = "time " + std::to_string(int(board.GetClock(BLACK) * 100)) + "\notim " +
                         std::to_string(int(board.GetClock(WHITE) * 100)) + "\ngo\n";
    size_t at = m_state->written.find(clocks);
    ASSERT_NE(at, std::string::npos) << m_state->written;
    EXPECT_GT(at, m_state->written.find("easy\n"));
}

TEST_F(EngineDialogue, TheClocksComeBeforeEveryMoveAndEveryGo)
{
    // The engine plays White: level, then its side, the clocks, "go".
    NewGame(WHITE, "feature ping=1 done=1");
    Settle();
    m_game->SetTimeControl(TIME_CONVENTIONAL, 40, 300);
    m_state->written.clear();
    m_game->Start();
    EXPECT_NE(m_state->written.find("level 40 5:0 0\nhard\neasy\nwhite\ntime 30000\notim 30000\ngo\n"),
              std::string::npos)
        << m_state->written;
    m_state->Say("move e2e4");
    View().Tick();
    ASSERT_EQ(View().m_sans.size(), 1u);
    // Each move of the user comes after the clocks as the game has them then.
    const char* const moves[][3] = { { "e5", "e7e5", "move g1f3" }, { "Nc6", "b8c6", "move f1c4" } };
    for (const auto& move : moves) {
        m_state->written.clear();
        ASSERT_TRUE(View().PlayText(move[0]));
        std::string clocks = "time " + std::to_string(int(m_game->GetDisplayClock(WHITE) / 1000.0 * 100.0)) +
                             "\notim " + std::to_string(int(m_game->GetDisplayClock(BLACK) / 1000.0 * 100.0)) +
                             "\n";
        EXPECT_EQ(m_state->written, clocks + move[1] + "\n");
        m_state->Say(move[2]);
        View().Tick();
    }
    ASSERT_EQ(View().m_sans.size(), 5u);

    // A new position waiting for the user's move: the engine's "go" after
    // that move comes with the clocks.
    Computer().SetPosition(m_game->GetBoard());
    ASSERT_TRUE(View().PlayText("Bc5"));
    std::string written = m_state->written;
    size_t move = written.rfind("f8c5\n");
    ASSERT_NE(move, std::string::npos) << written;
    std::string after = written.substr(move);
    EXPECT_EQ(after.find("f8c5\nwhite\ntime "), 0u) << after;
    EXPECT_NE(after.find("\notim "), std::string::npos) << after;
    EXPECT_EQ(after.substr(after.size() - 3), "go\n");
}

TEST_F(EngineDialogue, AnEngineThatKeepsItsOwnTimeOrSideIsNotToldThem)
{
    // time=0: no clocks, whoever moves; colors=0: no "white" or "black",
    // "go" alone sets the engine going.
    NewGame(WHITE, "feature time=0 colors=0 ping=1 done=1");
    m_game->SetTimeControl(TIME_CONVENTIONAL, 40, 300);
    Settle();
    m_state->Say("move e2e4");
    View().Tick();
    ASSERT_TRUE(View().PlayText("e5"));
    m_state->Say("move g1f3");
    View().Tick();
    ASSERT_EQ(View().m_sans.size(), 3u);
    // A new position on Black's move: the engine's "go" waits for the user's move.
    Computer().SetPosition(m_game->GetBoard());
    m_state->Say("pong 1");
    Settle();
    ASSERT_TRUE(View().PlayText("Nc6"));
    EXPECT_EQ(m_state->written.substr(m_state->written.size() - 8), "b8c6\ngo\n") << m_state->written;
    EXPECT_GE(m_state->CountSent("go"), 2);
    EXPECT_FALSE(m_state->Sent("white"));
    EXPECT_FALSE(m_state->Sent("black"));
    EXPECT_EQ(m_state->written.find("time "), std::string::npos) << m_state->written;
    EXPECT_EQ(m_state->written.find("otim "), std::string::npos) << m_state->written;
}

TEST_F(EngineDialogue, StatisticsLinesThatStartWithMoveAreOnlyLogged)
{
    NewGame(BLACK, "feature ping=1 done=1");
    Settle();
    for (const char* move : { "e4", "Nf3" }) {
        size_t before = View().m_sans.size();
        ASSERT_TRUE(View().PlayText(move));
        // What one engine prints after every search, ending in its move.
        m_state->Say("Nodes: 16384 (14.50% qnodes)");
        m_state->Say("Move ordering : 90.023750%");
        m_state->Say("Move ordering : 0.000000%");
        m_state->Say("move ordering");
        m_state->Say("Material score: 0   Eval : -17  White hand: 0  Black hand : 0");
        m_state->Say(std::string(move) == "e4" ? "move e7e5" : "move b8c6");
        for (int i = 0; i < 5 && View().m_sans.size() == before + 1; ++i)
            View().Tick();
        ASSERT_EQ(View().m_sans.size(), before + 2) << move;
    }
    EXPECT_EQ(m_services.m_prompt.GetCount(), 0);
    EXPECT_TRUE(Computer().IsEngineHealthy());
    EXPECT_TRUE(m_game->IsInPlay());
    std::string console = m_services.ConsoleText("CComputerPlayer - Console");
    EXPECT_EQ(console.find("Illegal move"), std::string::npos) << console;

    // A move that is one, but not legal, still stops the game.
    m_services.m_prompt.QueueChoice(1);
    ASSERT_TRUE(View().PlayText("Bc4"));
    m_state->Say("move e5e4");
    Settle();
    ASSERT_EQ(m_services.m_prompt.GetCount(), 1);
    EXPECT_EQ(std::string(m_services.m_prompt.GetQuestion(0).text.GetText())
                  .rfind("The chess engine played an illegal move (e5e4).\n", 0),
              0u);
    EXPECT_FALSE(m_game->IsInPlay());
}

TEST_F(EngineDialogue, StaleMovesAfterANewPositionAreNeverPlayed)
{
    NewGame(BLACK, "feature ping=1 done=1");
    Settle();
    ASSERT_TRUE(View().PlayText("e4"));
    // The user takes the move back while the engine thinks; its answer to
    // the old position arrives before the pong.
    m_game->TakeBackTo(0);
    EXPECT_TRUE(m_state->Sent("ping 1"));
    EXPECT_TRUE(Computer().IsWaitingForPong());
    ASSERT_TRUE(View().PlayText("d4"));
    m_state->Say("move d7d5"); // legal now too, but stale
    Computer().Poll();
    EXPECT_FALSE(Computer().HasMove());
    m_state->Say("pong 1");
    m_state->Say("move g8f6");
    Computer().Poll();
    Computer().Poll();
    ASSERT_TRUE(Computer().HasMove());
    EXPECT_EQ(Computer().GetReadyText(), "g8f6");
}

TEST_F(EngineDialogue, TakeBacksKeepTheEngineInStep)
{
    NewGame(BLACK);
    Settle();
    ASSERT_TRUE(View().PlayText("e4"));
    m_state->Say("move e7e5");
    View().Tick();
    ASSERT_TRUE(View().PlayText("Nf3"));
    m_state->Say("move b8c6");
    View().Tick();
    ASSERT_EQ(m_game->GetBoard().GetPly(), 4);

    // The user's turn: two plies back is "remove".
    m_state->written.clear();
    EXPECT_TRUE(Computer().RequestTakeBack(2));
    EXPECT_EQ(m_state->written, "remove\n");
    EXPECT_EQ(m_game->GetBoard().GetPly(), 2);
    EXPECT_EQ(m_services.m_frame.m_refreshes, 1);

    // One ply back while the engine is to move is refused.
    ASSERT_TRUE(View().PlayText("Nf3"));
    EXPECT_FALSE(Computer().RequestTakeBack(2));
    ASSERT_EQ(m_services.m_prompt.GetCount(), 1);
    EXPECT_EQ(m_services.m_prompt.GetQuestion(0).text, "Cant take back while computer is thinking.");
    EXPECT_EQ(m_game->GetBoard().GetPly(), 3);

    // Further back: the engine gets the whole position again.
    m_state->written.clear();
    m_game->TakeBackTo(0);
    EXPECT_EQ(m_state->written.find("new\nforce\n"), 0u) << m_state->written;
    EXPECT_TRUE(m_state->Sent("hard"));
}

TEST_F(EngineDialogue, EngineThatSaysNothingIsWaitedForBriefly)
{
    NewGame(BLACK, nullptr);
    ASSERT_TRUE(View().PlayText("e4"));
    EXPECT_TRUE(Computer().AreFeaturesDone());
    EXPECT_TRUE(m_state->Sent("e2e4"));
}

TEST_F(EngineDialogue, DoneZeroHoldsTheFirstMoveUntilDoneOne)
{
    auto start = std::chrono::steady_clock::now();
    NewGame(BLACK, "feature done=0");
    // The rest comes later than the plain wait would last.
    m_state->onRead = [start](SDeviceState& state) {
        if (state.written.find("e2e4") == std::string::npos &&
            std::chrono::steady_clock::now() - start > std::chrono::milliseconds(2600) &&
            state.output.empty() && state.reads > 0) {
            state.Say("feature usermove=1 done=1");
            state.onRead = nullptr;
        }
    };
    ASSERT_TRUE(View().PlayText("e4"));
    EXPECT_TRUE(m_state->Sent("usermove e2e4"));
}

TEST_F(EngineDialogue, DoneZeroWithoutDoneOneIsWaitedForOnlySoLong)
{
    NewGame(BLACK, "feature done=0");
    // As if the engine had been started just under the bound ago.
    CEngineProcess* process = Computer().GetEngineProcess();
    process->SetStartTime(CEngineProcess::Now() - (CComputerPlayer::kMaxFeatureWait - 0.3));
    ASSERT_TRUE(View().PlayText("e4"));
    EXPECT_TRUE(Computer().AreFeaturesDone());
    EXPECT_TRUE(m_state->Sent("e2e4"));
    EXPECT_GE(process->GetSecondsSinceStart(), double(CComputerPlayer::kMaxFeatureWait));
}

TEST_F(EngineDialogue, AnEngineThatEndsIsReportedOnceAndFreedOnce)
{
    NewGame(BLACK);
    Settle();
    m_state->Say("move e7e5"); // left over: not its turn
    m_state->outputEnded = true;
    m_state->exited = true;
    for (int i = 0; i < 4; ++i)
        Computer().Poll();
    // One question, which ends the game when nothing is chosen.
    ASSERT_EQ(m_services.m_prompt.GetCount(), 1);
    EXPECT_EQ(m_services.m_prompt.GetQuestion(0).caption, "Chess engine");
    EXPECT_EQ(std::string(m_services.m_prompt.GetQuestion(0).text.GetText()).rfind("The chess engine has stopped.\n", 0),
              0u);
    EXPECT_FALSE(View().m_game->IsInPlay());
    // The failed engine is let go at once, with its farewell; moves go nowhere.
    EXPECT_TRUE(m_state->released);
    EXPECT_TRUE(m_state->Sent("quit"));
    EXPECT_FALSE(View().PlayText("e4"));
    View().DropGame();
}

// The engine's own error shows in a message box, and the question after its
// end says what it said last: its error, else its last lines.
TEST_F(EngineDialogue, TheStoppedEnginesLastWordsAreShown)
{
    NewGame(BLACK);
    Settle();
    m_state->Say("tellusererror POLYGLOT: main(): Can't open config file \"polyglot.ini\"\x01");
    m_state->outputEnded = true;
    m_state->exited = true;
    for (int i = 0; i < 4; ++i)
        Computer().Poll();
    ASSERT_EQ(m_services.m_prompt.GetCount(), 2);
    const auto& box = m_services.m_prompt.GetQuestion(0);
    EXPECT_EQ(box.text, "POLYGLOT: main(): Can't open config file \"polyglot.ini\"");
    EXPECT_EQ(box.caption, CString("Message from ") + Computer().GetProperty("name"));
    EXPECT_EQ(std::string(m_services.m_prompt.GetQuestion(1).text.GetText()),
              "The chess engine has stopped.\nIt said:\nPOLYGLOT: main(): Can't open config file \"polyglot.ini\""
              "\n\nRestart the engine on the current position, or end the game?");
    View().DropGame();
}

TEST_F(EngineDialogue, WithoutAnErrorTheStoppedEnginesLastLinesAreShown)
{
    NewGame(BLACK);
    Settle();
    for (const char* line : { "one", "two", "Assertion failed: board.c:12", "", "Aborted" })
        m_state->Say(line);
    m_state->Say(std::string(1000, 'x'));
    m_state->outputEnded = true;
    m_state->exited = true;
    for (int i = 0; i < 4; ++i)
        Computer().Poll();
    ASSERT_EQ(m_services.m_prompt.GetCount(), 1);
    std::string text = m_services.m_prompt.GetQuestion(0).text.GetText();
    EXPECT_EQ(text.rfind("The chess engine has stopped.\nIt said:\nAssertion failed: board.c:12\nAborted\n" +
                             std::string(300, 'x') + "...\n\n", 0),
              0u)
        << text;
    View().DropGame();
}

// A package that spins while it waits is stopped once quiet in the user's
// turn and after the game, runs on its own turn and while pondering, and
// wakes for whatever is sent to it.
TEST_F(EngineDialogue, AnEngineThatSpinsRestsOnlyWhileItWaits)
{
    auto quietPoll = [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(int(CComputerPlayer::kRestAfter * 1000.0) + 50));
        Computer().Poll();
    };
    NewGame(BLACK);
    Computer().GetEngineProcess()->GetSettings().GetValue("rest") = "yes";
    Settle();
    quietPoll();
    EXPECT_TRUE(m_state->resting) << "the user's turn";
    ASSERT_TRUE(View().PlayText("e4"));
    EXPECT_FALSE(m_state->resting) << "woken by the move";
    quietPoll();
    EXPECT_FALSE(m_state->resting) << "the engine's turn";
    m_state->Say("move e7e5");
    View().Tick();
    ASSERT_EQ(View().m_sans.size(), 2u);

    m_game->GetSettings().GetValue("pondering") = "yes";
    quietPoll();
    EXPECT_FALSE(m_state->resting) << "pondering in the user's turn";
    m_game->SetInPlay(false);
    m_game->SetResult(RESULT_WHITE_WINS);
    View().GameOver(1, 0);
    EXPECT_TRUE(m_state->Sent("result 1-0 {White wins}"));
    EXPECT_FALSE(m_state->resting) << "woken for the result";
    // No tick polls a game that is over: it rests all the same, once quiet.
    m_state->Say("thinking after the end");
    EXPECT_TRUE(PumpUntil([&] { return m_state->resting; }, 10000)) << "after the game";
    EXPECT_TRUE(m_state->output.empty()) << "what it said after the game was read";
    View().DropGame();
    EXPECT_FALSE(m_state->resting) << "woken for its farewell";
    EXPECT_TRUE(m_state->Sent("quit"));
}

// Outside a game in play no tick polls the engine: it is read all the same,
// its start is seen through (its features, which a stopped engine could not
// announce), and then it rests.
TEST_F(EngineDialogue, AnEngineNoTickPollsRestsOnceThroughItsStart)
{
    // done=0: its start takes as long as it says (up to kMaxFeatureWait).
    NewGame(BLACK, "feature done=0");
    Computer().GetEngineProcess()->GetSettings().GetValue("rest") = "yes";
    m_game->SetInPlay(false);
    Computer().SendLevel();
    int reads = m_state->reads;
    ASSERT_TRUE(PumpUntil([&] { return m_state->reads >= reads + 3; }, 10000)) << "read without polls";
    EXPECT_FALSE(m_state->resting) << "its start is owed";
    m_state->Say("feature ping=1 done=1");
    EXPECT_TRUE(PumpUntil([&] { return m_state->resting; }, 10000));
    EXPECT_TRUE(Computer().AreFeaturesDone());
    ASSERT_NE(Computer().FindFeature("ping"), nullptr);
}

// An engine whose output wakes the tick leaves it nothing to poll for while
// it thinks, until it writes; a move to play, or a line read with it and not
// yet taken, is work for the next poll.
TEST_F(EngineDialogue, AThinkingEngineWhoseOutputIsWatchedWaitsForIt)
{
    NewGame(BLACK);
    Settle();
    ASSERT_TRUE(View().PlayText("e4"));
    Computer().Poll();
    EXPECT_FALSE(Computer().WakesOnOutput()) << "a device that cannot watch is polled";

    m_state->watchable = true;
    Computer().Poll();
    EXPECT_FALSE(Computer().IsAtRest());
    EXPECT_TRUE(Computer().WakesOnOutput()) << "thinking, its output watched";
    m_state->watching = false;
    m_state->output.push_back("move e7e5\n 7 +12 104 28813 g1f3 b8c6\n");
    EXPECT_FALSE(Computer().WakesOnOutput()) << "written and not yet read";
    // The tick's poll takes the move, which the tick plays.
    View().Tick();
    ASSERT_EQ(View().m_sans.size(), 2u);
    EXPECT_FALSE(Computer().IsAtRest()) << "a line still to take";
    Computer().Poll();
    EXPECT_TRUE(Computer().IsAtRest()) << "the user's turn";
}
