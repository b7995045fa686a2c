// A start after a crash, from another folder, with a relative file on the
// command line: the safe-mode question, its settings on disk, the
// troubleshooting page, and the file named by its absolute path. Then a
// board chosen in Preferences right after the start, before the board was
// ever shown, and a PGN file that brings the frame up on its board.

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

#include <wx/listbox.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/PreferencesDialog.h"
#include "client/view/BoardScene.h"
#include "client/view/ChessWindow.h"
#include "foundation/Config.h"
#include "support/AppHarness.h"
#include "client/view/tests/support/GuiLeaks.h"

using AppTest::CHarness;

namespace {

TEST(AppStart, AfterACrashSafeModeIsOfferedAndTheFileArgumentOpens)
{
    CHarness client;
    ASSERT_TRUE(client.PrepareReturningUser("graphics={16bit=no\n}\nlanguage=english\n")) << client.GetError();
    std::ofstream(client.Path("users/tester/running.marker")) << "1\n";
    std::string elsewhere = client.Path("../elsewhere");
    ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
    char real[4096];
    ASSERT_NE(realpath(elsewhere.c_str(), real), nullptr);
    elsewhere = real;
    // A game type no other file holds: its name in the message proves which
    // file was read.
    ASSERT_EQ(mkdir((elsewhere + "/my games").c_str(), 0755), 0);
    std::ofstream(elsewhere + "/my games/a game.rwg") << "game={type=OnlyHere\n}\n";
    client.GetPrompt().QueueButton(wxYES); // safe mode?
    client.GetPrompt().QueueButton(wxOK);  // it is on
    if (!client.Start({"my games/a game.rwg"}, elsewhere))
        GTEST_SKIP() << client.GetError();
    ASSERT_TRUE(client.OnInitResult());
    CChessApp* app = client.GetApp();

    ASSERT_GE(client.GetPrompt().GetCount(), 3);
    EXPECT_EQ(client.GetPrompt().GetQuestion(0).caption, "Safe Mode");
    EXPECT_TRUE(client.GetPrompt().GetQuestion(0).style & wxYES_NO);
    // Safe mode is on now and on disk, before anything else ran.
    EXPECT_TRUE(app->m_16BitColour);
    EXPECT_TRUE(app->m_smallTextures);
    Zorlin::CConfig saved;
    std::string text = client.ReadFile("users/tester/user.cfg");
    ASSERT_TRUE(saved.ReadText(text.data(), int(text.size())));
    EXPECT_EQ(saved.GetValueOr(".preferences.graphics.16bit", ""), "yes");
    EXPECT_EQ(saved.GetValueOr(".preferences.graphics.small textures", ""), "yes");
    EXPECT_EQ(saved.GetValueOr(".profile.name", ""), "Tess");

    // Both answers lead to the troubleshooting page.
    ASSERT_TRUE(client.PumpUntil([&] { return !client.OpenedAddresses().empty(); }));
    EXPECT_NE(client.OpenedAddresses()[0].find("/html/english/Doc/troubleshooting.htm"), std::string::npos);

    // The file was named relative to where the client was started.
    const CScriptedPrompt::SQuestion& open = client.GetPrompt().GetQuestion(client.GetPrompt().GetCount() - 1);
    std::string shown = open.text.GetText();
    EXPECT_NE(shown.find("'OnlyHere' game type"), std::string::npos) << shown;
    // The frame came up on the board, drawn before the file was read; the
    // file refused, the start page is shown, as without the board first.
    CChessWindow* canvas = app->m_frame->GetChessWindow();
    ASSERT_NE(canvas, nullptr);
    EXPECT_TRUE(canvas->HasContext());
    EXPECT_TRUE(app->m_frame->IsBrowserView());
    EXPECT_TRUE(app->m_frame->GetBrowserPanel()->IsShown());
    EXPECT_FALSE(canvas->IsShown());

    // An existing user's folder gets what it lacks, and keeps its settings.
    EXPECT_TRUE(client.Exists("users/tester/played games"));
    EXPECT_EQ(app->m_userConfig->GetValueOr(".profile.id", ""), "ABC123");
    // The marker is there again for this run and goes at a clean exit.
    EXPECT_TRUE(client.Exists("users/tester/running.marker"));
    client.Stop();
    EXPECT_FALSE(client.Exists("users/tester/running.marker"));
    EXPECT_EQ(client.GetPrompt().GetUnexpectedCount(), 1) << "only the file message is unscripted";
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST(AppStart, ABoardChosenBeforeTheBoardWasEverShownIsPreviewedAndKept)
{
    CHarness client;
    ASSERT_TRUE(client.PrepareReturningUser("language=english\nboard={pack=large wood\n}\n")) << client.GetError();
    // An argument: no title picture to click away.
    if (!client.Start({"--client"}))
        GTEST_SKIP() << client.GetError();
    ASSERT_TRUE(client.OnInitResult());
    CChessApp* app = client.GetApp();
    CChessWindow* canvas = app->m_frame->GetChessWindow();
    ASSERT_NE(canvas, nullptr);
    // The start page stands in front of the board.
    ASSERT_FALSE(canvas->HasContext()) << "the board has not been shown yet";

    const int before = client.GetPrompt().GetCount();
    bool seen = AppTest::RunWithModal<CPreferencesDialog>(
        [&] { EXPECT_TRUE(app->m_frame->ExecuteCommand("OPTIONS_PREFERENCES")); },
        [&](CPreferencesDialog& dialog) {
            wxListBox* boards = dynamic_cast<wxListBox*>(dialog.FindWindow(ID_PREFS_BOARDS));
            ASSERT_NE(boards, nullptr);
            const int tournament = boards->FindString("tournament");
            ASSERT_NE(tournament, wxNOT_FOUND);
            boards->SetSelection(tournament);
            wxCommandEvent chosen(wxEVT_LISTBOX, ID_PREFS_BOARDS);
            chosen.SetEventObject(boards);
            chosen.SetInt(tournament);
            boards->GetEventHandler()->ProcessEvent(chosen);
            EXPECT_EQ(client.GetPrompt().GetCount(), before) << "no \"Could not read this board\"";
            EXPECT_TRUE(AppTest::Press(dialog, ID_PREFS_OK));
        });
    ASSERT_TRUE(seen);
    for (int i = before; i < client.GetPrompt().GetCount(); ++i)
        ADD_FAILURE() << "said: " << client.GetPrompt().GetQuestion(i).text.GetText();
    EXPECT_EQ(app->m_userConfig->GetValueOr(".preferences.board.pack", ""), "tournament");
    const std::string saved = client.ReadFile("users/tester/user.cfg");
    EXPECT_NE(saved.find("tournament"), std::string::npos) << saved;

    // The preview showed the board; once it is on the screen it is the one chosen.
    auto skinIsTournament = [&] {
        CBoardScene* scene = dynamic_cast<CBoardScene*>(canvas->GetScene());
        return canvas->HasContext() && scene &&
               scene->GetSkinConfig().GetValueOr("Board.BottomRight.X", "") == "536";
    };
    EXPECT_TRUE(client.PumpUntil(skinIsTournament)) << "the tournament board is drawn";
    EXPECT_EQ(app->m_userConfig->GetValueOr(".preferences.board.pack", ""), "tournament");
    client.Stop();
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

TEST(AppStart, APgnFileComesUpOnTheBoardDrawnBeforeTheFileIsRead)
{
    CHarness client;
    ASSERT_TRUE(client.PrepareReturningUser("language=english\n")) << client.GetError();
    std::ofstream(client.Path("short.pgn")) << "[Event \"Short\"]\n[White \"A\"]\n[Black \"B\"]\n"
                                               "[Result \"1-0\"]\n\n1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# 1-0\n";
    if (!client.Start({"short.pgn"}))
        GTEST_SKIP() << client.GetError();
    ASSERT_TRUE(client.OnInitResult());
    CChessApp* app = client.GetApp();
    CChessWindow* canvas = app->m_frame->GetChessWindow();
    ASSERT_NE(canvas, nullptr);
    EXPECT_FALSE(app->m_frame->IsBrowserView());
    EXPECT_FALSE(app->m_frame->GetBrowserPanel()->IsShown());
    ASSERT_TRUE(canvas->HasContext());
    int width = 0, height = 0;
    canvas->GetSceneSize(width, height);
    EXPECT_GT(width * height, 0) << "the skin is loaded";
    // The window's first paint draws the board again; the console says so.
    EXPECT_TRUE(client.PumpUntil([&] { return canvas->IsFirstFrameDone(); }));
    for (int i = 0; i < client.GetPrompt().GetCount(); ++i)
        ADD_FAILURE() << "said: " << client.GetPrompt().GetQuestion(i).text.GetText();
    client.Stop();
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

} // namespace
