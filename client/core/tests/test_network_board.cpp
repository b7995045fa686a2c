// A network game on the real board canvas of the running client, its peer
// a plain loopback socket: the peer's move reaches the board while the
// scene is still busy with an animation.

#include <gtest/gtest.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/remote/NetPacket.h"
#include "client/remote/NetworkGame.h"
#include "client/remote/NetSocket.h"
#include "client/view/BoardRenderer.h"
#include "client/view/ChessWindow.h"
#include "client/view/tests/support/GuiLeaks.h"
#include "support/AppHarness.h"
#include "support/ClientEnvironment.h"

using AppTest::g_client;
using AppTest::g_skip;

namespace {

::testing::Environment* const g_environment = AppTest::AddClientEnvironment();

// A scene whose animation never ends: the canvas's tick never finds it quiet.
class CEndlessAnimation : public CBoardRenderer {
public:
    bool NeedsRedraw() override { return true; }
};

TEST(NetworkBoard, ThePeersMoveIsPlayedWhileTheSceneStillAnimates)
{
    if (!g_skip.empty())
        GTEST_SKIP() << g_skip;
    CChessFrame* frame = g_client->GetApp()->m_frame;
    ASSERT_NE(frame, nullptr);
    CChessWindow* canvas = frame->GetChessWindow();
    canvas->SetScene(new CEndlessAnimation);

    CNetworkGame* host = new CNetworkGame();
    host->SetColourChoice(BLACK);
    ASSERT_TRUE(host->StartServer(0));
    NetSocket::CConnectAttempt attempt;
    ASSERT_TRUE(attempt.Start("127.0.0.1", host->GetServerPort()));
    ASSERT_TRUE(g_client->PumpUntil([&] { return attempt.Check(0) != NetSocket::CConnectAttempt::kPending; }));
    CSocketBytes peer(attempt.TakeSocket());
    ASSERT_TRUE(peer.IsOpen());
    // The host gives its seat to a peer that answers its opening.
    const Zorlin::CBuffer version = NetPacket::Uint32(NetPacket::kProtocolVersion);
    ASSERT_TRUE(NetPacket::Send(peer, netpktProtocol, &version));
    ASSERT_TRUE(g_client->PumpUntil([&] { return host->IsInPlay() && canvas->GetGame() == host; }));
    ASSERT_TRUE(g_client->PumpUntil([&] { return canvas->IsShownOnScreen(); }))
        << "behind the browser the tick plays moves whatever the scene does";

    const Zorlin::CBuffer e4 = NetPacket::Move("e4");
    ASSERT_TRUE(NetPacket::Send(peer, netpktMove, &e4));
    EXPECT_TRUE(g_client->PumpUntil([&] { return host->GetBoard().GetPly() == 1; }));
    ASSERT_EQ(host->GetBoard().GetPly(), 1);
    EXPECT_STREQ(host->GetBoard().GetHistory().GetAt(0)->m_shortText, "e4");
    EXPECT_TRUE(canvas->GetScene()->NeedsRedraw());

    // The empty game again, which ends the network game; the board as it was.
    canvas->ResetView(new CGame, false, true);
    g_client->Pump();
    EXPECT_TRUE(canvas->ApplyBoardSkin("large wood"));
}

} // namespace
