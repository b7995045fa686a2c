// A start after an install of the board in use was cut short between the
// two renames of its swap: the old board was set aside and the new one not
// yet put in. The start puts the old board back before the canvas reads it,
// and the canvas draws it, not the standard board.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/view/ChessWindow.h"
#include "foundation/Config.h"
#include "support/AppHarness.h"
#include "support/PackageBuilder.h"
#include "client/view/tests/support/GuiLeaks.h"

namespace fs = std::filesystem;
using AppTest::CHarness;

namespace {

TEST(AppStart, TheBoardInUseIsPutBackWholeAfterAnInstallCutShort)
{
    CHarness client;
    ASSERT_TRUE(client.PrepareFolder("setuser = tester")) << client.GetError();
    fs::create_directories(client.Path("users/tester"));
    std::ofstream(client.Path("users/tester/user.cfg"))
        << "profile={id=ABC123\nname=Tess\n}\npreferences={board={pack=tournament\n}\nlanguage=english\n}\n";
    const std::string boards = client.Path("boards");
    fs::rename(boards + "/tournament", boards + "/.tournament.old-4000001");
    fs::copy(boards + "/large wood", boards + "/.tournament.new-4000001", fs::copy_options::recursive);

    if (!client.Start({}))
        GTEST_SKIP() << client.GetError();
    ASSERT_TRUE(client.OnInitResult());
    EXPECT_EQ(RookwellTest::ListFolder(boards), (std::vector<std::string>{"large wood", "tournament"}));
    const std::string committed = ROOKWELL_SOURCE "/data/boards/tournament";
    EXPECT_EQ(PackageTest::ListFiles(boards + "/tournament"), PackageTest::ListFiles(committed));
    EXPECT_EQ(PackageTest::ReadFile(boards + "/tournament/info.cfg"), PackageTest::ReadFile(committed + "/info.cfg"));

    CChessApp* app = client.GetApp();
    ASSERT_NE(app->m_frame, nullptr);
    CChessWindow* canvas = app->m_frame->GetChessWindow();
    ASSERT_NE(canvas, nullptr);
    // The skin comes with the first drawing of the shown board.
    app->m_frame->ShowBrowser(false, true);
    int width = 0;
    int height = 0;
    ASSERT_TRUE(client.PumpUntil([&] {
        canvas->GetSceneSize(width, height);
        return width > 0;
    })) << "the canvas never loaded a board";
    EXPECT_EQ(width, 560) << "the tournament board's picture, not the standard board's";
    EXPECT_EQ(app->m_userConfig->GetValueOr(".preferences.board.pack", ""), "tournament");
    // Neither the start nor the canvas had a board to complain about.
    for (int i = 0; i < client.GetPrompt().GetCount(); ++i) {
        const std::string caption = client.GetPrompt().GetQuestion(i).caption.GetText();
        EXPECT_TRUE(caption != "Problem" && caption != "Show Board") << client.GetPrompt().GetQuestion(i).text.GetText();
    }
    client.Stop();
    EXPECT_EQ(CHarness::GetAssertCount(), 0);
}

} // namespace
