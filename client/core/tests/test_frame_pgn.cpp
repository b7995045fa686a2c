// The PGN and FEN menu commands of the real client under a private X
// server: a real PGN file opened into the viewer game, copy and paste
// through the system clipboard, PGN exported and appended, FEN exported,
// and pasted garbage refused. The tests run in order on one client.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/statusbr.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/ModalLoops.h"
#include "client/core/PGNGame.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/MenuBar.h"
#include "client/dialogs/PgnViewerDialog.h"
#include "support/AppHarness.h"
#include "support/ClientEnvironment.h"
#include "client/view/tests/support/GuiLeaks.h"

using AppTest::CHarness;
using AppTest::g_client;
using AppTest::g_skip;

namespace {

::testing::Environment* const g_environment = AppTest::AddClientEnvironment();

std::string PlainText(const CChessBoard& board)
{
    std::string out;
    for (int i = 0; i < board.GetHistory().GetCount(); ++i)
        out += std::string(board.GetHistory().GetAt(i)->m_shortText) + " ";
    return out;
}

class FramePgn : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!g_skip.empty())
            GTEST_SKIP() << g_skip;
        ASSERT_TRUE(g_client->OnInitResult());
        m_frame = g_client->GetApp()->m_frame;
        ASSERT_NE(m_frame, nullptr);
        ASSERT_NE(m_frame->GetGame(), nullptr) << "the client starts with a game on the board";
        prompt().Clear();
    }
    CScriptedPrompt& prompt() { return g_client->GetPrompt(); }
    void Choose(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(m_frame);
        m_frame->GetEventHandler()->ProcessEvent(event);
        g_client->Pump();
    }
    std::string LastMessage()
    {
        return prompt().GetCount() ? prompt().GetQuestion(prompt().GetCount() - 1).text.GetText() : std::string();
    }
    CPGNGame* Viewed() { return dynamic_cast<CPGNGame*>(m_frame->GetGame()); }

    CChessFrame* m_frame = nullptr;
};

} // namespace

TEST_F(FramePgn, OpenPgnShowsTheFilesFirstGameOnTheBoard)
{
    prompt().QueueText(ROOKWELL_TESTDATA "/pgn/kasparov-deep-blue-1997.pgn");
    Choose(ID_MENU_OPEN_PGN);
    ASSERT_GE(prompt().GetCount(), 1);
    EXPECT_STREQ(prompt().GetQuestion(0).text.GetText(), "Select a PGN to open");
    ASSERT_NE(Viewed(), nullptr) << LastMessage();
    EXPECT_EQ(prompt().GetCount(), 1) << LastMessage();
    EXPECT_EQ(Viewed()->GetGameCount(), 6);
    EXPECT_GT(Viewed()->GetBoard().GetPly(), 20);
    EXPECT_FALSE(m_frame->IsBrowserView()) << "the board view comes to the front";
    ASSERT_NE(Viewed()->GetViewer(), nullptr);
    EXPECT_TRUE(Viewed()->GetViewer()->IsShown());
}

TEST_F(FramePgn, CopyThenPasteGivesTheSameMoves)
{
    CGame* shown = m_frame->GetGame();
    const std::string moves = PlainText(shown->GetBoard());
    ASSERT_FALSE(moves.empty());
    Choose(ID_MENU_COPY_PGN);
    EXPECT_EQ(LastMessage(), "A PGN of the current game has been placed on the clipboard.");
    std::string copied;
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTextDataObject data;
    if (wxTheClipboard->GetData(data))
        copied = data.GetText().utf8_str().data();
    wxTheClipboard->Close();
    EXPECT_NE(copied.find("[White \"Garry Kasparov\"]"), std::string::npos) << copied;

    prompt().Clear();
    Choose(ID_MENU_PASTE_PGN);
    EXPECT_EQ(prompt().GetCount(), 0) << LastMessage();
    ASSERT_NE(Viewed(), nullptr);
    EXPECT_NE(m_frame->GetGame(), shown) << "the pasted text is a new game";
    EXPECT_EQ(PlainText(Viewed()->GetBoard()), moves);
    EXPECT_EQ(Viewed()->GetGameCount(), 1);
}

TEST_F(FramePgn, PastedGarbageKeepsTheGame)
{
    CGame* shown = m_frame->GetGame();
    const int plies = shown->GetBoard().GetPly();
    ASSERT_TRUE(wxTheClipboard->Open());
    wxTheClipboard->SetData(new wxTextDataObject("{ an open comment that never ends"));
    wxTheClipboard->Close();
    Choose(ID_MENU_PASTE_PGN);
    EXPECT_EQ(LastMessage(), "Could not paste PGN from the clipboard.");
    EXPECT_EQ(m_frame->GetGame(), shown);
    EXPECT_EQ(shown->GetBoard().GetPly(), plies);
}

TEST_F(FramePgn, ExportPgnTwiceAppendsAndExportFenWritesTheBoard)
{
    const std::string pgn = g_client->Path("users/tester/played games/export.pgn");
    prompt().QueueText(pgn.c_str());
    Choose(ID_MENU_EXPORT_PGN);
    prompt().QueueText(pgn.c_str());
    prompt().QueueChoice(0);
    Choose(ID_MENU_EXPORT_PGN);
    EXPECT_EQ(prompt().GetUnexpectedCount(), 0) << LastMessage();
    const std::string text = g_client->ReadFile("users/tester/played games/export.pgn");
    size_t second = text.find("\r\n\r\n[Event ");
    ASSERT_NE(second, std::string::npos) << text;
    EXPECT_EQ(text.substr(0, second + 2), text.substr(second + 4)) << "the same game twice, an empty line between";

    const std::string fen = g_client->Path("users/tester/board.fen");
    prompt().QueueText(fen.c_str());
    Choose(ID_MENU_EXPORT_FEN);
    Zorlin::CString expected;
    ASSERT_TRUE(m_frame->GetGame()->GetBoard().GetFen(expected, false));
    EXPECT_EQ(g_client->ReadFile("users/tester/board.fen"), expected.GetText());

    prompt().QueueText("/proc/version");
    Choose(ID_MENU_EXPORT_FEN);
    EXPECT_EQ(LastMessage(), "Could not write the FEN file:\n\n/proc/version.fen");
}

// The status line tells the result of the game picked in the viewer, not
// of the one before it.
TEST_F(FramePgn, TheStatusLineFollowsTheGamePickedInTheViewer)
{
    const std::string path = g_client->Path("users/tester/played games/two results.pgn");
    std::ofstream(path) << "[White \"Ann\"]\n[Black \"Bob\"]\n[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 Nc6 1-0\n\n"
                           "[White \"Cid\"]\n[Black \"Dee\"]\n[Result \"1/2-1/2\"]\n\n1. d4 d5 1/2-1/2\n\n"
                           "[White \"Eve\"]\n[Black \"Fay\"]\n[Result \"*\"]\n\n1. c4 *\n";
    m_frame->OpenPgnFile(path.c_str());
    g_client->Pump();
    ASSERT_NE(Viewed(), nullptr) << LastMessage();
    CPgnViewerDialog* viewer = Viewed()->GetViewer();
    ASSERT_NE(viewer, nullptr);
    wxStatusBar* bar = m_frame->GetStatusBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetStatusText(1), " White wins");

    auto pick = [&](int n) {
        wxCommandEvent event(wxEVT_LISTBOX, ID_PGN_GAMES);
        event.SetInt(n);
        event.SetEventObject(viewer->FindWindow(ID_PGN_GAMES));
        viewer->GetEventHandler()->ProcessEvent(event);
        g_client->Pump();
    };
    pick(1);
    EXPECT_EQ(bar->GetStatusText(1), " Draw");
    pick(2);
    EXPECT_EQ(bar->GetStatusText(1), " Black to move");
    pick(0);
    EXPECT_EQ(bar->GetStatusText(1), " White wins");
    EXPECT_EQ(prompt().GetUnexpectedCount(), 0) << LastMessage();
}

// A file still being read when the program is told to end: nothing more
// is shown, the game on the board stays. Cancelled by the user instead,
// the games read so far are the viewer's game, the first on the board.
TEST_F(FramePgn, AReadingStoppedByTheEndShowsNothingOneCancelledShowsWhatItRead)
{
    const std::string path = g_client->Path("users/tester/played games/many.pgn");
    {
        std::ofstream out(path);
        for (int i = 0; i < 200000; ++i)
            out << "[White \"W" << i << "\"]\n[Black \"B" << i << "\"]\n\n1. e4 e5 2. Nf3 *\n\n";
    }
    CGame* before = m_frame->GetGame();
    auto reading = [] {
        for (wxWindow* window : wxTopLevelWindows)
            if (CPgnViewerDialog* viewer = dynamic_cast<CPgnViewerDialog*>(window); viewer && viewer->IsReading())
                return viewer;
        return static_cast<CPgnViewerDialog*>(nullptr);
    };
    bool seen = false;
    wxTheApp->CallAfter([&] {
        seen = reading() != nullptr;
        EndModalLoops();
    });
    m_frame->OpenPgnFile(path.c_str());
    g_client->Pump();
    EXPECT_TRUE(seen) << "the end came while the file was read";
    EXPECT_EQ(m_frame->GetGame(), before);
    EXPECT_EQ(prompt().GetCount(), 0) << LastMessage();
    for (wxWindow* window : wxTopLevelWindows)
        if (CPgnViewerDialog* viewer = dynamic_cast<CPgnViewerDialog*>(window)) {
            EXPECT_TRUE(wxTheApp->IsScheduledForDestruction(viewer) || viewer == Viewed()->GetViewer());
        }

    seen = false;
    wxTheApp->CallAfter([&] {
        CPgnViewerDialog* viewer = reading();
        seen = viewer != nullptr;
        if (viewer)
            viewer->CancelReading();
    });
    m_frame->OpenPgnFile(path.c_str());
    g_client->Pump();
    EXPECT_TRUE(seen);
    ASSERT_NE(Viewed(), nullptr);
    EXPECT_NE(m_frame->GetGame(), before);
    EXPECT_GT(Viewed()->GetGameCount(), 0);
    EXPECT_LT(Viewed()->GetGameCount(), 200000);
    EXPECT_EQ(Viewed()->GetBoard().GetPly(), 3) << "the first game on the board";
    EXPECT_EQ(prompt().GetCount(), 0) << LastMessage();
}

TEST_F(FramePgn, ResetOnTheViewerGameOnlySaysWhy)
{
    ASSERT_NE(Viewed(), nullptr);
    const int plies = Viewed()->GetBoard().GetPly();
    Viewed()->Reset();
    EXPECT_EQ(LastMessage(), "Can't reset PGN viewer.\n\nFor a new game please use the Game menu.");
    EXPECT_EQ(Viewed()->GetBoard().GetPly(), plies);
    g_client->Stop();
}
