// The online game's real windows under Xvfb: request popups filled with the
// escaped name, answered by their links or their close box, forgotten when
// they close, and gone with the game; the Send Challenge dialog.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <wx/checkbox.h>
#include <wx/spinctrl.h>

#include "client/core/Prompt.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/tests/support/GuiTest.h"
#include "client/remote/GameMessages.h"
#include "client/remote/GridmoorGame.h"
#include "client/remote/GridmoorGameWindows.h"
#include "client/remote/GridmoorLink.h"
#include "client/remote/PacketHeader.h"
#include "client/remote/SendChallengeDialog.h"
#include "client/view/tests/support/HtmlFixture.h"
#include "client/view/tests/support/HtmlWindowProbe.h"
#include "foundation/BufferFile.h"

using Zorlin::CBuffer;
using Zorlin::CBufferFile;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

const uint32_t kPeer = 12;

std::string Le(uint32_t value)
{
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[size_t(i)] = char(value >> (8 * i) & 0xFF);
    return out;
}

// Keeps the forwarded message types the game sends, with their bodies.
class CForwardLog : public CGridmoorLink {
public:
    bool IsConnected() override { return true; }
    bool Send(const CBuffer& payload) override
    {
        std::string bytes(reinterpret_cast<const char*>(payload.GetData()), size_t(payload.GetSize()));
        if (bytes.size() >= 12 && uint8_t(bytes[1]) == pktRequestForward)
            sent.push_back(std::to_string(uint8_t(bytes[8])) + ":" + bytes.substr(12));
        return true;
    }
    void BeginBatch() override {}
    void EndBatch() override {}
    void Close() override {}
    void ArmPlayerNotify(bool) override {}
    bool IsNotifyArmed() override { return false; }
    void Log(const CString&) override {}
    void SetLastOpponent(uint32_t) override {}
    void Listen(CGridmoorGame*) override {}
    void StopListening(CGridmoorGame*) override {}

    std::vector<std::string> sent;
};

class GridmoorWindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        std::system(("cp -r '" + std::string(ROOKWELL_SOURCE) + "/data/html' '" + fx.program + "/'").c_str());
        windows = new CGridmoorGameWindows();
        game.reset(new CGridmoorGame(&link, windows));
        game->LinkOpponent(kPeer);
        Zorlin::CConfig profile;
        profile.GetValue("name") = "<i>Bo</i>";
        game->SetOpponentProfile(profile);
        game->BeginGame(WHITE, kPeer);
        Peer(chpktResume);
        link.sent.clear();
    }
    void TearDown() override
    {
        game.reset();
        GuiTest::Pump();
    }

    void Peer(uint32_t message, const std::string& body = "")
    {
        std::string bytes = Le(message) + body;
        CBuffer buffer;
        buffer.Resize(int(bytes.size()));
        buffer.WriteAt(bytes.data(), int(bytes.size()), 0);
        CBufferFile file(&buffer);
        file.Open("body", CFile::kModeRead);
        game->OnSessionPacket(CPacketHeader(pktForward, kPeer), file);
    }
    void Play(const char* san)
    {
        CMove move;
        ASSERT_TRUE(game->GetBoard().ParseMove(san, move, true));
        game->GetBoard().MakeMove(move, 0.0);
    }
    // The open popup of the page, found among the top-level windows.
    CHtmlPopup* Popup(const char* title)
    {
        for (wxWindow* window : wxTopLevelWindows)
            if (CHtmlPopup* popup = dynamic_cast<CHtmlPopup*>(window))
                if (popup->GetTitle() == title && !popup->IsBeingDeleted())
                    return popup;
        return nullptr;
    }

    HtmlTest::CFixture fx;
    CScriptedPrompt prompt;
    CForwardLog link;
    CGridmoorGameWindows* windows = nullptr;
    std::unique_ptr<CGridmoorGame> game;
};

} // namespace

TEST_F(GridmoorWindowsTest, ATakebackPopupShowsTheEscapedNameAndItsAcceptLinkAnswers)
{
    Play("e4");
    Play("e5");
    Peer(chpktRequestTakeback, "1\n");
    CHtmlPopup* popup = Popup("Take-back Requested");
    ASSERT_NE(popup, nullptr);
    std::string text = HtmlTest::PageText(popup->GetView());
    EXPECT_NE(text.find("<i>Bo</i> would like to take back the game to move 1. ... e5."), std::string::npos) << text;
    EXPECT_TRUE(windows->IsRequestOpen(CGridmoorGameUi::kTakeback));
    ASSERT_TRUE(HtmlTest::ClickLink(popup->GetView(), "takeback accept"));
    GuiTest::Pump();
    EXPECT_EQ(Popup("Take-back Requested"), nullptr);
    EXPECT_FALSE(windows->IsRequestOpen(CGridmoorGameUi::kTakeback)) << "a closed popup is forgotten";
    EXPECT_EQ(link.sent, std::vector<std::string>{ "8:1\n" });
    EXPECT_EQ(game->GetBoard().GetPly(), 1);
    // Nothing is left to close or to answer twice.
    windows->CloseRequests();
    windows->DismissAll();
    EXPECT_EQ(link.sent.size(), 1u);
}

TEST_F(GridmoorWindowsTest, TheCloseBoxDeclinesAndAMoveDismissesTheOffer)
{
    Play("e4");
    Peer(chpktRequestDraw);
    CHtmlPopup* popup = Popup("Draw Offer");
    ASSERT_NE(popup, nullptr);
    GuiTest::CloseBox(popup);
    GuiTest::Pump();
    EXPECT_EQ(Popup("Draw Offer"), nullptr);
    EXPECT_EQ(link.sent, std::vector<std::string>{ "10:no\n" });

    // A second offer, then the opponent moves: the offer is declined once.
    Peer(chpktRequestDraw);
    ASSERT_NE(Popup("Draw Offer"), nullptr);
    Peer(chpktMove, "e5\n");
    GuiTest::Pump();
    EXPECT_EQ(Popup("Draw Offer"), nullptr);
    EXPECT_EQ(link.sent, (std::vector<std::string>{ "10:no\n", "10:no\n" }));
}

TEST_F(GridmoorWindowsTest, ReturnOrEscapeOnARequestSendsItsDecline)
{
    Play("e4");
    Play("e5");
    int key = WXK_RETURN;
    for (const char* expected : {"10:no\n", "8:no\n"}) {
        if (key == WXK_RETURN)
            Peer(chpktRequestDraw);
        else
            Peer(chpktRequestTakeback, "1\n");
        CHtmlPopup* popup = Popup(key == WXK_RETURN ? "Draw Offer" : "Take-back Requested");
        ASSERT_NE(popup, nullptr);
        wxKeyEvent press(wxEVT_CHAR_HOOK);
        press.m_keyCode = key;
        press.SetEventObject(popup);
        popup->GetEventHandler()->ProcessEvent(press);
        GuiTest::Pump();
        EXPECT_EQ(Popup(key == WXK_RETURN ? "Draw Offer" : "Take-back Requested"), nullptr);
        ASSERT_FALSE(link.sent.empty());
        EXPECT_EQ(link.sent.back(), expected) << "the other side is answered";
        key = WXK_ESCAPE;
    }
}

TEST_F(GridmoorWindowsTest, TheOptionsOfferTheSameOpponentOnlyWhileLinkedAndGoWithANewGame)
{
    windows->ShowGameOverOptions(game.get(), true);
    CHtmlPopup* options = Popup("Gridmoor Options");
    ASSERT_NE(options, nullptr);
    EXPECT_NE(HtmlTest::PageText(options->GetView()).find("Propose another game"), std::string::npos);
    // One at a time: the next replaces it, here without the offer.
    windows->ShowGameOverOptions(game.get(), false);
    GuiTest::Pump();
    int count = 0;
    for (wxWindow* window : wxTopLevelWindows)
        if (CHtmlPopup* popup = dynamic_cast<CHtmlPopup*>(window))
            count += popup->GetTitle() == "Gridmoor Options" && !popup->IsBeingDeleted();
    EXPECT_EQ(count, 1);
    options = Popup("Gridmoor Options");
    ASSERT_NE(options, nullptr);
    const std::string text = HtmlTest::PageText(options->GetView());
    EXPECT_EQ(text.find("Propose another game"), std::string::npos) << text;
    EXPECT_NE(text.find("Find a new opponent"), std::string::npos) << text;
    // What next is answered when the next game begins.
    windows->ShowNewGame();
    GuiTest::Pump();
    EXPECT_EQ(Popup("Gridmoor Options"), nullptr);
}

TEST_F(GridmoorWindowsTest, PopupsGoWithTheGameAndNeverCallIt)
{
    Peer(chpktRequestReset);
    Peer(chpktGameProposal, "timed = yes\r\nclock = 300\r\n");
    ASSERT_NE(Popup("New Game Propsal"), nullptr);
    std::string text = HtmlTest::PageText(Popup("New Game Propsal")->GetView());
    EXPECT_NE(text.find("<i>Bo</i> proposes a new 5 minute game."), std::string::npos) << text;
    wxWindowRef reset = Popup("Reset Request");
    ASSERT_TRUE(reset);
    game.reset();
    GuiTest::Pump();
    EXPECT_FALSE(reset);
    EXPECT_EQ(Popup("New Game Propsal"), nullptr);
    for (const std::string& sent : link.sent)
        EXPECT_EQ(sent.rfind("13:", 0), std::string::npos) << "no answer sent for a closed game";
}

TEST_F(GridmoorWindowsTest, SendChallengeKeepsMinutesWithinOneToNinetyNine)
{
    EXPECT_EQ(CSendChallengeDialog::ChosenMinutes(true, 150), 99);
    EXPECT_EQ(CSendChallengeDialog::ChosenMinutes(true, 0), 1);
    EXPECT_EQ(CSendChallengeDialog::ChosenMinutes(false, 30), 0);

    struct SCase {
        bool check;
        const char* typed;
        int button;
        int result;
        int minutes;
    } cases[] = {
        { true, "150", ID_CHALLENGE_SEND, 1, 99 },
        { true, "0", ID_CHALLENGE_SEND, 1, 1 },
        { false, "30", ID_CHALLENGE_SEND, 1, 0 },
        { true, "30", ID_CHALLENGE_CANCEL, 0, 0 },
    };
    for (const SCase& c : cases) {
        CSendChallengeDialog dialog(nullptr);
        dialog.SetValues(false, 5);
        wxSpinCtrl* spin = dynamic_cast<wxSpinCtrl*>(dialog.FindWindow(ID_CHALLENGE_MINUTES));
        ASSERT_NE(spin, nullptr);
        EXPECT_FALSE(spin->IsEnabled());
        int result = GuiTest::RunModal(dialog, [&] {
            if (c.check) {
                wxCheckBox* box = dynamic_cast<wxCheckBox*>(dialog.FindWindow(ID_CHALLENGE_TIMED));
                box->SetValue(true);
                wxCommandEvent toggle(wxEVT_CHECKBOX, ID_CHALLENGE_TIMED);
                toggle.SetInt(1);
                toggle.SetEventObject(box);
                box->GetEventHandler()->ProcessEvent(toggle);
                EXPECT_TRUE(spin->IsEnabled());
            }
            spin->SetValue(c.typed);
            GuiTest::Click(&dialog, c.button);
        });
        EXPECT_EQ(result, c.result) << c.typed;
        EXPECT_EQ(dialog.GetMinutes(), c.minutes) << c.typed;
    }
}
