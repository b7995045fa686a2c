// What the network game's frames mean, with the game and the user played
// by a recording side: questions, what the peer may change and when, and
// this machine's addresses as the host shows and mails them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "client/remote/MachineAddresses.h"
#include "client/remote/NetPacket.h"
#include "client/remote/NetworkProtocol.h"

using Zorlin::CBuffer;
using Zorlin::CConfig;
using Zorlin::CString;

namespace {

CBuffer Text(const std::string& text)
{
    return NetPacket::Bytes(text.data(), uint32_t(text.size()));
}

class CRecordingSide : public INetworkGameSide {
public:
    void SendFrame(uint32_t type, const CBuffer*) override { sent.push_back(type); }
    bool AskYesNo(const CString& text, const CString&) override
    {
        asked.push_back(text.GetText());
        if (whileAsking)
            whileAsking();
        return answer;
    }
    uint64_t GetArrivedBytes() override { return arrived; }
    void Tell(const CString& text, const CString&) override { told.push_back(text.GetText()); }
    void Log(const CString&) override {}
    bool IsGameInPlay() override { return inPlay; }
    bool HasReadyMove() override { return ready; }
    CString GetOpponentName() override { return "Bob"; }
    void BeginAsJoiner(int colour, const CString&) override { begunAs = colour; }
    void BeginAsHost(int colour) override { hostBegunAs = colour; }
    void ReadyOpponentMove(const CMove&) override { ready = true; }
    void TakeBackTo(int plies) override { takenBackTo = plies; }
    void EndDrawn() override { inPlay = false; drawn = true; }
    void OpponentResigned() override { inPlay = false; }
    void StartNewGame(int colour) override { newGameAs = colour; }
    void RestoreGame(CConfig& saved, int colour) override
    {
        restoredAs = colour;
        restoredWhite = saved.GetValueOr(".white.id", "").GetText();
    }
    void ShowChat(const CString& name, const CString& text) override
    {
        chat.push_back(std::string(name.GetText()) + ": " + text.GetText());
    }
    void ShowNotice(const CString&) override { ++notices; }
    void Pen(uint32_t, float, float) override {}
    void ReceivedProfile(const CBuffer&) override {}

    std::vector<uint32_t> sent;
    std::vector<std::string> asked, told, chat;
    bool answer = true, inPlay = true, ready = false, drawn = false;
    int begunAs = -1, hostBegunAs = -1, takenBackTo = -1, newGameAs = -1, restoredAs = -1, notices = 0;
    std::string restoredWhite;
    // Frames that come while a question is open, and the peer's stream.
    std::function<void()> whileAsking;
    uint64_t arrived = 0;
};

class NetworkProtocol : public ::testing::Test {
protected:
    NetworkProtocol() : protocol(side, board)
    {
        board.SetupStartPosition();
        protocol.Begin(WHITE);
    }
    void Play(const char* san)
    {
        CMove move;
        ASSERT_TRUE(board.ParseSan(san, move, true));
        ASSERT_TRUE(board.MakeMove(move, 0.0));
    }

    CRecordingSide side;
    CChessBoard board;
    CNetworkProtocol protocol;
};

TEST_F(NetworkProtocol, TakeBackRequestAsksAboutTheMoveAndIsBoundedByThePlies)
{
    for (const char* san : { "e4", "e5", "Nf3", "Nc6", "Bb5", "a6", "Ba4", "Nf6" })
        Play(san);
    EXPECT_FALSE(protocol.HandleFrame(netpktRequestTakeback, NetPacket::Uint32(8)));
    EXPECT_FALSE(protocol.HandleFrame(netpktRequestTakeback, NetPacket::Uint32(0xFFFFFFFFu)));
    EXPECT_TRUE(side.asked.empty());
    side.answer = true;
    EXPECT_TRUE(protocol.HandleFrame(netpktRequestTakeback, NetPacket::Uint32(7)));
    ASSERT_EQ(side.asked.size(), 1u);
    EXPECT_EQ(side.asked[0], "Opponent requests setting the board to move 4.");
    EXPECT_EQ(side.takenBackTo, 7);
    EXPECT_EQ(side.sent, (std::vector<uint32_t>{ netpktTakebackAccepted, netpktSetBoard }));
}

TEST_F(NetworkProtocol, DrawAnswersCountOnlyForAnOfferOfOurs)
{
    EXPECT_FALSE(protocol.HandleFrame(netpktDrawAccepted, CBuffer()));
    EXPECT_FALSE(side.drawn);
    protocol.OfferDraw();
    EXPECT_TRUE(protocol.HandleFrame(netpktDrawDeclined, CBuffer()));
    EXPECT_EQ(side.told.back(), "Bob declines your offer of a draw.");
    EXPECT_FALSE(protocol.HandleFrame(netpktDrawAccepted, CBuffer())); // answered already
    protocol.OfferDraw();
    EXPECT_TRUE(protocol.HandleFrame(netpktDrawAccepted, CBuffer()));
    EXPECT_TRUE(side.drawn);
    EXPECT_EQ(side.told.back(), "Bob accepts your offer of a draw.");
}

TEST_F(NetworkProtocol, OnlyAJoinerWaitingForItsHostTakesAnIdentity)
{
    CBuffer identity = NetPacket::Identity(BLACK, "host1");
    EXPECT_FALSE(protocol.HandleFrame(netpktIdentity, identity)); // a host
    protocol.Reset();
    protocol.SetJoining(true);
    EXPECT_FALSE(protocol.HandleFrame(netpktIdentity, NetPacket::Identity(BLACK, "../etc"))); // not an id
    EXPECT_TRUE(protocol.HandleFrame(netpktIdentity, identity));
    EXPECT_EQ(side.begunAs, BLACK);
    EXPECT_EQ(side.sent, std::vector<uint32_t>{ netpktProtocol });
    side.begunAs = -1;
    EXPECT_FALSE(protocol.HandleFrame(netpktIdentity, NetPacket::Identity(WHITE, "host1")));
    EXPECT_EQ(side.begunAs, -1);
    EXPECT_EQ(protocol.GetLocalColour(), BLACK);
}

TEST_F(NetworkProtocol, AHostBeginsOnlyWithTheJoinersAnswerToItsOpening)
{
    protocol.Reset();
    side.inPlay = false;
    protocol.OpenAsHost(BLACK, "host1");
    EXPECT_EQ(side.sent, (std::vector<uint32_t>{ netpktProtocol, netpktIdentity }));
    EXPECT_TRUE(protocol.IsAwaitingJoiner());
    // Nothing but an answer counts, however the stranger tries.
    EXPECT_FALSE(protocol.HandleFrame(netpktChat, NetPacket::Chat("Eve", "hi")));
    EXPECT_FALSE(protocol.HandleFrame(netpktMove, Text(std::string("e4") + '\0')));
    EXPECT_FALSE(protocol.HandleFrame(netpktIdentity, NetPacket::Identity(WHITE, "eve01")));
    EXPECT_FALSE(protocol.HandleFrame(netpktOfferDraw, CBuffer()));
    EXPECT_TRUE(side.chat.empty());
    EXPECT_TRUE(side.asked.empty());
    EXPECT_FALSE(protocol.HasBegun());
    EXPECT_EQ(side.hostBegunAs, -1);

    EXPECT_TRUE(protocol.HandleFrame(netpktProtocol, NetPacket::Uint32(NetPacket::kProtocolVersion)));
    EXPECT_EQ(side.hostBegunAs, BLACK);
    EXPECT_TRUE(protocol.HasBegun());
    EXPECT_FALSE(protocol.IsAwaitingJoiner());
    EXPECT_EQ(protocol.GetLocalColour(), BLACK);
    EXPECT_TRUE(side.told.empty());
    // Begun once: a second answer is an ordinary frame.
    side.hostBegunAs = -1;
    EXPECT_TRUE(protocol.HandleFrame(netpktProtocol, NetPacket::Uint32(NetPacket::kProtocolVersion)));
    EXPECT_EQ(side.hostBegunAs, -1);
}

TEST_F(NetworkProtocol, RestoreComesFromOurOwnCopyWhenThePeerAgrees)
{
    CConfig saved;
    saved.GetValue(".game.type") = "NetworkGame";
    saved.GetValue(".white.id") = "me01";
    protocol.RequestRestore(saved, "ME01"); // ids ignore case
    EXPECT_EQ(side.sent.back(), uint32_t(netpktRequestRestore));
    // An answer that gives us the same colour as the peer is refused.
    EXPECT_FALSE(protocol.HandleFrame(netpktRestoreGame, Text("you = \"black\"\r\n")));
    EXPECT_EQ(side.restoredAs, -1);
    EXPECT_TRUE(protocol.HandleFrame(netpktRestoreGame, Text("you = \"white\"\r\nwhite = {\r\nid = \"evil\"\r\n}\r\n")));
    EXPECT_EQ(side.restoredAs, WHITE);
    EXPECT_EQ(side.restoredWhite, "me01");
    EXPECT_FALSE(protocol.IsRestorePending());
}

TEST_F(NetworkProtocol, ChatIsShownAndGarbageRefused)
{
    EXPECT_TRUE(protocol.HandleFrame(netpktChat, NetPacket::Chat("Ann", "hi")));
    EXPECT_FALSE(protocol.HandleFrame(netpktChat, Text("no terminator")));
    EXPECT_FALSE(protocol.HandleFrame(netpktProtocol, Text("\x02")));
    ASSERT_EQ(side.chat.size(), 1u);
    EXPECT_EQ(side.chat[0], "Ann: hi");
    EXPECT_TRUE(protocol.HandleFrame(netpktProtocol, NetPacket::Uint32(3)));
    EXPECT_EQ(side.told.size(), 1u); // the version warning; play goes on
}

TEST_F(NetworkProtocol, OneQuestionOfAKindAtATimeAndRepeatsThatCameMeanwhileAreRefused)
{
    Play("e4");
    Play("e5");
    side.answer = false;
    // Frames are 8 bytes: a draw offer ends at 8, the next at 16 and so on.
    // A repeat handed over while the question is open is refused at once.
    int nested = 0;
    side.whileAsking = [&] {
        if (nested++ == 0) {
            EXPECT_FALSE(protocol.HandleFrame(netpktOfferDraw, CBuffer(), 16));
        }
        EXPECT_TRUE(protocol.IsAsking(CNetworkProtocol::kDrawQuestion));
    };
    // Meanwhile 30 more offers came in: 248 bytes in all.
    side.arrived = 8 * 31;
    EXPECT_TRUE(protocol.HandleFrame(netpktOfferDraw, CBuffer(), 8));
    side.whileAsking = nullptr;
    EXPECT_FALSE(protocol.IsAsking(CNetworkProtocol::kDrawQuestion));
    for (uint64_t end = 24; end <= 8 * 31; end += 8)
        EXPECT_FALSE(protocol.HandleFrame(netpktOfferDraw, CBuffer(), end));
    ASSERT_EQ(side.asked.size(), 1u) << "one question for the whole flood";
    EXPECT_EQ(side.sent, std::vector<uint32_t>{ netpktDrawDeclined }) << "one answer";

    // Another kind is its own question; an offer made after the answer is a new one.
    EXPECT_TRUE(protocol.HandleFrame(netpktRequestTakeback, NetPacket::Uint32(0), 8 * 32 + 4));
    EXPECT_EQ(side.asked.size(), 2u);
    EXPECT_TRUE(protocol.HandleFrame(netpktOfferDraw, CBuffer(), 8 * 40));
    EXPECT_EQ(side.asked.size(), 3u);

    // New game and restore requests keep to the same rule.
    side.arrived = 8 * 60;
    EXPECT_TRUE(protocol.HandleFrame(netpktRequestNewGame, NetPacket::Uint32(WHITE), 8 * 41 + 4));
    EXPECT_FALSE(protocol.HandleFrame(netpktRequestNewGame, NetPacket::Uint32(WHITE), 8 * 42 + 4));
    EXPECT_EQ(side.asked.size(), 4u);

    // A new connection forgets what the last peer sent.
    protocol.Reset();
    protocol.Begin(WHITE);
    side.arrived = 0;
    EXPECT_TRUE(protocol.HandleFrame(netpktOfferDraw, CBuffer(), 8));
    EXPECT_EQ(side.asked.size(), 5u);
}

TEST_F(NetworkProtocol, RequestsAboutAGameThatEndedAreRefused)
{
    Play("e4");
    Play("e5");
    side.inPlay = false;
    EXPECT_FALSE(protocol.HandleFrame(netpktRequestTakeback, NetPacket::Uint32(1)));
    EXPECT_FALSE(protocol.HandleFrame(netpktOfferDraw, CBuffer()));
    EXPECT_TRUE(side.asked.empty());
    EXPECT_TRUE(side.sent.empty()) << "a refusal changes nothing and answers nothing";
    // A new game is what one asks for after the end.
    EXPECT_TRUE(protocol.HandleFrame(netpktRequestNewGame, NetPacket::Uint32(BLACK)));
    EXPECT_EQ(side.asked.size(), 1u);
}

TEST_F(NetworkProtocol, AnotherVersionIsToldOnceAConnection)
{
    for (int i = 0; i < 100; ++i)
        protocol.HandleFrame(netpktProtocol, NetPacket::Uint32(3));
    EXPECT_EQ(side.told.size(), 1u);
    protocol.HandleFrame(netpktProtocol, NetPacket::Uint32(2));
    EXPECT_EQ(side.told.size(), 1u);
    protocol.Reset();
    protocol.HandleFrame(netpktProtocol, NetPacket::Uint32(3));
    EXPECT_EQ(side.told.size(), 2u);
}

TEST(RequestGate, OpensOnceAndRefusesWhatCameWhileOpen)
{
    CRequestGate gate;
    EXPECT_TRUE(gate.Open(0, 10));
    EXPECT_FALSE(gate.Open(0, 20)) << "open already";
    EXPECT_TRUE(gate.Open(1, 20)) << "kinds are apart";
    gate.Close(0, 100);
    EXPECT_FALSE(gate.Open(0, 60)) << "came while the question was open";
    EXPECT_FALSE(gate.Open(0, 100));
    EXPECT_TRUE(gate.Open(0, 101));
    gate.Close(0, 50); // a horizon never goes back
    EXPECT_FALSE(gate.Open(0, 100));
    gate.Close(0);
    EXPECT_TRUE(gate.Open(0)) << "an unknown position is never a repeat of a closed question";
    EXPECT_FALSE(gate.Open(-1));
    EXPECT_FALSE(gate.Open(CRequestGate::kMaxKinds));
    gate.Reset();
    EXPECT_TRUE(gate.Open(0, 1));
}

TEST(MachineAddresses, PrivateRangesAsThePlatformCountsThem)
{
    auto ip = [](unsigned a, unsigned b, unsigned c, unsigned d) { return IpV4Address(a << 24 | b << 16 | c << 8 | d); };
    SMachineAddresses only = ClassifyMachineAddresses({ ip(127, 0, 0, 1), ip(192, 168, 1, 5) });
    EXPECT_STREQ(only.network.GetText(), "192.168.1.5");
    EXPECT_STREQ(only.Best().GetText(), "192.168.1.5");
    SMachineAddresses both = ClassifyMachineAddresses({ ip(10, 0, 0, 2), ip(81, 2, 3, 4), ip(169, 254, 3, 3) });
    EXPECT_STREQ(both.network.GetText(), "10.0.0.2");
    EXPECT_STREQ(both.Best().GetText(), "81.2.3.4");
    SMachineAddresses docker = ClassifyMachineAddresses({ ip(172, 17, 0, 1), ip(172, 32, 0, 1) });
    EXPECT_STREQ(docker.network.GetText(), "172.17.0.1");
    EXPECT_STREQ(docker.internet.GetText(), "172.32.0.1");
    const CString text = HostInformationText("28764", only, "box");
    EXPECT_STREQ(text.GetText(), "Server will be started on port 28764 - Click 'Start' to begin.\n\n"
                                 "Your internet IP is 192.168.1.5\nYour network IP is 192.168.1.5\n"
                                 "Your machine name is box\n");
    EXPECT_STREQ(InvitationText("[sender] at [ip]; [ip]", "A [ip]", "1.2.3.4").GetText(), "A [ip] at 1.2.3.4; 1.2.3.4");
}

} // namespace
