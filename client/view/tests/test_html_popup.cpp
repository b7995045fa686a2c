// The online service's popups under Xvfb: their pages, their close and
// time-out links, the close timer and the owner's list.

#include <gtest/gtest.h>

#include <string>

#include "client/dialogs/LinkHandler.h"
#include "client/dialogs/tests/support/GuiTest.h"
#include "client/view/HtmlPopup.h"
#include "client/view/tests/support/GuiLeaks.h"
#include "client/view/tests/support/HtmlFixture.h"
#include "client/view/tests/support/HtmlWindowProbe.h"

using Zorlin::CString;

namespace {

class CRecordingHandler : public CLinkHandler {
public:
    bool HandleLink(const CString& link) override
    {
        links.push_back(link.GetText());
        return accept.empty() || link == accept.c_str();
    }
    std::vector<std::string> links;
    std::string accept; // empty: every link
};

class HtmlPopupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        std::system(("cp -r '" + std::string(ROOKWELL_SOURCE) + "/data/html' '" + fx.program + "/'").c_str());
    }
    void TearDown() override
    {
        for (wxWindowRef& popup : made)
            if (popup)
                popup->Destroy();
        GuiTest::Pump();
    }

    CHtmlPopup* Make(const char* page, const CHtmlVariables* variables = nullptr)
    {
        CHtmlPopup* popup = new CHtmlPopup(nullptr, "New Player Online", page, variables);
        popup->SetLinkHandler(&handler);
        popup->m_ownerList = &owners;
        owners.Add(popup);
        popup->Show();
        made.emplace_back(popup);
        return popup;
    }

    void FireTimer(CHtmlPopup* popup)
    {
        wxTimerEvent event(popup->GetCloseTimer());
        popup->GetEventHandler()->ProcessEvent(event);
        GuiTest::Pump();
    }

    HtmlTest::CFixture fx;
    CRecordingHandler handler;
    CHtmlPopup::COwnerList owners;
    std::vector<wxWindowRef> made;
};

} // namespace

TEST_F(HtmlPopupTest, PageComesFromTheGameFolderFilledWithTheValues)
{
    CHtmlVariables values;
    values["name"] = "Ann";
    values["move"] = "12. ... Nf6";
    CHtmlPopup* popup = Make("takeback", &values);
    std::string text = HtmlTest::PageText(popup->GetView());
    EXPECT_NE(text.find("Ann would like to take back the game to move 12. ... Nf6."), std::string::npos) << text;
    EXPECT_TRUE(HtmlTest::HasLink(popup->GetView(), "takeback accept"));
    EXPECT_GE(popup->GetSize().y, 240);
    EXPECT_EQ(popup->GetSize().x, 380);
    EXPECT_EQ(std::string(popup->GetPageText().GetText()).find("*["), std::string::npos);
}

TEST_F(HtmlPopupTest, MissingPageStillOpensEmpty)
{
    CHtmlPopup* popup = Make("no such page");
    EXPECT_TRUE(popup->IsShown());
    EXPECT_TRUE(HtmlTest::Links(popup->GetView()).empty());
}

TEST_F(HtmlPopupTest, ClosingByTheTitleBarWithoutCloseLinkDestroysAndUnlinks)
{
    wxWindowRef popup = Make("message");
    ASSERT_EQ(owners.GetCount(), 1);
    GuiTest::CloseBox(popup.get());
    EXPECT_EQ(owners.GetCount(), 0);
    GuiTest::Pump();
    EXPECT_FALSE(popup);
    EXPECT_TRUE(handler.links.empty());
}

TEST_F(HtmlPopupTest, CloseLinkAskedWhenClosedAndARefusalKeepsThePopup)
{
    handler.accept = "nothing";
    CHtmlPopup* popup = Make("draw");
    popup->m_closeLink = "draw decline";
    wxWindowRef alive = popup;
    GuiTest::CloseBox(popup);
    GuiTest::Pump();
    EXPECT_EQ(handler.links, (std::vector<std::string>{"draw decline"}));
    EXPECT_TRUE(alive) << "the handler answered false";
    EXPECT_EQ(owners.GetCount(), 1);

    handler.accept = "draw decline";
    GuiTest::CloseBox(popup);
    GuiTest::Pump();
    EXPECT_FALSE(alive);
    EXPECT_EQ(owners.GetCount(), 0);
}

TEST_F(HtmlPopupTest, TimeOutFollowsItsLinkExactlyLikeAClick)
{
    // The session's new-player notice: "close" both ways.
    CHtmlPopup* clicked = Make("freesearchnotify");
    clicked->m_closeLink = clicked->m_timeoutLink = "close";
    CHtmlPopup* timed = Make("freesearchnotify");
    timed->m_closeLink = timed->m_timeoutLink = "close";
    timed->SetCloseTimer(50);
    EXPECT_TRUE(timed->IsCloseTimerRunning());
    wxWindowRef clickedRef = clicked, timedRef = timed;

    ASSERT_TRUE(HtmlTest::ClickLink(clicked->GetView(), "close"));
    GuiTest::Pump();
    FireTimer(timed);
    EXPECT_EQ(handler.links, (std::vector<std::string>{"close", "close"}));
    EXPECT_FALSE(clickedRef);
    EXPECT_FALSE(timedRef);
    EXPECT_EQ(owners.GetCount(), 0);
}

TEST_F(HtmlPopupTest, TimeOutWithoutLinkDestroysThePopup)
{
    CHtmlPopup* popup = Make("message");
    popup->SetCloseTimer(10);
    wxWindowRef alive = popup;
    FireTimer(popup);
    EXPECT_FALSE(alive);
    EXPECT_EQ(owners.GetCount(), 0);
    EXPECT_TRUE(handler.links.empty());
}

TEST_F(HtmlPopupTest, AnyClickStopsTheCloseTimerEvenWhenRefused)
{
    handler.accept = "nothing";
    CHtmlPopup* popup = Make("newgame");
    popup->SetCloseTimer(50);
    ASSERT_TRUE(HtmlTest::ClickLink(popup->GetView(), "newgame decline"));
    GuiTest::Pump();
    EXPECT_EQ(handler.links, (std::vector<std::string>{"newgame decline"}));
    EXPECT_FALSE(popup->IsCloseTimerRunning());
    EXPECT_TRUE(popup->IsShown());
}

TEST_F(HtmlPopupTest, WithoutHandlerLinksAndTheCloseBoxDoNothing)
{
    CHtmlPopup* popup = Make("gameover");
    popup->SetLinkHandler(nullptr);
    popup->m_closeLink = "close notify";
    popup->SetCloseTimer(50);
    wxWindowRef alive = popup;
    ASSERT_TRUE(HtmlTest::ClickLink(popup->GetView(), "search again"));
    GuiTest::CloseBox(popup);
    GuiTest::Pump();
    EXPECT_TRUE(alive);
    EXPECT_TRUE(popup->IsCloseTimerRunning()) << "the timer keeps running";
}

TEST_F(HtmlPopupTest, DismissFollowsTheCloseLinkOrJustCloses)
{
    CHtmlPopup* withLink = Make("reset");
    withLink->m_closeLink = "reset decline";
    CHtmlPopup* without = Make("message");
    wxWindowRef a = withLink, b = without;
    withLink->Dismiss();
    without->Dismiss();
    GuiTest::Pump();
    EXPECT_EQ(handler.links, (std::vector<std::string>{"reset decline"}));
    EXPECT_FALSE(a);
    EXPECT_FALSE(b);
    EXPECT_EQ(owners.GetCount(), 0);
}

TEST_F(HtmlPopupTest, DeletedPopupLeavesTheOwnerListToo)
{
    CHtmlPopup* popup = Make("message");
    Make("message");
    ASSERT_EQ(owners.GetCount(), 2);
    delete popup; // as at exit, without any close event
    EXPECT_EQ(owners.GetCount(), 1);
    EXPECT_NE(owners.GetHead()->value, popup);
}
