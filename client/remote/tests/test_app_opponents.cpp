// The application's opponent list lives as long as the application: made on
// first use (by any kind of remote play), gone with it. Run under the leak
// checker, a list left behind fails this program at its exit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <wx/app.h>
#include <wx/init.h>

#include "client/core/ChessApp.h"
#include "client/remote/OpponentList.h"
#include "client/remote/OpponentStore.h"
#include "client/remote/RemotePlay.h"
#include "client/remote/tests/support/RemoteFixture.h"
#include "testsupport/XvfbDisplay.h"
#include "client/view/tests/support/GuiLeaks.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

using namespace RemoteTest;

namespace {

TEST(AppOpponents, TheListIsMadeOnceAndGoesWithTheApplication)
{
    RookwellTest::CXvfbDisplay& display = RookwellTest::SharedDisplay();
    if (!display.IsReady())
        GTEST_SKIP() << display.GetError();
    setenv("DISPLAY", display.GetName().c_str(), 1);
    {
        CTestServices services;
        std::filesystem::create_directories(services.m_userFolder + "/opponents");
        for (const char* id : {"ABC123", "Def456"})
            WriteWholeFile(services.m_userFolder + "/opponents/" + id + ".cfg",
                           std::string("profile = {\n\tname = \"") + id + "\"\n}\n");
        InstallOnlinePlay();

        CChessApp* app = new CChessApp;
        wxApp::SetInstance(app);
        int argc = 1;
        char name[] = "tavrin";
        char* argv[] = {name, nullptr};
        ASSERT_TRUE(wxEntryStart(argc, argv));

        COpponentList& list = GetOpponentList();
        EXPECT_EQ(list.GetCount(), 2);
        ASSERT_NE(list.Find("abc123"), nullptr);
        EXPECT_TRUE(list.Find("abc123")->Load());
        EXPECT_EQ(app->m_opponentList, &list);

        // The toolkit's end deletes the application object.
        wxEntryCleanup();
        EXPECT_EQ(wxApp::GetInstance(), nullptr);
    }
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "blocks were left at the application's end";
#endif
}

} // namespace
