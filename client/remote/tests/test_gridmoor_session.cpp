// The online session against a scripted server on loopback: the login that
// leaves in one write, the server's notices, the new-player notice, kicks
// and refused lengths, and a listener that replaces itself while it runs.
#include <gtest/gtest.h>

#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "client/remote/GridmoorSession.h"
#include "client/remote/tests/support/RemoteFixture.h"
#include "foundation/Config.h"

using namespace RemoteTest;

namespace {

class CServerEnd : public CLoopbackServer {
public:
    // One read of what has arrived, waiting while the client's events run.
    std::string ReadOnce()
    {
        std::string got;
        PumpUntil([&] {
            pollfd fd = {m_connection, POLLIN, 0};
            if (poll(&fd, 1, 0) <= 0)
                return false;
            char buffer[65536];
            const ssize_t n = read(m_connection, buffer, sizeof(buffer));
            if (n > 0)
                got.assign(buffer, size_t(n));
            return true;
        });
        return got;
    }
    // Waits for exactly n more bytes.
    std::string ReadBytes(size_t n)
    {
        std::string got;
        PumpUntil([&] {
            pollfd fd = {m_connection, POLLIN, 0};
            while (got.size() < n && poll(&fd, 1, 0) > 0) {
                char buffer[4096];
                const ssize_t r = read(m_connection, buffer, std::min(sizeof(buffer), n - got.size()));
                if (r <= 0)
                    return true;
                got.append(buffer, size_t(r));
            }
            return got.size() >= n;
        });
        return got;
    }
    bool NothingWaiting()
    {
        pollfd fd = {m_connection, POLLIN, 0};
        return poll(&fd, 1, 0) == 0;
    }
};

class CRecordingListener : public CSessionListener {
public:
    void OnSessionState(int state) override { m_states.push_back(state); }
    bool OnPacket(const CPacketHeader& header, Zorlin::CFile&) override
    {
        m_types.push_back(int(header.m_type));
        return m_answer;
    }
    std::vector<int> m_states;
    std::vector<int> m_types;
    bool m_answer = true;
};

class CTestSession : public CGridmoorSession {
public:
    void ShowServerMessage(const Zorlin::CString& title, const Zorlin::CString& html) override
    {
        m_messages.push_back(std::string(title.GetText()) + "|" + html.GetText());
    }
    void ShowNewPlayerNotice() override { ++m_notices; }
    void PlayEffect(int effect) override { m_effects.push_back(effect); }
    std::vector<std::string> m_messages;
    std::vector<int> m_effects;
    int m_notices = 0;
};

const std::string kLoginBytes = std::string("multiserver session begin") + OnlineFrame(4, 0, "2\n") +
                                OnlineFrame(5, 0, "plumo\nplumo\nRookwell Lite Lite v1.24\n");

class GridmoorSession : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StartToolkit(); }

    void SetUp() override
    {
        m_services.m_programSettings.GetValue(".gridmoor.server") = "127.0.0.1";
        Zorlin::CString port;
        port.AppendFormat("%i", m_server.m_port);
        m_services.m_programSettings.GetValue(".gridmoor.port") = port;
        m_session.reset(new CTestSession());
        m_listener = new CRecordingListener();
        m_session->SetListener(m_listener);
        CGridmoorSession::SetLastOpponentId(0);
    }

    // Connects and takes the login; the listener has seen states 1 and 2.
    void LogIn()
    {
        EXPECT_FALSE(m_session->ConnectToServer());
        ASSERT_TRUE(PumpUntil([&] { return m_session->IsLoginSent() && m_server.Accept(); }));
        ASSERT_EQ(m_server.ReadBytes(kLoginBytes.size()), kLoginBytes);
        m_server.Send(OnlineFrame(129, 77, "") + OnlineFrame(130, 0, ""));
        ASSERT_TRUE(PumpUntil([&] { return m_session->IsLoggedIn(); }));
    }

    CTestServices m_services;
    CServerEnd m_server;
    std::unique_ptr<CTestSession> m_session;
    CRecordingListener* m_listener = nullptr;
};

} // namespace

TEST_F(GridmoorSession, LoginLeavesInOneWriteAndConnectingAgainSendsNothing)
{
    EXPECT_FALSE(m_session->ConnectToServer());
    ASSERT_TRUE(PumpUntil([&] { return m_session->IsLoginSent() && m_server.Accept(); }));
    // The opening text, the protocol and the login come in a single read.
    EXPECT_EQ(m_server.ReadOnce(), kLoginBytes);
    EXPECT_TRUE(m_session->ConnectToServer());
    m_session->SendKeepAlive();
    // The keep-alive is the next thing on the wire: the second connect sent nothing.
    EXPECT_EQ(m_server.ReadBytes(8), OnlineFrame(20, 0, ""));
    EXPECT_EQ(m_listener->m_states, (std::vector<int>{1, 2}));
}

TEST_F(GridmoorSession, ServerNoticesAndOtherPacketsGoToTheirPlaces)
{
    LogIn();
    EXPECT_EQ(m_session->GetClientId(), 77u);
    EXPECT_EQ(m_listener->m_states, (std::vector<int>{1, 2, 3}));
    m_server.Send(OnlineFrame(133, 0, "") + OnlineFrame(134, 0, "") + OnlineFrame(200, 0, "x") + OnlineFrame(140, 9, "abcd"));
    ASSERT_TRUE(PumpUntil([&] { return m_listener->m_types.size() == 2; }));
    // An empty administrator's message still opens its window.
    EXPECT_EQ(m_session->m_messages, (std::vector<std::string>{"Message from Admin|"}));
    EXPECT_EQ(m_listener->m_types, (std::vector<int>{200, 140}));
    EXPECT_EQ(m_session->m_effects.size(), 2u);
}

TEST_F(GridmoorSession, NewPlayerNoticeOnlyWhenArmedAndOnce)
{
    LogIn();
    // Unarmed: the notice shows nothing (the packet after it shows it was read).
    m_server.Send(OnlineFrame(143, 0, "") + OnlineFrame(200, 0, ""));
    ASSERT_TRUE(PumpUntil([&] { return m_listener->m_types.size() == 1; }));
    EXPECT_EQ(m_session->m_notices, 0);
    // Armed with no last opponent: only the free-search line.
    m_session->ArmPlayerNotify(true);
    EXPECT_EQ(m_server.ReadBytes(20), OnlineFrame(19, 0, "free search\n"));
    m_server.Send(OnlineFrame(143, 0, "") + OnlineFrame(143, 0, ""));
    ASSERT_TRUE(PumpUntil([&] { return m_session->m_notices == 1 && !m_session->IsNotifyArmed(); }));
    CGridmoorSession::SetLastOpponentId(4242);
    m_session->ArmPlayerNotify(true);
    const std::string expected = OnlineFrame(19, 0, "avoid=4242\nfree search\n");
    EXPECT_EQ(m_server.ReadBytes(expected.size()), expected);
    m_session->ArmPlayerNotify(false);
    m_server.Send(OnlineFrame(143, 0, "") + OnlineFrame(200, 0, ""));
    ASSERT_TRUE(PumpUntil([&] { return m_listener->m_types.size() == 2; }));
    EXPECT_EQ(m_session->m_notices, 1);
}

TEST_F(GridmoorSession, ProfilePacketsLeaveTogether)
{
    m_services.m_userSettings.GetValue(".profile.name") = "Ann";
    m_services.m_userSettings.GetValue(".profile.email") = "ann@example.org";
    m_services.m_userSettings.GetValue(".profile.id") = "abc123";
    m_services.m_userSettings.GetValue(".preferences.online.location") = "Chile";
    LogIn();
    m_session->SendProfile();
    const std::string expected = OnlineFrame(8, 0, "begin\nname\nAnn\ncountry\nChile\n") +
                                 OnlineFrame(9, 0, "begin\nname\nAnn\nemail\nann(at)example.org\ncountry\nChile\nRW ID\nabc123\n");
    EXPECT_EQ(m_server.ReadOnce(), expected);
}

TEST_F(GridmoorSession, KickShowsTheTextAndCloses)
{
    LogIn();
    m_server.Send(OnlineFrame(131, 0, "reason\n<b>Server going down</b>"));
    ASSERT_TRUE(PumpUntil([&] { return !m_listener->m_states.empty() && m_listener->m_states.back() == 4; }));
    EXPECT_EQ(m_session->m_messages, (std::vector<std::string>{"Disconnected from Server|<b>Server going down</b>"}));
    EXPECT_FALSE(m_session->IsConnected());
    EXPECT_EQ(m_session->GetClientId(), 0u);
}

TEST_F(GridmoorSession, LengthAboveTheCapClosesTheConnection)
{
    LogIn();
    m_server.Send(Le(70000) + std::string(64, 'x'));
    ASSERT_TRUE(PumpUntil([&] { return !m_listener->m_states.empty() && m_listener->m_states.back() == 4; }));
    EXPECT_FALSE(m_session->IsConnected());
    EXPECT_TRUE(m_listener->m_types.empty());
}

namespace {

// Installs its successor from inside its own handler and then keeps using
// itself, as the search dialog does when it starts the game.
class CSelfReplacingListener : public CSessionListener {
public:
    CSelfReplacingListener(CGridmoorSession& session, bool& deletedInHandler, bool& deleted)
        : m_session(session), m_deletedInHandler(deletedInHandler), m_deleted(deleted)
    {
    }
    ~CSelfReplacingListener() override
    {
        m_deleted = true;
        if (m_inHandler)
            m_deletedInHandler = true;
    }
    void OnSessionState(int) override {}
    bool OnPacket(const CPacketHeader&, Zorlin::CFile&) override
    {
        m_inHandler = true;
        m_session.SetListener(new CRecordingListener());
        ++m_handled;
        m_inHandler = false;
        return true;
    }
    CGridmoorSession& m_session;
    bool& m_deletedInHandler;
    bool& m_deleted;
    bool m_inHandler = false;
    int m_handled = 0;
};

} // namespace

TEST_F(GridmoorSession, ListenerReplacedInItsHandlerGoesAfterwards)
{
    LogIn();
    bool deletedInHandler = false, deleted = false;
    m_session->SetListener(new CSelfReplacingListener(*m_session, deletedInHandler, deleted));
    m_server.Send(OnlineFrame(140, 5, "abcd"));
    ASSERT_TRUE(PumpUntil([&] { return deleted; }));
    EXPECT_FALSE(deletedInHandler);
    EXPECT_NE(dynamic_cast<CRecordingListener*>(m_session->GetListener()), nullptr);
}
