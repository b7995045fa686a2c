// The frame closed while work of its own lets events through: a PGN file
// handed over by another start being read, a package being installed, the
// canvas showing the Game Over window. The client runs its real main loop,
// as the program does; the close is asked for from inside that work's
// yield, as a key or the close box would be. The frame must live until the
// work has returned, and the close must come after it.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/Game.h"
#include "client/core/ModalLoops.h"
#include "client/dialogs/PgnViewerDialog.h"
#include "client/view/ChessWindow.h"
#include "support/AppHarness.h"
#include "support/PackageBuilder.h"
#include "client/view/tests/support/GuiLeaks.h"

using AppTest::CHarness;
using Zorlin::CString;

namespace {

// How the frame went.
struct SFrameEnd {
    bool deleted = false;
    // Deleted while a yield or a modal loop was running under some call.
    bool underACall = false;
    int closesAsked = 0;
};

class FrameClose : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_client.PrepareReturningUser("language=english\n")) << m_client.GetError();
        m_files = m_client.Path("../files");
        ASSERT_EQ(mkdir(m_files.c_str(), 0755), 0);
        // An argument: no title picture, which would outlive the frame.
        if (!m_client.Start({"--client"}))
            GTEST_SKIP() << m_client.GetError();
        ASSERT_TRUE(m_client.OnInitResult());
        m_app = m_client.GetApp();
        ASSERT_NE(m_app->m_frame, nullptr);
        m_client.GetPrompt().Clear();
    }
    void TearDown() override
    {
        m_client.Stop();
        if (chdir("/") != 0)
            ADD_FAILURE() << "no root folder";
    }

    // Runs the program's main loop until the frame has gone (the toolkit
    // ends it with its last window); asking for the close once when
    // closeNow() holds, from the first idle time that it does. watch runs
    // at every idle time while the frame is there.
    SFrameEnd RunClosingWhen(std::function<bool()> closeNow, std::function<void()> watch = nullptr)
    {
        SFrameEnd end;
        CChessFrame* frame = m_app->m_frame;
        frame->Bind(wxEVT_DESTROY, [&end, frame](wxWindowDestroyEvent& event) {
            if (event.GetEventObject() == frame) {
                end.deleted = true;
                end.underACall = IsInNestedLoop();
            }
            event.Skip();
        });
        m_closeNow = [this, closeNow, watch, &end] {
            if (!m_app->m_frame)
                return;
            if (watch)
                watch();
            if (end.closesAsked > 0 || !closeNow())
                return;
            ++end.closesAsked;
            m_app->m_frame->Close(false);
        };
        m_app->Bind(wxEVT_IDLE, &FrameClose::OnAppIdle, this);
        // The bound only ends a hung test.
        wxTimer hung;
        hung.Bind(wxEVT_TIMER, [](wxTimerEvent&) {
            std::string left;
            for (wxWindow* window : wxTopLevelWindows)
                left += " '" + window->GetLabel().ToStdString() + "'";
            ADD_FAILURE() << "the frame did not close; windows left:" << left;
            wxTheApp->ExitMainLoop();
        });
        hung.StartOnce(120000);
        m_app->OnRun();
        m_app->Unbind(wxEVT_IDLE, &FrameClose::OnAppIdle, this);
        m_closeNow = nullptr;
        return end;
    }
    void OnAppIdle(wxIdleEvent& event)
    {
        event.Skip();
        if (m_closeNow)
            m_closeNow();
    }

    CHarness m_client;
    CChessApp* m_app = nullptr;
    std::string m_files;
    std::function<void()> m_closeNow;
};

bool ViewerReading()
{
    for (wxWindow* window : wxTopLevelWindows)
        if (CPgnViewerDialog* viewer = dynamic_cast<CPgnViewerDialog*>(window); viewer && viewer->IsReading())
            return true;
    return false;
}

TEST_F(FrameClose, AClosingFrameStopsReadingAHandedFileAndClosesOnceTheOpenReturned)
{
    // Enough games for the reading to yield many times on any machine.
    const std::string pgn = m_files + "/many games.pgn";
    {
        std::ofstream out(pgn);
        for (int n = 0; n < 100000; ++n)
            out << "[Event \"Game " << n << "\"]\n[White \"Ann\"]\n[Black \"Bob\"]\n[Result \"*\"]\n\n"
                << "1. e4 e5 2. Nf3 Nc6 *\n\n";
    }
    CGame* before = m_app->m_frame->GetGame();
    bool sawBoardTakeTheFile = false;
    m_app->OnHandedFiles({CString(pgn.c_str())});
    SFrameEnd end = RunClosingWhen(ViewerReading, [&] {
        if (m_app->m_frame->GetGame() != before)
            sawBoardTakeTheFile = true;
    });
    ASSERT_EQ(end.closesAsked, 1) << "the close came while the file was read";
    EXPECT_TRUE(end.deleted);
    EXPECT_FALSE(end.underACall) << "the frame was deleted while the reading still ran";
    EXPECT_EQ(m_app->m_frame, nullptr);
    EXPECT_FALSE(sawBoardTakeTheFile) << "the open went on into a closing frame";
    // Stopped as the end of the program stops it: nothing is told.
    EXPECT_EQ(m_client.GetPrompt().GetCount(), 0) << m_client.Asked();
    const std::string log = m_client.ReadFile("logs/Rookwell - Console.log");
    EXPECT_NE(log.find("many games.pgn: the first "), std::string::npos) << log;
    EXPECT_NE(log.find("(reading cancelled)"), std::string::npos) << log;
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(FrameClose, APackageInstalledWhileTheFrameIsClosedIsFinishedFirst)
{
    std::vector<PackageTest::SEntry> board = {PackageTest::Manifest("Rookwell Lite", "board", "Large wood")};
    PackageTest::AddFolder(board, ROOKWELL_SOURCE "/data/boards/large wood", "contents/Large Wood Copy/");
    const std::string package = m_files + "/board.rwf";
    ASSERT_TRUE(PackageTest::WriteArchive(package, board));
    m_client.GetPrompt().QueueButton(wxYES);
    m_client.GetPrompt().QueueButton(wxOK);
    m_app->OnHandedFiles({CString(package.c_str())});
    // The frame refuses input while the files are copied.
    SFrameEnd end = RunClosingWhen([&] { return !m_app->m_frame->IsEnabled(); });
    ASSERT_EQ(end.closesAsked, 1) << "the close came while the package was copied";
    EXPECT_TRUE(end.deleted);
    EXPECT_FALSE(end.underACall) << "the frame was deleted while the install still ran";
    EXPECT_EQ(m_app->m_frame, nullptr);
    ASSERT_EQ(m_client.GetPrompt().GetCount(), 2) << m_client.Asked();
    EXPECT_EQ(m_client.GetPrompt().GetQuestion(1).caption, "Done") << m_client.Asked();
    EXPECT_EQ(PackageTest::ListFiles(m_client.Path("boards/Large Wood Copy")),
              PackageTest::ListFiles(ROOKWELL_SOURCE "/data/boards/large wood"));
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(FrameClose, AFrameClosedAsTheGameOverWindowComesUpOutlivesTheCanvasCallShowingIt)
{
    CGame* game = new CGame();
    game->Setup();
    game->Start();
    CChessWindow* canvas = m_app->m_frame->GetChessWindow();
    ASSERT_NE(canvas, nullptr);
    canvas->ResetView(game, true, false);
    for (const char* san : {"f3", "e5", "g4", "Qh4"}) {
        CMove move;
        ASSERT_TRUE(game->GetBoard().ParseSan(CString(san), move, true)) << san;
        ASSERT_TRUE(canvas->PlayMove(move, false)) << san;
    }
    // The canvas shows the window from its end-of-game timer and yields.
    SFrameEnd end = RunClosingWhen([] {
        for (wxWindow* window : wxTopLevelWindows)
            if (wxDialog* dialog = dynamic_cast<wxDialog*>(window);
                dialog && dialog->GetTitle() == "Game Over" && dialog->IsShown())
                return true;
        return false;
    });
    ASSERT_EQ(end.closesAsked, 1) << "the close came as the Game Over window was shown";
    EXPECT_TRUE(end.deleted);
    EXPECT_FALSE(end.underACall) << "the frame was deleted while the canvas still showed the window";
    EXPECT_EQ(m_app->m_frame, nullptr);
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

} // namespace
