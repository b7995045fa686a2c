// Games against the engines that ship with the client, headless: each
// package answers moves, the engines users install play both colours on a
// short clock, fairymax and phalanx play a whole game against each other, and the PGN of that game reads back with our reader and with
// pgn-extract. The start-up and first-reply times are printed (a benchmark,
// not a check). The default engine rests while it waits; the share of a core
// every shipped engine uses while it waits is printed by the disabled test
// scripts/bench-engine-idle runs.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <thread>

#include <dirent.h>
#include <unistd.h>

#include "client/core/AIGame.h"
#include "client/core/ChildProcess.h"
#include "client/core/ComputerPlayer.h"
#include "client/core/EngineProcess.h"
#include "client/core/tests/support/GameFixture.h"
#include "foundation/AssocArray.h"
#include "foundation/File.h"

using namespace EngineTest;
using Zorlin::CAutoPointer;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Two engines through two computer players: the first plays White.
class CEngineMatch : public CGame {
public:
    bool AddEngine(const char* package)
    {
        Zorlin::CDrive& drive = GetAppServices().GetProgramDrive();
        drive.PushDirectory();
        bool ok = drive.ChangeDirectory(CString("/engines/") + package + "/");
        CComputerPlayer* player = new CComputerPlayer();
        player->GetProperties().GetValue("name") = package;
        ok = ok && player->GetEngineProcess()->Load(drive) && player->GetEngineProcess()->Start();
        drive.PopDirectory();
        if (!ok) {
            player->Destroy();
            return false;
        }
        SetPlayers(m_players[0] ? m_players[0] : player, m_players[0] ? player : nullptr);
        return true;
    }
    void Start() override
    {
        m_board.SetupStartPosition();
        m_board.SetTimeControl(40, 300);
        CGame::Start();
    }
};

class RealEngines : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : { "Gnu Chess 5", "Gnu Chess 5 Direct", "Fairy-Max", "Phalanx", "Stockfish" })
            m_services.InstallPackage(name);
        // Engine against engine: draws are declined, resignations end the game.
        m_services.m_prompt.SetResponder([](const CScriptedPrompt::SQuestion& question) {
            CScriptedPrompt::SAnswer answer;
            answer.code = question.kind == CScriptedPrompt::kChoice ? 0 : wxNO;
            return answer;
        });
    }
    void TearDown() override
    {
        View().DropGame();
        PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000);
        EXPECT_EQ(CChildProcess::GetLiveCount(), 0);
    }
    CFakeChessView& View() { return m_services.m_frame.m_view; }

    CAIGame* NewAIGame(int localColour, const char* package, int depth)
    {
        CAIGame* game = new CAIGame(localColour, package);
        if (!game->IsStarted()) {
            delete game;
            return nullptr;
        }
        game->SetTimeControl(TIME_CONVENTIONAL, 40, 300);
        game->SetPondering(false);
        game->SetDepth(depth);
        game->Start();
        game->StartGame();
        View().ResetView(game, false, false);
        return game;
    }
    // Ticks (at a faster pace than the real 100 ms) until the engine moved.
    bool WaitForEngineMove(size_t movesBefore, int timeoutMs)
    {
        return PumpUntil(
            [&] {
                View().Tick();
                return View().m_sans.size() > movesBefore || !View().m_game->IsInPlay();
            },
            timeoutMs);
    }
    // A legal move for the side to move, in coordinate text.
    std::string AnyLegalMove()
    {
        Zorlin::CArray<CMove> moves;
        View().m_game->GetBoard().GetLegalMoves(moves);
        CString text;
        if (moves.GetCount() > 0)
            moves.GetAt(moves.GetCount() / 2)->ToCoordinateText(text);
        return text.GetText();
    }

    // The user resigns, as the frame's Resign does.
    static void Resign(CAIGame& game)
    {
        game.SetInPlay(false);
        game.SetResult(RESULT_BLACK_WINS);
        CGame::GetChessView()->GameOver(-1, 0);
    }
    // The share of one core the package's engine uses while it waits: in
    // the user's turn, then after the game has ended (by end: the user
    // resigned, unless told otherwise).
    void MeasureWaiting(const char* package, double seconds, double& duringTurn, double& afterGame,
                        void (*end)(CAIGame&) = Resign)
    {
        CAIGame* game = NewAIGame(WHITE, package, 4);
        ASSERT_NE(game, nullptr) << package;
        ASSERT_TRUE(View().PlayText("e4"));
        ASSERT_TRUE(WaitForEngineMove(1, 20000));
        ASSERT_EQ(View().m_sans.size(), 2u);
        duringTurn = CoreShareWhileTicking(seconds);
        end(*game);
        ASSERT_FALSE(game->IsInPlay());
        afterGame = CoreShareWhileTicking(seconds);
        std::printf("[ figures  ] %-20s waiting: %5.2f %% of a core in the user's turn, %5.2f %% after the game\n",
                    package, duringTurn * 100.0, afterGame * 100.0);
        View().DropGame();
    }
    // The client ticks as it does while the user thinks, its events handled
    // between the ticks.
    double CoreShareWhileTicking(double seconds)
    {
        double before = DescendantsCpuSeconds();
        auto started = Clock::now();
        while (MsSince(started) < seconds * 1000.0) {
            View().Tick();
            PumpEvents(100);
        }
        return (DescendantsCpuSeconds() - before) / (MsSince(started) / 1000.0);
    }
    // User and system CPU seconds of the running processes this test started
    // (an adapter and the engine behind it included).
    static double DescendantsCpuSeconds()
    {
        std::map<long, long> parents;
        std::map<long, double> cpu;
        DIR* proc = opendir("/proc");
        while (dirent* entry = proc ? readdir(proc) : nullptr) {
            long pid = std::atol(entry->d_name);
            if (pid <= 0)
                continue;
            std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
            std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
            size_t name = text.rfind(')');
            if (name == std::string::npos)
                continue;
            char state = 0;
            long parent = 0;
            unsigned long user = 0, system = 0;
            // Fields after the name: state, ppid, ... utime (14th), stime (15th).
            if (std::sscanf(text.c_str() + name + 1, " %c %ld %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &state,
                            &parent, &user, &system) == 4 && state != 'Z') {
                parents[pid] = parent;
                cpu[pid] = double(user + system) / double(sysconf(_SC_CLK_TCK));
            }
        }
        if (proc)
            closedir(proc);
        double total = 0.0;
        for (const auto& [pid, seconds] : cpu) {
            long up = parents[pid];
            for (int depth = 0; depth < 8 && up > 1 && up != getpid(); ++depth)
                up = parents.count(up) ? parents[up] : 0;
            if (up == getpid())
                total += seconds;
        }
        return total;
    }

    CTestServices m_services;
};

} // namespace

// Waiting is resting: under 1 % of a core in the user's turn and after the
// game, measured from /proc over ten seconds each.
TEST_F(RealEngines, TheDefaultEngineRestsWhileItWaits)
{
    double duringTurn = 1.0, afterGame = 1.0;
    MeasureWaiting("Gnu Chess 5", 10.0, duringTurn, afterGame);
    EXPECT_LT(duringTurn, 0.01);
    EXPECT_LT(afterGame, 0.01);
}

// An agreed draw (the engine offers, the user accepts) ends the game without
// a move, as a resignation does: the engine rests after it all the same.
TEST_F(RealEngines, TheDefaultEngineRestsAfterAnAgreedDraw)
{
    m_services.m_prompt.SetResponder([](const CScriptedPrompt::SQuestion& question) {
        CScriptedPrompt::SAnswer answer;
        answer.code = question.text == "Accept draw?" ? wxYES : wxOK;
        return answer;
    });
    double duringTurn = 1.0, afterGame = 1.0;
    MeasureWaiting("Gnu Chess 5", 10.0, duringTurn, afterGame, [](CAIGame& game) {
        game.GetComputerPlayer()->OnEngineOffersDraw();
        EXPECT_EQ(game.GetResult(), RESULT_DRAW);
    });
    EXPECT_LT(afterGame, 0.01);
}

// The figures for every shipped engine (scripts/bench-engine-idle).
TEST_F(RealEngines, DISABLED_EveryShippedEngineWhileItWaits)
{
    for (const char* package : { "Gnu Chess 5", "Gnu Chess 5 Direct", "Fairy-Max", "Phalanx", "Stockfish" }) {
        double duringTurn = 1.0, afterGame = 1.0;
        MeasureWaiting(package, 20.0, duringTurn, afterGame);
    }
}

TEST_F(RealEngines, EveryPackageAnswersMovesInAGame)
{
    for (const char* package : { "Gnu Chess 5", "Gnu Chess 5 Direct", "Fairy-Max", "Phalanx", "Stockfish" }) {
        SCOPED_TRACE(package);
        auto started = Clock::now();
        CAIGame* game = NewAIGame(WHITE, package, 6);
        ASSERT_NE(game, nullptr) << package;
        CComputerPlayer* engine = game->GetComputerPlayer();
        PumpUntil(
            [&] {
                engine->Poll();
                engine->GetEngineProcess()->WaitForOutput(1);
                return engine->AreFeaturesDone();
            },
            5000);
        double toDone = MsSince(started);
        bool announcedDone = engine->AreFeaturesDone();

        auto moved = Clock::now();
        ASSERT_TRUE(View().PlayText("e4"));
        ASSERT_TRUE(WaitForEngineMove(1, 20000));
        double toReply = MsSince(moved);
        ASSERT_EQ(View().m_sans.size(), 2u);
        ASSERT_TRUE(View().PlayText(AnyLegalMove().c_str()));
        ASSERT_TRUE(WaitForEngineMove(3, 20000));
        EXPECT_EQ(View().m_sans.size(), 4u);
        EXPECT_EQ(View().m_refusedMoves, 0);
        EXPECT_EQ(game->GetBoard().GetPly(), 4);
        EXPECT_TRUE(game->IsInPlay());
        std::printf("[ figures  ] %-20s start to done=1: %7.1f ms%s; first reply at depth 6: %7.1f ms\n", package,
                    toDone, announcedDone ? "" : " (no done=1)", toReply);
        View().DropGame();
    }
}

TEST_F(RealEngines, DefaultEngineOpensAsWhiteWhenTheUserPlaysBlack)
{
    CAIGame* game = NewAIGame(BLACK, "Gnu Chess 5", 6);
    ASSERT_NE(game, nullptr);
    ASSERT_TRUE(WaitForEngineMove(0, 20000));
    ASSERT_EQ(View().m_sans.size(), 1u);
    EXPECT_EQ(game->GetBoard().GetSideToMove(), BLACK);
    EXPECT_EQ(game->GetComputerPlayer()->GetColour(), WHITE);
    // Restore that game through a saved copy: the engine plays on from it.
    ASSERT_TRUE(View().PlayText(AnyLegalMove().c_str()));
    ASSERT_TRUE(WaitForEngineMove(2, 20000));
    Zorlin::CConfig saved;
    game->Save(saved);
    std::string before = View().m_sans.back();
    ASSERT_TRUE(View().PlayText(AnyLegalMove().c_str()));
    CString fen;
    ASSERT_TRUE(CAIGame::Restore("saved.rwg", saved));
    CGame* restored = View().m_game;
    ASSERT_NE(restored, game);
    EXPECT_EQ(restored->GetBoard().GetPly(), 3);
    size_t shown = View().m_sans.size();
    ASSERT_TRUE(View().PlayText(AnyLegalMove().c_str()));
    ASSERT_TRUE(WaitForEngineMove(shown + 1, 20000));
    EXPECT_EQ(restored->GetBoard().GetPly(), 5);
    EXPECT_EQ(View().m_refusedMoves, 0);
}

TEST_F(RealEngines, FairymaxAgainstPhalanxPlaysAWholeGame)
{
    CEngineMatch* match = new CEngineMatch();
    ASSERT_TRUE(match->AddEngine("Fairy-Max"));
    ASSERT_TRUE(match->AddEngine("Phalanx"));
    match->GetSettings().GetValue("timecontrol.moves") = "40";
    match->GetSettings().GetValue("timecontrol.seconds") = "300";
    match->GetSettings().GetValue("depth") = "2";
    match->SetTimeControl(TIME_CONVENTIONAL, 40, 300);
    View().ResetView(match, false, false);
    match->Start();
    ASSERT_EQ(match->GetPlayer(WHITE)->GetProperty("name"), "Fairy-Max");
    ASSERT_EQ(match->GetPlayer(BLACK)->GetProperty("name"), "Phalanx");

    bool ended = PumpUntil(
        [&] {
            View().Tick();
            return !match->IsInPlay() || match->GetBoard().GetPly() >= 700;
        },
        240000);
    CChessBoard& board = match->GetBoard();
    ASSERT_TRUE(ended);
    ASSERT_FALSE(match->IsInPlay()) << "no result after " << board.GetPly() << " plies";
    EXPECT_EQ(View().m_refusedMoves, 0);
    ASSERT_FALSE(View().m_gameOverFlags.empty());
    Colour toMove = board.GetSideToMove();
    if (View().m_gameOverFlags.back() == 2) {
        // Ended by a move: the rules agree with the result.
        GameState state = board.GetGameState(toMove);
        if (state == STATE_CHECKMATE)
            EXPECT_EQ(match->GetResult(), toMove == WHITE ? RESULT_BLACK_WINS : RESULT_WHITE_WINS);
        else
            EXPECT_EQ(match->GetResult(), RESULT_DRAW);
    } else {
        EXPECT_EQ(View().m_gameOverFlags.back(), 1); // a resignation
        EXPECT_NE(match->GetResult(), RESULT_NONE);
    }
    std::printf("[ game     ] %d plies, result %s\n", board.GetPly(), ResultText(match->GetResult()));

    // The PGN as we write it.
    std::string pgnPath = m_services.m_programFolder + "/match.pgn";
    {
        CAutoPointer<CFile> file = m_services.GetProgramDrive().OpenFile("/match.pgn", CFile::kModeWrite | CFile::kModeCreate);
        ASSERT_TRUE(file->IsOpen());
        file->SetLineStyle(CFile::kLineLf);
        match->WritePgn(*file, true);
    }
    // Read back by our reader: the same moves to the same position.
    {
        CAutoPointer<CFile> file = m_services.GetProgramDrive().OpenFile("/match.pgn", CFile::kModeRead);
        CChessBoard reread;
        Zorlin::CAssocArray<CString> tags;
        CString error;
        ASSERT_TRUE(reread.LoadPgnGame(*file, tags, error)) << error.GetText();
        EXPECT_EQ(reread.GetPly(), board.GetPly());
        CString a, b;
        reread.GetFen(a, true);
        board.GetFen(b, true);
        EXPECT_EQ(a, b);
        ASSERT_NE(tags.Find("Result"), nullptr);
        EXPECT_EQ(*tags.Find("Result"), ResultText(match->GetResult()));
        EXPECT_EQ(*tags.Find("White"), "Fairy-Max");
    }
    // And accepted by pgn-extract, which replays every move itself.
    std::string out = m_services.m_programFolder + "/checked.pgn";
    std::string log = m_services.m_programFolder + "/checked.log";
    std::string command = "/usr/games/pgn-extract -s -l '" + log + "' -o '" + out + "' '" + pgnPath + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadWholeFile(log), "");
    std::string checked = ReadWholeFile(out);
    EXPECT_NE(checked.find(std::string("[Result \"") + ResultText(match->GetResult()) + "\"]"), std::string::npos);
    EXPECT_NE(checked.find(View().m_sans.back()), std::string::npos);
}

TEST_F(RealEngines, EnginesUsersInstallPlayBothColoursOnAShortClock)
{
    // As a user adds them (see the README): Sjeng prints statistics lines
    // starting with "Move" after each search, HoiChess takes no colour
    // commands and no "depth", Stockfish budgets only from the clocks it
    // is told.
    struct SEngine {
        const char* name;
        const char* program;
        const char* info;
    } engines[] = {
        { "Sjeng", "/usr/games/sjeng", "exe = \"/usr/games/sjeng\"\ncommand = \"\"\n" },
        { "HoiChess", "/usr/games/hoichess", "exe = \"/usr/games/hoichess\"\ncommand = \"\"\nnosetdepth = yes\n" },
        { "Stockfish", "/usr/games/stockfish",
          "exe = \"/usr/games/polyglot\"\ncommand = \"-noini -ec /usr/games/stockfish\"\nnosetdepth = yes\n" },
    };
    for (const SEngine& engine : engines) {
        if (!std::ifstream(engine.program)) {
            std::printf("[ skipped  ] %s is not installed\n", engine.program);
            continue;
        }
        WriteWholeFile(m_services.m_programFolder + "/engines/" + engine.name + "/info.cfg", engine.info);
        for (int local : { WHITE, BLACK }) {
            SCOPED_TRACE(std::string(engine.name) + (local == WHITE ? " against White" : " against Black"));
            View().m_sans.clear();
            CAIGame* game = new CAIGame(local, engine.name);
            ASSERT_TRUE(game->IsStarted());
            // Forty moves in twenty seconds, no depth: the engine's time is
            // all it goes by.
            game->SetTimeControl(TIME_CONVENTIONAL, 40, 20);
            game->SetPondering(false);
            View().ResetView(game, false, false);
            game->Start();
            game->StartGame();
            size_t plies = local == WHITE ? 6 : 7;
            while (View().m_sans.size() < plies && game->IsInPlay()) {
                size_t before = View().m_sans.size();
                if (game->GetBoard().GetSideToMove() == local) {
                    ASSERT_TRUE(View().PlayText(AnyLegalMove().c_str()));
                } else {
                    ASSERT_TRUE(WaitForEngineMove(before, 30000)) << before;
                }
                ASSERT_GT(View().m_sans.size(), before) << "the game " << (game->IsInPlay() ? "waits" : "ended");
            }
            EXPECT_TRUE(game->IsInPlay()) << game->GetEndNote().GetText();
            EXPECT_EQ(game->GetResult(), RESULT_NONE);
            EXPECT_TRUE(game->GetComputerPlayer()->IsEngineHealthy());
            EXPECT_EQ(m_services.m_prompt.GetCount(), 0);
            EXPECT_EQ(View().m_refusedMoves, 0);
            View().DropGame();
            ASSERT_TRUE(PumpUntil([] { return CChildProcess::GetLiveCount() == 0; }, 10000));
        }
    }
}

// PolyGlot without -noini looks for polyglot.ini, says it cannot open it and
// ends: the user is told so, in its own words.
TEST_F(RealEngines, PolyglotWithoutNoiniSaysWhyItStopped)
{
    WriteWholeFile(m_services.m_programFolder + "/engines/Adapter/info.cfg",
                   "exe = \"/usr/games/polyglot\"\ncommand = \"-ec /usr/games/gnuchess\"\nnosetdepth = yes\n");
    m_services.m_prompt.SetResponder([](const CScriptedPrompt::SQuestion& question) {
        CScriptedPrompt::SAnswer answer;
        answer.code = question.kind == CScriptedPrompt::kChoice ? 1 : wxOK; // End the game
        return answer;
    });
    CAIGame* game = NewAIGame(WHITE, "Adapter", 4);
    ASSERT_NE(game, nullptr);
    auto stopped = [&] {
        for (int i = 0; i < m_services.m_prompt.GetCount(); ++i)
            if (m_services.m_prompt.GetQuestion(i).caption == "Chess engine")
                return std::string(m_services.m_prompt.GetQuestion(i).text.GetText());
        return std::string();
    };
    ASSERT_TRUE(PumpUntil(
        [&] {
            View().Tick();
            return !stopped().empty();
        },
        20000));
    EXPECT_EQ(stopped().rfind("The chess engine has stopped.\n", 0), 0u) << stopped();
    EXPECT_NE(stopped().find("polyglot.ini"), std::string::npos) << stopped();
    EXPECT_FALSE(game->IsInPlay());
}
