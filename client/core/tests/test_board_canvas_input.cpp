// The board canvas under a real pointer: pieces dragged and dropped with the
// toolkit's input simulator on the drawn board, a pawn's promotion asked
// through the real dialog, and a short game against a real engine whose
// moves arrive through the game tick.

#include <gtest/gtest.h>

#include <wx/dialog.h>
#include <wx/statusbr.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "client/core/AIGame.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/GameEndText.h"
#include "client/view/BoardScene.h"
#include "client/view/ConsoleWindow.h"
#include "client/view/ChessWindow.h"
#include "client/view/MoveChoice.h"
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

// Answers the promotion dialog with a button once it runs modally, so the
// drop that opened it can finish.
class CPromotionAnswer : public wxTimer {
public:
    explicit CPromotionAnswer(int button) : m_button(button) { Start(20); }
    void Notify() override
    {
        for (wxWindow* window : wxTopLevelWindows) {
            wxDialog* dialog = dynamic_cast<wxDialog*>(window);
            if (!dialog || dialog->GetTitle() != "Pawn Promotion" || !dialog->IsModal())
                continue;
            ++m_asked;
            wxCommandEvent click(wxEVT_BUTTON, m_button);
            click.SetEventObject(dialog->FindWindow(m_button));
            dialog->GetEventHandler()->ProcessEvent(click);
            return;
        }
    }
    int m_asked = 0;

private:
    int m_button;
};

// A white pawn on a7 and the two kings: one drop from promotion.
class CPromotionGame : public CRecordingGame {
public:
    explicit CPromotionGame(SCallLog* log) : CRecordingGame(true, true, log) {}
    bool Setup() override
    {
        CRecordingGame::Setup();
        m_board.Clear();
        m_board.AddPiece(WHITE, PIECE_KING, 4, 0, false);
        m_board.AddPiece(BLACK, PIECE_KING, 7, 5, false);
        m_board.AddPiece(WHITE, PIECE_PAWN, 0, 6, false);
        m_board.SetSideToMove(WHITE);
        return true;
    }
};

// Why a game stopped, for a failure's message.
std::string HowItEnded(CGame& game)
{
    const CChessBoard& board = game.GetBoard();
    return "the game " + std::string(game.IsInPlay() ? "is in play" : "ended") + " at ply " +
           std::to_string(board.GetPly()) + ", result " + std::to_string(game.GetResult()) + ", note \"" +
           game.GetEndNote().GetText() + "\": \"" + GameEndText(board, game.GetResult(), game.GetEndNote()).GetText() +
           "\"";
}

class CanvasInput : public ::testing::Test {
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
        m_frame->ShowBrowser(false, true);
        m_scene = dynamic_cast<CBoardScene*>(m_canvas->GetScene());
        ASSERT_NE(m_scene, nullptr);
        // The skin comes with the first drawing of the shown board.
        ASSERT_TRUE(g_client->PumpUntil([&] { return m_scene->HasSkin() && m_scene->GetGeometry().HasSquares(); }));
        int width = 0, height = 0;
        m_canvas->GetSceneSize(width, height);
        EXPECT_GT(width * height, 0);
    }
    std::string Console() { return g_client->GetApp()->m_console->GetTranscript().GetText(); }
    void TearDown() override
    {
        if (!g_skip.empty())
            return;
        for (wxWindow* window : wxTopLevelWindows)
            if (wxDialog* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->GetTitle() == "Game Over")
                dialog->Destroy();
        m_canvas->ResetView(new CGame, false, true);
        g_client->Pump();
    }
    void Attach(CGame* game)
    {
        game->Setup();
        game->Start();
        m_canvas->ResetView(game, true, true);
        m_log.calls.clear();
        // Let the board draw its new position before the pointer comes.
        g_client->PumpUntil([&] { return !m_scene->NeedsRedraw(); });
    }
    // Where a square's centre is on the screen, checked against the scene.
    wxPoint ScreenPoint(const char* name)
    {
        SSquare square;
        ParseSquare(CString(name), square);
        const CBoardGeometry& geometry = m_scene->GetGeometry();
        SScenePoint centre = geometry.SquareCentre(square);
        SScenePoint window = geometry.SceneToWindow(centre.x, centre.y);
        wxPoint client(int(window.x + 0.5), int(window.y + 0.5));
        SSquare back;
        EXPECT_TRUE(m_scene->SquareAt(float(client.x), float(client.y), back)) << name;
        EXPECT_EQ(back, square) << name;
        return m_canvas->ClientToScreen(client);
    }
    void Settle(int rounds = 5)
    {
        for (int i = 0; i < rounds; ++i)
            g_client->Pump();
    }
    // Presses on one square, moves in steps and lets go on another.
    void Drag(const char* from, const char* to)
    {
        wxPoint start = ScreenPoint(from);
        wxPoint end = ScreenPoint(to);
        wxUIActionSimulator pointer;
        pointer.MouseMove(start);
        Settle();
        pointer.MouseDown();
        Settle();
        for (int step = 1; step <= 4; ++step) {
            pointer.MouseMove(start + (end - start) * step / 4);
            Settle(2);
        }
        pointer.MouseUp();
        Settle();
    }
    const CPiece& At(CGame& game, const char* name)
    {
        SSquare square;
        ParseSquare(CString(name), square);
        return game.GetBoard().GetPieceAt(square);
    }

    CChessFrame* m_frame = nullptr;
    CChessWindow* m_canvas = nullptr;
    CBoardScene* m_scene = nullptr;
    SCallLog m_log;
};

TEST_F(CanvasInput, TheShownBoardHasTheKeysAndWroteTheGraphicsFacts)
{
    EXPECT_EQ(wxWindow::FindFocus(), m_canvas);
    // Written once, at the first drawing.
    std::string console = Console();
    size_t first = console.find("GL RENDERER= ");
    ASSERT_NE(first, std::string::npos) << console;
    EXPECT_EQ(console.find("GL RENDERER= ", first + 1), std::string::npos);
    m_frame->ShowBrowser(true, true);
    m_frame->ShowBrowser(false, true);
    Settle();
    EXPECT_EQ(wxWindow::FindFocus(), m_canvas);
    EXPECT_EQ(Console().find("GL RENDERER= ", first + 1), std::string::npos);
}

TEST_F(CanvasInput, ADroppedPieceMovesAndAnIllegalDropGoesBack)
{
    CRecordingGame* game = new CRecordingGame(true, true, &m_log);
    Attach(game);
    CPromotionAnswer answer(10149);
    Drag("e2", "e4");
    ASSERT_TRUE(g_client->PumpUntil([&] { return game->GetBoard().GetPly() == 1; }));
    EXPECT_EQ(At(*game, "e4").m_type, PIECE_PAWN);
    EXPECT_EQ(At(*game, "e2").m_type, PIECE_NONE);
    EXPECT_FALSE(m_canvas->IsDragging());
    EXPECT_EQ(m_frame->GetStatusBar()->GetStatusText(2), " e4");
    EXPECT_EQ(m_log.calls, (std::vector<std::string>{"time @0", "moved e2e4 @0"}));
    EXPECT_EQ(answer.m_asked, 0) << "a pawn that does not reach the last rank asks nothing";

    // Black's pawn two squares too far: back to its square, nothing told.
    m_log.calls.clear();
    Drag("d7", "d4");
    Settle(10);
    EXPECT_EQ(game->GetBoard().GetPly(), 1);
    EXPECT_EQ(At(*game, "d7").m_type, PIECE_PAWN);
    EXPECT_FALSE(m_canvas->IsDragging());
    EXPECT_TRUE(m_log.calls.empty());
    EXPECT_TRUE(g_client->PumpUntil([&] { return !m_scene->NeedsRedraw(); })) << "the slide back ends";

    // A white piece while Black is to move has no move to make.
    Drag("g1", "f3");
    Settle(10);
    EXPECT_EQ(game->GetBoard().GetPly(), 1);
    EXPECT_EQ(At(*game, "g1").m_type, PIECE_KNIGHT);

    // The knight that may move does.
    Drag("g8", "f6");
    ASSERT_TRUE(g_client->PumpUntil([&] { return game->GetBoard().GetPly() == 2; }));
    EXPECT_EQ(At(*game, "f6").m_type, PIECE_KNIGHT);

    // A piece held while another game comes is let go: its release later
    // moves nothing on the new board.
    wxUIActionSimulator pointer;
    pointer.MouseMove(ScreenPoint("d2"));
    Settle();
    pointer.MouseDown();
    Settle();
    ASSERT_TRUE(m_canvas->IsDragging());
    CRecordingGame* next = new CRecordingGame(true, true, &m_log);
    next->Setup();
    next->Start();
    m_canvas->ResetView(next, true, true);
    EXPECT_FALSE(m_canvas->IsDragging());
    pointer.MouseMove(ScreenPoint("d4"));
    Settle();
    pointer.MouseUp();
    Settle();
    EXPECT_EQ(next->GetBoard().GetPly(), 0);
    EXPECT_EQ(At(*next, "d2").m_type, PIECE_PAWN);
}

TEST_F(CanvasInput, APawnDroppedOnTheLastRankAsksForItsPiece)
{
    CPromotionGame* game = new CPromotionGame(&m_log);
    Attach(game);
    CPromotionAnswer answer(10152); // knight
    Drag("a7", "a8");
    ASSERT_TRUE(g_client->PumpUntil([&] { return game->GetBoard().GetPly() == 1; }));
    EXPECT_EQ(answer.m_asked, 1);
    EXPECT_EQ(At(*game, "a8").m_type, PIECE_KNIGHT);
    EXPECT_TRUE(At(*game, "a8").m_startedAsPawn);
    EXPECT_STREQ(game->GetBoard().GetHistory().GetAt(0)->m_shortText, "a8=N");
    EXPECT_EQ(m_log.calls, (std::vector<std::string>{"time @0", "moved a7a8n @0"}));
}

TEST_F(CanvasInput, AShortGameAgainstARealEngineRunsOnTheTick)
{
    CAIGame* game = new CAIGame(WHITE, "Fairy-Max");
    if (!game->IsStarted()) {
        delete game;
        GTEST_SKIP() << "fairymax could not be started";
    }
    // A day for 40 moves: no machine, however loaded, runs the clock down
    // within the test, and the depth, not the clock, bounds the engine's
    // thinking, so the game is the same on a slow machine as on a fast one.
    game->SetTimeControl(TIME_CONVENTIONAL, 40, 24 * 60 * 60);
    game->SetDepth(2);
    game->GetBoard().SetupStartPosition();
    game->Start();
    m_canvas->ResetView(game, true, true);
    game->StartGame();
    ASSERT_EQ(m_canvas->GetGame(), game);
    ASSERT_TRUE(game->IsInPlay());
    CChessBoard& board = game->GetBoard();
    const int kPlies = 16;
    int engineMoves = 0;
    while (board.GetPly() < kPlies && game->IsInPlay() && game->GetResult() == RESULT_NONE) {
        int ply = board.GetPly();
        if (board.GetSideToMove() == WHITE) {
            // The user's move, as a drop would make it: a capture when
            // there is one, else the last legal move in the rules' order.
            Zorlin::CArray<CMove> moves;
            int count = board.GetLegalMoves(moves);
            ASSERT_GT(count, 0);
            CMove move = *moves.GetAt(count - 1);
            for (int i = 0; i < count; ++i)
                if (moves.GetAt(i)->IsCapture())
                    move = *moves.GetAt(i);
            if (IsPromotionMove(board, move))
                move.m_promotion = PIECE_QUEEN;
            ASSERT_TRUE(m_canvas->PlayMove(move, false)) << HowItEnded(*game);
        } else {
            auto answered = [&] { return board.GetPly() > ply || !game->IsInPlay(); };
            // Each round pumps at least ten seconds; a loaded machine with
            // the sanitizers gets up to a minute for one answer.
            for (int round = 0; round < 6 && !answered(); ++round)
                g_client->PumpUntil(answered);
            ASSERT_TRUE(answered())
                << "the engine did not answer at ply " << ply << "; " << HowItEnded(*game);
            if (board.GetPly() > ply)
                ++engineMoves;
        }
    }
    EXPECT_GE(engineMoves, kPlies / 2 - 1) << HowItEnded(*game);
    // Every engine move went through the canvas: its SAN is in the status.
    const SHistoryEntry& last = *board.GetHistory().GetAt(board.GetHistory().GetCount() - 1);
    EXPECT_EQ(m_frame->GetStatusBar()->GetStatusText(2), wxString(" ") + last.m_shortText);
    for (int i = 0; i < board.GetHistory().GetCount(); ++i)
        EXPECT_NE(board.GetHistory().GetAt(i)->m_shortText[0], '\0') << "ply " << i;
}

} // namespace
