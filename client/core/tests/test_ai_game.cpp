// The game against the computer around a scripted fake engine: start,
// reset, save and restore as White and as Black, what cannot start, the
// clocks, colours and chatter of the engines users install, and the
// package's photo.
#include <gtest/gtest.h>

#include <wx/stopwatch.h>
#include <wx/utils.h>

#include "client/core/AIGame.h"
#include "client/core/ChildProcess.h"
#include "client/core/ComputerPlayer.h"
#include "client/core/EngineProcess.h"
#include "client/core/PhotoFit.h"
#include "client/core/tests/support/GameFixture.h"
#include "foundation/Colour.h"
#include "foundation/Image.h"
#include "foundation/MemFile.h"
#include "testsupport/HostilePictures.h"

using namespace EngineTest;
using Zorlin::CString;

namespace {

class AIGameTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        View().DropGame();
        PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000);
    }
    CFakeChessView& View() { return m_services.m_frame.m_view; }

    CAIGame* NewGame(int localColour, const char* engine = "Fake")
    {
        CAIGame* game = new CAIGame(localColour, engine);
        if (!game->IsStarted()) {
            delete game;
            return nullptr;
        }
        game->SetTimeControl(TIME_CONVENTIONAL, 40, 300);
        game->SetPondering(true);
        game->SetDepth(3);
        View().ResetView(game, false, false);
        game->Start();
        game->StartGame();
        return game;
    }
    bool WaitForMoves(size_t count)
    {
        return PumpUntil(
            [&] {
                View().Tick();
                return View().m_sans.size() >= count;
            },
            10000);
    }
    // The user's moves, each answered by the engine, which opens the game
    // when it plays White.
    void PlayAnswered(int local, const std::vector<const char*>& moves)
    {
        if (local == BLACK) {
            ASSERT_TRUE(WaitForMoves(1));
        }
        for (const char* move : moves) {
            size_t before = View().m_sans.size();
            ASSERT_TRUE(View().PlayText(move)) << move;
            ASSERT_TRUE(WaitForMoves(before + 2)) << move;
        }
    }
    // What the engine read until it has read text (or a few seconds pass).
    std::string WaitForEngineToRead(const std::string& log, const std::string& text)
    {
        std::string read;
        PumpUntil(
            [&] {
                View().Tick();
                read = ReadWholeFile(log);
                return read.find(text) != std::string::npos;
            },
            10000);
        return read;
    }
    // Saved as a .rwg file is: through the configuration text and back.
    Zorlin::CConfig SaveThroughText(CGame& game)
    {
        Zorlin::CConfig saved;
        game.Save(saved);
        Zorlin::CString text = saved.ToText(true);
        Zorlin::CConfig reread;
        EXPECT_TRUE(reread.ReadText(text.GetText(), text.GetLength()));
        return reread;
    }
    std::vector<std::string> History(CGame& game)
    {
        std::vector<std::string> texts;
        for (int i = 0; i < game.GetBoard().GetHistory().GetCount(); ++i)
            texts.push_back(game.GetBoard().GetHistory().GetAt(i)->m_shortText);
        return texts;
    }
    std::string Fen(CGame& game)
    {
        CString fen;
        game.GetBoard().GetFen(fen, false);
        return fen.GetText();
    }

    CTestServices m_services;
};

const char* const kFeatures = "say feature ping=1 setboard=1 done=1\n";

} // namespace

TEST_F(AIGameTest, NewGameSetsUpSidesSettingsAndTags)
{
    m_services.MakeFakePackage("Fake", kFeatures);
    CAIGame* game = NewGame(BLACK);
    ASSERT_NE(game, nullptr);
    CComputerPlayer* computer = game->GetComputerPlayer();
    EXPECT_EQ(computer->GetColour(), WHITE);
    EXPECT_EQ(game->GetPlayer(WHITE), computer);
    EXPECT_TRUE(game->GetPlayer(BLACK)->IsLocal());
    EXPECT_EQ(computer->GetProperty("name"), "Fake");
    EXPECT_EQ(computer->GetProperty("link"), "https://engine.example/");
    Zorlin::CConfig& settings = game->GetSettings();
    EXPECT_EQ(settings.GetValueOr("type", ""), "AIGame");
    EXPECT_EQ(settings.GetValueOr("engine", ""), "Fake");
    EXPECT_EQ(settings.GetValueOr("LocalPlayer", ""), "black");
    EXPECT_EQ(settings.GetValueOr("pondering", ""), "yes");
    EXPECT_EQ(settings.GetValueOr("depth", ""), "3");
    EXPECT_EQ(*game->GetTags().Find("TimeControl"), "40/300");
    EXPECT_EQ(*game->GetTags().Find("White"), "Fake");
    EXPECT_EQ(*game->GetTags().Find("Black"), "Tess Tester");
    EXPECT_EQ(*game->GetTags().Find("Event"), "Rookwell");
    EXPECT_TRUE(game->IsInPlay());
    CString page;
    game->GetStatusPage(page);
    EXPECT_EQ(page, "inplay.htm");
    // The players' pictures for the side panel's pages.
    std::string photo = ReadWholeFile(DataFolder() + "/assets/images/misc/nophoto.bmp");
    EXPECT_EQ(ReadWholeFile(m_services.m_userFolder + "/white.bmp"), photo);
    EXPECT_EQ(ReadWholeFile(m_services.m_userFolder + "/black.bmp"), photo);
    std::string console = m_services.ConsoleText("AI Game - Console");
    EXPECT_EQ(console, "NewGame\nStartGame\n");
}

TEST_F(AIGameTest, EnginesThatCannotRunLeaveNoGame)
{
    WriteWholeFile(m_services.m_programFolder + "/engines/Broken/info.cfg", "exe = \"/nonexistent/engine\"\n");
    for (const char* engine : { "Missing", "Broken", "../engines/Broken", "" }) {
        SCOPED_TRACE(engine);
        CAIGame game(WHITE, engine);
        EXPECT_FALSE(game.IsStarted());
        EXPECT_EQ(game.GetFirstPlayer(), nullptr);
        EXPECT_EQ(game.GetSecondPlayer(), nullptr);
    }
    EXPECT_EQ(CChildProcess::GetLiveCount(), 0);
    EXPECT_EQ(m_services.GetProgramDrive().GetDirectoryDepth(), 0);

    // A saved game naming such an engine is refused with the message, and
    // the current game stays.
    CGame* current = new CGame();
    View().ResetView(current, false, false);
    Zorlin::CConfig saved;
    saved.GetValue("game.type") = "AIGame";
    saved.GetValue("game.engine") = "../../../../usr/games";
    saved.GetValue("game.LocalPlayer") = "white";
    EXPECT_FALSE(CAIGame::Restore("x.rwg", saved));
    ASSERT_EQ(m_services.m_prompt.GetCount(), 1);
    EXPECT_EQ(m_services.m_prompt.GetQuestion(0).text, "Unable to launch the chess engine.");
    EXPECT_EQ(m_services.m_prompt.GetQuestion(0).caption, "Error");
    EXPECT_EQ(View().m_game, current);
}

TEST_F(AIGameTest, SaveAndRestoreAsWhite)
{
    std::string log = m_services.MakeFakePackage(
        "Fake", std::string(kFeatures) + "wait e2e4\nsay move e7e5\nwait f1c4\nsay move b8c6\nwait d1h5\n"
                                         "say move g8f6\n");
    CAIGame* game = NewGame(WHITE);
    ASSERT_NE(game, nullptr);
    for (const char* move : { "e4", "Bc4", "Qh5" }) {
        size_t before = View().m_sans.size();
        ASSERT_TRUE(View().PlayText(move)) << move;
        ASSERT_TRUE(WaitForMoves(before + 2)) << move;
    }
    ASSERT_TRUE(View().PlayText("Qxf7"));
    EXPECT_FALSE(game->IsInPlay());
    EXPECT_EQ(game->GetResult(), RESULT_WHITE_WINS);
    std::vector<std::string> history = History(*game);
    ASSERT_EQ(history.back(), "Qxf7#");
    std::string fen = Fen(*game);

    Zorlin::CConfig saved = SaveThroughText(*game);
    EXPECT_EQ(saved.GetValueOr("game.type", ""), "AIGame");
    EXPECT_EQ(saved.GetValueOr("game.LocalPlayer", ""), "white");
    EXPECT_EQ(saved.GetValueOr("White.name", ""), "Tess Tester");
    EXPECT_EQ(saved.GetValueOr("Black.name", ""), "Fake");
    EXPECT_EQ(saved.GetValueOr("Moves.#6.Move", ""), "Qxf7#");
    EXPECT_EQ(saved.GetValueOr("Tags.TimeControl", ""), "40/300");

    // The game is over: it is restored without its engine.
    WriteWholeFile(log, "");
    ASSERT_TRUE(CAIGame::Restore("/active games/game.rwg", saved));
    CAIGame* restored = static_cast<CAIGame*>(View().m_game);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(History(*restored), history);
    EXPECT_EQ(Fen(*restored), fen);
    EXPECT_EQ(restored->GetSavedPath(), "/active games/game.rwg");
    EXPECT_EQ(restored->GetLocalColour(), WHITE);
    EXPECT_EQ(restored->GetComputerPlayer()->GetColour(), BLACK);
    EXPECT_EQ(*restored->GetTags().Find("TimeControl"), "40/300");
    EXPECT_FALSE(restored->QueryClose() == false); // nothing unsaved
    EXPECT_EQ(m_services.m_prompt.GetCount(), 0);
    EXPECT_FALSE(restored->IsInPlay());
    EXPECT_EQ(restored->GetResult(), RESULT_WHITE_WINS);
    for (int i = 0; i < 20; ++i)
        View().Tick();
    EXPECT_FALSE(restored->GetComputerPlayer()->GetEngineProcess()->IsRunning());
    // Only the old game's engine said farewell there.
    EXPECT_EQ(ReadWholeFile(log).find("new\n"), std::string::npos) << ReadWholeFile(log);

    // Play goes on (the mate taken back): the engine starts with the
    // position, and what it answers to its old moves is stale.
    restored->TakeBackTo(6);
    std::string read = WaitForEngineToRead(log, "ping 1");
    EXPECT_NE(read.find("new\nforce\ne2e4\ne7e5\nf1c4\nb8c6\nd1h5\ng8f6\nping 1\n"), std::string::npos) << read;
    for (int i = 0; i < 20; ++i)
        View().Tick();
    EXPECT_EQ(View().m_refusedMoves, 0);
    EXPECT_EQ(restored->GetBoard().GetPly(), 6);
}

TEST_F(AIGameTest, SaveAndRestoreAsBlackGivesTheEngineItsTurn)
{
    std::string log = m_services.MakeFakePackage(
        "Fake", std::string(kFeatures) + "wait go\nsay move e2e4\nwait e7e5\nsay move f1c4\nwait b8c6\n"
                                         "say move c4f7\n");
    CAIGame* game = NewGame(BLACK);
    ASSERT_NE(game, nullptr);
    ASSERT_TRUE(WaitForMoves(1));
    ASSERT_TRUE(View().PlayText("e5"));
    ASSERT_TRUE(WaitForMoves(3));
    ASSERT_TRUE(View().PlayText("Nc6"));
    ASSERT_TRUE(WaitForMoves(5));
    ASSERT_TRUE(View().PlayText("Kxf7"));
    std::vector<std::string> history = History(*game);
    ASSERT_EQ(history.size(), 6u);
    EXPECT_EQ(history[4], "Bxf7+");
    Zorlin::CConfig saved = SaveThroughText(*game);

    // The new engine writes a move before it has the saved moves (as one
    // set going from the start would, late), then gets them and its turn:
    // the early answer, legal in both positions, must not be played.
    m_services.MakeFakePackage("Fake", std::string(kFeatures) + "say move g1f3\nwait go\nsay move d1h5\n");
    log = m_services.m_programFolder + "/engines/Fake/engine.log";
    ASSERT_TRUE(CAIGame::Restore("game.rwg", saved));
    CAIGame* restored = static_cast<CAIGame*>(View().m_game);
    EXPECT_EQ(restored->GetLocalColour(), BLACK);
    EXPECT_EQ(restored->GetComputerPlayer()->GetColour(), WHITE);
    EXPECT_EQ(History(*restored), history);
    ASSERT_TRUE(PumpUntil(
        [&] {
            View().Tick();
            return restored->GetBoard().GetPly() == 7;
        },
        10000));
    EXPECT_EQ(History(*restored).back(), "Qh5+");
    std::string read = ReadWholeFile(log);
    EXPECT_NE(read.find("force\ne2e4\ne7e5\nf1c4\nb8c6\nc4f7\ne8f7\nping 1\n"), std::string::npos) << read;
}

TEST_F(AIGameTest, ResetStartsOverWithFullClocks)
{
    std::string log =
        m_services.MakeFakePackage("Fake", std::string(kFeatures) + "wait e2e4\nsay move e7e5\n");
    CAIGame* game = NewGame(WHITE);
    ASSERT_NE(game, nullptr);
    ASSERT_TRUE(View().PlayText("e4"));
    ASSERT_TRUE(WaitForMoves(2));
    game->Reset();
    EXPECT_EQ(game->GetBoard().GetPly(), 0);
    EXPECT_TRUE(game->IsInPlay());
    CFakeClock& clock = m_services.m_frame.m_clock;
    EXPECT_EQ(clock.m_whiteMs, 300000.0);
    EXPECT_EQ(clock.m_blackMs, 300000.0);
    EXPECT_TRUE(clock.m_shown);
    EXPECT_FALSE(clock.m_running);
    ASSERT_FALSE(clock.m_reminders.empty());
    EXPECT_EQ(clock.m_reminders.back(), -1.0);
    EXPECT_EQ(game->GetDisplayClock(WHITE), 300000.0);
    EXPECT_EQ(*game->GetTags().Find("TimeControl"), "40/300");
    EXPECT_EQ(m_services.m_frame.m_shows, 1);
    std::string read = WaitForEngineToRead(log, "ping 1");
    EXPECT_NE(read.find("new\nforce\nping 1\n"), std::string::npos) << read;
    EXPECT_NE(m_services.ConsoleText("AI Game - Console").find("ResetGame\nStartGame\n"), std::string::npos);
}

TEST_F(AIGameTest, EmptyMovesPerPeriodMeansOnePeriod)
{
    m_services.MakeFakePackage("Fake", kFeatures);
    CAIGame* game = new CAIGame(WHITE, "Fake");
    ASSERT_TRUE(game->IsStarted());
    View().ResetView(game, false, false);
    game->GetSettings().GetValue("timecontrol.moves") = "";
    game->GetSettings().GetValue("timecontrol.seconds") = "120";
    game->Start();
    EXPECT_EQ(game->GetBoard().GetMovesPerPeriod(), 0);
    EXPECT_EQ(game->GetBoard().GetClock(WHITE), 120.0);
    game->CGame::SetTimeControl(TIME_CONVENTIONAL, 0, 120);
    game->StartGame();
    for (const char* move : { "e4", "e5", "Nf3", "Nc6" })
        ASSERT_TRUE(View().PlayText(move));
    EXPECT_LE(game->GetDisplayClock(BLACK), 120000.0);
}

// How often the user was asked about a failed engine, by the first line.
int CountEngineQuestions(CScriptedPrompt& prompt, const std::string& first)
{
    int n = 0;
    for (int i = 0; i < prompt.GetCount(); ++i) {
        const CScriptedPrompt::SQuestion& question = prompt.GetQuestion(i);
        std::string text = question.text.GetText();
        if (question.caption == "Chess engine" && text.rfind(first + "\n", 0) == 0 &&
            question.kind == CScriptedPrompt::kChoice && question.choices.GetCount() == 2)
            ++n;
    }
    return n;
}

TEST_F(AIGameTest, AnEngineThatDiesIsReportedOnceAndTheGameEnds)
{
    m_services.MakeFakePackage("Fake", std::string(kFeatures) + "wait e2e4\nexit 1\n");
    CAIGame* game = NewGame(WHITE);
    ASSERT_NE(game, nullptr);
    m_services.m_prompt.QueueChoice(1); // end the game
    ASSERT_TRUE(View().PlayText("e4"));
    EXPECT_TRUE(PumpUntil(
        [&] {
            View().Tick();
            return CountEngineQuestions(m_services.m_prompt, "The chess engine has stopped.") == 1;
        },
        10000));
    for (int i = 0; i < 10; ++i)
        View().Tick();
    EXPECT_EQ(m_services.m_prompt.GetCount(), 1);
    // Out of play, without a result, and saying so.
    EXPECT_FALSE(game->IsInPlay());
    EXPECT_EQ(game->GetResult(), RESULT_NONE);
    EXPECT_EQ(game->GetEndNote(), "Game ended");
    EXPECT_FALSE(game->GetComputerPlayer()->IsEngineHealthy());
    EXPECT_FALSE(View().PlayText("e5"));
    EXPECT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000));

    // Taking the move back is a way back in: the engine is not thinking.
    EXPECT_TRUE(game->GetComputerPlayer()->RequestTakeBack(0));
    EXPECT_EQ(m_services.m_prompt.GetCount(), 1);
    EXPECT_TRUE(game->IsInPlay());
    EXPECT_EQ(game->GetBoard().GetPly(), 0);
    EXPECT_TRUE(game->GetComputerPlayer()->IsEngineHealthy());
    EXPECT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 1; }, 10000));

    // Reset brings a fresh engine: the script runs again from its start.
    // (The engine the take-back started has read its position first.)
    std::string log = m_services.m_programFolder + "/engines/Fake/engine.log";
    WaitForEngineToRead(log, "force");
    WriteWholeFile(log, "");
    game->Reset();
    EXPECT_TRUE(game->IsInPlay());
    EXPECT_EQ(game->GetEndNote(), "");
    EXPECT_TRUE(game->GetComputerPlayer()->IsEngineHealthy());
    EXPECT_NE(WaitForEngineToRead(log, "xboard").find("xboard"), std::string::npos);
    // The engine it replaced is let go and ends.
    EXPECT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 1; }, 10000));
}

TEST_F(AIGameTest, RestartGivesAFreshEngineTheGameSoFar)
{
    std::string log = m_services.MakeFakePackage("Fake", std::string(kFeatures) + "wait e2e4\nexit 1\n");
    CAIGame* game = NewGame(WHITE);
    ASSERT_NE(game, nullptr);
    // The engine started next behaves (the first one has read its script
    // once it reads our lines).
    WaitForEngineToRead(log, "protover");
    WriteWholeFile(m_services.m_programFolder + "/engines/Fake/script.txt",
                   std::string(kFeatures) + "wait go\nsay move e7e5\n");
    m_services.m_prompt.QueueChoice(0); // restart
    ASSERT_TRUE(View().PlayText("e4"));
    EXPECT_TRUE(WaitForMoves(2));
    EXPECT_EQ(View().m_sans, (std::vector<std::string>{ "e4", "e5" }));
    EXPECT_EQ(CountEngineQuestions(m_services.m_prompt, "The chess engine has stopped."), 1);
    EXPECT_TRUE(game->IsInPlay());
    // The new engine got the game's moves in force mode before "go".
    std::string read = ReadWholeFile(log);
    size_t second = read.rfind("xboard");
    ASSERT_NE(second, std::string::npos);
    std::string after = read.substr(second);
    size_t force = after.find("force\n");
    size_t move = after.find("e2e4\n", force);
    size_t go = after.find("go\n", move);
    EXPECT_TRUE(force != std::string::npos && move != std::string::npos && go != std::string::npos) << after;
    EXPECT_EQ(CChildProcess::GetLiveCount(), 1);
}

TEST_F(AIGameTest, TheEngineStoppedQuestionCostsNobodyTime)
{
    std::string log = m_services.MakeFakePackage("Fake", std::string(kFeatures) + "wait e2e4\nexit 1\n");
    CAIGame* game = NewGame(WHITE);
    ASSERT_NE(game, nullptr);
    WaitForEngineToRead(log, "protover");
    WriteWholeFile(m_services.m_programFolder + "/engines/Fake/script.txt",
                   std::string(kFeatures) + "wait go\nsay move e7e5\n");
    // The user thinks over the question for a while, then restarts.
    const long kThinking = 1200;
    m_services.m_prompt.SetResponder([&](const CScriptedPrompt::SQuestion&) {
        wxMilliSleep(kThinking);
        CScriptedPrompt::SAnswer answer;
        answer.code = 0;
        return answer;
    });
    ASSERT_TRUE(View().PlayText("e4"));
    wxStopWatch wall;
    ASSERT_TRUE(WaitForMoves(2));
    long whole = wall.Time();
    double charged = (300.0 - game->GetBoard().GetClock(BLACK)) * 1000.0;
    EXPECT_GE(whole, kThinking);
    // Black (the engine) pays for its own move, not for the question.
    EXPECT_LT(charged, double(whole - kThinking) + 100.0) << "whole " << whole << " ms";
}

TEST_F(AIGameTest, AnIllegalEngineMoveOrSilenceLeavesPlayWithOneQuestion)
{
    struct SCase {
        const char* script;
        const char* message;
    } cases[] = {
        { "wait e2e4\nsay move e2e5\n", "The chess engine played an illegal move (e2e5)." },
        { "wait e2e4\nsay move e2e3\n", "The chess engine played an illegal move (e2e3)." },
        { "wait e2e4\ndeaf\n", "The chess engine does not answer." },
    };
    CComputerPlayer::SetSilenceLimit(1.0);
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.script);
        m_services.m_prompt.Clear();
        m_services.MakeFakePackage("Fake", std::string(kFeatures) + c.script);
        CAIGame* game = new CAIGame(WHITE, "Fake");
        ASSERT_TRUE(game->IsStarted());
        View().ResetView(game, false, false);
        game->Start();
        game->StartGame();
        m_services.m_prompt.QueueChoice(1);
        ASSERT_TRUE(View().PlayText("e4"));
        EXPECT_TRUE(PumpUntil(
            [&] {
                View().Tick();
                return m_services.m_prompt.GetCount() > 0;
            },
            10000));
        for (int i = 0; i < 5; ++i)
            View().Tick();
        EXPECT_EQ(CountEngineQuestions(m_services.m_prompt, c.message), 1);
        EXPECT_EQ(m_services.m_prompt.GetCount(), 1);
        EXPECT_FALSE(game->IsInPlay());
        EXPECT_EQ(View().m_sans, std::vector<std::string>{ "e4" });
        View().m_sans.clear();
        View().DropGame();
        // Even the engine that ignores the end of its input and SIGTERM goes.
        EXPECT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000));
    }
    CComputerPlayer::SetSilenceLimit(CComputerPlayer::kSilenceLimit);
}

TEST_F(AIGameTest, TheSideWhoseTimeRunsOutLosesOnTime)
{
    for (int local : { WHITE, BLACK }) {
        SCOPED_TRACE(local);
        m_services.m_prompt.Clear();
        View().m_gameOverFlags.clear();
        View().m_sans.clear();
        // As White the user lets the clock run after the engine's reply; as
        // Black the engine never answers its second move.
        std::string log = m_services.MakeFakePackage(
            "Fake", std::string(kFeatures) + (local == WHITE ? "wait e2e4\nsay move e7e5\n" : "say move e2e4\n"));
        CAIGame* game = new CAIGame(local, "Fake");
        ASSERT_TRUE(game->IsStarted());
        game->SetTimeControl(TIME_CONVENTIONAL, 0, 1);
        View().ResetView(game, false, false);
        game->Start();
        game->StartGame();
        if (local == WHITE) {
            ASSERT_TRUE(View().PlayText("e4"));
        }
        ASSERT_TRUE(WaitForMoves(local == WHITE ? 2 : 1));
        if (local == BLACK) {
            ASSERT_TRUE(View().PlayText("e5"));
        }
        // The side to move now is the user (as White) or the engine (as Black):
        // the time to its flag is what is left of its one second.
        double flag = game->GetMillisecondsToFlag();
        EXPECT_GE(flag, 0.0);
        EXPECT_LE(flag, 1000.0);
        EXPECT_TRUE(PumpUntil(
            [&] {
                View().Tick();
                return !game->IsInPlay();
            },
            10000));
        // White runs out either way: the user as White, the engine as White.
        int winner = RESULT_BLACK_WINS;
        EXPECT_EQ(game->GetResult(), winner);
        EXPECT_EQ(game->GetEndNote(), "on time");
        EXPECT_EQ(View().m_gameOverFlags, std::vector<int>{ local == WHITE ? -1 : 1 });
        EXPECT_EQ(game->GetDisplayClock(WHITE), 0.0);
        EXPECT_LT(game->GetMillisecondsToFlag(), 0.0) << "a finished game has no flag to wait for";
        // No move counts after the flag fell, and nothing is asked.
        EXPECT_FALSE(View().PlayText(local == WHITE ? "d4" : "d5"));
        EXPECT_EQ(m_services.m_prompt.GetCount(), 0);
        EXPECT_NE(WaitForEngineToRead(log, "result ").find(winner == RESULT_WHITE_WINS ? "result 1-0" : "result 0-1"),
                  std::string::npos);
        View().DropGame();
        EXPECT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000));
    }
}

TEST_F(AIGameTest, AnEngineSilentOnTheFirstMoveOfATimedGameIsAskedAbout)
{
    // No clock runs before the first move, so no flag can settle it.
    CComputerPlayer::SetSilenceLimit(1.0);
    m_services.MakeFakePackage("Fake", kFeatures);
    CAIGame* game = new CAIGame(BLACK, "Fake");
    ASSERT_TRUE(game->IsStarted());
    game->SetTimeControl(TIME_CONVENTIONAL, 0, 2);
    View().ResetView(game, false, false);
    game->Start();
    game->StartGame();
    m_services.m_prompt.QueueChoice(1);
    EXPECT_TRUE(PumpUntil(
        [&] {
            View().Tick();
            return m_services.m_prompt.GetCount() > 0;
        },
        10000));
    EXPECT_EQ(CountEngineQuestions(m_services.m_prompt, "The chess engine does not answer."), 1);
    EXPECT_FALSE(game->IsInPlay());
    EXPECT_EQ(game->GetResult(), RESULT_NONE);
    CComputerPlayer::SetSilenceLimit(CComputerPlayer::kSilenceLimit);
}

// The clocks an engine was told, in the order it read them: "time" or "otim"
// with the centiseconds.
std::vector<std::pair<std::string, int>> ToldClocks(const std::string& log)
{
    std::vector<std::pair<std::string, int>> told;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find('\n', at);
        std::string line = log.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? log.size() : end + 1;
        if (line.rfind("time ", 0) == 0 || line.rfind("otim ", 0) == 0)
            told.emplace_back(line.substr(0, 4), std::atoi(line.c_str() + 5));
    }
    return told;
}

TEST_F(AIGameTest, AnEngineThatBudgetsFromTheClocksIsToldThemBeforeEveryMove)
{
    // The engine ends (code 7) when a move or "go" reaches it without both
    // clocks since its last move and since the last "level".
    struct SCase {
        int local;
        const char* script;
        std::vector<const char*> moves;
    } cases[] = {
        { WHITE, "timed e2e4\nsay move e7e5\ntimed g1f3\nsay move b8c6\ntimed f1c4\nsay move g8f6\n",
          { "e4", "Nf3", "Bc4" } },
        { BLACK, "timed go\nsay move e2e4\ntimed e7e5\nsay move g1f3\ntimed b8c6\nsay move f1c4\n",
          { "e5", "Nc6" } },
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.local);
        m_services.m_prompt.Clear();
        View().m_sans.clear();
        std::string log = m_services.MakeFakePackage("Fake", std::string(kFeatures) + c.script);
        CAIGame* game = NewGame(c.local);
        ASSERT_NE(game, nullptr);
        ASSERT_NO_FATAL_FAILURE(PlayAnswered(c.local, c.moves));
        EXPECT_EQ(m_services.m_prompt.GetCount(), 0);
        EXPECT_TRUE(game->IsInPlay());
        // Both clocks before each of the engine's three moves, in the
        // game's centiseconds: the engine's own never grows, and the whole
        // period is the most either has.
        std::vector<std::pair<std::string, int>> told = ToldClocks(ReadWholeFile(log));
        ASSERT_EQ(told.size(), 6u) << ReadWholeFile(log);
        int last = 30000;
        for (size_t i = 0; i < told.size(); i += 2) {
            EXPECT_EQ(told[i].first, "time");
            EXPECT_EQ(told[i + 1].first, "otim");
            EXPECT_LE(told[i].second, last);
            EXPECT_GT(told[i].second, 29000);
            EXPECT_LE(told[i + 1].second, 30000);
            EXPECT_GT(told[i + 1].second, 29000);
            last = told[i].second;
        }
        View().DropGame();
        ASSERT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000));
    }

    // Restored on the engine's move: the fresh engine is told the clocks
    // after the level and before its "go", and plays on.
    std::string log = m_services.MakeFakePackage(
        "Fake", std::string(kFeatures) + "timed e2e4\nsay move e7e5\ntimed g1f3\nsay move b8c6\n");
    CAIGame* game = NewGame(WHITE);
    ASSERT_NE(game, nullptr);
    ASSERT_TRUE(View().PlayText("e4"));
    ASSERT_TRUE(WaitForMoves(2));
    ASSERT_TRUE(View().PlayText("Nf3"));
    Zorlin::CConfig saved = SaveThroughText(*game);
    m_services.MakeFakePackage("Fake", std::string(kFeatures) + "timed go\nsay move g8f6\n");
    m_services.m_prompt.Clear();
    ASSERT_TRUE(CAIGame::Restore("game.rwg", saved));
    CAIGame* restored = static_cast<CAIGame*>(View().m_game);
    View().m_sans.clear();
    ASSERT_TRUE(PumpUntil(
        [&] {
            View().Tick();
            return restored->GetBoard().GetPly() == 4;
        },
        10000))
        << ReadWholeFile(log);
    EXPECT_EQ(History(*restored).back(), "Nf6");
    EXPECT_EQ(m_services.m_prompt.GetCount(), 0);
}

TEST_F(AIGameTest, StatisticsAfterEachSearchNeverStopTheGame)
{
    // What one engine prints after every search, before its move, on both
    // sides of the board.
    const std::string stats = "say Nodes: 16384 (14.50% qnodes)\n"
                              "say Check extensions: 17  Razor drops : 0  Razor Material : 117\n"
                              "say Move ordering : 90.023750%\n"
                              "say Material score: 0   Eval : -17  White hand: 0  Black hand : 0\n";
    struct SCase {
        int local;
        std::string script;
        std::vector<const char*> moves;
    } cases[] = {
        { WHITE,
          "wait e2e4\n" + stats + "say move e7e5\nwait g1f3\n" + stats + "say Move ordering : 0.000000%\nsay move b8c6\n",
          { "e4", "Nf3" } },
        { BLACK, "wait go\n" + stats + "say move e2e4\nwait e7e5\n" + stats + "say move g1f3\n", { "e5" } },
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.local);
        m_services.m_prompt.Clear();
        View().m_sans.clear();
        m_services.MakeFakePackage("Fake", std::string(kFeatures) + c.script);
        CAIGame* game = NewGame(c.local);
        ASSERT_NE(game, nullptr);
        ASSERT_NO_FATAL_FAILURE(PlayAnswered(c.local, c.moves));
        EXPECT_EQ(m_services.m_prompt.GetCount(), 0);
        EXPECT_TRUE(game->IsInPlay());
        EXPECT_TRUE(game->GetComputerPlayer()->IsEngineHealthy());
        // Logged, as everything the engine says.
        EXPECT_NE(m_services.ConsoleTextStarting("/usr/bin/python3").find("Move ordering : 90.023750%"),
                  std::string::npos);
        View().DropGame();
        ASSERT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000));
    }
}

TEST_F(AIGameTest, AnEngineWithoutColoursPlaysBothSidesFromGoAlone)
{
    // It ends (code 9) on "white" or "black", as one real engine does.
    const std::string features = "say feature colors=0 ping=1 setboard=1 done=1\nquiton white black\n";
    m_services.MakeFakePackage("Fake", features + "wait go\nsay move e2e4\nwait e7e5\nsay move g1f3\n");
    CAIGame* game = NewGame(BLACK);
    ASSERT_NE(game, nullptr);
    ASSERT_TRUE(WaitForMoves(1));
    ASSERT_TRUE(View().PlayText("e5"));
    ASSERT_TRUE(WaitForMoves(3));
    EXPECT_EQ(m_services.m_prompt.GetCount(), 0);
    View().DropGame();
    ASSERT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000));

    // As Black after a reset: the fresh engine waits in force mode for the
    // user's first move, then "go" alone sets it going.
    View().m_sans.clear();
    std::string log = m_services.MakeFakePackage("Fake", features + "wait e2e4\nsay move e7e5\n");
    game = NewGame(WHITE);
    ASSERT_NE(game, nullptr);
    ASSERT_TRUE(View().PlayText("e4"));
    ASSERT_TRUE(WaitForMoves(2));
    WriteWholeFile(m_services.m_programFolder + "/engines/Fake/script.txt",
                   features + "wait go\nsay move c7c5\nwait g1f3\nsay move d7d6\n");
    WriteWholeFile(log, "");
    game->Reset();
    View().m_sans.clear();
    ASSERT_NO_FATAL_FAILURE(PlayAnswered(WHITE, { "e4", "Nf3" }));
    EXPECT_EQ(History(*game), (std::vector<std::string>{ "e4", "c5", "Nf3", "d6" }));
    EXPECT_EQ(m_services.m_prompt.GetCount(), 0);
    std::string read = ReadWholeFile(log);
    EXPECT_EQ(read.find("white\n"), std::string::npos) << read;
    EXPECT_EQ(read.find("black\n"), std::string::npos) << read;
}

TEST_F(AIGameTest, APackagePhotoPassesThePictureGate)
{
    const long before = RookwellTest::PeakMegabytes();
    std::string nophoto = ReadWholeFile(DataFolder() + "/assets/images/misc/nophoto.bmp");
    // A large genuine photo, as the foundation's BMP codec writes one.
    std::string genuine;
    {
        Zorlin::CImage image(1600, 1200, 19);
        image.Clear(Zorlin::CColour(200, 30, 30, 255));
        Zorlin::CMemFile out;
        out.Open(CString("photo.bmp"), Zorlin::CFile::kModeRead | Zorlin::CFile::kModeWrite | Zorlin::CFile::kModeCreate);
        ASSERT_EQ(image.Save(out, "bmp"), 0);
        genuine.resize(out.GetSize());
        out.Seek(0, Zorlin::CFile::kSeekStart);
        out.Read(&genuine[0], unsigned(genuine.size()));
    }
    struct SCase {
        const char* what;
        std::string bytes;
        bool refused;
    } cases[] = {
        { "a run-length bomb", RookwellTest::RunLengthBmp(26000, 26000), true },
        { "a huge JPEG under the name", RookwellTest::RealJpeg(8000, 8000), true },
        { "no picture", "BM not a picture at all", true },
        { "a genuine photo", genuine, false },
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        m_services.MakeFakePackage("Fake", kFeatures);
        WriteWholeFile(m_services.m_programFolder + "/engines/Fake/photo.bmp", c.bytes);
        CAIGame* game = NewGame(BLACK); // the engine's picture is White's
        ASSERT_NE(game, nullptr);
        std::string shown = ReadWholeFile(m_services.m_userFolder + "/white.bmp");
        if (c.refused) {
            EXPECT_EQ(shown, nophoto);
        } else {
            Zorlin::CMemFile file;
            file.Open(CString("white.bmp"), Zorlin::CFile::kModeRead | Zorlin::CFile::kModeWrite | Zorlin::CFile::kModeCreate);
            file.Write(shown.data(), unsigned(shown.size()));
            file.Seek(0, Zorlin::CFile::kSeekStart);
            Zorlin::CImage photo;
            ASSERT_EQ(photo.Load(file), 0);
            EXPECT_EQ(photo.GetWidth(), kPhotoWidth);
            EXPECT_EQ(photo.GetHeight(), kPhotoHeight);
        }
        View().DropGame();
        ASSERT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000));
    }
    // The bomb claims 645 MB: it was never allocated (the genuine photo is
    // 5.5 MB decoded; the bound leaves the sanitizers room).
    EXPECT_LT(RookwellTest::PeakMegabytes() - before, 120) << "peak before " << before;
}
