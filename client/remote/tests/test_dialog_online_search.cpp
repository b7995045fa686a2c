// The opponent search window against a scripted server on loopback: login,
// search, match as the proposing client, a stranger's messages refused, the
// opponent's profile and begin, and the agreed game handed over; a match
// nobody asked for, a proposal with an impossible colour, the close box
// during a search and a server that goes away.
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/html/htmlwin.h>
#include <wx/stattext.h>

#include "client/core/AppServices.h"
#include "client/core/Prompt.h"
#include "client/dialogs/tests/support/GuiTest.h"
#include "client/remote/DialogOnlineSearch.h"
#include "client/remote/GridmoorSession.h"
#include "client/remote/OnlineGameStart.h"
#include "client/remote/OnlineSearchProtocol.h"
#include "client/remote/tests/support/RemoteFixture.h"
#include "foundation/Buffer.h"
#include "foundation/BufferFile.h"
#include "foundation/MemFile.h"

using namespace RemoteTest;
using Zorlin::CBuffer;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

// The window's timers run on a display that may be loaded.
const int kWait = 8000;

struct SPacket {
    int type = -1;
    uint32_t id = 0;
    std::string body;
};

class CScriptedServer : public CLoopbackServer {
public:
    // The next packet the client sent (after the opening text).
    SPacket Next()
    {
        SPacket packet;
        PumpUntil([&] {
            Fill();
            if (m_pending.size() < 4)
                return false;
            const uint32_t n = ReadLe(m_pending, 0);
            if (m_pending.size() < 4 + n)
                return false;
            const std::string payload = m_pending.substr(4, n);
            m_pending.erase(0, 4 + n);
            packet.type = uint8_t(payload[1]);
            const size_t header = uint8_t(payload[0]);
            if (payload[2] & 1)
                packet.id = ReadLe(payload, 4);
            packet.body = payload.substr(header);
            return true;
        }, kWait);
        return packet;
    }
    // Skips packets until one of type arrives.
    SPacket NextOf(int type)
    {
        for (int i = 0; i < 20; ++i) {
            SPacket packet = Next();
            if (packet.type == type || packet.type < 0)
                return packet;
        }
        return SPacket();
    }
    void TakeOpening()
    {
        PumpUntil([&] {
            Fill();
            return m_pending.size() >= 25;
        }, kWait);
        ASSERT_EQ(m_pending.substr(0, 25), "multiserver session begin");
        m_pending.erase(0, 25);
    }

private:
    void Fill()
    {
        Accept();
        if (m_connection < 0)
            return;
        pollfd fd = {m_connection, POLLIN, 0};
        while (poll(&fd, 1, 0) > 0) {
            char buffer[65536];
            const ssize_t n = read(m_connection, buffer, sizeof(buffer));
            if (n <= 0)
                return;
            m_pending.append(buffer, size_t(n));
        }
    }
    std::string m_pending;
};

class CQuietSession : public CGridmoorSession {
protected:
    void ShowServerMessage(const CString&, const CString&) override {}
    void ShowNewPlayerNotice() override {}
    void PlayEffect(int) override {}
};

SOnlineGameStart g_started;
int g_makes = 0;

CGridmoorSession* g_session = nullptr;

// As the online game does: the game's own listener takes over the session.
bool RecordGame(wxWindow*, const SOnlineGameStart& start)
{
    g_started = start;
    ++g_makes;
    if (g_session)
        g_session->SetListener(new CDefaultSessionListener());
    return true;
}

std::string ProfileOf(const char* name, const char* id)
{
    Zorlin::CConfig user;
    user.GetValue(".Profile.name") = name;
    user.GetValue(".Profile.ID") = id;
    user.GetValue(".preferences.online.location") = "Peru";
    Zorlin::CMemFile archive;
    archive.Open(CString("gridmoorprofile.rwf"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    EXPECT_TRUE(OnlineSearch::WriteProfile(archive, user, GetAppServices().GetUserDrive()));
    std::string bytes(archive.GetSize(), '\0');
    archive.Seek(0, CFile::kSeekStart);
    archive.Read(&bytes[0], unsigned(bytes.size()));
    return bytes;
}

std::string Forward(uint32_t from, uint32_t message, const std::string& body)
{
    return OnlineFrame(140, from, Le(message) + body);
}

class DialogOnlineSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        m_services.reset(new CTestServices());
        const std::string pages = std::string(ROOKWELL_SOURCE) + "/data/html/english/search/";
        for (const char* page : {"front", "connecting", "searching", "searchfail", "noconnect", "nologin", "disconnected",
                                 "found", "showopponent", "showopponentbegin", "timeout", "connectfail",
                                 "opponentleft", "search"})
            WriteWholeFile(m_services->m_programFolder + "/html/english/search/" + page + ".htm",
                           ReadWholeFile(pages + page + ".htm"));
        WriteWholeFile(m_services->m_programFolder + "/assets/images/misc/nophoto.bmp",
                       ReadWholeFile(std::string(ROOKWELL_SOURCE) + "/data/assets/images/misc/nophoto.bmp"));
        m_services->m_programSettings.GetValue(".gridmoor.server") = "127.0.0.1";
        CString port;
        port.AppendFormat("%i", m_server.m_port);
        m_services->m_programSettings.GetValue(".gridmoor.port") = port;
        m_services->m_userSettings.GetValue(".Profile.name") = "Me";
        m_services->m_userSettings.GetValue(".Profile.ID") = "Me1";
        m_prompt.Install();
        m_session.reset(new CQuietSession());
        g_session = m_session.get();
        CGridmoorSession::SetLastOpponentId(0);
        OnlineSearch::ResetAvoidCounter();
        g_makes = 0;
        SetOnlineGameMaker(RecordGame);
    }
    void TearDown() override
    {
        SetOnlineGameMaker(nullptr);
        g_session = nullptr;
        m_session.reset();
        m_services.reset();
    }

    // Connects the dialog's session and logs it in as client 5.
    void LogIn(CDialogOnlineSearch& dialog)
    {
        dialog.Begin();
        m_server.TakeOpening();
        EXPECT_EQ(m_server.Next().type, 4);
        EXPECT_EQ(m_server.Next().type, 5);
        m_server.Send(OnlineFrame(129, 5, "") + OnlineFrame(130, 0, ""));
        EXPECT_EQ(m_server.Next().type, 8);
        EXPECT_EQ(m_server.Next().type, 9);
        EXPECT_EQ(Label(dialog), "Logged in OK");
    }

    static std::string Label(wxDialog& dialog)
    {
        return GuiTest::Find<wxStaticText>(&dialog, 10159)->GetLabel().ToStdString();
    }

    CScriptedServer m_server;
    std::unique_ptr<CTestServices> m_services;
    std::unique_ptr<CQuietSession> m_session;
    CScriptedPrompt m_prompt;
};

} // namespace

TEST_F(DialogOnlineSearch, MatchedAsTheProposerTheAgreedGameIsHandedOver)
{
    CDialogOnlineSearch dialog(nullptr, wxID_ANY, m_session.get());
    LogIn(dialog);
    const int result = GuiTest::RunModal(dialog, [&] {
        GuiTest::Click(&dialog, 10162);
        SPacket settings = m_server.Next();
        EXPECT_EQ(settings.type, 8);
        EXPECT_NE(settings.body.find("rw.side\nwhite black\nid\n5\n"), std::string::npos) << settings.body;
        EXPECT_EQ(m_server.Next().body, "id=search1\nttl=60\nbegin\n");
        // The close box during a search only beeps.
        GuiTest::CloseBox(&dialog);
        EXPECT_TRUE(dialog.IsModal());
        m_server.Send(OnlineFrame(132, 0, ""));
        EXPECT_TRUE(PumpUntil([&] { return Label(dialog).rfind("Searching... ", 0) == 0; }, kWait));

        m_server.Send(OnlineFrame(11, 9, "first=yes\nid=9\nbegin\nrw.side\nwhite\nrw.timed\nyes\nrw.untimed\nno\n"));
        SPacket proposal = m_server.Next();
        EXPECT_EQ(proposal.type, 17);
        EXPECT_EQ(proposal.id, 9u);
        EXPECT_EQ(proposal.body.substr(0, 4), Le(3));
        // The peer asked for white: we play black, so the peer's Side is 0.
        EXPECT_NE(proposal.body.find("Side= 0"), std::string::npos) << proposal.body;
        EXPECT_NE(proposal.body.find("clock= 900"), std::string::npos) << proposal.body;
        SPacket profile = m_server.Next();
        EXPECT_EQ(profile.id, 9u);
        EXPECT_EQ(profile.body.substr(0, 4), Le(2));
        EXPECT_EQ(Label(dialog), "Retrieving details...");

        // A stranger's message is refused and changes nothing.
        m_server.Send(Forward(13, 4, ""));
        SPacket refusal = m_server.Next();
        EXPECT_EQ(refusal.type, 16);
        EXPECT_EQ(refusal.id, 13u);

        // We propose: a counter-proposal from the peer is refused, so both
        // sides keep the terms we sent.
        m_server.Send(Forward(9, 3, "Side = 0\ntimed = no\nclock = 60\n"));
        // Stored after the user's Yes to the question every profile gets.
        m_prompt.QueueButton(wxYES);
        m_server.Send(Forward(9, 2, ProfileOf("Eve", "Eve42")));
        EXPECT_TRUE(PumpUntil([&] { return Label(dialog) == "Begin in 10"; }, kWait));
        EXPECT_EQ(m_prompt.CountText("Would you like to add (or update) Eve's profile to your opponent list?"), 1);
        EXPECT_TRUE(FileExists(m_services->m_userFolder + "/opponents/Eve42.cfg"));

        // The same profile again and again neither asks again nor starts
        // the begin countdown afresh.
        EXPECT_TRUE(PumpUntil([&] { return Label(dialog) == "Begin in 9"; }, kWait));
        for (int i = 0; i < 3; ++i)
            m_server.Send(Forward(9, 2, ProfileOf("Eve", "Eve42")));
        m_server.Send(Forward(14, 4, ""));
        EXPECT_EQ(m_server.NextOf(16).id, 14u);
        EXPECT_EQ(m_prompt.GetCount(), 1);
        EXPECT_NE(Label(dialog), "Begin in 10");
        dialog.OnLinkClicked("BEGIN GAME");
        SPacket begin = m_server.Next();
        EXPECT_EQ(begin.id, 9u);
        EXPECT_EQ(begin.body, Le(4));
        m_server.Send(Forward(9, 4, ""));
        PumpUntil([&] { return !dialog.IsModal(); }, kWait);
    });
    EXPECT_EQ(result, 1);
    ASSERT_EQ(g_makes, 1);
    EXPECT_EQ(g_started.peerId, 9u);
    EXPECT_EQ(g_started.localSide, 1);
    EXPECT_TRUE(g_started.timed);
    EXPECT_EQ(g_started.clock, 900);
    EXPECT_EQ(g_started.opponentProfile.GetValueOr("name", ""), "Eve");
    EXPECT_GT(g_started.opponentPicture.GetSize(), 0);
    EXPECT_NE(dynamic_cast<CDefaultSessionListener*>(m_session->GetListener()), nullptr) << "the game's listener stays";
}

// A program folder that takes no "opponent.bmp" (here a folder is in its
// way, as a read-only install refuses the file): the page shows the
// no-photo picture, not what an earlier opponent left.
TEST_F(DialogOnlineSearch, AnOpponentPictureThatCannotBeWrittenShowsNoPhoto)
{
    m_services->m_userSettings.GetValue(".preferences.online.storeopponents") = "no";
    const std::string blocked = m_services->m_programFolder + "/opponent.bmp";
    ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
    CDialogOnlineSearch dialog(nullptr, wxID_ANY, m_session.get());
    LogIn(dialog);
    GuiTest::Click(&dialog, 10162);
    m_server.NextOf(10);
    m_server.Send(OnlineFrame(11, 9, "first=yes\nid=9\nbegin\nrw.side\nwhite\nrw.timed\nyes\nrw.untimed\nno\n"));
    m_server.NextOf(17);
    m_server.Send(Forward(9, 2, ProfileOf("Eve", "Eve42")));
    EXPECT_TRUE(PumpUntil([&] { return Label(dialog) == "Begin in 10"; }, kWait));
    EXPECT_EQ(std::string(dialog.GetOpponentPicturePath().GetText()),
              m_services->m_programFolder + "/assets/images/misc/nophoto.bmp");
    EXPECT_EQ(m_prompt.GetCount(), 0);

    // Once the file can be written again, the page shows it.
    ASSERT_EQ(rmdir(blocked.c_str()), 0);
    dialog.OnLinkClicked("BEGIN GAME");
    EXPECT_TRUE(PumpUntil([&] { return dialog.GetOpponentPicturePath() == CString(blocked.c_str()); }, kWait));
    EXPECT_EQ(ReadWholeFile(blocked).substr(0, 2), "BM");
}

TEST_F(DialogOnlineSearch, StrangeMatchesAndProposalsAreRefused)
{
    CDialogOnlineSearch dialog(nullptr, wxID_ANY, m_session.get());
    LogIn(dialog);
    // A match while nobody searches is answered by closing the link.
    m_server.Send(OnlineFrame(11, 21, "first=yes\nbegin\n"));
    SPacket refusal = m_server.Next();
    EXPECT_EQ(refusal.type, 16);
    EXPECT_EQ(refusal.id, 21u);

    GuiTest::Click(&dialog, 10162);
    m_server.NextOf(10);
    m_server.Send(OnlineFrame(11, 9, "first=no\nbegin\nrw.side\nwhite black\n"));
    m_server.NextOf(17);
    // A second match while matched goes the same way.
    m_server.Send(OnlineFrame(11, 30, "first=no\nbegin\n"));
    EXPECT_EQ(m_server.NextOf(16).id, 30u);
    // An impossible colour leaves the own terms; a wild clock is clamped.
    m_server.Send(Forward(9, 3, "Side = 7\ntimed = yes\nclock = 10\n") + Forward(9, 3, "Side = 1\ntimed = yes\nclock = 9999999\n") +
                  Forward(9, 2, ProfileOf("Bob", "../../x")));
    EXPECT_TRUE(PumpUntil([&] { return Label(dialog) == "Begin in 10"; }, kWait));
    // The page shows the terms as taken: black, and the clock at its most (99 minutes).
    const std::string shown = GuiTest::Find<wxHtmlWindow>(&dialog, 10161)->ToText().ToStdString();
    EXPECT_NE(shown.find("99 minute game"), std::string::npos) << shown;
    EXPECT_NE(shown.find("You will be playing black."), std::string::npos) << shown;
    // The id that climbs out of the opponents folder stores nothing anywhere.
    for (const std::string& path : {m_services->m_userFolder + "/x.cfg", m_services->m_userFolder + "/../x.cfg",
                                    m_services->m_userFolder + "/opponents/x.cfg", m_services->m_programFolder + "/x.cfg"})
        EXPECT_FALSE(FileExists(path)) << path;
    EXPECT_EQ(m_prompt.GetCount(), 0) << "a profile with a bad id is refused before any question";
    // No game maker answers: the search stays, the peer is let go and the user told.
    SetOnlineGameMaker(nullptr);
    dialog.OnLinkClicked("BEGIN GAME");
    m_server.NextOf(17);
    m_server.Send(Forward(9, 4, ""));
    EXPECT_EQ(m_server.NextOf(16).id, 9u);
    EXPECT_TRUE(PumpUntil([&] { return m_prompt.CountText("Online games are not available in this version.") == 1; }, kWait));
}

TEST_F(DialogOnlineSearch, ServerGoneDuringTheSearch)
{
    CDialogOnlineSearch dialog(nullptr, wxID_ANY, m_session.get());
    LogIn(dialog);
    GuiTest::Click(&dialog, 10162);
    m_server.NextOf(10);
    m_server.CloseConnection();
    EXPECT_TRUE(PumpUntil([&] { return Label(dialog) == "Disconnected"; }, kWait));
    EXPECT_FALSE(m_session->IsConnected());
    // The search is over: the close box ends the dialog now.
    EXPECT_EQ(GuiTest::RunModal(dialog, [&] { GuiTest::CloseBox(&dialog); }), 0);
}

namespace {

// Answers the "New Player Alert" once it is shown, from inside its modal run.
void AnswerNewPlayerAlert(bool alert)
{
    wxTheApp->CallAfter([alert] {
        for (wxWindow* window : wxTopLevelWindows) {
            wxDialog* dialog = dynamic_cast<wxDialog*>(window);
            if (dialog && dialog->GetTitle() == "New Player Alert" && dialog->IsModal()) {
                GuiTest::Toggle(dialog, 10197, alert);
                GuiTest::Click(dialog, 10198);
                return;
            }
        }
        ADD_FAILURE() << "no New Player Alert";
    });
}

} // namespace

TEST_F(DialogOnlineSearch, CancelAsksAboutNewPlayersAndKeepsTheSessionForThem)
{
    {
        CDialogOnlineSearch dialog(nullptr, wxID_ANY, m_session.get());
        LogIn(dialog);
        const int result = GuiTest::RunModal(dialog, [&] {
            AnswerNewPlayerAlert(true);
            GuiTest::Click(&dialog, 10164);
        });
        EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(m_server.NextOf(19).body, "free search\n");
    EXPECT_TRUE(m_session->IsConnected());
    EXPECT_TRUE(m_session->IsNotifyArmed());
    EXPECT_NE(dynamic_cast<CDefaultSessionListener*>(m_session->GetListener()), nullptr);

    // Opened on a standing connection, the dialog disarms the notice; left
    // without one, the session stays as it was found.
    {
        CDialogOnlineSearch dialog(nullptr, wxID_ANY, m_session.get());
        EXPECT_FALSE(m_session->IsNotifyArmed());
        dialog.Begin();
        const int result = GuiTest::RunModal(dialog, [&] {
            AnswerNewPlayerAlert(false);
            GuiTest::Click(&dialog, 10164);
        });
        EXPECT_EQ(result, 0);
    }
    EXPECT_TRUE(m_session->IsConnected());
    EXPECT_FALSE(m_session->IsNotifyArmed());
}

TEST_F(DialogOnlineSearch, CancelWithoutAlertClosesTheSessionItOpened)
{
    CDialogOnlineSearch dialog(nullptr, wxID_ANY, m_session.get());
    LogIn(dialog);
    const int result = GuiTest::RunModal(dialog, [&] {
        AnswerNewPlayerAlert(false);
        GuiTest::Click(&dialog, 10164);
    });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(m_session->IsConnected());
}
