// The online connection against a real peer on loopback: packets in and
// out, batches, a peer that closes, stops reading or sends garbage, and a
// connection that cannot be made.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <wx/event.h>

#include "client/remote/SocketConnection.h"
#include "client/remote/tests/support/RemoteFixture.h"
#include "foundation/OutputStream.h"

using namespace RemoteTest;
using Zorlin::CBuffer;

namespace {

std::string Packet(const std::string& payload)
{
    return Le(uint32_t(payload.size())) + payload;
}

// The server's end: a listener on 127.0.0.1 and the one connection it took.
class CLoopbackPeer : public CLoopbackServer {
public:
    explicit CLoopbackPeer(int receiveBuffer = 0) : CLoopbackServer(receiveBuffer) {}
    // What has arrived within ms.
    std::string Receive(int ms)
    {
        std::string got;
        pollfd fd = {m_connection, POLLIN, 0};
        while (poll(&fd, 1, ms) > 0) {
            char buffer[65536];
            ssize_t n = read(m_connection, buffer, sizeof(buffer));
            if (n <= 0)
                break;
            got.append(buffer, size_t(n));
            ms = 50;
        }
        return got;
    }
    // Whether the connection's end is read within ms.
    bool Ended(int ms)
    {
        pollfd fd = {m_connection, POLLIN, 0};
        while (poll(&fd, 1, ms) > 0) {
            char buffer[4096];
            ssize_t n = read(m_connection, buffer, sizeof(buffer));
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                return true;
        }
        return false;
    }
};

class CRecordingConnection : public CSocketConnection {
public:
    void OnConnecting() override { ++m_connecting; }
    void OnConnected() override { ++m_connected; }
    void OnDisconnected() override { ++m_disconnected; }
    bool OnPacket(CBuffer& payload) override
    {
        m_packets.emplace_back(reinterpret_cast<const char*>(payload.GetData()),
                               size_t(payload.GetSize() > 0 ? payload.GetSize() : 0));
        if (m_onPacket)
            m_onPacket();
        return true;
    }
    int m_connecting = 0;
    int m_connected = 0;
    int m_disconnected = 0;
    std::vector<std::string> m_packets;
    std::function<void()> m_onPacket;
};

class SocketConnection : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StartToolkit(); }

    // Connects to the peer and waits until both ends stand.
    void ConnectTo(CLoopbackPeer& peer, CRecordingConnection& connection)
    {
        const int before = connection.m_connected;
        EXPECT_TRUE(connection.Connect("127.0.0.1", peer.m_port));
        ASSERT_TRUE(PumpUntil([&] { return connection.m_connected > before && peer.Accept(); }));
    }
};

} // namespace

TEST_F(SocketConnection, PacketsArriveWholeAndInOrder)
{
    CLoopbackPeer peer;
    CRecordingConnection connection;
    ConnectTo(peer, connection);
    EXPECT_EQ(connection.m_connecting, 1);
    EXPECT_TRUE(connection.IsConnected());

    peer.Send(Packet("first") + Packet("second"));
    ASSERT_TRUE(PumpUntil([&] { return connection.m_packets.size() == 2; }));
    EXPECT_EQ(connection.m_packets[0], "first");
    EXPECT_EQ(connection.m_packets[1], "second");

    std::string big(5000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = char(i * 7);
    peer.Send(Packet(big));
    ASSERT_TRUE(PumpUntil([&] { return connection.m_packets.size() == 3; }));
    EXPECT_EQ(connection.m_packets[2], big);
    PumpEvents(50);
    EXPECT_EQ(connection.m_packets.size(), 3u);
    EXPECT_EQ(connection.m_disconnected, 0);
}

TEST_F(SocketConnection, SentPacketIsLengthAndPayload)
{
    CLoopbackPeer peer;
    CRecordingConnection connection;
    ConnectTo(peer, connection);
    EXPECT_TRUE(connection.SendPacket(BufferOf("hello")));
    EXPECT_EQ(peer.Receive(2000), Packet("hello"));
}

TEST_F(SocketConnection, BatchLeavesOnlyAtTheOutermostEnd)
{
    CLoopbackPeer peer;
    CRecordingConnection connection;
    ConnectTo(peer, connection);
    Zorlin::COutputStream& out = connection.GetOutput();
    out.Begin();
    out.WriteString("multiserver session begin");
    EXPECT_TRUE(connection.SendPacket(BufferOf("one")));
    out.Begin();
    EXPECT_TRUE(connection.SendPacket(BufferOf("two")));
    EXPECT_TRUE(out.End());
    EXPECT_EQ(peer.Receive(200), "");
    EXPECT_TRUE(out.End());
    EXPECT_EQ(peer.Receive(2000), "multiserver session begin" + Packet("one") + Packet("two"));
}

TEST_F(SocketConnection, PeerClosingIsReportedOnceAndCloseOnceMore)
{
    CLoopbackPeer peer;
    CRecordingConnection connection;
    ConnectTo(peer, connection);
    peer.CloseConnection();
    ASSERT_TRUE(PumpUntil([&] { return connection.m_disconnected > 0; }));
    PumpEvents(100);
    EXPECT_EQ(connection.m_disconnected, 1);
    EXPECT_FALSE(connection.IsConnected());
    // Nothing goes out on a lost connection, and nothing breaks.
    EXPECT_FALSE(connection.SendPacket(BufferOf("late")));
    connection.Close();
    EXPECT_EQ(connection.m_disconnected, 2);
}

TEST_F(SocketConnection, WritingToAPeerThatWentAwayFailsWithoutEndingTheClient)
{
    CLoopbackPeer peer;
    CRecordingConnection connection;
    ConnectTo(peer, connection);
    peer.CloseConnection();
    // The first writes may still land in the kernel; later ones meet the
    // reset. None may raise a signal that ends the program.
    bool anyFailed = false;
    for (int i = 0; i < 50 && !anyFailed; ++i) {
        anyFailed = !connection.SendPacket(BufferOf(std::string(1000, 'x')));
        PumpEvents(5);
    }
    EXPECT_TRUE(anyFailed);
}

TEST_F(SocketConnection, GarbageLengthEndsTheConnection)
{
    CLoopbackPeer peer;
    CRecordingConnection connection;
    ConnectTo(peer, connection);
    // Above the cap: nothing of it is stored, and what follows is not read.
    peer.Send(Le(CSocketConnection::kMaxPacketLength + 1) + std::string(3000, 'g') + Packet("after"));
    ASSERT_TRUE(PumpUntil([&] { return connection.m_disconnected == 1; }));
    EXPECT_FALSE(connection.IsConnected());
    EXPECT_TRUE(connection.m_packets.empty());
    // The connection can be made again and works.
    CLoopbackPeer second;
    ConnectTo(second, connection);
    second.Send(Packet("fresh"));
    ASSERT_TRUE(PumpUntil([&] { return connection.m_packets.size() == 1; }));
    EXPECT_EQ(connection.m_packets[0], "fresh");
}

TEST_F(SocketConnection, PartOfAPacketDoesNotJoinTheNextConnection)
{
    CRecordingConnection connection;
    {
        CLoopbackPeer peer;
        ConnectTo(peer, connection);
        peer.Send(Le(100) + "only part");
        PumpEvents(100);
        peer.CloseConnection();
        ASSERT_TRUE(PumpUntil([&] { return connection.m_disconnected == 1; }));
    }
    CLoopbackPeer peer;
    ConnectTo(peer, connection);
    peer.Send(Packet("whole"));
    ASSERT_TRUE(PumpUntil([&] { return !connection.m_packets.empty(); }));
    EXPECT_EQ(connection.m_packets, std::vector<std::string>{"whole"});
}

TEST_F(SocketConnection, RefusedAndImpossibleConnectionsAreReported)
{
    int port;
    {
        CLoopbackPeer gone;
        port = gone.m_port;
    }
    CRecordingConnection connection;
    EXPECT_TRUE(connection.Connect("127.0.0.1", port));
    ASSERT_TRUE(PumpUntil([&] { return connection.m_disconnected == 1; }));
    EXPECT_EQ(connection.m_connected, 0);

    EXPECT_TRUE(connection.Connect("", 4000));
    EXPECT_EQ(connection.m_disconnected, 2);
    EXPECT_TRUE(connection.Connect("127.0.0.1", 0));
    EXPECT_EQ(connection.m_disconnected, 3);
    EXPECT_EQ(connection.m_connecting, 3);
    EXPECT_EQ(connection.m_connected, 0);
}

TEST_F(SocketConnection, PeerThatStopsReadingMakesALongSendFail)
{
    CLoopbackPeer peer(4096);
    CRecordingConnection connection;
    connection.SetWriteTimeout(1);
    ConnectTo(peer, connection);
    // What our own code could never mean to send is refused outright.
    EXPECT_FALSE(connection.SendPacket(BufferOf(std::string(17 * 1024 * 1024, 'h'))));
    PumpEvents(50);
    EXPECT_TRUE(connection.IsConnected());
    // More than the kernel holds for a peer that reads nothing: the send
    // gives up at the time-out instead of holding the client for good.
    const CBuffer big = BufferOf(std::string(12 * 1024 * 1024, 'h'));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(connection.SendPacket(big));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(connection.m_disconnected, 0);
    // Half a packet went out, so nothing after it could be read: the
    // connection is closed once the sender is off the stack.
    ASSERT_TRUE(PumpUntil([&] { return connection.m_disconnected == 1; }));
    EXPECT_FALSE(connection.IsConnected());
}

// Counts, outside any connection, the packets handed to connections of
// this kind: what a deleted connection would still be given shows here.
class CCountingConnection : public CRecordingConnection {
public:
    bool OnPacket(CBuffer& payload) override
    {
        ++s_handled;
        return CRecordingConnection::OnPacket(payload);
    }
    static int s_handled;
};

int CCountingConnection::s_handled = 0;

TEST_F(SocketConnection, HandlerMayEndTheConnectionWhileAPacketIsHandled)
{
    CLoopbackPeer peer;
    CCountingConnection::s_handled = 0;
    CCountingConnection* connection = new CCountingConnection();
    ConnectTo(peer, *connection);
    bool deleted = false;
    connection->m_onPacket = [flag = &deleted, connection] {
        // The closure goes with the connection: copy what is needed first.
        bool* done = flag;
        delete connection;
        *done = true;
    };
    peer.Send(Packet("last") + Packet("never"));
    ASSERT_TRUE(PumpUntil([&] { return deleted; }));
    // The second packet came in the same read: it must not reach the deleted connection.
    PumpEvents(200);
    EXPECT_EQ(CCountingConnection::s_handled, 1);
    // The socket went with the connection: the peer reads the end of the stream.
    EXPECT_TRUE(peer.Ended(2000));
}

TEST_F(SocketConnection, AFloodIsReadInTurnsThatLetOtherEventsRun)
{
    CLoopbackPeer peer;
    CRecordingConnection connection;
    ConnectTo(peer, connection);
    // Slow handling, as of packets that each open a window: an event queued
    // by the first packet runs before the whole flood has been handled.
    wxEvtHandler other;
    size_t seenByOther = 0;
    connection.m_onPacket = [&] {
        if (connection.m_packets.size() == 1)
            other.CallAfter([&] { seenByOther = connection.m_packets.size(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    std::string flood;
    for (int i = 0; i < 300; ++i)
        flood += Packet("0123456789");
    peer.Send(flood);
    ASSERT_TRUE(PumpUntil([&] { return connection.m_packets.size() == 300; }, 20000));
    EXPECT_GT(seenByOther, 0u);
    EXPECT_LT(seenByOther, 300u) << "one input event handled the whole flood";
    EXPECT_EQ(connection.m_disconnected, 0);
}

TEST_F(SocketConnection, HandlerRunningTheEventLoopIsNotEnteredAgain)
{
    CLoopbackPeer peer;
    CRecordingConnection connection;
    ConnectTo(peer, connection);
    int depth = 0, deepest = 0;
    connection.m_onPacket = [&] {
        // As a modal message box would: events run inside the handler.
        ++depth;
        deepest = std::max(deepest, depth);
        if (connection.m_packets.size() == 1) {
            peer.Send(Packet("during"));
            PumpEvents(200);
        }
        --depth;
    };
    peer.Send(Packet("first"));
    ASSERT_TRUE(PumpUntil([&] { return connection.m_packets.size() == 2; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(connection.m_packets[1], "during");
}
