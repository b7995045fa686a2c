// The forwarded game messages: the bytes we send, and what a peer's
// messages may do to the game. The peer here is hostile by default: every
// answer nobody asked for, move out of turn, ply out of range and negative
// time must change nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "chess/ChessBoard.h"
#include "client/remote/GameMessages.h"
#include "client/remote/PacketHeader.h"
#include "client/remote/tests/support/RemoteFixture.h"
#include "foundation/BufferFile.h"

using RemoteTest::Bytes;
using RemoteTest::Le;
using Zorlin::CBuffer;
using Zorlin::CBufferFile;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

const uint32_t kOpponent = 77;

// The game as the rules see it, recording what they let through.
class CRecordingGame : public CGameMessageTarget {
public:
    CRecordingGame() { board.SetupStartPosition(); }

    const CChessBoard& GetBoard() const override { return board; }
    bool IsPlaying() const override { return playing; }
    int GetRemoteColour() const override { return remoteColour; }
    bool IsTimed() const override { return timed; }
    bool IsAsking(uint32_t type) const override
    {
        for (uint32_t open : asking)
            if (open == type)
                return true;
        return false;
    }
    bool HasReadyMove() const override { return moveWaits; }

    void OnWrongProtocol(const CString& version) override { Note("wrongprotocol " + std::string(version.GetText())); }
    void OnProposal(const SGameProposal& p) override
    {
        Note("proposal side=" + std::to_string(p.side) + " timed=" + std::to_string(p.timed) +
             " clock=" + std::to_string(p.clock));
    }
    void OnBeginAccepted(const SGameProposal& p) override
    {
        Note("begin side=" + std::to_string(p.side) + " timed=" + std::to_string(p.timed) +
             " clock=" + std::to_string(p.clock));
    }
    void OnBeginDeclined() override { Note("begin declined"); }
    void OnResume() override { Note("resume"); }
    void OnRemoteMove(const CMove& move, double elapsedMs) override
    {
        CMove made = move;
        board.MakeMove(made, elapsedMs);
        Note("move " + std::string(made.m_text.GetText()) + " " + std::to_string(int(elapsedMs)));
    }
    void OnTakebackRequested(int ply, const CString& text) override
    {
        Note("takeback request " + std::to_string(ply) + " " + text.GetText());
    }
    void OnTakebackAnswer(bool accepted, int ply) override
    {
        Note(std::string("takeback ") + (accepted ? "accepted " + std::to_string(ply) : "declined"));
    }
    void OnDrawOffered() override { Note("draw offered"); }
    void OnDrawAnswer(bool accepted) override { Note(accepted ? "draw accepted" : "draw declined"); }
    void OnResigned(bool left) override { Note(left ? "resigned left" : "resigned"); }
    void OnResetRequested() override { Note("reset request"); }
    void OnTimeUp() override { Note("timeup"); }
    void Log(const CString& line) override { log.push_back(line.GetText()); }

    void Note(const std::string& what) { events.push_back(what); }
    std::string Last() const { return events.empty() ? "" : events.back(); }
    int Refusals() const
    {
        int n = 0;
        for (const std::string& line : log)
            n += line.rfind("Refused", 0) == 0;
        return n;
    }
    // Makes moves as the local side would.
    void Play(const char* san)
    {
        CMove move;
        ASSERT_TRUE(board.ParseMove(san, move, true)) << san;
        board.MakeMove(move, 0.0);
    }

    CChessBoard board;
    bool playing = true;
    int remoteColour = BLACK;
    bool timed = true;
    // The requests whose popup is open; whether a received move waits.
    std::vector<uint32_t> asking;
    bool moveWaits = false;
    std::vector<std::string> events;
    std::vector<std::string> log;
};

struct SRules {
    SRules() : rules(game)
    {
        rules.SetOpponent(kOpponent);
        rules.SetAwaitingResume(false);
    }

    // One forwarded message of type with body, from sender.
    CGameMessages::EDispatch Receive(uint32_t type, const std::string& body = "", uint32_t sender = kOpponent)
    {
        return ReceiveRaw(Le(type) + body, sender);
    }
    CGameMessages::EDispatch ReceiveRaw(const std::string& bytes, uint32_t sender = kOpponent)
    {
        CBuffer buffer;
        buffer.Resize(int(bytes.size()));
        if (!bytes.empty())
            buffer.WriteAt(bytes.data(), int(bytes.size()), 0);
        CBufferFile file(&buffer);
        file.Open("forward", CFile::kModeRead);
        return rules.Dispatch(sender, file);
    }
    size_t Count() const { return game.events.size(); }

    CRecordingGame game;
    CGameMessages rules;
};

std::string Proposal(const char* timed, const char* clock, const char* side = nullptr)
{
    std::string text = std::string("timed = ") + timed + "\r\nclock = " + clock + "\r\n";
    if (side)
        text += std::string("side = ") + side + "\r\n";
    return text;
}

} // namespace

TEST(GameMessages, ForwardsAreTheDocumentedBytes)
{
    EXPECT_EQ(Bytes(GameMessage::Forward(kOpponent, chpktResume)),
              std::string("\x08\x11\x01\x00", 4) + Le(kOpponent) + Le(chpktResume));
    EXPECT_EQ(Bytes(GameMessage::Forward(0, chpktProtocol, GameMessage::LineBody("2"))),
              std::string("\x04\x11\x00\x00", 4) + Le(chpktProtocol) + "2\n");
    EXPECT_EQ(Bytes(GameMessage::Forward(0, chpktNull)), std::string("\x04\x11\x00\x00", 4));
    EXPECT_EQ(std::string(GameMessage::MoveBody("Nf3", false, 1234).GetText()), "Nf3\n");
    EXPECT_EQ(std::string(GameMessage::MoveBody("Nf3", true, 1234.7).GetText()), "Nf3\n1234\n");
    EXPECT_EQ(std::string(GameMessage::MoveBody("Nf3", true, -5).GetText()), "Nf3\n0\n");
    EXPECT_EQ(std::string(GameMessage::LineBody("a\nb").GetText()), "a b\n");
    EXPECT_EQ(Bytes(GameMessage::HeaderOnly(pktCloseConnection, 9)), std::string("\x08\x10\x01\x00", 4) + Le(9));
    std::string chat = Bytes(GameMessage::Chat(kOpponent, CString(std::string(50, 'n').c_str()), "hi\nthere"));
    EXPECT_EQ(chat, std::string("\x08\x12\x01\x00", 4) + Le(kOpponent) + std::string(40, 'n') + "\nhi there\n");
    EXPECT_STREQ(GetChPacketTypeName(chpktTimeUp), "chpktTimeUp");
    EXPECT_STREQ(GetChPacketTypeName(21), "unknown");
}

TEST(GameMessages, ProposalAndBeginBodiesReadBackThroughTheRules)
{
    // What our proposal says is what the peer's rules read.
    SRules peer;
    std::string body = GameMessage::ProposalBody(true, 300).GetText();
    peer.Receive(chpktGameProposal, body);
    EXPECT_EQ(peer.game.Last(), "proposal side=0 timed=1 clock=300");
    SGameProposal theirs;
    ASSERT_TRUE(peer.rules.TakeTheirProposal(theirs));
    EXPECT_FALSE(peer.rules.TakeTheirProposal(theirs)) << "a proposal is answered once";

    SRules us;
    us.rules.NoteProposal(true, 300);
    SGameProposal agreed;
    agreed.side = 1;
    agreed.timed = true;
    agreed.clock = 300;
    us.Receive(chpktBeginGame, GameMessage::BeginBody(true, agreed).GetText());
    EXPECT_EQ(us.game.Last(), "begin side=1 timed=1 clock=300");
}

TEST(GameMessages, OnlyTheLinkedOpponentIsHeard)
{
    SRules s;
    EXPECT_EQ(s.Receive(chpktResign, "\n", kOpponent + 1), CGameMessages::kForeign);
    EXPECT_EQ(s.Receive(chpktResign, "\n", 0), CGameMessages::kForeign);
    EXPECT_EQ(s.rules.CheckSender(kOpponent + 1), CGameMessages::kForeign);
    EXPECT_EQ(s.Count(), 0u);
    s.rules.SetOpponent(0);
    EXPECT_EQ(s.Receive(chpktResign, "\n", kOpponent), CGameMessages::kNoOpponent);
    EXPECT_EQ(s.Count(), 0u);
    s.rules.SetOpponent(kOpponent);
    EXPECT_EQ(s.Receive(chpktResign, "left game\n"), CGameMessages::kHandled);
    EXPECT_EQ(s.game.Last(), "resigned left");
    // A forward too short to hold a type, and types with no handler.
    EXPECT_EQ(s.ReceiveRaw("\x06\x00"), CGameMessages::kHandled);
    s.Receive(chpktProfile, "x\n");
    s.Receive(999);
    EXPECT_EQ(s.Count(), 1u);
    EXPECT_EQ(s.game.log.back(), "CDialogOnlineSearch ChPacket unknown");
}

TEST(GameMessages, MovesOnlyWhenLegalInTurnAndAfterResume)
{
    SRules s;
    s.rules.SetAwaitingResume(true);
    s.Receive(chpktMove, "e4\n100\n");
    EXPECT_EQ(s.Count(), 0u) << "before the resume";
    s.Receive(chpktResume);
    EXPECT_FALSE(s.rules.IsAwaitingResume());

    // Remote is Black; White (local) to move.
    s.Receive(chpktMove, "e4\n100\n");
    EXPECT_EQ(s.Count(), 1u) << "out of turn";
    s.game.Play("e4");
    s.Receive(chpktMove, "e4\n100\n");
    s.Receive(chpktMove, "Ke2\n100\n");
    s.Receive(chpktMove, std::string(5000, 'x') + "\n");
    EXPECT_EQ(s.Count(), 1u) << "illegal moves";
    s.game.playing = false;
    s.Receive(chpktMove, "e5\n100\n");
    EXPECT_EQ(s.Count(), 1u) << "not in play";
    s.game.playing = true;
    s.Receive(chpktMove, "e5\n1500\n");
    EXPECT_EQ(s.game.Last(), "move e5 1500");
    EXPECT_EQ(s.game.Refusals(), 6);

    // Negative, garbage, huge and absent times.
    s.game.Play("Nf3");
    s.Receive(chpktMove, "Nc6\n-60000\n");
    EXPECT_EQ(s.game.Last(), "move Nc6 0");
    s.game.Play("Bb5");
    s.Receive(chpktMove, "a6\n12abc\n");
    EXPECT_EQ(s.game.Last(), "move a6 0");
    s.game.Play("Ba4");
    s.Receive(chpktMove, "Nf6\n99999999999999\n");
    EXPECT_EQ(s.game.Last(), "move Nf6 0");
    s.game.Play("O-O");
    s.Receive(chpktMove, "Be7");
    EXPECT_EQ(s.game.Last(), "move Be7 0");
    s.game.Play("Re1");
    s.Receive(chpktMove, "b5\n86400001\n");
    EXPECT_EQ(s.game.Last(), "move b5 86400000");
}

TEST(GameMessages, AnswersCountOnlyForOurPendingRequests)
{
    SRules s;
    s.game.Play("e4");
    s.game.Play("e5");
    s.game.Play("Nf3");
    // Unsolicited answers: nothing.
    s.Receive(chpktDraw, "yes\n");
    s.Receive(chpktTakeback, "0\n");
    s.Receive(chpktBeginGame, "yes\n" + Proposal("yes", "300", "0"));
    s.Receive(chpktReset, "yes\n");
    s.Receive(chpktDraw, "no\n");
    EXPECT_EQ(s.Count(), 0u);
    EXPECT_EQ(s.game.Refusals(), 5);

    // Draw: one answer per offer; a "yes" after the game ended is refused.
    s.rules.NoteDrawOffer();
    s.Receive(chpktDraw, "no\n");
    s.Receive(chpktDraw, "yes\n");
    EXPECT_EQ(s.game.events, std::vector<std::string>{ "draw declined" });
    s.rules.NoteDrawOffer();
    s.Receive(chpktDraw, "YES\n");
    EXPECT_EQ(s.game.Last(), "draw accepted");
    s.rules.NoteDrawOffer();
    s.game.playing = false;
    const size_t events = s.Count();
    const int refusals = s.game.Refusals();
    s.Receive(chpktDraw, "yes\n");
    EXPECT_EQ(s.Count(), events) << "no second accepted draw";
    EXPECT_EQ(s.game.Refusals(), refusals + 1);
    s.game.playing = true;

    // Take-back: only the ply we asked for, and only within the game.
    s.rules.NoteTakebackRequest(1);
    s.Receive(chpktTakeback, "0\n");
    s.Receive(chpktTakeback, "3\n");
    s.Receive(chpktTakeback, "-1\n");
    EXPECT_EQ(s.game.Last(), "draw accepted");
    s.Receive(chpktTakeback, "1\n");
    EXPECT_EQ(s.game.Last(), "takeback accepted 1");
    s.Receive(chpktTakeback, "1\n");
    EXPECT_EQ(s.game.Last(), "takeback accepted 1") << "answered once";
    s.rules.NoteTakebackRequest(2);
    s.Receive(chpktTakeback, "no\n");
    EXPECT_EQ(s.game.Last(), "takeback declined");
    s.rules.NoteTakebackRequest(9);
    s.Receive(chpktTakeback, "9\n");
    EXPECT_EQ(s.game.Last(), "takeback declined") << "beyond the plies played";

    // Begin: our clock stands, their side must be a colour.
    s.rules.NoteProposal(false, 600);
    s.Receive(chpktBeginGame, "yes\n" + Proposal("yes", "60", "2"));
    s.Receive(chpktBeginGame, "yes\n");
    EXPECT_EQ(s.game.Last(), "takeback declined");
    s.Receive(chpktBeginGame, "yes\n" + Proposal("yes", "60", "1"));
    EXPECT_EQ(s.game.Last(), "begin side=1 timed=0 clock=600");
    s.Receive(chpktBeginGame, "yes\n" + Proposal("yes", "60", "0"));
    EXPECT_EQ(s.game.Last(), "begin side=1 timed=0 clock=600");
    s.rules.NoteProposal(true, 120);
    s.Receive(chpktBeginGame, "no\n");
    EXPECT_EQ(s.game.Last(), "begin declined");

    // A reset answer is never one to us.
    s.Receive(chpktReset, "no\n");
    EXPECT_EQ(s.game.Last(), "begin declined");
}

TEST(GameMessages, ANewGameForgetsEveryRequest)
{
    SRules s;
    s.game.Play("e4");
    s.rules.NoteDrawOffer();
    s.rules.NoteTakebackRequest(0);
    s.game.remoteColour = BLACK;
    s.rules.NoteProposal(true, 300);
    s.Receive(chpktRequestDraw);
    s.Receive(chpktBeginGame, "yes\n" + Proposal("yes", "300", "0"));
    EXPECT_EQ(s.game.Last(), "begin side=0 timed=1 clock=300");
    EXPECT_FALSE(s.rules.TakeTheirDraw());
    size_t before = s.Count();
    s.Receive(chpktDraw, "yes\n");
    s.Receive(chpktTakeback, "0\n");
    EXPECT_EQ(s.Count(), before);
}

TEST(GameMessages, TheirRequestsAreBoundedAndAnsweredOnce)
{
    SRules s;
    s.Receive(chpktRequestTakeback, "0\n");
    EXPECT_EQ(s.Count(), 0u) << "no ply was played";
    s.game.Play("e4");
    s.Receive(chpktMove, "Nf6\n");
    s.game.Play("e5");
    s.Receive(chpktRequestTakeback, "3\n");
    s.Receive(chpktRequestTakeback, "-1\n");
    s.Receive(chpktRequestTakeback, "one\n");
    EXPECT_EQ(s.Count(), 1u);
    s.Receive(chpktRequestTakeback, "1\n");
    EXPECT_EQ(s.game.Last(), "takeback request 1 1. ... Nf6");
    s.Receive(chpktRequestTakeback, "2\n");
    EXPECT_EQ(s.game.Last(), "takeback request 2 2. e5");
    int ply = -1;
    ASSERT_TRUE(s.rules.TakeTheirTakeback(ply));
    EXPECT_EQ(ply, 2);
    EXPECT_FALSE(s.rules.TakeTheirTakeback(ply));

    s.Receive(chpktRequestDraw);
    EXPECT_EQ(s.game.Last(), "draw offered");
    EXPECT_TRUE(s.rules.TakeTheirDraw());
    EXPECT_FALSE(s.rules.TakeTheirDraw());
    s.game.playing = false;
    size_t before = s.Count();
    s.Receive(chpktRequestDraw);
    EXPECT_EQ(s.Count(), before);

    s.Receive(chpktRequestReset);
    EXPECT_TRUE(s.rules.TakeTheirReset());
    EXPECT_FALSE(s.rules.TakeTheirReset());
}

TEST(GameMessages, ARequestRepeatedWhileItsQuestionIsOpenIsRefused)
{
    SRules s;
    s.game.Play("e4");
    s.Receive(chpktMove, "e5\n");
    s.Receive(chpktRequestTakeback, "1\n");
    EXPECT_EQ(s.game.Last(), "takeback request 1 1. ... e5");
    // Its popup is open: repeats change nothing, not even the ply asked about.
    s.game.asking = { chpktRequestTakeback, chpktRequestDraw, chpktGameProposal, chpktRequestReset };
    const size_t before = s.Count();
    const int refusals = s.game.Refusals();
    for (int i = 0; i < 1000; ++i) {
        s.Receive(chpktRequestTakeback, "0\n");
        s.Receive(chpktRequestDraw);
        s.Receive(chpktGameProposal, Proposal("yes", "600"));
        s.Receive(chpktRequestReset);
    }
    EXPECT_EQ(s.Count(), before);
    EXPECT_EQ(s.game.Refusals(), refusals + 4000) << "every repeat is logged";
    int ply = -1;
    ASSERT_TRUE(s.rules.TakeTheirTakeback(ply));
    EXPECT_EQ(ply, 1) << "the question the user sees is the one answered";
    EXPECT_FALSE(s.rules.TakeTheirDraw());
    EXPECT_FALSE(s.rules.TakeTheirReset());

    // Closed again, the next request of a kind is put to the user.
    s.game.asking.clear();
    s.Receive(chpktRequestDraw);
    EXPECT_EQ(s.game.Last(), "draw offered");
}

TEST(GameMessages, ATakeBackRequestAfterTheEndIsRefused)
{
    SRules s;
    s.game.Play("e4");
    s.Receive(chpktMove, "e5\n");
    s.game.playing = false;
    const size_t before = s.Count();
    s.Receive(chpktRequestTakeback, "1\n");
    EXPECT_EQ(s.Count(), before);
    int ply = -1;
    EXPECT_FALSE(s.rules.TakeTheirTakeback(ply));
    EXPECT_EQ(s.game.log.back(), "Refused chpktRequestTakeback: the game is not in play");
}

TEST(GameMessages, ASecondMoveBeforeTheFirstIsMadeIsRefused)
{
    SRules s;
    s.game.remoteColour = WHITE;
    s.game.moveWaits = true; // e4 arrived; the board has not made it yet
    s.Receive(chpktMove, "d4\n");
    EXPECT_TRUE(s.game.events.empty()) << "the waiting move is never replaced";
    EXPECT_EQ(s.game.log.back(), "Refused chpktMove: a move of the opponent's still waits to be made");
    s.game.moveWaits = false;
    s.Receive(chpktMove, "e4\n1000\n");
    EXPECT_EQ(s.game.Last(), "move e4 1000");
}

TEST(GameMessages, ProposalsAreClampedAndBadSidesRefused)
{
    SRules s;
    s.Receive(chpktGameProposal, Proposal("yes", "1"));
    EXPECT_EQ(s.game.Last(), "proposal side=0 timed=1 clock=60");
    s.Receive(chpktGameProposal, Proposal("true", "999999999"));
    EXPECT_EQ(s.game.Last(), "proposal side=0 timed=1 clock=5940");
    s.Receive(chpktGameProposal, Proposal("no", "-5", "1"));
    EXPECT_EQ(s.game.Last(), "proposal side=1 timed=0 clock=60");
    size_t before = s.Count();
    s.Receive(chpktGameProposal, Proposal("yes", "300", "7"));
    EXPECT_EQ(s.Count(), before);
    // Text without the keys proposes an untimed game.
    s.Receive(chpktGameProposal, "\x01\x02 garbage");
    EXPECT_EQ(s.game.Last(), "proposal side=0 timed=0 clock=60");
}

TEST(GameMessages, ResignationTimeUpAndProtocol)
{
    SRules s;
    s.Receive(chpktProtocol, "2\n");
    EXPECT_EQ(s.Count(), 0u);
    s.Receive(chpktProtocol, "3\n");
    EXPECT_EQ(s.game.Last(), "wrongprotocol 3");
    s.Receive(chpktProtocol);
    EXPECT_EQ(s.game.Last(), "wrongprotocol ");

    // Time up only while the opponent's clock runs in a timed game.
    s.Receive(chpktTimeUp);
    EXPECT_EQ(s.game.Last(), "wrongprotocol ");
    s.game.Play("e4");
    s.game.timed = false;
    s.Receive(chpktTimeUp);
    EXPECT_EQ(s.game.Last(), "wrongprotocol ");
    s.game.timed = true;
    s.Receive(chpktTimeUp);
    EXPECT_EQ(s.game.Last(), "timeup");

    s.Receive(chpktResign, "\n");
    EXPECT_EQ(s.game.Last(), "resigned");
    s.game.playing = false;
    s.Receive(chpktResign, "left game\n");
    s.Receive(chpktTimeUp);
    EXPECT_EQ(s.game.Last(), "resigned");
}

TEST(GameMessages, RequestsWaitTenSeconds)
{
    CRequestInterval interval;
    EXPECT_TRUE(interval.Allows(1.0));
    interval.Note(100.0);
    EXPECT_FALSE(interval.Allows(100.0));
    EXPECT_FALSE(interval.Allows(109.9));
    EXPECT_TRUE(interval.Allows(110.0));
    interval.Forget();
    EXPECT_TRUE(interval.Allows(100.5));
}

TEST(GameMessages, DescribesPlies)
{
    CChessBoard board;
    board.SetupStartPosition();
    for (const char* san : { "e4", "c5", "Nf3" }) {
        CMove move;
        ASSERT_TRUE(board.ParseMove(san, move, true));
        board.MakeMove(move, 0.0);
    }
    EXPECT_STREQ(GameMessage::DescribePly(board, 0).GetText(), "1. e4");
    EXPECT_STREQ(GameMessage::DescribePly(board, 1).GetText(), "1. ... c5");
    EXPECT_STREQ(GameMessage::DescribePly(board, 2).GetText(), "2. Nf3");
    EXPECT_STREQ(GameMessage::DescribePly(board, 3).GetText(), "");
    EXPECT_STREQ(GameMessage::DescribePly(board, -1).GetText(), "");
}
