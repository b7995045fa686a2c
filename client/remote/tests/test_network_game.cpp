// Network games over real loopback sockets: the handshake on the wire, two
// games playing each other, and a stranger's peer that sends moves out of
// turn, answers nobody asked for, garbage and half frames.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>
#include <wx/defs.h>

#include "client/core/PhotoFit.h"
#include "client/core/ProfileArchive.h"
#include "client/core/Prompt.h"
#include "client/remote/NetPacket.h"
#include "client/remote/NetworkGame.h"
#include "client/remote/NetworkPlayer.h"
#include "client/remote/tests/support/RemoteFixture.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/AutoPointer.h"
#include "foundation/Image.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"

using namespace RemoteTest;
using Zorlin::CBuffer;
using Zorlin::CString;

namespace {

struct SFrame {
    uint32_t type = 0;
    std::string payload;
};

// A peer written by hand: a plain blocking socket joined to a game.
class CRawPeer {
public:
    explicit CRawPeer(int port)
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(uint16_t(port));
        m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        m_error = errno;
    }
    ~CRawPeer() { close(m_fd); }
    bool IsConnected() const { return m_connected; }
    int GetError() const { return m_error; }
    void Send(const std::string& bytes) { ASSERT_EQ(write(m_fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    // Takes what has arrived without waiting.
    void Take()
    {
        char chunk[4096];
        for (;;) {
            pollfd ready = { m_fd, POLLIN, 0 };
            if (poll(&ready, 1, 0) <= 0)
                return;
            const ssize_t n = read(m_fd, chunk, sizeof(chunk));
            if (n <= 0) {
                m_closed = true;
                return;
            }
            m_in.append(chunk, size_t(n));
        }
    }
    bool HasFrame()
    {
        Take();
        if (m_in.size() < 4)
            return false;
        const uint32_t length = ReadLe(m_in, 0);
        return m_in.size() >= 4 + size_t(length);
    }
    // The next whole frame, pumping the toolkit (and so the game) meanwhile.
    SFrame Next()
    {
        SFrame frame;
        if (!PumpUntil([&] { return HasFrame(); }))
            return frame;
        const uint32_t length = ReadLe(m_in, 0);
        const std::string body = m_in.substr(4, length);
        m_in.erase(0, 4 + size_t(length));
        frame.type = uint32_t(uint8_t(body[0])) | uint32_t(uint8_t(body[1])) << 8;
        frame.payload = body.substr(4);
        return frame;
    }
    bool IsClosed()
    {
        Take();
        return m_closed;
    }

private:
    int m_fd = -1;
    bool m_connected = false;
    bool m_closed = false;
    int m_error = 0;
    std::string m_in;
};

class NetworkGame : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StartToolkit(); }

    void SetUp() override
    {
        m_services.m_userSettings.GetValue("profile.name") = "Ann";
        m_services.m_userSettings.GetValue("profile.id") = "ann01";
        m_prompt.Install();
    }
    void TearDown() override
    {
        for (CNetworkGame* game : m_games)
            game->Destroy();
    }

    CNetworkGame* MakeGame()
    {
        m_games.push_back(new CNetworkGame());
        return m_games.back();
    }
    // A host playing White with a hand-written peer that has taken the
    // handshake (the host's protocol and identity, the peer's protocol,
    // the host's profile).
    CNetworkGame* HostWithPeer(std::unique_ptr<CRawPeer>& peer)
    {
        CNetworkGame* host = MakeGame();
        host->SetColourChoice(WHITE);
        EXPECT_TRUE(host->StartServer(0));
        peer.reset(new CRawPeer(host->GetServerPort()));
        EXPECT_TRUE(peer->IsConnected());
        EXPECT_EQ(peer->Next().type, uint32_t(netpktProtocol));
        EXPECT_EQ(peer->Next().type, uint32_t(netpktIdentity));
        peer->Send(NetFrame(netpktProtocol, Le(2)));
        EXPECT_EQ(peer->Next().type, uint32_t(netpktProfile));
        EXPECT_TRUE(host->IsInPlay());
        return host;
    }
    // A game joining the host at 127.0.0.1.
    CNetworkGame* Join(CNetworkGame* host)
    {
        m_services.m_programSettings.GetValue("network.port") = "";
        m_services.m_programSettings.GetValue("network.port").Append(host->GetServerPort());
        CNetworkGame* joiner = MakeGame();
        EXPECT_TRUE(joiner->Connect("127.0.0.1"));
        return joiner;
    }
    bool BothBegun(CNetworkGame* host, CNetworkGame* joiner)
    {
        return host->GetProtocol().HasBegun() && joiner->GetProtocol().HasBegun();
    }
    // The profile questions of both sides answered no; anything else asked
    // is counted as a fault.
    void AnswerProfilesOnly(int& unscripted)
    {
        m_prompt.SetResponder([&unscripted](const CScriptedPrompt::SQuestion& question) {
            CScriptedPrompt::SAnswer answer;
            answer.code = wxNO;
            if (std::string(question.text.GetText()).find("profile to your opponent list") == std::string::npos) {
                ADD_FAILURE() << "unscripted question: " << question.text.GetText();
                ++unscripted;
                answer.code = question.kind == CScriptedPrompt::kChoice ? -1 : wxNO;
            }
            return answer;
        });
    }
    size_t CountLog(const std::string& text) const
    {
        size_t count = 0;
        for (size_t at = m_services.m_consoleLog->find(text); at != std::string::npos;
             at = m_services.m_consoleLog->find(text, at + 1))
            ++count;
        return count;
    }
    // The user's move on the host's board, told to the peer as the board
    // canvas does.
    void PlayLocal(CNetworkGame* game, const char* san)
    {
        CMove move;
        ASSERT_TRUE(game->GetBoard().ParseSan(san, move, true)) << san;
        CString text;
        game->GetBoard().MakeSan(move, text);
        move.m_text = text;
        game->GetNetworkPlayer()->OpponentMoved(move);
        ASSERT_TRUE(game->GetBoard().MakeMove(move, 0.0));
    }
    // The peer's ready move, taken and made as the board canvas does.
    bool TakeRemote(CNetworkGame* game)
    {
        CNetworkPlayer* remote = game->GetNetworkPlayer();
        if (!PumpUntil([&] { return remote->HasMove(); }, 3000))
            return false;
        CMove move;
        return remote->GetMove(move) && game->GetBoard().MakeMove(move, 0.0);
    }

    CTestServices m_services;
    CScriptedPrompt m_prompt;
    std::vector<CNetworkGame*> m_games;
};

TEST_F(NetworkGame, HostOpensWithProtocolAndIdentityAndBeginsWithTheAnswer)
{
    CNetworkGame* host = MakeGame();
    host->SetColourChoice(WHITE);
    ASSERT_TRUE(host->StartServer(0));
    const int port = host->GetServerPort();
    CRawPeer peer(port);
    ASSERT_TRUE(peer.IsConnected());

    SFrame protocol = peer.Next();
    EXPECT_EQ(protocol.type, uint32_t(netpktProtocol));
    EXPECT_EQ(protocol.payload, Le(2));
    SFrame identity = peer.Next();
    EXPECT_EQ(identity.type, uint32_t(netpktIdentity));
    EXPECT_EQ(identity.payload, Le(1) + "ann01"); // the joiner plays Black
    // No game, and nothing of the user's profile, before the answer; a
    // second caller waits in the listener's queue meanwhile.
    EXPECT_FALSE(host->IsInPlay());
    EXPECT_FALSE(host->GetProtocol().HasBegun());
    EXPECT_TRUE(host->IsListening());
    CRawPeer waiting(port);
    EXPECT_TRUE(waiting.IsConnected());

    peer.Send(NetFrame(netpktProtocol, Le(2)));
    SFrame profile = peer.Next();
    EXPECT_EQ(profile.type, uint32_t(netpktProfile));
    EXPECT_GT(profile.payload.size(), 0u);
    EXPECT_TRUE(host->IsInPlay());
    EXPECT_EQ(host->GetLocalPlayer()->GetColour(), WHITE);

    // One opponent a game: the caller who waited is let go, a later one is
    // turned away, not left waiting.
    EXPECT_FALSE(host->IsListening());
    EXPECT_TRUE(PumpUntil([&] { return waiting.IsClosed(); }));
    CRawPeer second(port);
    EXPECT_FALSE(second.IsConnected());
    EXPECT_EQ(second.GetError(), ECONNREFUSED);
    EXPECT_EQ(m_prompt.GetCount(), 0);
}

TEST_F(NetworkGame, ASilentStrangerLosesTheSeatAtTheDeadlineAndTheFriendPlays)
{
    const int limitMs = 2000;
    CNetworkGame* host = MakeGame();
    host->SetColourChoice(WHITE);
    host->SetOpeningLimit(limitMs);
    ASSERT_TRUE(host->StartServer(0));
    int unscripted = 0;
    AnswerProfilesOnly(unscripted);

    // The stranger takes the seat and says nothing, or a byte now and
    // then: bytes that make no frame are no answer.
    CRawPeer stranger(host->GetServerPort());
    ASSERT_TRUE(stranger.IsConnected());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(stranger.Next().type, uint32_t(netpktProtocol));
    ASSERT_EQ(stranger.Next().type, uint32_t(netpktIdentity));
    stranger.Send(std::string(1, '\x08'));
    CNetworkGame* friendGame = Join(host);
    ASSERT_TRUE(PumpUntil([&] { return BothBegun(host, friendGame); }, 30000));
    const long tookMs = long(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start).count());
    EXPECT_GE(tookMs, limitMs - 100) << "the seat was given up before the deadline";
    EXPECT_LT(tookMs, limitMs + 1000) << "the friend waited on past the deadline";
    EXPECT_TRUE(PumpUntil([&] { return stranger.IsClosed(); }));
    EXPECT_EQ(CountLog("No answer from the player in 2 s: connection closed"), 1u);

    // The friend plays the game the host shows.
    EXPECT_EQ(friendGame->GetLocalPlayer()->GetColour(), BLACK);
    EXPECT_EQ(friendGame->GetNetworkPlayer()->GetProperty("id"), "ann01");
    PlayLocal(host, "e4");
    ASSERT_TRUE(TakeRemote(friendGame));
    PlayLocal(friendGame, "e5");
    ASSERT_TRUE(TakeRemote(host));
    EXPECT_EQ(host->GetBoard().GetPly(), 2);
    EXPECT_FALSE(host->IsListening());
    EXPECT_EQ(unscripted, 0) << "no box for the stranger";
}

TEST_F(NetworkGame, AStrangerDroppedForABadFrameFreesTheSeatAtOnce)
{
    CNetworkGame* host = MakeGame();
    host->SetColourChoice(WHITE);
    ASSERT_TRUE(host->StartServer(0)); // the usual deadline: far off
    int unscripted = 0;
    AnswerProfilesOnly(unscripted);
    CRawPeer stranger(host->GetServerPort());
    ASSERT_TRUE(stranger.IsConnected());
    ASSERT_EQ(stranger.Next().type, uint32_t(netpktProtocol));
    // A frame of 4 GB is refused and the stranger dropped.
    stranger.Send(Le(0xFFFFFFF0u) + Le(netpktChat));
    ASSERT_TRUE(PumpUntil([&] { return stranger.IsClosed(); }));
    EXPECT_TRUE(host->IsListening());
    EXPECT_FALSE(host->IsInPlay());
    EXPECT_EQ(CountLog("Bad frame: connection closed"), 1u);

    CNetworkGame* friendGame = Join(host);
    ASSERT_TRUE(PumpUntil([&] { return BothBegun(host, friendGame); }));
    PlayLocal(host, "d4");
    ASSERT_TRUE(TakeRemote(friendGame));
    EXPECT_EQ(friendGame->GetBoard().GetPly(), 1);
    EXPECT_EQ(unscripted, 0) << "no box for the stranger";

    // A stranger who leaves before answering frees the seat as well.
    CNetworkGame* other = MakeGame();
    other->SetColourChoice(BLACK);
    ASSERT_TRUE(other->StartServer(0));
    {
        CRawPeer leaving(other->GetServerPort());
        ASSERT_TRUE(leaving.IsConnected());
        ASSERT_EQ(leaving.Next().type, uint32_t(netpktProtocol));
    }
    ASSERT_TRUE(PumpUntil([&] { return !other->IsPlayerConnected(); }));
    EXPECT_TRUE(other->IsListening());
    CRawPeer next(other->GetServerPort());
    ASSERT_TRUE(next.IsConnected());
    EXPECT_EQ(next.Next().type, uint32_t(netpktProtocol));
    SFrame identity = next.Next();
    EXPECT_EQ(identity.type, uint32_t(netpktIdentity));
    EXPECT_EQ(identity.payload.substr(0, 4), Le(WHITE)); // the host plays Black
    EXPECT_EQ(unscripted, 0);
}

TEST_F(NetworkGame, ALargeOwnPhotoLeavesFittedSoTheProfileFrameStaysSmall)
{
    // 1600 x 1200 in 24 bits, every pixel different: 5.7 MB on disk.
    Zorlin::CImage large(1600, 1200, 19);
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 1600; ++x)
            large.SetPixel(x, y, Zorlin::CColour(x % 256, y % 256, (x ^ y) % 256, 255));
    ASSERT_EQ(large.Save((m_services.m_userFolder + "/photo.bmp").c_str()), 0);
    CNetworkGame* host = MakeGame();
    host->SetColourChoice(WHITE);
    ASSERT_TRUE(host->StartServer(0));
    CRawPeer peer(host->GetServerPort());
    ASSERT_TRUE(peer.IsConnected());
    ASSERT_EQ(peer.Next().type, uint32_t(netpktProtocol));
    ASSERT_EQ(peer.Next().type, uint32_t(netpktIdentity));
    peer.Send(NetFrame(netpktProtocol, Le(2)));
    SFrame profile = peer.Next();
    ASSERT_EQ(profile.type, uint32_t(netpktProfile));
    EXPECT_LT(profile.payload.size(), 65536u);

    // What the peer receives is the 96 x 72 photo.
    Zorlin::CMemFile archive;
    archive.Open(CString("profile.rwf"), Zorlin::CFile::kModeRead | Zorlin::CFile::kModeWrite | Zorlin::CFile::kModeCreate);
    archive.Write(profile.payload.data(), unsigned(profile.payload.size()));
    Zorlin::CArchiveDrive drive;
    ASSERT_TRUE(archive.Seek(0, Zorlin::CFile::kSeekStart) && drive.Open(&archive, nullptr, false));
    Zorlin::CAutoPointer<Zorlin::CFile> photo =
        drive.OpenFile(Zorlin::CURL("/contents/photo.bmp"), Zorlin::CFile::kModeRead);
    ASSERT_TRUE(photo && photo->IsOpen() && !photo->IsNull());
    Zorlin::CImage received;
    ASSERT_EQ(received.Load(*photo), 0);
    EXPECT_EQ(received.GetWidth(), kPhotoWidth);
    EXPECT_EQ(received.GetHeight(), kPhotoHeight);
}

TEST_F(NetworkGame, TwoGamesPlayEachOtherOverLoopback)
{
    CNetworkGame* host = MakeGame();
    host->SetColourChoice(WHITE);
    ASSERT_TRUE(host->StartServer(0));
    m_services.m_programSettings.GetValue("network.port") = "";
    m_services.m_programSettings.GetValue("network.port").Append(host->GetServerPort());
    // Past the two profile questions scripted below, a further profile
    // question is answered yes and anything else is a fault.
    int unscripted = 0;
    m_prompt.SetResponder([&](const CScriptedPrompt::SQuestion& question) {
        CScriptedPrompt::SAnswer answer;
        const std::string text = question.text.GetText();
        if (question.kind == CScriptedPrompt::kMessage && text.find("profile to your opponent list") != std::string::npos) {
            answer.code = wxYES;
            return answer;
        }
        ADD_FAILURE() << "unscripted question: " << text;
        ++unscripted;
        answer.code = question.kind == CScriptedPrompt::kChoice ? -1 : wxNO;
        return answer;
    });
    CNetworkGame* joiner = MakeGame();
    // Each is asked whether to keep the other's profile.
    m_prompt.QueueButton(wxNO);
    m_prompt.QueueButton(wxNO);
    ASSERT_TRUE(joiner->Connect("127.0.0.1"));
    ASSERT_TRUE(PumpUntil([&] { return joiner->GetProtocol().HasBegun() && host->GetProtocol().HasBegun(); }));
    ASSERT_TRUE(PumpUntil([&] { return m_prompt.GetCount() == 2; }));
    EXPECT_EQ(m_prompt.CountText("Would you like to add (or update) Ann's profile to your opponent list?"), 2);
    EXPECT_EQ(joiner->GetLocalPlayer()->GetColour(), BLACK);
    EXPECT_EQ(joiner->GetNetworkPlayer()->GetProperty("id"), "ann01");

    const char* moves[] = { "e4", "e5", "Nf3", "Nc6", "Bb5", "a6" };
    for (int i = 0; i < 6; ++i) {
        CNetworkGame* mover = i % 2 == 0 ? host : joiner;
        CNetworkGame* other = i % 2 == 0 ? joiner : host;
        PlayLocal(mover, moves[i]);
        ASSERT_TRUE(TakeRemote(other)) << moves[i];
    }
    EXPECT_EQ(host->GetBoard().GetPly(), 6);
    EXPECT_EQ(joiner->GetBoard().GetPly(), 6);

    // Draw offered by the joiner and accepted by the host: both stop.
    m_prompt.QueueButton(wxYES); // host: accept the draw
    m_prompt.QueueButton(wxOK);  // joiner: the acceptance
    joiner->SendDrawOffer();
    ASSERT_TRUE(PumpUntil([&] { return !host->IsInPlay() && !joiner->IsInPlay(); }));
    EXPECT_EQ(host->GetResult(), RESULT_DRAW);
    EXPECT_EQ(joiner->GetResult(), RESULT_DRAW);
    EXPECT_EQ(m_prompt.GetUnexpectedCount(), 0);
    EXPECT_EQ(unscripted, 0);

    // The host goes away: the joiner's game is no longer connected.
    host->Disconnect();
    EXPECT_TRUE(PumpUntil([&] { return !joiner->IsConnected(); }));
}

TEST_F(NetworkGame, MovesAreTakenOnlyWhenLegalAndInTurn)
{
    std::unique_ptr<CRawPeer> peer;
    CNetworkGame* host = HostWithPeer(peer);
    CNetworkPlayer* remote = host->GetNetworkPlayer();

    peer->Send(NetFrame(netpktMove, std::string("e5") + '\0')); // White is to move
    m_prompt.QueueButton(wxNO);
    peer->Send(NetFrame(netpktOfferDraw));
    ASSERT_EQ(peer->Next().type, uint32_t(netpktDrawDeclined));
    EXPECT_FALSE(remote->HasMove());
    PlayLocal(host, "e4");
    ASSERT_EQ(peer->Next().type, uint32_t(netpktMove));
    peer->Send(NetFrame(netpktMove, std::string("Ke7") + '\0')); // not legal
    peer->Send(NetFrame(netpktMove, std::string("e4e5") + '\0')); // not Black's piece
    peer->Send(NetFrame(netpktMove, std::string("Nf6") + '\0'));
    // A second move before the board took the first is not Black's turn.
    peer->Send(NetFrame(netpktMove, std::string("d5") + '\0'));
    m_prompt.QueueButton(wxNO);
    peer->Send(NetFrame(netpktOfferDraw));
    ASSERT_TRUE(PumpUntil([&] { return remote->HasMove(); }));
    ASSERT_EQ(peer->Next().type, uint32_t(netpktDrawDeclined));
    CMove move;
    ASSERT_TRUE(remote->GetMove(move));
    CString san;
    host->GetBoard().MakeSan(move, san);
    EXPECT_STREQ(san.GetText(), "Nf6");
    EXPECT_FALSE(remote->HasMove());
    EXPECT_EQ(m_prompt.GetCount(), 2);
}

TEST_F(NetworkGame, AnswersNobodyAskedForChangeNothing)
{
    std::unique_ptr<CRawPeer> peer;
    CNetworkGame* host = HostWithPeer(peer);
    PlayLocal(host, "e4");
    ASSERT_EQ(peer->Next().type, uint32_t(netpktMove));

    const std::string unasked[] = {
        NetFrame(netpktDrawAccepted),
        NetFrame(netpktDrawDeclined),
        NetFrame(netpktGameDrawn),
        NetFrame(netpktTakebackAccepted),
        NetFrame(netpktTakebackDeclined),
        NetFrame(netpktSetBoard, Le(0)),
        NetFrame(netpktNewGameAccepted, Le(0)),
        NetFrame(netpktNewGameDeclined),
        NetFrame(netpktRestoreDeclined),
        NetFrame(netpktRestoreGame, "you = \"white\"\r\n"),
        NetFrame(netpktIdentity, Le(0) + "mallory"),
        NetFrame(netpktRequestTakeback, Le(5)), // more plies than played
        NetFrame(netpktPenDown, Le(1) + Le(0x7FC00000) + Le(0)), // not a number
        NetFrame(99),
    };
    for (const std::string& frame : unasked)
        peer->Send(frame);
    // The answer to a draw offer after them all shows that every frame
    // before it was read.
    m_prompt.QueueButton(wxNO);
    peer->Send(NetFrame(netpktOfferDraw));
    ASSERT_EQ(peer->Next().type, uint32_t(netpktDrawDeclined));

    EXPECT_TRUE(host->IsInPlay());
    EXPECT_EQ(host->GetResult(), RESULT_NONE);
    EXPECT_EQ(host->GetBoard().GetPly(), 1);
    EXPECT_EQ(host->GetLocalPlayer()->GetColour(), WHITE);
    EXPECT_EQ(m_prompt.GetCount(), 1); // the draw offer only
    EXPECT_TRUE(host->IsConnected());
}

TEST_F(NetworkGame, AnswersMustMatchTheRequestStillOpen)
{
    std::unique_ptr<CRawPeer> peer;
    CNetworkGame* host = HostWithPeer(peer);
    PlayLocal(host, "e4");
    ASSERT_EQ(peer->Next().type, uint32_t(netpktMove));
    peer->Send(NetFrame(netpktMove, std::string("e5") + '\0'));
    ASSERT_TRUE(TakeRemote(host));

    host->SendTakeBackRequest(1);
    SFrame request = peer->Next();
    EXPECT_EQ(request.type, uint32_t(netpktRequestTakeback));
    EXPECT_EQ(request.payload, Le(1));
    m_prompt.QueueButton(wxOK); // "Take back accepted."
    peer->Send(NetFrame(netpktTakebackAccepted));
    peer->Send(NetFrame(netpktSetBoard, Le(0))); // not the ply asked for
    peer->Send(NetFrame(netpktSetBoard, Le(1)));
    ASSERT_TRUE(PumpUntil([&] { return host->GetBoard().GetPly() == 1; }));
    EXPECT_EQ(m_prompt.CountText("Take back accepted."), 1);
    // Answered once: a second set-board is refused.
    peer->Send(NetFrame(netpktSetBoard, Le(0)));
    m_prompt.QueueButton(wxNO);
    peer->Send(NetFrame(netpktOfferDraw));
    ASSERT_EQ(peer->Next().type, uint32_t(netpktDrawDeclined));
    EXPECT_EQ(host->GetBoard().GetPly(), 1);

    // A new game for another colour than the one asked for is refused.
    host->GetProtocol().RequestNewGame(WHITE); // we would play Black
    EXPECT_EQ(peer->Next().type, uint32_t(netpktRequestNewGame));
    peer->Send(NetFrame(netpktNewGameAccepted, Le(0)));
    peer->Send(NetFrame(netpktNewGameAccepted, Le(1)));
    ASSERT_TRUE(PumpUntil([&] { return host->GetLocalPlayer()->GetColour() == BLACK; }));
    EXPECT_EQ(host->GetBoard().GetPly(), 0);
}

TEST_F(NetworkGame, AFloodOfRequestsMakesOneQuestionOfEachKind)
{
    std::unique_ptr<CRawPeer> peer;
    CNetworkGame* host = HostWithPeer(peer);
    PlayLocal(host, "e4");
    ASSERT_EQ(peer->Next().type, uint32_t(netpktMove));
    peer->Send(NetFrame(netpktMove, std::string("e5") + '\0'));
    ASSERT_TRUE(TakeRemote(host));

    // Thirty of each kind in one burst, in turns.
    std::string burst;
    for (int i = 0; i < 30; ++i) {
        burst += NetFrame(netpktOfferDraw);
        burst += NetFrame(netpktRequestTakeback, Le(1));
        burst += NetFrame(netpktRequestNewGame, Le(BLACK));
    }
    for (int i = 0; i < 3; ++i)
        m_prompt.QueueButton(wxNO);
    peer->Send(burst);
    EXPECT_EQ(peer->Next().type, uint32_t(netpktDrawDeclined));
    EXPECT_EQ(peer->Next().type, uint32_t(netpktTakebackDeclined));
    EXPECT_EQ(peer->Next().type, uint32_t(netpktNewGameDeclined));
    // An offer made after the answers is a question again, and its answer
    // is the next frame: nothing else was asked or answered in between.
    m_prompt.QueueButton(wxNO);
    peer->Send(NetFrame(netpktOfferDraw));
    EXPECT_EQ(peer->Next().type, uint32_t(netpktDrawDeclined));
    EXPECT_EQ(m_prompt.GetCount(), 4);
    EXPECT_EQ(host->GetBoard().GetPly(), 2);
    EXPECT_TRUE(host->IsInPlay());
}

TEST_F(NetworkGame, ATakeBackRequestAfterTheEndIsNotPutToTheUser)
{
    std::unique_ptr<CRawPeer> peer;
    CNetworkGame* host = HostWithPeer(peer);
    PlayLocal(host, "e4");
    ASSERT_EQ(peer->Next().type, uint32_t(netpktMove));
    m_prompt.QueueButton(wxOK); // "Opponent has Resigned!"
    peer->Send(NetFrame(netpktResign));
    ASSERT_TRUE(PumpUntil([&] { return !host->IsInPlay(); }));
    peer->Send(NetFrame(netpktRequestTakeback, Le(0)));
    peer->Send(NetFrame(netpktOfferDraw));
    // A new game may be asked for; its question shows the two before were read.
    m_prompt.QueueButton(wxNO);
    peer->Send(NetFrame(netpktRequestNewGame, Le(BLACK)));
    ASSERT_EQ(peer->Next().type, uint32_t(netpktNewGameDeclined));
    EXPECT_EQ(m_prompt.GetCount(), 2);
    EXPECT_EQ(host->GetBoard().GetPly(), 1);
}

TEST_F(NetworkGame, FramesThatAskNothingAreAppliedWhileAMessageIsOpen)
{
    std::unique_ptr<CRawPeer> peer;
    CNetworkGame* host = HostWithPeer(peer);
    PlayLocal(host, "e4");
    ASSERT_EQ(peer->Next().type, uint32_t(netpktMove));
    peer->Send(NetFrame(netpktMove, std::string("e5") + '\0'));
    ASSERT_TRUE(TakeRemote(host));
    host->SendTakeBackRequest(0);
    ASSERT_EQ(peer->Next().type, uint32_t(netpktRequestTakeback));

    // The user leaves "Take back accepted." open while the rest arrives.
    bool setBackWhileOpen = false;
    bool heldWhileOpen = false;
    int askedWhileOpen = -1;
    m_prompt.SetResponder([&](const CScriptedPrompt::SQuestion& question) {
        CScriptedPrompt::SAnswer answer;
        answer.code = wxNO;
        if (question.text == "Take back accepted.") {
            const int before = m_prompt.GetCount();
            setBackWhileOpen = PumpUntil([&] { return host->GetBoard().GetPly() == 0; });
            heldWhileOpen = PumpUntil([&] { return host->HasHeldFrame(); });
            askedWhileOpen = m_prompt.GetCount() - before;
            answer.code = wxOK;
        }
        return answer;
    });
    peer->Send(NetFrame(netpktTakebackAccepted));
    peer->Send(NetFrame(netpktSetBoard, Le(0)));
    peer->Send(NetFrame(netpktChat, std::string("Bob") + '\0' + "sorry" + '\0'));
    peer->Send(NetFrame(netpktOfferDraw));
    // The question comes once the message is closed, and is answered.
    ASSERT_EQ(peer->Next().type, uint32_t(netpktDrawDeclined));
    EXPECT_TRUE(setBackWhileOpen) << "the board is set back behind the open message";
    EXPECT_TRUE(heldWhileOpen) << "the draw offer waits for the message";
    EXPECT_EQ(askedWhileOpen, 0) << "no box on top of the open one";
    EXPECT_FALSE(host->HasHeldFrame());
    EXPECT_EQ(m_prompt.CountText("Your opponent has offered you a draw.\nDo you wish to accept?"), 1);
    EXPECT_EQ(host->GetBoard().GetPly(), 0);
    EXPECT_TRUE(host->IsConnected());
}

TEST_F(NetworkGame, ResignationEndsTheGameWithoutAnEcho)
{
    std::unique_ptr<CRawPeer> peer;
    CNetworkGame* host = HostWithPeer(peer);
    m_prompt.QueueButton(wxOK); // "Opponent has Resigned!"
    peer->Send(NetFrame(netpktResign));
    ASSERT_TRUE(PumpUntil([&] { return !host->IsInPlay(); }));
    EXPECT_EQ(host->GetResult(), RESULT_WHITE_WINS);
    host->SendChat("Ann", "gg");
    SFrame next = peer->Next();
    EXPECT_EQ(next.type, uint32_t(netpktChat)); // and no resignation before it
}

TEST_F(NetworkGame, HalfAFrameCostsNothingUntilTheRestArrives)
{
    std::unique_ptr<CRawPeer> peer;
    CNetworkGame* host = HostWithPeer(peer);
    const std::string chat = NetFrame(netpktChat, std::string("Bob") + '\0' + "hi" + '\0');
    peer->Send(chat.substr(0, 2));
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i)
        host->Poll();
    const auto spent = std::chrono::steady_clock::now() - start;
    // Generous: a read that waited for the rest would never come back.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(spent).count(), 1000);
    EXPECT_TRUE(host->IsConnected());
    // The rest completes the frame; the game answers the next request.
    peer->Send(chat.substr(2));
    m_prompt.QueueButton(wxNO);
    peer->Send(NetFrame(netpktOfferDraw));
    ASSERT_EQ(peer->Next().type, uint32_t(netpktDrawDeclined));
}

TEST_F(NetworkGame, LengthBeyondAnyFrameClosesTheConnection)
{
    std::unique_ptr<CRawPeer> peer;
    CNetworkGame* host = HostWithPeer(peer);
    m_prompt.QueueButton(wxOK); // "Opponent has disconnected!"
    peer->Send(Le(0xFFFFFFF0u) + Le(netpktChat));
    ASSERT_TRUE(PumpUntil([&] { return !host->IsConnected(); }));
    EXPECT_FALSE(host->IsInPlay());
    EXPECT_TRUE(PumpUntil([&] { return peer->IsClosed(); }));
    EXPECT_EQ(m_prompt.CountText("Opponent has disconnected!\n\nIf you have not finished playing you should save the game."), 1);
}

} // namespace

namespace {

// A peer's profile archive, as its client writes it.
std::string PeerProfile(const char* id, const char* name)
{
    const std::string folder = MakeTempFolder("peer");
    Zorlin::CDiskDrive drive(folder.c_str());
    Zorlin::CConfig user;
    user.GetValue(".profile.name") = name;
    user.GetValue(".profile.id") = id;
    Zorlin::CMemFile out;
    out.Open(CString("profile.rwf"), Zorlin::CFile::kModeRead | Zorlin::CFile::kModeWrite | Zorlin::CFile::kModeCreate);
    EXPECT_TRUE(WriteProfileArchive(out, user, drive, false, false, CString()));
    const uint32_t size = out.GetSize();
    std::string bytes(size, '\0');
    out.Seek(0, Zorlin::CFile::kSeekStart);
    out.Read(&bytes[0], size);
    RemoveTree(folder);
    return bytes;
}

} // namespace

TEST_F(NetworkGame, ThePeersProfileIsStoredOnlyAfterTheUsersYesAndAskedOnce)
{
    const char* const question = "Would you like to add (or update) Bob's profile to your opponent list?";
    std::unique_ptr<CRawPeer> peer;
    CNetworkGame* host = HostWithPeer(peer);
    m_prompt.QueueButton(wxNO);
    peer->Send(NetFrame(netpktProfile, PeerProfile("bob02", "Bob")));
    ASSERT_TRUE(PumpUntil([&] { return m_prompt.GetCount() == 1; }));
    EXPECT_EQ(m_prompt.CountText(question), 1);
    EXPECT_FALSE(FileExists(m_services.m_userFolder + "/opponents/bob02.cfg"));
    EXPECT_NE(host->GetNetworkPlayer()->GetProperty("name"), "Bob");

    // Sent again and again: no more questions, nothing stored.
    for (int i = 0; i < 3; ++i)
        peer->Send(NetFrame(netpktProfile, PeerProfile("bob02", "Bob")));
    m_prompt.QueueButton(wxNO);
    peer->Send(NetFrame(netpktOfferDraw));
    ASSERT_EQ(peer->Next().type, uint32_t(netpktDrawDeclined));
    EXPECT_EQ(m_prompt.CountText(question), 1);
    EXPECT_FALSE(FileExists(m_services.m_userFolder + "/opponents/bob02.cfg"));
    EXPECT_EQ(m_prompt.GetUnexpectedCount(), 0);
}

TEST_F(NetworkGame, AYesStoresThePeerAndNamesItsSeatABadIdIsRefused)
{
    std::unique_ptr<CRawPeer> peer;
    CNetworkGame* host = HostWithPeer(peer);
    m_prompt.QueueButton(wxYES);
    peer->Send(NetFrame(netpktProfile, PeerProfile("bob02", "Bob")));
    ASSERT_TRUE(PumpUntil([&] { return FileExists(m_services.m_userFolder + "/opponents/bob02.cfg"); }));
    EXPECT_EQ(host->GetNetworkPlayer()->GetProperty("name"), "Bob");

    std::unique_ptr<CRawPeer> other;
    CNetworkGame* second = HostWithPeer(other);
    other->Send(NetFrame(netpktProfile, PeerProfile("../../cfg/app", "Mallory")));
    m_prompt.QueueButton(wxNO);
    other->Send(NetFrame(netpktOfferDraw));
    ASSERT_EQ(other->Next().type, uint32_t(netpktDrawDeclined));
    EXPECT_EQ(m_prompt.GetCount(), 2) << "the Yes above and the draw offer: no question for a bad id";
    EXPECT_NE(second->GetNetworkPlayer()->GetProperty("name"), "Mallory");
    EXPECT_EQ(m_prompt.GetUnexpectedCount(), 0);
}
