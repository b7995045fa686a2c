// The chat pane under a private X server: lines reach it in one batch per
// turn of the event loop, with one sound, and a flood leaves only the
// transcript's newest lines in the window.

#include <gtest/gtest.h>

#include <string>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/textctrl.h>

#include "client/view/ChatWindow.h"
#include "client/core/WxText.h"
#include "testsupport/XvfbDisplay.h"
#include "client/view/tests/support/GuiLeaks.h"

using Zorlin::CString;

namespace {

class ChatWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!RookwellTest::SharedDisplay().IsReady())
            return;
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        wxApp::SetInstance(new wxApp);
        s_started = wxEntryStart(argc, argv);
        if (s_started)
            wxTheApp->CallOnInit();
    }
    static void TearDownTestSuite()
    {
        if (s_started)
            wxEntryCleanup();
        s_started = false;
    }
    void SetUp() override
    {
        if (!s_started)
            GTEST_SKIP() << "no X server";
        m_frame = new wxFrame(nullptr, wxID_ANY, "chat", wxDefaultPosition, wxSize(500, 300));
        m_chat = new CChatWindow(m_frame);
        m_frame->Show();
    }
    void TearDown() override
    {
        if (!s_started)
            return;
        m_frame->Destroy();
        Turn();
    }
    static void Turn()
    {
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
    }
    std::string Shown() const { return std::string(m_chat->GetTranscript()->GetValue().utf8_str().data()); }

    static bool s_started;
    wxFrame* m_frame = nullptr;
    CChatWindow* m_chat = nullptr;
};

bool ChatWindow::s_started = false;

} // namespace

TEST_F(ChatWindow, LinesOfOneTurnArriveTogetherWithOneSound)
{
    m_chat->AddNotice("You are talking to Ann.");
    m_chat->AddMessage("Ann", "hello");
    m_chat->AddMessage("Ann", "are you there?");
    EXPECT_EQ(Shown(), "") << "nothing is drawn until the event loop turns";
    EXPECT_EQ(m_chat->GetSoundCount(), 0);
    Turn();
    EXPECT_EQ(Shown(), "You are talking to Ann.\nAnn: hello\nAnn: are you there?");
    EXPECT_EQ(m_chat->GetSoundCount(), 1);

    m_chat->AddNotice("Ann has left the game.");
    Turn();
    EXPECT_EQ(m_chat->GetSoundCount(), 1) << "a notice makes no sound";
    EXPECT_EQ(Shown(), "You are talking to Ann.\nAnn: hello\nAnn: are you there?\nAnn has left the game.");

    m_chat->Clear();
    m_chat->AddMessage("Bob", "hi");
    Turn();
    EXPECT_EQ(Shown(), "Bob: hi") << "the first line after clearing has no break above it";
}

TEST_F(ChatWindow, AFloodLeavesTheNewestLinesWithinTheCaps)
{
    // Shown first, so the flood must remove lines from the window's top.
    for (int i = 0; i < 20; ++i)
        m_chat->AddMessage("Ann", "early");
    Turn();
    const std::string long8k(8000, 'z');
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 200; ++i) {
            CString text;
            text.AppendFormat("%d-%d ", round, i);
            text.Append(long8k.c_str());
            // Non-ASCII text: the window counts characters, not bytes.
            text.Append(" \xC3\xA9t\xC3\xA9");
            m_chat->AddMessage("Flood\xC3\xA9r", text);
        }
        Turn();
    }
    const CChatTranscript& lines = m_chat->GetLines();
    EXPECT_LE(lines.GetBytes(), CChatTranscript::kMaxBytes);
    EXPECT_LE(lines.GetCount(), CChatTranscript::kMaxLines);
    EXPECT_EQ(m_chat->GetSoundCount(), 5) << "one sound per batch";

    // The window shows exactly the transcript's lines, oldest first.
    std::string expected;
    for (int i = 0; i < lines.GetCount(); ++i) {
        if (i > 0)
            expected += "\n";
        expected += std::string(lines.GetLine(i).name.GetText()) + ": " + lines.GetLine(i).text.GetText();
    }
    const std::string shown = Shown();
    EXPECT_EQ(shown.size(), expected.size());
    EXPECT_TRUE(shown == expected) << "the window and the transcript differ";
    EXPECT_EQ(shown.find("early"), std::string::npos);
    EXPECT_NE(shown.find("3-199 "), std::string::npos);
}
