// The HTML message box and the About dialog under Xvfb: size rules, where
// links go, the shared background, and the title music's pause and resume.

#include <gtest/gtest.h>

#include <string>

#include "foundation/BufferFile.h"

#include <wx/display.h>
#include <wx/frame.h>
#include <wx/settings.h>

#include "client/dialogs/AboutDialog.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/HtmlMessageBox.h"
#include "client/dialogs/LinkHandler.h"
#include "client/dialogs/tests/support/GuiTest.h"
#include "client/remote/GridmoorSession.h"
#include "client/remote/PacketHeader.h"
#include "client/view/WebPanel.h"
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
        return answer;
    }
    std::vector<std::string> links;
    bool answer = false;
};

std::string Lines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "line " + std::to_string(i) + "<br>";
    return text;
}

class HtmlMessage : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        std::system(("cp -r '" + std::string(ROOKWELL_SOURCE) + "/data/assets' '" + fx.program + "/'").c_str());
    }
    void TearDown() override { GuiTest::Pump(); }

    HtmlTest::CFixture fx;
};

} // namespace

TEST_F(HtmlMessage, ShortPageKeepsTheFirstSize)
{
    CHtmlMessageBox* box = new CHtmlMessageBox(nullptr, "Message from Admin", false);
    box->SetHtml("<p>Hello</p>");
    EXPECT_EQ(box->GetSize(), wxSize(CHtmlMessageBox::kInitialWidth, CHtmlMessageBox::kInitialHeight));
    EXPECT_NE(box->GetPageText().GetText(), nullptr);
    std::string page = box->GetPageText().GetText();
    EXPECT_EQ(page.find("<html><body bgcolor=\"#"), 0u) << page;
    EXPECT_NE(page.find("<font face=\"arial,Helvetica,san-serif\"><p>Hello</p></font></body></html>"),
              std::string::npos);
    EXPECT_NE(box->FindWindow(ID_HTMLMESSAGE_OK), nullptr);
    box->Destroy();
}

TEST_F(HtmlMessage, LongPageMakesTheBoxTallerByTheOverflow)
{
    CHtmlMessageBox* box = new CHtmlMessageBox(nullptr, "Engine", true);
    EXPECT_EQ(box->FindWindow(ID_HTMLMESSAGE_OK), nullptr) << "popup style has no button";
    int area = box->GetView()->GetClientSize().y;
    // Lines that never wrap: the page's height does not depend on the width.
    box->SetHtml(Lines(12).c_str());
    int page = box->GetView()->GetInternalRepresentation()->GetHeight();
    ASSERT_GT(page, area);
    EXPECT_EQ(box->GetSize().x, CHtmlMessageBox::kInitialWidth);
    EXPECT_EQ(box->GetSize().y, CHtmlMessageBox::kInitialHeight + page - area);
    EXPECT_GE(box->GetView()->GetClientSize().y, page);
    box->Destroy();
}

TEST_F(HtmlMessage, NoBoxGrowsPastTheScreenAndItsPageScrolls)
{
    CHtmlMessageBox* box = new CHtmlMessageBox(nullptr, "Long", true);
    box->SetHtml(Lines(600).c_str());
    int screen = wxDisplay(0u).GetClientArea().height;
    EXPECT_LE(box->GetSize().y, screen);
    EXPECT_GT(box->GetSize().y, CHtmlMessageBox::kInitialHeight);
    int page = box->GetView()->GetInternalRepresentation()->GetHeight();
    EXPECT_GT(page, box->GetView()->GetClientSize().y);
    EXPECT_GT(box->GetView()->GetVirtualSize().y, box->GetView()->GetClientSize().y) << "the page scrolls";
    box->Destroy();
}

TEST_F(HtmlMessage, WebAndMailLinksGoOutsideOthersToTheHandler)
{
    CRecordingHandler handler;
    CHtmlMessageBox* box = new CHtmlMessageBox(nullptr, "Links", true);
    box->SetHtml("<a href=\"HTTP://example.org\">w</a> <a href=\"MailTo:a@example.org\">m</a> "
                 "<a href=\"find opponent\">f</a>");
    box->Show();
    GuiTest::Pump();
    // Without a handler a plain link does nothing.
    ASSERT_TRUE(HtmlTest::ClickLink(box->GetView(), "find opponent"));
    GuiTest::Pump();
    box->SetLinkHandler(&handler);
    ASSERT_TRUE(HtmlTest::ClickLink(box->GetView(), "HTTP://example.org"));
    ASSERT_TRUE(HtmlTest::ClickLink(box->GetView(), "MailTo:a@example.org"));
    ASSERT_TRUE(HtmlTest::ClickLink(box->GetView(), "find opponent"));
    GuiTest::Pump();
    EXPECT_EQ(fx.opened, (std::vector<std::string>{"HTTP://example.org", "MailTo:a@example.org"}));
    EXPECT_EQ(handler.links, (std::vector<std::string>{"find opponent"}));
    box->Destroy();
}

TEST_F(HtmlMessage, HandledLinkClosesTheBoxAndTheBoardIsRedrawn)
{
    CRecordingHandler handler;
    handler.answer = true;
    wxWindowRef box = new CHtmlMessageBox(nullptr, "Close me", true);
    CHtmlMessageBox* raw = static_cast<CHtmlMessageBox*>(box.get());
    raw->SetLinkHandler(&handler);
    raw->SetHtml("<a href=\"close\">close</a>");
    raw->Show();
    raw->FollowLink("close");
    GuiTest::Pump();
    EXPECT_FALSE(box) << "destroyed";
    EXPECT_GE(fx.redraws, 1);
}

TEST_F(HtmlMessage, OkButtonAndCloseBoxDestroyTheBox)
{
    wxWindowRef first = new CHtmlMessageBox(nullptr, "OK", false);
    first->Show();
    GuiTest::Click(first.get(), ID_HTMLMESSAGE_OK);
    GuiTest::Pump();
    EXPECT_FALSE(first);
    wxWindowRef second = new CHtmlMessageBox(nullptr, "Close box", false);
    second->Show();
    GuiTest::CloseBox(second.get());
    GuiTest::Pump();
    EXPECT_FALSE(second);
}

TEST_F(HtmlMessage, BackgroundIsMadeOnceAndMutedTowardsTheFaceColour)
{
    CHtmlMessageBox* first = new CHtmlMessageBox(nullptr, "one", true);
    int loads = CHtmlMessageBox::GetBackgroundLoadCount();
    EXPECT_GE(loads, 1);
    CHtmlMessageBox* second = new CHtmlMessageBox(nullptr, "two", true);
    EXPECT_EQ(CHtmlMessageBox::GetBackgroundLoadCount(), loads);
    const wxBitmap* background = CHtmlMessageBox::GetBackground();
    ASSERT_NE(background, nullptr);
    ASSERT_TRUE(background->IsOk()) << "assets/images/misc/dialogback.jpg is shipped";
    // Each channel is face * 200 / 256 plus picture * 55 / 256: never far
    // from the face colour, whatever the picture.
    wxImage image = background->ConvertToImage();
    wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    for (int y = 0; y < image.GetHeight(); y += 37)
        for (int x = 0; x < image.GetWidth(); x += 41) {
            int low = face.Red() * 200 / 256, high = low + 55;
            EXPECT_GE(image.GetRed(x, y), low - 1);
            EXPECT_LE(image.GetRed(x, y), high + 1);
        }
    first->Destroy();
    second->Destroy();
}

// ---------------------------------------------------------------- about

TEST_F(HtmlMessage, AboutShowsThePageWithoutMusicWhenMusicIsOff)
{
    std::system(("cp -r '" + std::string(ROOKWELL_SOURCE) + "/data/html' '" + fx.program + "/'").c_str());
    fx.userSettings.GetValue("profile.name") = "Ann & Bob";
    {
        CAboutDialog about(nullptr, wxID_ANY);
        EXPECT_EQ(about.GetTitle(), "About Rookwell");
        EXPECT_FALSE(about.IsPlayingTitleMusic());
        std::string text = HtmlTest::PageText(about.GetPanel()->GetBrowser());
        EXPECT_NE(text.find("Rookwell 1.24"), std::string::npos) << text;
        EXPECT_NE(text.find("Ann & Bob"), std::string::npos) << text;
        std::string written = HtmlTest::ReadFile(fx.language + "/" + about.GetPanel()->GetPageFileName().GetText());
        EXPECT_EQ(written.find("*["), std::string::npos);
        EXPECT_NE(about.FindWindow(ID_ABOUT_OK), nullptr);
    }
    EXPECT_EQ(fx.musicRequests, 0) << "nothing paused or resumed";
    EXPECT_EQ(fx.music, nullptr);
}

TEST_F(HtmlMessage, AboutPausesTheMusicForItsTrackAndResumesIt)
{
    fx.userSettings.GetValue("preferences.music.enable") = "Yes";
    fx.programSettings.GetValue("music.title") = "title.ogg";
    {
        CAboutDialog about(nullptr, wxID_ANY);
        EXPECT_TRUE(about.IsPlayingTitleMusic());
        EXPECT_EQ(fx.musicRequests, 1) << "paused";
        int result = GuiTest::RunModal(about, [&] { GuiTest::Click(&about, ID_ABOUT_OK); });
        EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(fx.musicRequests, 2) << "resumed once the dialog went";
}

TEST_F(HtmlMessage, ReturnAndEscapeCloseTheBox)
{
    for (int key : {WXK_RETURN, WXK_ESCAPE, WXK_NUMPAD_ENTER}) {
        wxWindowRef box = new CHtmlMessageBox(nullptr, "Message from Engine", false);
        box->Show();
        wxKeyEvent press(wxEVT_CHAR_HOOK);
        press.m_keyCode = key;
        press.SetEventObject(box.get());
        box->GetEventHandler()->ProcessEvent(press);
        GuiTest::Pump();
        EXPECT_FALSE(box) << key;
    }
    // Other keys are the page's (scrolling and the like).
    wxWindowRef stays = new CHtmlMessageBox(nullptr, "Message from Engine", false);
    stays->Show();
    wxKeyEvent other(wxEVT_CHAR_HOOK);
    other.m_keyCode = WXK_DOWN;
    other.SetEventObject(stays.get());
    stays->GetEventHandler()->ProcessEvent(other);
    GuiTest::Pump();
    EXPECT_TRUE(stays);
    stays->Destroy();
    GuiTest::Pump();
}

TEST_F(HtmlMessage, ABoxShownModallyEndsItsRunWithTheKeysAndItsButton)
{
    for (int key : {int(WXK_RETURN), int(WXK_ESCAPE), 0}) {
        CHtmlMessageBox* box = new CHtmlMessageBox(nullptr, "Message from Admin", false);
        box->SetHtml("Welcome");
        const int result = GuiTest::RunModal(*box, [&] {
            if (key == 0) {
                GuiTest::Click(box, ID_HTMLMESSAGE_OK);
                return;
            }
            wxKeyEvent press(wxEVT_CHAR_HOOK);
            press.m_keyCode = key;
            press.SetEventObject(box);
            box->GetEventHandler()->ProcessEvent(press);
        });
        EXPECT_EQ(result, wxID_OK) << key;
        EXPECT_FALSE(box->IsModal());
        EXPECT_FALSE(box->IsBeingDeleted()) << "whoever showed it destroys it";
        box->Destroy();
        GuiTest::Pump();
    }
}

TEST_F(HtmlMessage, OpenBoxesAreFoundByTitleAndTextAndParentlessOnesClosed)
{
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "Frame");
    CHtmlMessageBox* greeting = new CHtmlMessageBox(nullptr, "Message from Fairy", false);
    greeting->SetHtml("Hello");
    greeting->ShowBeside(wxRect(0, 0, 100, 100));
    CHtmlMessageBox* owned = new CHtmlMessageBox(frame, "Message from Fairy", false);
    owned->SetHtml("Owned");
    owned->Show();
    EXPECT_EQ(CHtmlMessageBox::FindOpen("Message from Fairy", "Hello"), greeting);
    EXPECT_EQ(CHtmlMessageBox::FindOpen("Message from Fairy", "Other"), nullptr);
    EXPECT_EQ(CHtmlMessageBox::FindOpen("Message from Max", "Hello"), nullptr);
    // Shown beside the rectangle it was told to leave free.
    EXPECT_FALSE(greeting->GetScreenRect().Intersects(wxRect(0, 0, 100, 100)));
    wxWindowRef parentless = greeting;
    wxWindowRef child = owned;
    CHtmlMessageBox::CloseParentless();
    GuiTest::Pump();
    EXPECT_FALSE(parentless);
    EXPECT_TRUE(child);
    frame->Destroy();
    GuiTest::Pump();
    EXPECT_FALSE(child);
}

TEST_F(HtmlMessage, AFloodOfAdminMessagesKeepsOneWindowShowingTheLatest)
{
    CGridmoorSession* session = new CGridmoorSession();
    auto packet = [](int type, const std::string& body) {
        Zorlin::CBuffer payload;
        Zorlin::CBufferFile file(&payload);
        file.Open("packet", Zorlin::CFile::kModeWrite);
        CPacketHeader(type).Write(file);
        file.Write(body.data(), unsigned(body.size()));
        return payload;
    };
    for (int i = 0; i < 500; ++i) {
        Zorlin::CBuffer payload = packet(pktAdminMessage, "notice " + std::to_string(i));
        EXPECT_TRUE(session->OnPacket(payload));
    }
    GuiTest::Pump();
    int boxes = 0;
    for (wxWindow* window : wxTopLevelWindows) {
        CHtmlMessageBox* box = dynamic_cast<CHtmlMessageBox*>(window);
        if (box && !box->IsBeingDeleted() && box->GetTitle() == "Message from Admin")
            ++boxes;
    }
    EXPECT_EQ(boxes, 1);
    CHtmlMessageBox* box = CHtmlMessageBox::FindTitled("Message from Admin");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(std::string(box->GetText().GetText()), "notice 499");
    EXPECT_EQ(CHtmlMessageBox::FindTitled("Message from Fairy"), nullptr);
    // Closed, the next message opens a window again.
    wxWindowRef closed = box;
    box->Destroy();
    GuiTest::Pump();
    EXPECT_FALSE(closed);
    Zorlin::CBuffer again = packet(pktAdminMessage, "later");
    session->OnPacket(again);
    CHtmlMessageBox* next = CHtmlMessageBox::FindTitled("Message from Admin");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(std::string(next->GetText().GetText()), "later");
    next->Destroy();
    session->Destroy();
    GuiTest::Pump();
}
