// The frame closed while work of its own lets events through: a PGN file
// handed over by another start being read, or named on the command line
// and read by the start-up, a package being installed, the canvas showing
// the Game Over window. The client runs its real main loop,
// as the program does; the close is asked for from inside that work's
// yield, as a key or the close box would be. The frame must live until the
// work has returned, and the close must come after it.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
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
    // Deleted once the start-up had run to its end.
    bool afterStartUp = false;
    int closesAsked = 0;
};

bool ViewerReading()
{
    for (wxWindow* window : wxTopLevelWindows)
        if (CPgnViewerDialog* viewer = dynamic_cast<CPgnViewerDialog*>(window); viewer && viewer->IsReading())
            return true;
    return false;
}

class FrameClose : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_client.PrepareReturningUser("language=english\n")) << m_client.GetError();
        m_files = m_client.Path("../files");
        ASSERT_EQ(mkdir(m_files.c_str(), 0755), 0);
    }
    void TearDown() override
    {
        if (m_app && m_closeNow)
            m_app->Unbind(wxEVT_IDLE, &FrameClose::OnAppIdle, this);
        m_client.Stop();
        if (chdir("/") != 0)
            ADD_FAILURE() << "no root folder";
    }

    // A file argument, or one of no meaning: either way no title picture,
    // which would outlive the frame.
    void Start(const std::string& argument = "--client")
    {
        if (!m_client.Start({argument}))
            GTEST_SKIP() << m_client.GetError();
        ASSERT_TRUE(m_client.OnInitResult());
        m_app = m_client.GetApp();
        m_client.GetPrompt().Clear();
    }
    // From the first idle time at which closeNow() holds, the frame is
    // asked to close, once; watch runs at every idle time while the frame
    // is there.
    void CloseWhen(std::function<bool()> closeNow, std::function<void()> watch = nullptr)
    {
        m_app = m_client.GetApp();
        m_closeNow = [this, closeNow, watch] {
            CChessFrame* frame = m_app->m_frame;
            if (!frame)
                return;
            if (!m_watched) {
                m_watched = true;
                frame->Bind(wxEVT_DESTROY, [this, frame](wxWindowDestroyEvent& event) {
                    if (event.GetEventObject() == frame) {
                        m_end.deleted = true;
                        m_end.underACall = IsInNestedLoop();
                        m_end.afterStartUp = m_app->IsStartupDone();
                    }
                    event.Skip();
                });
            }
            if (watch)
                watch();
            if (m_end.closesAsked > 0 || !closeNow())
                return;
            ++m_end.closesAsked;
            frame->Close(false);
        };
        m_app->Bind(wxEVT_IDLE, &FrameClose::OnAppIdle, this);
    }
    // Runs the program's main loop until the frame has gone: the toolkit
    // ends it with its last window.
    SFrameEnd RunUntilTheFrameGoes()
    {
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
        return m_end;
    }
    void OnAppIdle(wxIdleEvent& event)
    {
        event.Skip();
        if (m_closeNow)
            m_closeNow();
    }
    // Enough games for the reading to yield many times on any machine.
    std::string ManyGames()
    {
        const std::string pgn = m_files + "/many games.pgn";
        std::ofstream out(pgn);
        for (int n = 0; n < 100000; ++n)
            out << "[Event \"Game " << n << "\"]\n[White \"Ann\"]\n[Black \"Bob\"]\n[Result \"*\"]\n\n"
                << "1. e4 e5 2. Nf3 Nc6 *\n\n";
        return pgn;
    }
    void ExpectReadingCancelled()
    {
        const std::string log = m_client.ReadFile("logs/Rookwell - Console.log");
        EXPECT_NE(log.find("many games.pgn: the first "), std::string::npos) << log;
        EXPECT_NE(log.find("(reading cancelled)"), std::string::npos) << log;
    }

    CHarness m_client;
    CChessApp* m_app = nullptr;
    std::string m_files;
    std::function<void()> m_closeNow;
    bool m_watched = false;
    SFrameEnd m_end;
};

TEST_F(FrameClose, AClosingFrameStopsReadingAHandedFileAndClosesOnceTheOpenReturned)
{
    const std::string pgn = ManyGames();
    Start();
    CGame* before = m_app->m_frame->GetGame();
    bool sawBoardTakeTheFile = false;
    m_app->OnHandedFiles({CString(pgn.c_str())});
    CloseWhen(ViewerReading, [&] {
        if (m_app->m_frame->GetGame() != before)
            sawBoardTakeTheFile = true;
    });
    SFrameEnd end = RunUntilTheFrameGoes();
    ASSERT_EQ(end.closesAsked, 1) << "the close came while the file was read";
    EXPECT_TRUE(end.deleted);
    EXPECT_FALSE(end.underACall) << "the frame was deleted while the reading still ran";
    EXPECT_EQ(m_app->m_frame, nullptr);
    EXPECT_FALSE(sawBoardTakeTheFile) << "the open went on into a closing frame";
    // Stopped as the end of the program stops it: nothing is told.
    EXPECT_EQ(m_client.GetPrompt().GetCount(), 0) << m_client.Asked();
    ExpectReadingCancelled();
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(FrameClose, AFrameClosedWhileTheStartUpReadsItsFileClosesOnceTheStartUpIsDone)
{
    const std::string pgn = ManyGames();
    // A crash before: the start-up asks about safe mode before it opens
    // the file, and the close is armed from inside that question.
    std::ofstream(m_client.Path("users/tester/running.marker")) << "1\n";
    m_client.GetPrompt().SetResponder([this](const CScriptedPrompt::SQuestion& question) {
        if (question.caption == "Safe Mode")
            CloseWhen(ViewerReading);
        CScriptedPrompt::SAnswer no;
        no.code = wxNO;
        return no;
    });
    Start(pgn);
    ASSERT_EQ(m_end.closesAsked, 1) << "the close came while the start-up read the file";
    ASSERT_NE(m_app->m_frame, nullptr) << "the frame went during the start-up";
    EXPECT_TRUE(m_app->m_frame->IsClosing());
    SFrameEnd end = RunUntilTheFrameGoes();
    EXPECT_TRUE(end.deleted);
    EXPECT_TRUE(end.afterStartUp);
    EXPECT_FALSE(end.underACall);
    EXPECT_EQ(m_app->m_frame, nullptr);
    ExpectReadingCancelled();
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST_F(FrameClose, APackageInstalledWhileTheFrameIsClosedIsFinishedFirst)
{
    std::vector<PackageTest::SEntry> board = {PackageTest::Manifest("Rookwell Lite", "board", "Large wood")};
    PackageTest::AddFolder(board, ROOKWELL_SOURCE "/data/boards/large wood", "contents/Large Wood Copy/");
    const std::string package = m_files + "/board.rwf";
    ASSERT_TRUE(PackageTest::WriteArchive(package, board));
    Start();
    m_client.GetPrompt().QueueButton(wxYES);
    m_client.GetPrompt().QueueButton(wxOK);
    m_app->OnHandedFiles({CString(package.c_str())});
    // The frame refuses input while the files are copied.
    CloseWhen([&] { return !m_app->m_frame->IsEnabled(); });
    SFrameEnd end = RunUntilTheFrameGoes();
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
    Start();
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
    CloseWhen([] {
        for (wxWindow* window : wxTopLevelWindows)
            if (wxDialog* dialog = dynamic_cast<wxDialog*>(window);
                dialog && dialog->GetTitle() == "Game Over" && dialog->IsShown())
                return true;
        return false;
    });
    SFrameEnd end = RunUntilTheFrameGoes();
    ASSERT_EQ(end.closesAsked, 1) << "the close came as the Game Over window was shown";
    EXPECT_TRUE(end.deleted);
    EXPECT_FALSE(end.underACall) << "the frame was deleted while the canvas still showed the window";
    EXPECT_EQ(m_app->m_frame, nullptr);
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

} // namespace
