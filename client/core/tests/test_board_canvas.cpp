// The real board canvas inside the running client: real games from PGN
// files replayed through PlayMove with players that write down what they
// are told, refused moves, attaching games (also from inside their own
// calls), the end of a game with its timer, the status bar, and players
// polled while the browser view hides the board.

#include <gtest/gtest.h>

#include <vector>

#include <wx/dialog.h>
#include <wx/statusbr.h>
#include <wx/utils.h>

#include "client/core/ChessApp.h"
#include "client/core/Sound.h"
#include "client/core/ChessFrame.h"
#include "client/view/BoardRenderer.h"
#include "client/view/ChessWindow.h"
#include "client/view/GamePanel.h"
#include "client/view/MoveList.h"
#include "foundation/Image.h"
#include "support/AppHarness.h"
#include "support/ClientEnvironment.h"
#include "support/CanvasPlayers.h"
#include "client/view/tests/support/GuiLeaks.h"

using AppTest::CHarness;
using AppTest::g_client;
using AppTest::g_skip;
using namespace CanvasTest;
using Zorlin::CString;

namespace {

::testing::Environment* const g_environment = AppTest::AddClientEnvironment();

// Top-level dialogs with this title that are on screen.
int ShownDialogs(const char* title)
{
    int count = 0;
    for (wxWindow* window : wxTopLevelWindows)
        if (wxDialog* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->GetTitle() == title && dialog->IsShown())
            ++count;
    return count;
}

void CloseDialogs(const char* title)
{
    for (wxWindow* window : wxTopLevelWindows)
        if (wxDialog* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->GetTitle() == title)
            window->Destroy();
}

CMove Parse(CGame& game, const std::string& san)
{
    CMove move;
    EXPECT_TRUE(game.GetBoard().ParseSan(CString(san.c_str()), move, true)) << san;
    return move;
}

class Canvas : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!g_skip.empty())
            GTEST_SKIP() << g_skip;
        ASSERT_TRUE(g_client->OnInitResult());
        m_frame = g_client->GetApp()->m_frame;
        ASSERT_NE(m_frame, nullptr);
        m_canvas = m_frame->GetChessWindow();
        ASSERT_NE(m_canvas, nullptr);
        ASSERT_EQ(m_frame->GetChessView(), m_canvas);
        EXPECT_EQ(m_canvas->GetName(), "Board");
        ASSERT_NE(m_canvas->GetGame(), nullptr) << "the canvas always holds a game";
    }
    void TearDown() override
    {
        if (!g_skip.empty())
            return;
        CloseDialogs("Game Over");
        // The empty game again: a played one would ask to be saved at exit.
        m_canvas->ResetView(new CGame, false, true);
        g_client->Pump();
    }
    // A new game of two recording players, attached quietly.
    CRecordingGame* Attach(bool whiteLocal, bool blackLocal, bool* destroyed = nullptr)
    {
        CRecordingGame* game = new CRecordingGame(whiteLocal, blackLocal, &m_log, destroyed);
        game->Setup();
        game->Start();
        m_canvas->ResetView(game, false, true);
        EXPECT_EQ(m_canvas->GetGame(), game);
        m_log.calls.clear();
        return game;
    }
    // The board view with a game against a recording engine, e4 played and
    // drawn: the engine's turn. Null when the board never settled.
    CRecordingGame* EnginesTurnOnTheBoard()
    {
        m_frame->ExecuteCommand("VIEW_BOARD");
        CRecordingGame* game = Attach(true, false);
        CMove e4 = Parse(*game, "e4");
        if (!m_canvas->PlayMove(e4, false))
            return nullptr;
        const bool drawn = g_client->PumpUntil([&] {
            return m_canvas->IsShownOnScreen() && !m_canvas->GetScene()->NeedsRedraw() &&
                   !m_canvas->IsRedrawRequested();
        });
        return drawn ? game : nullptr;
    }
    std::string Status(int field) { return m_frame->GetStatusBar()->GetStatusText(field).ToStdString(); }

    CChessFrame* m_frame = nullptr;
    CChessWindow* m_canvas = nullptr;
    SCallLog m_log;
};

TEST_F(Canvas, RealGamesReplayWithTheirChecksMatesAndTheOrderOfCalls)
{
#if defined(__SANITIZE_ADDRESS__)
    // The sanitized build draws each move in software many times slower: a
    // few games still walk every path of the move road.
    const int engineGames = 6;
#else
    const int engineGames = 30;
#endif
    std::vector<SPgnGame> games = ReadPgnGames(ROOKWELL_TESTDATA "/pgn/engine-games-800.pgn", engineGames);
    std::vector<SPgnGame> kasparov = ReadPgnGames(ROOKWELL_TESTDATA "/pgn/kasparov-deep-blue-1997.pgn", 6);
    games.insert(games.end(), kasparov.begin(), kasparov.end());
    ASSERT_GE(games.size(), size_t(engineGames));
    int mates = 0, checks = 0;
    for (const SPgnGame& pgn : games) {
        CRecordingGame* game = Attach(false, false);
        CChessBoard& board = game->GetBoard();
        for (size_t i = 0; i < pgn.sans.size(); ++i) {
            const std::string& san = pgn.sans[i];
            CMove move = Parse(*game, san);
            int ply = board.GetPly();
            std::string other = ply % 2 == 0 ? "Black" : "White";
            m_log.calls.clear();
            ASSERT_TRUE(m_canvas->PlayMove(move, true)) << san;
            ASSERT_EQ(board.GetPly(), ply + 1);
            EXPECT_EQ(std::string(move.m_text.GetText()), san) << "ply " << ply;
            EXPECT_STREQ(board.GetHistory().GetAt(ply)->m_shortText, san.c_str());
            // Only the other side hears of the move, time first, both
            // before the board changes.
            CString coordinates;
            move.ToCoordinateText(coordinates);
            std::vector<std::string> expected = {"time @" + std::to_string(ply),
                                                 std::string("moved ") + coordinates.GetText() + " @" +
                                                     std::to_string(ply)};
            ASSERT_EQ(m_log.calls, expected) << other << " at ply " << ply;
            EXPECT_EQ(Status(2), " " + san);
            checks += san.back() == '+';
        }
        // The move list got every move, with its marks.
        {
            CGamePanel* panel = m_frame->GetGamePanelWindow();
            ASSERT_NE(panel, nullptr);
            CMoveList* list = panel->GetMoveList();
            ASSERT_EQ(list->GetRowCount(), int(pgn.sans.size()) + 1);
            int row = list->GetRowCount() - 1;
            std::string shown = (list->GetCellText(row, 1) + list->GetCellText(row, 2)).GetText();
            EXPECT_EQ(shown, pgn.sans.back());
        }
        const std::string& last = pgn.sans.back();
        if (last.back() == '#') {
            ++mates;
            bool whiteMated = board.GetSideToMove() == WHITE;
            EXPECT_EQ(pgn.result, whiteMated ? "0-1" : "1-0");
            EXPECT_EQ(m_canvas->GetEndKind(), whiteMated ? 2 : 1);
            EXPECT_EQ(game->GetResult(), whiteMated ? RESULT_BLACK_WINS : RESULT_WHITE_WINS);
            EXPECT_TRUE(m_canvas->HasPendingGameOver());
            EXPECT_EQ(Status(1), whiteMated ? " Black Mate" : " White Mate");
        } else if (pgn.result != "1/2-1/2") {
            EXPECT_EQ(m_canvas->GetEndKind(), 0) << "a resigned game is not over on the board";
            EXPECT_EQ(game->GetResult(), RESULT_NONE);
        }
    }
    EXPECT_GE(mates, engineGames >= 30 ? 10 : 3);
    EXPECT_GE(checks, engineGames >= 30 ? 100 : 30);
    // Attaching the next game let the last pending window go unseen.
    Attach(false, false);
    EXPECT_FALSE(m_canvas->HasPendingGameOver());
    EXPECT_EQ(ShownDialogs("Game Over"), 0);
}

TEST_F(Canvas, AMoveThatIsNotLegalIsRefusedAndChangesNothing)
{
    CRecordingGame* game = Attach(false, false);
    CMove e4 = Parse(*game, "e4");
    ASSERT_TRUE(m_canvas->PlayMove(e4, true));
    std::string status1 = Status(1), status2 = Status(2);
    m_log.calls.clear();
    CChessBoard& board = game->GetBoard();
    auto squares = [](const char* from, const char* to, PieceType promotion = PIECE_NONE) {
        CMove move;
        ParseSquare(CString(from), move.m_from);
        ParseSquare(CString(to), move.m_to);
        move.m_promotion = promotion;
        return move;
    };
    for (CMove move : {squares("e2", "e4"), squares("e4", "e5"), squares("d7", "d4"), squares("g1", "f3"),
                       squares("e7", "e5", PIECE_QUEEN), squares("z9", "e5")}) {
        CString before;
        board.GetFen(before, false);
        EXPECT_FALSE(m_canvas->PlayMove(move, true));
        CString after;
        board.GetFen(after, false);
        EXPECT_EQ(before, after);
    }
    EXPECT_EQ(board.GetPly(), 1);
    EXPECT_TRUE(m_log.calls.empty()) << "no player hears of a refused move";
    EXPECT_EQ(Status(1), status1);
    EXPECT_EQ(Status(2), status2);

    // A promotion from outside must name its piece.
    std::vector<SPgnGame> games = ReadPgnGames(ROOKWELL_TESTDATA "/pgn/engine-games-800.pgn", 2);
    ASSERT_EQ(games.size(), 2u);
    const std::vector<std::string>& sans = games[1].sans;
    CRecordingGame* promoting = Attach(false, false);
    size_t i = 0;
    for (; i < sans.size() && sans[i] != "a8=Q"; ++i) {
        CMove move = Parse(*promoting, sans[i]);
        ASSERT_TRUE(m_canvas->PlayMove(move, false));
    }
    ASSERT_LT(i, sans.size());
    m_log.calls.clear();
    CMove bare = squares("a7", "a8");
    EXPECT_FALSE(m_canvas->PlayMove(bare, true));
    EXPECT_TRUE(m_log.calls.empty());
    EXPECT_EQ(promoting->GetBoard().GetPly(), int(i));
    CMove queen = squares("a7", "a8", PIECE_QUEEN);
    ASSERT_TRUE(m_canvas->PlayMove(queen, true));
    EXPECT_EQ(promoting->GetBoard().GetPieceAt(SSquare(0, 7)).m_type, PIECE_QUEEN);
    EXPECT_EQ(std::string(queen.m_text.GetText()), "a8=Q");
}

TEST_F(Canvas, AttachingTheSameGameOrOneFromInsideItsOwnCallIsSafe)
{
    bool firstGone = false;
    CRecordingGame* game = Attach(false, false, &firstGone);
    CMove e4 = Parse(*game, "e4");
    ASSERT_TRUE(m_canvas->PlayMove(e4, true));
    m_canvas->ResetView(game, false, true);
    g_client->Pump();
    EXPECT_FALSE(firstGone);
    EXPECT_EQ(m_canvas->GetGame(), game);
    EXPECT_EQ(game->GetBoard().GetPly(), 1);

    // Black's player, told of White's move, attaches a new game: the game
    // under it lives until the call has returned.
    CRecordingGame* next = new CRecordingGame(false, false, nullptr);
    next->Setup();
    next->Start();
    game->Player(WHITE)->m_onOpponentMoved = [&] {
        m_canvas->ResetView(next, false, true);
        EXPECT_FALSE(firstGone);
        EXPECT_EQ(game->GetBoard().GetPly(), 1) << "the old game is still readable";
    };
    CMove e5 = Parse(*game, "e5");
    EXPECT_FALSE(m_canvas->PlayMove(e5, true)) << "the move belonged to the game that went";
    EXPECT_EQ(m_canvas->GetGame(), next);
    EXPECT_TRUE(g_client->PumpUntil([&] { return firstGone; }));
    EXPECT_EQ(next->GetBoard().GetPly(), 0);

    // A player's poll may replace its own game too.
    bool pollGone = false;
    CRecordingGame* polled = Attach(false, false, &pollGone);
    polled->Player(WHITE)->m_onPoll = [&] { m_canvas->ResetView(new CGame, false, true); };
    m_canvas->Tick();
    EXPECT_NE(m_canvas->GetGame(), polled);
    EXPECT_TRUE(g_client->PumpUntil([&] { return pollGone; }));
}

TEST_F(Canvas, MateShowsTheGameOverWindowLaterUnlessAnotherGameCameFirst)
{
    CRecordingGame* game = Attach(true, false);
    for (const char* san : {"f3", "e5", "g4"}) {
        CMove move = Parse(*game, san);
        ASSERT_TRUE(m_canvas->PlayMove(move, false));
    }
    CMove mate = Parse(*game, "Qh4");
    ASSERT_TRUE(m_canvas->PlayMove(mate, true));
    EXPECT_EQ(std::string(mate.m_text.GetText()), "Qh4#");
    EXPECT_EQ(Status(1), " Black Mate");
    EXPECT_TRUE(m_canvas->HasPendingGameOver());
    EXPECT_EQ(ShownDialogs("Game Over"), 0) << "held back until the timer";
    EXPECT_TRUE(g_client->PumpUntil([&] { return ShownDialogs("Game Over") == 1; }));
    EXPECT_FALSE(m_canvas->HasPendingGameOver());
    CloseDialogs("Game Over");
    g_client->Pump();

    // A new game before the timer: no window, ever.
    game = Attach(false, false);
    for (const char* san : {"f3", "e5", "g4", "Qh4"}) {
        CMove move = Parse(*game, san);
        ASSERT_TRUE(m_canvas->PlayMove(move, true));
    }
    EXPECT_TRUE(m_canvas->HasPendingGameOver());
    Attach(false, false);
    EXPECT_FALSE(m_canvas->HasPendingGameOver());
    EXPECT_EQ(m_canvas->GetEndKind(), 0);
    wxStopWatch wait;
    while (wait.Time() < CChessWindow::kEndOfGameMilliseconds + 500)
        g_client->Pump();
    EXPECT_EQ(ShownDialogs("Game Over"), 0);
}

TEST_F(Canvas, ADrawByRepetitionIsNoStalemate)
{
    CRecordingGame* game = Attach(true, false);
    // The position after Nf3 a third time (the start position is not counted).
    for (const char* san : {"Nf3", "Nf6", "Ng1", "Ng8", "Nf3", "Nf6", "Ng1", "Ng8", "Nf3"}) {
        CMove move = Parse(*game, san);
        ASSERT_TRUE(m_canvas->PlayMove(move, false)) << san;
    }
    EXPECT_EQ(game->GetResult(), RESULT_DRAW);
    EXPECT_EQ(m_canvas->GetEndKind(), 4) << "neither the stalemate picture nor its phrase";
    EXPECT_EQ(Status(1), " Draw");
    CloseDialogs("Game Over");

    // The shortest stalemate known does get them.
    game = Attach(true, false);
    for (const char* san : {"e3", "a5", "Qh5", "Ra6", "Qxa5", "h5", "h4", "Rah6", "Qxc7", "f6", "Qxd7+", "Kf7", "Qxb7",
                            "Qd3", "Qxb8", "Qh7", "Qxc8", "Kg6", "Qe6"}) {
        CMove move = Parse(*game, san);
        ASSERT_TRUE(m_canvas->PlayMove(move, false)) << san;
    }
    EXPECT_EQ(game->GetResult(), RESULT_DRAW);
    EXPECT_EQ(m_canvas->GetEndKind(), 3);
    EXPECT_EQ(Status(1), " Stalemate");
}

TEST_F(Canvas, StatusSaysHowTheGameEnded)
{
    CRecordingGame* game = Attach(true, false);
    CMove e4 = Parse(*game, "e4");
    ASSERT_TRUE(m_canvas->PlayMove(e4, false));
    EXPECT_EQ(Status(1), " Black to move");
    EXPECT_EQ(Status(2), " e4");

    // Black resigns: the status names the winner, not the side to move.
    game->SetInPlay(false);
    game->SetResult(RESULT_WHITE_WINS);
    m_log.calls.clear();
    m_canvas->GameOver(1, 0);
    EXPECT_EQ(Status(1), " White wins");
    EXPECT_EQ(ShownDialogs("Game Over"), 1);
    EXPECT_EQ(m_log.calls, (std::vector<std::string>{"over @1", "over @1"}));
    CloseDialogs("Game Over");

    // White's flag falls: the result is told once, in full, and the next
    // field names the winner.
    game = Attach(true, false);
    CMove first = Parse(*game, "e4");
    ASSERT_TRUE(m_canvas->PlayMove(first, false));
    game->SetInPlay(false);
    game->SetResult(RESULT_BLACK_WINS);
    game->SetEndNote("on time");
    m_canvas->GameOver(-1, 0);
    EXPECT_EQ(Status(0), "Black wins on time");
    EXPECT_EQ(Status(1), " Black wins");
    EXPECT_EQ(Status(2), " e4");
    CloseDialogs("Game Over");

    game = Attach(true, false);
    game->SetInPlay(false);
    game->SetResult(RESULT_DRAW);
    m_canvas->UpdateStatus();
    EXPECT_EQ(Status(1), " Draw") << "an agreed draw is no stalemate";

    // The empty game.
    m_canvas->ResetView(new CGame, false, true);
    EXPECT_EQ(Status(0), "How about a nice game of chess?");
    EXPECT_EQ(Status(1), "");
    EXPECT_EQ(Status(2), "");
}

TEST_F(Canvas, PlayersArePolledWhileTheBrowserHidesTheBoard)
{
    m_frame->ShowBrowser(true, true);
    ASSERT_FALSE(m_canvas->IsShownOnScreen());
    CRecordingGame* game = Attach(false, false);
    // Nothing draws the scene behind the browser, so it stays "busy".
    CMove e4 = Parse(*game, "e4");
    game->Player(WHITE)->Offer(e4);
    int polls = game->Player(BLACK)->m_polls;
    EXPECT_TRUE(g_client->PumpUntil([&] { return game->GetBoard().GetPly() == 1; }));
    EXPECT_GT(game->Player(BLACK)->m_polls, polls);
    CMove e5 = Parse(*game, "e5");
    game->Player(BLACK)->Offer(e5);
    EXPECT_TRUE(g_client->PumpUntil([&] { return game->GetBoard().GetPly() == 2; }));
    EXPECT_STREQ(game->GetBoard().GetHistory().GetAt(1)->m_shortText, "e5");
    m_frame->ShowBrowser(false, true);
}

// While an engine whose output wakes the tick thinks, the tick slows down;
// a wake brings it at once (one that polls and plays the move then ready),
// and the slow pace comes back after it. An engine that must be polled
// keeps the full pace.
TEST_F(Canvas, AnEngineThatWakesTheTickIsPolledSlowlyAndAtOnceWhenItWrites)
{
    CRecordingGame* game = EnginesTurnOnTheBoard();
    ASSERT_TRUE(game);
    CRecordingPlayer* engine = game->Player(BLACK);
    // Without sound (which keeps the full pace while it plays) only the
    // players set the pace.
    struct SQuiet {
        bool had = IsSoundReady();
        SQuiet() { CloseSound(); }
        ~SQuiet() { if (had) InitSound(); }
    } quiet;
    engine->m_wakes = true;
    ASSERT_TRUE(g_client->PumpUntil(
        [&] { return m_canvas->GetBusyTickMilliseconds() == CChessWindow::kEngineTurnTickMilliseconds; }));
    engine->m_wakes = false;
    EXPECT_EQ(m_canvas->GetBusyTickMilliseconds(), CChessWindow::kTickMilliseconds);
    m_canvas->PaceTick();
    m_canvas->WakeTick();
    EXPECT_FALSE(m_canvas->IsTickWoken()) << "the full pace needs no wake";

    engine->m_wakes = true;
    m_canvas->PaceTick();
    int polls = engine->m_polls;
    m_canvas->WakeTick();
    EXPECT_TRUE(m_canvas->IsTickWoken());
    ASSERT_TRUE(g_client->PumpUntil([&] { return engine->m_polls > polls; }));
    EXPECT_FALSE(m_canvas->IsTickWoken());

    // The wake that finds the engine's move plays it.
    engine->m_onPoll = [&] {
        engine->m_onPoll = nullptr;
        engine->Offer(Parse(*game, "e5"));
    };
    g_client->PumpUntil([&] { return !m_canvas->GetScene()->NeedsRedraw() && !m_canvas->IsRedrawRequested(); });
    m_canvas->PaceTick();
    m_canvas->WakeTick();
    ASSERT_TRUE(g_client->PumpUntil([&] { return game->GetBoard().GetPly() == 2; }));
    EXPECT_STREQ(game->GetBoard().GetHistory().GetAt(1)->m_shortText, "e5");
}

// An engine whose output its poll had no time to read up is polled again
// from the idle loop, pass after pass, without waiting for the tick; once
// it has caught up, the idle loop leaves it to the tick again.
TEST_F(Canvas, AnEngineLeftBehindByItsPollIsPolledFromTheIdleLoop)
{
    CRecordingGame* game = EnginesTurnOnTheBoard();
    ASSERT_TRUE(game);
    CRecordingPlayer* engine = game->Player(BLACK);
    auto idle = [&] {
        wxIdleEvent event;
        m_canvas->OnIdle(event);
        return event.MoreRequested();
    };
    engine->m_pollsBehind = 3;
    int polls = engine->m_polls;
    for (int pass = 1; pass <= 3; ++pass) {
        EXPECT_TRUE(idle()) << "the next pass is asked for at pass " << pass;
        EXPECT_EQ(engine->m_polls, polls + pass);
    }
    EXPECT_FALSE(idle()) << "caught up: the board is still";
    EXPECT_EQ(engine->m_polls, polls + 3);

    // A move found by such a poll is played there.
    engine->m_pollsBehind = 1;
    engine->m_onPoll = [&] {
        engine->m_onPoll = nullptr;
        engine->Offer(Parse(*game, "e5"));
    };
    idle();
    EXPECT_EQ(game->GetBoard().GetPly(), 2);
    // Not in play, nobody is polled.
    game->SetInPlay(false);
    engine->m_pollsBehind = 1;
    polls = engine->m_polls;
    idle();
    EXPECT_EQ(engine->m_polls, polls);
}

// A board that cannot draw, hidden behind the browser or disabled while a
// window reads a file, asks for no more idle passes: the tick and events
// wake it. A frame asked for meanwhile is drawn once it can draw, and the
// loop asks for more only while something moves.
TEST_F(Canvas, IdleTimeIsAskedForOnlyWhileTheBoardDraws)
{
    m_frame->ExecuteCommand("VIEW_BOARD");
    ASSERT_TRUE(g_client->PumpUntil([&] { return m_canvas->IsShownOnScreen() && m_canvas->HasContext(); }));
    auto idle = [&] {
        wxIdleEvent event;
        m_canvas->OnIdle(event);
        return event.MoreRequested();
    };
    ASSERT_TRUE(g_client->PumpUntil([&] { return !idle(); })) << "a still board goes quiet";
    m_canvas->RequestRedraw();
    EXPECT_TRUE(idle()) << "a requested frame is drawn";
    EXPECT_FALSE(m_canvas->IsRedrawRequested());
    EXPECT_FALSE(idle());
    {
        wxWindowDisabler noInput;
        ASSERT_FALSE(m_canvas->IsEnabled());
        m_canvas->RequestRedraw();
        EXPECT_FALSE(idle()) << "disabled";
        EXPECT_TRUE(m_canvas->IsRedrawRequested()) << "kept until it can draw";
    }
    EXPECT_TRUE(idle());
    EXPECT_FALSE(m_canvas->IsRedrawRequested());

    m_frame->ShowBrowser(true, true);
    ASSERT_TRUE(g_client->PumpUntil([&] { return !m_canvas->IsShownOnScreen(); }));
    m_canvas->RequestRedraw();
    EXPECT_FALSE(idle()) << "hidden";
    m_frame->ShowBrowser(false, true);
    ASSERT_TRUE(g_client->PumpUntil([&] { return m_canvas->IsShownOnScreen(); }));
    EXPECT_TRUE(g_client->PumpUntil([&] { return !m_canvas->IsRedrawRequested(); })) << "drawn when shown again";
}

} // namespace

namespace {

// The board's picture as the scene draws it, one value per pixel.
std::vector<uint32_t> Grab(CChessWindow& canvas)
{
    Zorlin::CImage image;
    std::vector<uint32_t> pixels;
    if (!canvas.GetScene() || !canvas.GetScene()->GrabImage(image))
        return pixels;
    for (int y = 0; y < image.GetHeight(); y += 4)
        for (int x = 0; x < image.GetWidth(); x += 4)
            pixels.push_back(image.GetPixel(x, y).GetValue());
    return pixels;
}

} // namespace

TEST_F(Canvas, AnotherBoardIsDrawnOnlyWhenItsPackCanBeRead)
{
    m_frame->ExecuteCommand("VIEW_BOARD");
    ASSERT_TRUE(g_client->PumpUntil([&] { return m_canvas->IsShownOnScreen() && m_canvas->HasContext(); }));
    CBoardRenderer* before = m_canvas->GetScene();
    std::vector<uint32_t> wood = Grab(*m_canvas);
    ASSERT_FALSE(wood.empty());

    for (const char* bad : {"no such board", "../boards/tournament", ""}) {
        EXPECT_FALSE(m_canvas->ApplyBoardSkin(bad)) << bad;
        EXPECT_EQ(m_canvas->GetScene(), before) << "the old scene stays: " << bad;
    }
    EXPECT_EQ(Grab(*m_canvas), wood);

    ASSERT_TRUE(m_canvas->ApplyBoardSkin("tournament"));
    std::vector<uint32_t> tournament = Grab(*m_canvas);
    ASSERT_FALSE(tournament.empty());
    EXPECT_NE(tournament, wood);
    ASSERT_TRUE(m_canvas->ApplyBoardSkin("large wood"));
    EXPECT_EQ(Grab(*m_canvas), wood) << "the first board comes back as it was";
    m_frame->ExecuteCommand("VIEW_BROWSER");
}
