// The online game against a scripted peer: what it sends for the local
// side's moves and requests, and what the peer's packets do to it, through
// a session stand-in that records every packet and the game's windows
// recorded instead of shown.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "client/core/Prompt.h"
#include "client/remote/GameMessages.h"
#include "client/remote/GridmoorGame.h"
#include "client/remote/GridmoorLink.h"
#include "client/remote/GridmoorPlayer.h"
#include "client/remote/PacketHeader.h"
#include "client/remote/tests/support/RemoteFixture.h"
#include "foundation/BufferFile.h"
#include "foundation/Config.h"

using RemoteTest::Le;
using Zorlin::CBuffer;
using Zorlin::CBufferFile;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

const uint32_t kPeer = 41;
const uint32_t kStranger = 99;

// One packet as the game sent it, read back.
struct SSent {
    uint32_t type = 0;
    uint32_t id = 0;
    uint32_t message = 0; // for forwards
    std::string body;     // after the header (and a forward's type)
    bool inBatch = false;
};

class CRecordingLink : public CGridmoorLink {
public:
    bool IsConnected() override { return connected; }
    bool Send(const CBuffer& payload) override
    {
        CBuffer copy = payload;
        CBufferFile file(&copy);
        file.Open("sent", CFile::kModeRead);
        CPacketHeader header;
        EXPECT_TRUE(header.Read(file));
        SSent sent;
        sent.type = header.m_type;
        sent.id = header.m_id;
        std::string rest(reinterpret_cast<const char*>(payload.GetData()) + file.GetPosition(),
                         size_t(payload.GetSize()) - file.GetPosition());
        if (sent.type == pktRequestForward && rest.size() >= 4) {
            for (int i = 3; i >= 0; --i)
                sent.message = sent.message << 8 | uint8_t(rest[size_t(i)]);
            rest = rest.substr(4);
        }
        sent.body = rest;
        sent.inBatch = batch;
        packets.push_back(sent);
        return connected;
    }
    void BeginBatch() override { batch = true; }
    void EndBatch() override { batch = false; }
    void Close() override
    {
        closed = true;
        connected = false;
    }
    void ArmPlayerNotify(bool arm) override { notify = arm; }
    bool IsNotifyArmed() override { return notify; }
    void Log(const CString& line) override { log.push_back(line.GetText()); }
    void SetLastOpponent(uint32_t id) override { lastOpponent = id; }
    void Listen(CGridmoorGame* game) override { listener = game; }
    void StopListening(CGridmoorGame* game) override
    {
        if (listener == game)
            listener = nullptr;
    }

    // The forwards of one message type.
    std::vector<SSent> Forwards(uint32_t message) const
    {
        std::vector<SSent> out;
        for (const SSent& sent : packets)
            if (sent.type == pktRequestForward && sent.message == message)
                out.push_back(sent);
        return out;
    }
    int Count(uint32_t type) const
    {
        int n = 0;
        for (const SSent& sent : packets)
            n += sent.type == type;
        return n;
    }

    bool connected = true;
    bool closed = false;
    bool notify = true;
    bool batch = false;
    CGridmoorGame* listener = nullptr;
    uint32_t lastOpponent = 0;
    std::vector<SSent> packets;
    std::vector<std::string> log;
};

struct SShown {
    std::string title;
    std::string html;
};

class CRecordingUi : public CGridmoorGameUi {
public:
    explicit CRecordingUi(std::vector<std::string>& journal) : m_journal(journal) {}

    void ShowMessage(const CString& title, const CString& html) override
    {
        m_journal.push_back(std::string("message ") + title.GetText() + ": " + html.GetText());
    }
    void OpenRequest(ERequest kind, const CString& page, const CString& title, const CString& closeLink,
                     const Zorlin::CAssocArray<CString>& variables, CLinkHandler*) override
    {
        std::string line = std::string("request ") + page.GetText() + " '" + title.GetText() + "' close=" +
                           closeLink.GetText();
        for (const char* key : { "name", "text", "move" })
            if (const CString* value = variables.Find(key))
                line += std::string(" ") + key + "=" + value->GetText();
        m_journal.push_back(line);
        open[kind] = true;
    }
    bool IsRequestOpen(ERequest kind) override { return open[kind]; }
    void CloseRequests() override
    {
        for (bool& o : open)
            o = false;
    }
    void DismissAll() override { CloseRequests(); }
    void CloseAll() override { CloseRequests(); }
    void ShowWrongProtocol() override { m_journal.push_back("wrong protocol"); }
    void ShowGameOverOptions(CLinkHandler*, bool withOpponent) override
    {
        m_journal.push_back(withOpponent ? "options propose" : "options");
    }
    void ForgetRequest(ERequest kind) override { open[kind] = false; }
    void PlaySound(ESound) override {}
    void Say(const char* phrase) override { m_journal.push_back(std::string("say ") + phrase); }
    void ChatNotice(const CString& text) override { m_journal.push_back(std::string("notice ") + text.GetText()); }
    void ChatLine(const CString& name, const CString& text) override
    {
        m_journal.push_back(std::string("chat ") + name.GetText() + ": " + text.GetText());
    }
    void CancelDrag() override {}
    void SetBoardInactive(bool inactive) override { m_journal.push_back(inactive ? "inactive" : "active"); }
    // As the board canvas: the game's end-of-game hook, then the Game Over window.
    void ShowGameEnd(int outcome) override
    {
        m_journal.push_back("game end " + std::to_string(outcome));
        if (game)
            game->OnGameOver();
    }
    void Refresh() override {}
    void ShowNewGame() override { m_journal.push_back("new game"); }
    double Now() override { return now; }
    void RunCommand(const char* command) override { m_journal.push_back(std::string("command ") + command); }
    int AskChallenge(bool, int) override { return challenge; }

    double now = 1000.0;
    int challenge = 5;
    CGridmoorGame* game = nullptr;
    bool open[kRequestCount] = {};

private:
    std::vector<std::string>& m_journal;
};

// Reaches the display clocks to run a clock down without waiting.
class CTestGame : public CGridmoorGame {
public:
    using CGridmoorGame::CGridmoorGame;
    void SetDisplayClock(int colour, double ms) { m_displayClocks[colour == BLACK ? 1 : 0] = ms; }
};

class GridmoorGameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoteTest::StartToolkit();
        prompt.Install();
        ui = new CRecordingUi(journal);
        game.reset(new CTestGame(&link, ui));
        ui->game = game.get();
        game->LinkOpponent(kPeer);
        Zorlin::CConfig profile;
        profile.GetValue("name") = "Ann <b>&</b>";
        profile.GetValue("ID") = "AB12";
        game->SetOpponentProfile(profile);
    }

    void Begin(int localColour, bool timed = false, int clock = 300)
    {
        game->BeginGame(localColour, kPeer);
        game->SetTimeControl(timed, clock, clock);
        Peer(chpktResume);
    }

    // A packet from the server, its id the sender's.
    void Packet(uint32_t type, uint32_t id, const std::string& body = "")
    {
        CPacketHeader header(type, id);
        CBuffer buffer;
        buffer.Resize(int(body.size()));
        if (!body.empty())
            buffer.WriteAt(body.data(), int(body.size()), 0);
        CBufferFile file(&buffer);
        file.Open("body", CFile::kModeRead);
        EXPECT_TRUE(game->OnSessionPacket(header, file));
    }
    void Peer(uint32_t message, const std::string& body = "", uint32_t from = kPeer)
    {
        Packet(pktForward, from, Le(message) + body);
    }

    // The board canvas's road of a move, for either side.
    void Apply(CMove move)
    {
        CPlayer* mover = game->GetPlayer(SIDE_TO_MOVE);
        CPlayer* other = game->GetPlayer(game->GetBoard().GetSideToMove() == WHITE ? BLACK : WHITE);
        double ms = game->UpdateClock();
        game->GetBoard().MakeMove(move, ms);
        if (other && other != mover)
            other->OpponentMoved(move);
    }
    void Local(const char* san)
    {
        CMove move;
        ASSERT_TRUE(game->GetBoard().ParseMove(san, move, true)) << san;
        Apply(move);
    }
    // The peer's move arrives and the next tick applies it.
    bool Remote(const char* san, const char* ms = nullptr)
    {
        std::string body = std::string(san) + "\n" + (ms ? std::string(ms) + "\n" : "");
        Peer(chpktMove, body);
        CPlayer* mover = game->GetPlayer(SIDE_TO_MOVE);
        if (mover->IsLocal() || !mover->HasMove())
            return false;
        CMove move;
        mover->GetMove(move);
        Apply(move);
        return true;
    }
    bool Journal(const std::string& line) const
    {
        for (const std::string& entry : journal)
            if (entry == line)
                return true;
        return false;
    }

    CScriptedPrompt prompt;
    CRecordingLink link;
    std::vector<std::string> journal;
    CRecordingUi* ui = nullptr;
    std::unique_ptr<CTestGame> game;
};

} // namespace

TEST_F(GridmoorGameTest, LinkingSendsResumeAndProtocolInOneBatchAndListens)
{
    ASSERT_EQ(link.packets.size(), 2u);
    EXPECT_EQ(link.packets[0].message, uint32_t(chpktResume));
    EXPECT_EQ(link.packets[1].message, uint32_t(chpktProtocol));
    EXPECT_EQ(link.packets[1].body, "2\n");
    for (const SSent& sent : link.packets) {
        EXPECT_EQ(sent.id, kPeer);
        EXPECT_TRUE(sent.inBatch);
    }
    EXPECT_EQ(link.listener, game.get());
    EXPECT_EQ(link.lastOpponent, kPeer);
    EXPECT_TRUE(Journal("notice You are talking to Ann <b>&</b>."));
    game->BeginGame(WHITE, kPeer);
    EXPECT_FALSE(link.notify);
}

TEST_F(GridmoorGameTest, ATimedGameBothWaysWithElapsedTimes)
{
    Begin(WHITE, true, 300);
    Local("e4");
    EXPECT_TRUE(Remote("e5", "2500"));
    Local("Nf3");
    EXPECT_TRUE(Remote("Nc6", "-90000")) << "a negative time is taken as 0";
    Local("Bb5");
    EXPECT_EQ(game->GetBoard().GetPly(), 5);
    EXPECT_DOUBLE_EQ(game->GetDisplayClock(BLACK), 300000.0 - 2500.0);

    std::vector<SSent> moves = link.Forwards(chpktMove);
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_EQ(moves[0].body.substr(0, 3), "e4\n");
    EXPECT_EQ(moves[1].body.substr(0, 4), "Nf3\n");
    // Each carries the mover's elapsed milliseconds in a timed game.
    EXPECT_NE(moves[1].body.find('\n', 4), std::string::npos);

    // Refused: out of turn, illegal, after the game.
    EXPECT_FALSE(Remote("Nf3"));
    EXPECT_FALSE(Remote("Ke6"));
    EXPECT_EQ(game->GetBoard().GetPly(), 5);
}

TEST_F(GridmoorGameTest, MovesBeforeResumeAndFromStrangersChangeNothing)
{
    game->BeginGame(BLACK, kPeer);
    EXPECT_FALSE(Remote("e4")) << "before the resume";
    Peer(chpktResume, "", kStranger);
    EXPECT_FALSE(Remote("e4"));
    // The stranger's link is closed, the game untouched.
    ASSERT_GE(link.Count(pktCloseConnection), 1);
    EXPECT_EQ(link.packets.back().id, kStranger);
    Peer(chpktResume);
    EXPECT_TRUE(Remote("e4"));
    EXPECT_EQ(game->GetBoard().GetPly(), 1);
    // Untimed: the move line alone.
    Local("e5");
    EXPECT_EQ(link.Forwards(chpktMove).back().body, "e5\n");
}

TEST_F(GridmoorGameTest, DrawOfferedDeclinedThenAcceptedWithTheWait)
{
    Begin(WHITE);
    Local("e4");
    game->OfferDraw(WHITE);
    EXPECT_EQ(link.Forwards(chpktRequestDraw).size(), 1u);
    ui->now += 3.0;
    game->OfferDraw(WHITE);
    EXPECT_EQ(link.Forwards(chpktRequestDraw).size(), 1u) << "within ten seconds";
    EXPECT_TRUE(Journal(
        "message Please Wait: Please wait at least <B>10</B> seconds between sending requests to your opponent."));
    Peer(chpktDraw, "no\n");
    EXPECT_TRUE(Journal("message Opponent's Response: Ann &lt;b&gt;&amp;&lt;/b&gt; has <i>declined</i> your offer of a draw."));
    Peer(chpktDraw, "yes\n");
    EXPECT_EQ(game->GetResult(), RESULT_NONE) << "the offer was answered already";
    ui->now += 10.0;
    game->OfferDraw(WHITE);
    Peer(chpktDraw, "yes\n");
    EXPECT_EQ(game->GetResult(), RESULT_DRAW);
    EXPECT_FALSE(game->IsInPlay());
}

TEST_F(GridmoorGameTest, TheirDrawOfferTakebackAndResetAreAnsweredOnce)
{
    Begin(BLACK);
    EXPECT_TRUE(Remote("d4"));
    Local("d5");
    EXPECT_TRUE(Remote("c4"));
    Peer(chpktRequestTakeback, "2\n");
    EXPECT_TRUE(Journal("request takeback 'Take-back Requested' close=takeback decline name=Ann &lt;b&gt;&amp;&lt;/b&gt; move=2. c4"));
    EXPECT_TRUE(game->HandleLink("takeback accept"));
    EXPECT_EQ(game->GetBoard().GetPly(), 2);
    ASSERT_EQ(link.Forwards(chpktTakeback).size(), 1u);
    EXPECT_EQ(link.Forwards(chpktTakeback)[0].body, "2\n");
    game->HandleLink("takeback accept");
    game->HandleLink("takeback decline");
    EXPECT_EQ(link.Forwards(chpktTakeback).size(), 1u);

    EXPECT_TRUE(Remote("Nf3"));
    Peer(chpktRequestDraw);
    game->HandleLink("draw decline");
    game->HandleLink("draw accept");
    EXPECT_EQ(game->GetResult(), RESULT_NONE);
    ASSERT_EQ(link.Forwards(chpktDraw).size(), 1u);
    EXPECT_EQ(link.Forwards(chpktDraw)[0].body, "no\n");

    Peer(chpktRequestReset);
    game->HandleLink("reset accept");
    EXPECT_EQ(game->GetBoard().GetPly(), 0);
    game->HandleLink("reset accept");
    EXPECT_EQ(link.Forwards(chpktReset).size(), 1u);
}

TEST_F(GridmoorGameTest, OurTakebackAcceptedAndUnaskedAnswersRefused)
{
    Begin(WHITE);
    Local("e4");
    EXPECT_TRUE(Remote("e5"));
    Local("Nf3");
    Peer(chpktTakeback, "0\n");
    EXPECT_EQ(game->GetBoard().GetPly(), 3) << "nothing was asked";
    game->GetPlayer(BLACK)->RequestTakeBack(2);
    ASSERT_EQ(link.Forwards(chpktRequestTakeback).size(), 1u);
    EXPECT_EQ(link.Forwards(chpktRequestTakeback)[0].body, "2\n");
    Peer(chpktTakeback, "0\n");
    EXPECT_EQ(game->GetBoard().GetPly(), 3) << "not the ply asked for";
    Peer(chpktTakeback, "2\n");
    EXPECT_EQ(game->GetBoard().GetPly(), 2);
    EXPECT_EQ(link.Forwards(chpktResume).size(), 2u);
}

TEST_F(GridmoorGameTest, ANewGameProposedAndAgreedWithOppositeColours)
{
    Begin(WHITE);
    Local("e4");
    // During play the challenge warns first.
    prompt.QueueButton(wxYES);
    game->Reset();
    ASSERT_EQ(link.Forwards(chpktGameProposal).size(), 1u);
    Zorlin::CConfig sent;
    sent.ReadText(link.Forwards(chpktGameProposal)[0].body.c_str(), int(link.Forwards(chpktGameProposal)[0].body.size()));
    EXPECT_EQ(std::string(sent.GetValueOr("clock", "").GetText()), "300");
    EXPECT_EQ(std::string(sent.GetValueOr("timed", "").GetText()), "yes");
    Peer(chpktBeginGame, "yes\r\nside = 1\r\ntimed = no\r\nclock = 60\r\n");
    EXPECT_TRUE(Journal("game end 0")) << "the game in play is kept as unfinished";
    EXPECT_EQ(game->GetBoard().GetPly(), 0);
    EXPECT_EQ(game->GetPlayer(BLACK)->IsLocal(), true);
    EXPECT_TRUE(Journal("new game")) << "the board is turned for the new colours";
    EXPECT_TRUE(game->IsTimed()) << "the time control is the one we proposed";
    EXPECT_EQ(game->GetClockSeconds(), 300);

    // Their proposal: agreed once; each side gets the other colour.
    Peer(chpktGameProposal, "timed = yes\r\nclock = 600\r\n");
    EXPECT_TRUE(Journal(
        "request newgame 'New Game Propsal' close=newgame decline name=Ann &lt;b&gt;&amp;&lt;/b&gt; text=Ann "
        "&lt;b&gt;&amp;&lt;/b&gt; proposes a new <B>10</B> minute game."));
    game->HandleLink("newgame agree");
    game->HandleLink("newgame agree");
    std::vector<SSent> begins = link.Forwards(chpktBeginGame);
    ASSERT_EQ(begins.size(), 1u);
    Zorlin::CConfig answer;
    std::string body = begins[0].body;
    ASSERT_EQ(body.substr(0, 4), "yes\n");
    answer.ReadText(body.c_str() + 4, int(body.size() - 4));
    int theirSide = std::stoi(answer.GetValueOr("side", "").GetText());
    CPlayer* local = nullptr;
    ASSERT_TRUE(game->FindLocalPlayer(local));
    EXPECT_EQ(theirSide, local->GetColour() == WHITE ? BLACK : WHITE);
    EXPECT_EQ(game->GetClockSeconds(), 600);
}

TEST_F(GridmoorGameTest, LossOnTimeAndTheOpponentsTimeUp)
{
    Begin(WHITE, true, 60);
    Local("e4");
    EXPECT_TRUE(Remote("e5", "100"));
    game->Poll();
    EXPECT_TRUE(game->IsInPlay());
    game->SetDisplayClock(WHITE, 0.0);
    game->Poll();
    EXPECT_FALSE(game->IsInPlay());
    EXPECT_EQ(game->GetResult(), RESULT_BLACK_WINS);
    EXPECT_EQ(link.Forwards(chpktTimeUp).size(), 1u);
    EXPECT_TRUE(Journal("message Time Up: You have lost on time!"));
    EXPECT_TRUE(Journal("say _ black wins"));
    EXPECT_TRUE(Journal("game end -1")) << "counted as lost, not drawn";
    EXPECT_FALSE(Journal("game end 0"));
    game->Poll();
    EXPECT_EQ(link.Forwards(chpktTimeUp).size(), 1u);

    // The other side: their time-up counts only while their clock runs.
    Begin(WHITE, true, 60);
    game->GetBoard().SetupStartPosition();
    Peer(chpktTimeUp);
    EXPECT_EQ(game->GetResult(), RESULT_NONE);
    Local("e4");
    Peer(chpktTimeUp);
    EXPECT_EQ(game->GetResult(), RESULT_WHITE_WINS);
    EXPECT_TRUE(Journal("message Time Up: Your opponent has run out of time. You win!"));
    EXPECT_TRUE(Journal("game end 1"));
    EXPECT_TRUE(Journal("options propose")) << "the opponent is still there";
}

TEST_F(GridmoorGameTest, LeavingAfterOnePlySendsNoResignationAfterTwoItDoes)
{
    Begin(WHITE);
    Local("e4");
    prompt.QueueButton(wxNO);
    EXPECT_FALSE(game->QueryClose());
    prompt.QueueButton(wxYES);
    EXPECT_TRUE(game->QueryClose());
    EXPECT_TRUE(link.Forwards(chpktResign).empty());
    EXPECT_TRUE(link.closed);
    EXPECT_EQ(link.Count(pktCloseConnection), 1);

    // Closing after two plies resigns: the game is kept as lost, and the
    // connection's end that follows adds no unfinished game.
    link.connected = true;
    SetUp();
    Begin(WHITE);
    Local("e4");
    EXPECT_TRUE(Remote("e5"));
    journal.clear();
    prompt.QueueButton(wxYES);
    EXPECT_TRUE(game->QueryClose());
    EXPECT_EQ(link.Forwards(chpktResign).size(), 1u);
    EXPECT_EQ(game->GetResult(), RESULT_BLACK_WINS);
    prompt.QueueButton(wxOK);
    game->OnSessionState(4);
    EXPECT_TRUE(Journal("game end -1"));
    EXPECT_FALSE(Journal("game end 0"));
    EXPECT_FALSE(Journal("options"));
    EXPECT_EQ(prompt.CountText("You have been disconnected from the Gridmoor server."), 1);

    link.connected = true;
    link.packets.clear();
    SetUp();
    Begin(WHITE);
    Local("e4");
    EXPECT_TRUE(Remote("e5"));
    prompt.QueueButton(wxNO);
    EXPECT_FALSE(game->ConfirmLeave());
    EXPECT_TRUE(game->IsPlaying()) << "No keeps the game";
    prompt.QueueButton(wxYES);
    EXPECT_TRUE(game->ConfirmLeave());
    ASSERT_EQ(link.Forwards(chpktResign).size(), 1u);
    EXPECT_EQ(link.Forwards(chpktResign)[0].body, "left game\n");
    EXPECT_EQ(prompt.CountText("You are still playing a game with Ann <b>&</b>.\n\nDo you want to resign?"), 2);
    EXPECT_EQ(game->GetOpponentId(), 0u);
    // Leaving is resigning: the game ends lost, kept and counted, without asking what next.
    EXPECT_FALSE(game->IsInPlay());
    EXPECT_EQ(game->GetResult(), RESULT_BLACK_WINS);
    EXPECT_TRUE(Journal("game end -1"));
    EXPECT_FALSE(Journal("options"));
    EXPECT_FALSE(Journal("options propose"));
}

TEST_F(GridmoorGameTest, TheOpponentLeavingAndResigning)
{
    Begin(WHITE);
    Local("e4");
    Peer(chpktResign, "left game\n");
    EXPECT_EQ(game->GetResult(), RESULT_WHITE_WINS);
    EXPECT_TRUE(Journal("notice Ann <b>&</b> has left the game."));
    EXPECT_TRUE(Journal("message Game Over: Ann &lt;b&gt;&amp;&lt;/b&gt; has resigned, and left the game!"));
    EXPECT_TRUE(Journal("say _ _ white wins"));

    Packet(pktConnectionClosed, kPeer);
    EXPECT_TRUE(Journal("message Opponent Disconnected: Ann &lt;b&gt;&amp;&lt;/b&gt; has left the game."));
    EXPECT_TRUE(Journal("options")) << "no other game with the one who has gone";
    EXPECT_EQ(game->GetOpponentId(), 0u);
    // Nothing more is heard from the old link.
    size_t before = journal.size();
    Peer(chpktRequestDraw);
    Packet(pktChat, kPeer, "Ann\nhello\n");
    EXPECT_EQ(journal.size(), before);
}

TEST_F(GridmoorGameTest, ChatBothWaysAndOnlyFromTheOpponent)
{
    Begin(WHITE);
    Packet(pktChat, kPeer, "Ann\nhello <there>\n");
    EXPECT_TRUE(Journal("chat Ann: hello <there>"));
    Packet(pktChat, kStranger, "Eve\nspam\n");
    EXPECT_FALSE(Journal("chat Eve: spam"));
    EXPECT_EQ(link.packets.back().type, uint32_t(pktCloseConnection));
    EXPECT_EQ(link.packets.back().id, kStranger);
    game->SendChat(CString(std::string(60, 'z').c_str()), "hi");
    EXPECT_EQ(link.packets.back().type, uint32_t(pktSendChat));
    EXPECT_EQ(link.packets.back().id, kPeer);
    EXPECT_EQ(link.packets.back().body, std::string(40, 'z') + "\nhi\n");
}

TEST_F(GridmoorGameTest, MatchesAndInvitesDuringAGameAreTurnedAway)
{
    Begin(WHITE);
    Packet(pktSearchMatch, 7);
    EXPECT_EQ(link.packets.back().type, uint32_t(pktCloseConnection));
    EXPECT_EQ(link.packets.back().id, 7u);
    Packet(pktConnectInvite, 8);
    EXPECT_EQ(link.packets.back().type, uint32_t(pktConnectRejected));
    EXPECT_EQ(link.packets.back().id, 8u);
}

TEST_F(GridmoorGameTest, RequestsNeedAnOpponentAndDisconnectionEndsPlay)
{
    Begin(WHITE);
    link.connected = false;
    game->OfferDraw(WHITE);
    EXPECT_TRUE(link.Forwards(chpktRequestDraw).empty());
    EXPECT_EQ(prompt.CountText("You are not connected to an opponent!\n\nClick Game / Play Online to find a new opponent."), 1);
    prompt.QueueButton(wxOK);
    Local("e4");
    game->OnSessionState(4);
    EXPECT_FALSE(game->IsInPlay());
    EXPECT_TRUE(Journal("inactive"));
    // The game in play ends without a result, the way every ended game goes.
    EXPECT_EQ(game->GetResult(), RESULT_NONE);
    EXPECT_TRUE(Journal("game end 0"));
    EXPECT_TRUE(Journal("options"));
    EXPECT_EQ(prompt.CountText("You have been disconnected from the Gridmoor server.\n\nThe game ends without a result and "
                               "is kept as unfinished (\"*\")."),
              1);
    // A finished game only says the connection is gone.
    link.connected = true;
    SetUp();
    Begin(WHITE);
    Local("e4");
    Peer(chpktResign, "\n");
    journal.clear();
    prompt.QueueButton(wxOK);
    game->OnSessionState(4);
    EXPECT_EQ(game->GetResult(), RESULT_WHITE_WINS);
    EXPECT_FALSE(Journal("game end 0"));
    EXPECT_EQ(prompt.CountText("You have been disconnected from the Gridmoor server."), 1);
}

TEST_F(GridmoorGameTest, AnOpponentGoneMidGameEndsItWithoutAResult)
{
    Begin(BLACK);
    EXPECT_TRUE(Remote("e4"));
    Local("e5");
    Packet(pktConnectionBroken, kPeer);
    EXPECT_FALSE(game->IsInPlay());
    EXPECT_EQ(game->GetResult(), RESULT_NONE);
    EXPECT_TRUE(Journal("game end 0"));
    EXPECT_TRUE(Journal("options"));
    EXPECT_FALSE(Journal("options propose"));
    EXPECT_TRUE(Journal("message Opponent Disconnected: Ann &lt;b&gt;&amp;&lt;/b&gt; has left the game.<br><br>The "
                        "game ends without a result and is kept as unfinished (\"*\")."));
}

TEST_F(GridmoorGameTest, ANewGameDuringPlayEndsTheOldOneWithoutAResult)
{
    Begin(WHITE);
    Local("e4");
    EXPECT_TRUE(Remote("e5"));
    // Our challenge warns first; No sends nothing.
    prompt.QueueButton(wxNO);
    game->Reset();
    EXPECT_TRUE(link.Forwards(chpktGameProposal).empty());
    EXPECT_EQ(prompt.CountText("You are still playing a game with Ann <b>&</b>.\n\nIf your challenge is accepted, "
                               "this game ends without a result. Send a challenge?"),
              1);
    // Their proposal says what playing it means; agreeing ends the old game first.
    Peer(chpktGameProposal, "timed = no\r\nclock = 0\r\n");
    EXPECT_TRUE(Journal("request newgame 'New Game Propsal' close=newgame decline name=Ann &lt;b&gt;&amp;&lt;/b&gt; "
                        "text=Ann &lt;b&gt;&amp;&lt;/b&gt; proposes a new (untimed) game.<br>Playing it ends the game "
                        "in progress without a result."));
    journal.clear();
    game->HandleLink("newgame agree");
    ASSERT_GE(journal.size(), 2u);
    EXPECT_EQ(journal[0], "game end 0");
    EXPECT_TRUE(Journal("new game"));
    EXPECT_FALSE(Journal("options")) << "what next is not asked: the next game is there";
    EXPECT_TRUE(game->IsPlaying());
    EXPECT_EQ(game->GetBoard().GetPly(), 0);
}

TEST_F(GridmoorGameTest, TheListenerGoesWithTheGame)
{
    game->End();
    EXPECT_EQ(link.listener, nullptr);
    EXPECT_EQ(link.Count(pktCloseConnection), 1);
    SetUp();
    EXPECT_EQ(link.listener, game.get());
    game.reset();
    EXPECT_EQ(link.listener, nullptr);
}

TEST_F(GridmoorGameTest, AFloodOfRequestsOpensOnePopupOfEachKind)
{
    Begin(WHITE);
    Local("e4");
    EXPECT_TRUE(Remote("e5"));
    for (int i = 0; i < 1000; ++i) {
        Peer(chpktRequestDraw);
        Peer(chpktRequestTakeback, "1\n");
        Peer(chpktRequestReset);
    }
    int requests = 0;
    for (const std::string& entry : journal)
        requests += entry.rfind("request ", 0) == 0;
    EXPECT_EQ(requests, 3);
    // The one take-back popup answers for the ply it shows.
    EXPECT_TRUE(game->HandleLink("takeback decline"));
    ASSERT_EQ(link.Forwards(chpktTakeback).size(), 1u);
    EXPECT_EQ(link.Forwards(chpktTakeback)[0].body, "no\n");
    // Answered, the next request is shown again.
    Peer(chpktRequestTakeback, "0\n");
    EXPECT_TRUE(Journal("request takeback 'Take-back Requested' close=takeback decline name=Ann &lt;b&gt;&amp;&lt;/b&gt; move=1. e4"));
}

TEST_F(GridmoorGameTest, ASecondMoveBeforeTheBoardMadeTheFirstIsRefused)
{
    Begin(BLACK);
    Peer(chpktMove, "e4\n");
    Peer(chpktMove, "d4\n");
    CPlayer* mover = game->GetPlayer(SIDE_TO_MOVE);
    ASSERT_TRUE(mover->HasMove());
    CMove move;
    mover->GetMove(move);
    Apply(move);
    EXPECT_EQ(game->GetBoard().GetPly(), 1);
    EXPECT_STREQ(game->GetBoard().GetHistory().GetAt(0)->m_shortText, "e4") << "the first move stands";
    EXPECT_FALSE(game->GetPlayer(WHITE)->HasMove());
    bool logged = false;
    for (const std::string& line : link.log)
        logged = logged || line == "Refused chpktMove: a move of the opponent's still waits to be made";
    EXPECT_TRUE(logged);
}

TEST_F(GridmoorGameTest, ATakeBackRequestAfterTheEndIsNotShown)
{
    Begin(WHITE);
    Local("e4");
    EXPECT_TRUE(Remote("e5"));
    Peer(chpktResign, "\n");
    ASSERT_NE(game->GetResult(), RESULT_NONE);
    Peer(chpktRequestTakeback, "1\n");
    Peer(chpktRequestDraw);
    for (const std::string& entry : journal)
        EXPECT_NE(entry.rfind("request ", 0), 0u) << entry;
}

TEST(GridmoorPlayer, KeepsTheLastMoveAndHandsItOnce)
{
    CGridmoorPlayer seat;
    EXPECT_FALSE(seat.HasMove());
    CChessBoard board;
    board.SetupStartPosition();
    CMove first, second, out;
    ASSERT_TRUE(board.ParseMove("e4", first, true));
    ASSERT_TRUE(board.ParseMove("d4", second, true));
    seat.ReceiveMove(first);
    seat.ReceiveMove(second);
    ASSERT_TRUE(seat.HasMove());
    ASSERT_TRUE(seat.GetMove(out));
    EXPECT_FALSE(seat.HasMove());
    EXPECT_TRUE(out.SameSquares(second));
    EXPECT_STREQ(seat.GetProperty("type").GetText(), "CGridmoorPlayer");
}

TEST_F(GridmoorGameTest, PacketsThatNameNoSenderAreNotAnsweredWithAnIdlessClose)
{
    Begin(WHITE);
    const size_t sent = link.packets.size();
    // The server reads a close without an id as "close my own link".
    Packet(pktForward, 0, Le(chpktRequestDraw));
    Packet(pktChat, 0, "Eve\nspam\n");
    Packet(pktSearchMatch, 0);
    Packet(pktConnectInvite, 0);
    EXPECT_EQ(link.packets.size(), sent);
    EXPECT_FALSE(Journal("chat Eve: spam"));
    EXPECT_EQ(prompt.GetCount(), 0);
    EXPECT_TRUE(game->IsPlaying());
    // The opponent is still heard.
    Packet(pktChat, kPeer, "Ann\nstill here\n");
    EXPECT_TRUE(Journal("chat Ann: still here"));
}
