// Feeds arbitrary bytes to an online game as the server passes on what the
// linked client sends: packets cut by a packet stream, forwards read by
// CGameMessages and chat lines checked against the opponent, carried out by
// a small game that keeps a real board. Between packets the local user
// moves, proposes, offers, asks and answers as the input's seed decides.
// Checked: a move handed to the game is legal, the opponent's and made in
// play; an answer reaches the game only for a request of ours; numbers
// stay within their bounds; nothing from another client reaches the game.
//
// Input: settings (bit 0 a timed game, bit 1 we play Black, bit 2 resumed
// already), two bytes of seed, then the server's bytes.

#include "FuzzSupport.h"

#include "client/remote/GameMessages.h"
#include "foundation/BufferFile.h"
#include "foundation/PacketHeader.h"
#include "foundation/PacketStream.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

using namespace Zorlin;
using FuzzSupport::CChoices;
using FuzzSupport::Check;

namespace {

const uint32_t kOpponent = 7;

class CFakeGame : public CGameMessageTarget {
public:
    CFakeGame() { board.SetupStartPosition(); }

    const CChessBoard& GetBoard() const override { return board; }
    bool IsPlaying() const override { return playing; }
    int GetRemoteColour() const override { return remoteColour; }
    bool IsTimed() const override { return timed; }
    bool IsAsking(uint32_t requestType) const override { return requestType < kTypes && asking[requestType]; }
    bool HasReadyMove() const override { return hasReady; }

    void OnWrongProtocol(const CString& version) override
    {
        Check(version.GetLength() <= GameMessage::kMaxLine);
        Heard();
    }
    void OnProposal(const SGameProposal& proposal) override
    {
        CheckTerms(proposal);
        Ask(chpktGameProposal);
    }
    void OnBeginAccepted(const SGameProposal& agreed) override
    {
        Check(proposalAsked);
        CheckTerms(agreed);
        proposalAsked = false;
        Start(1 - agreed.side, agreed.timed);
        Heard();
    }
    void OnBeginDeclined() override
    {
        Check(proposalAsked);
        proposalAsked = false;
        Heard();
    }
    void OnResume() override { Heard(); }
    void OnRemoteMove(const CMove& move, double elapsedMs) override
    {
        Check(playing && !hasReady && int(board.GetSideToMove()) == remoteColour);
        Check(FuzzSupport::IsLegalHere(board, move));
        Check(std::isfinite(elapsedMs) && elapsedMs >= 0.0 && elapsedMs <= GameMessage::kMaxElapsedMs);
        ready = move;
        hasReady = true;
        Heard();
    }
    void OnTakebackRequested(int ply, const CString&) override
    {
        Check(ply >= 0 && ply < board.GetPly());
        Ask(chpktRequestTakeback);
    }
    void OnTakebackAnswer(bool accepted, int ply) override
    {
        Check(takebackAsked >= 0);
        if (accepted) {
            Check(ply == takebackAsked && ply <= board.GetPly());
            board.GoBackToMove(ply);
            hasReady = false;
        }
        takebackAsked = -1;
        Heard();
    }
    void OnDrawOffered() override
    {
        Check(playing);
        Ask(chpktRequestDraw);
    }
    void OnDrawAnswer(bool accepted) override
    {
        Check(drawOffered);
        drawOffered = false;
        if (accepted) {
            Check(playing);
            playing = false;
        }
        Heard();
    }
    void OnResigned(bool) override
    {
        Check(playing);
        playing = false;
        Heard();
    }
    void OnResetRequested() override { Ask(chpktRequestReset); }
    void OnTimeUp() override
    {
        Check(playing && timed && int(board.GetSideToMove()) == remoteColour);
        playing = false;
        Heard();
    }
    void Log(const CString&) override {}

    void Start(int ourColour, bool isTimed)
    {
        board.SetupStartPosition();
        remoteColour = 1 - ourColour;
        timed = isTimed;
        playing = true;
        takebackAsked = -1;
        drawOffered = false;
        hasReady = false;
    }

    // The game makes the waiting move on a later turn of its loop.
    void MakeReadyMove()
    {
        if (!hasReady)
            return;
        Check(board.MakeMove(ready, 0.0));
        hasReady = false;
    }
    // The user answered the question.
    void Answered(uint32_t requestType) { asking[requestType] = false; }

    CChessBoard board;
    bool playing = false;
    bool timed = false;
    int remoteColour = BLACK;
    bool proposalAsked = false;
    int takebackAsked = -1;
    bool drawOffered = false;
    bool hasReady = false;
    CMove ready;
    int heard = 0;

private:
    static const uint32_t kTypes = 21;
    bool asking[kTypes] = {};

    void Heard() { ++heard; }
    // One question of a kind at a time.
    void Ask(uint32_t requestType)
    {
        Check(!asking[requestType]);
        asking[requestType] = true;
        Heard();
    }
    static void CheckTerms(const SGameProposal& terms)
    {
        Check(terms.side == 0 || terms.side == 1);
        Check(terms.clock >= GameMessage::kMinClock && terms.clock <= GameMessage::kMaxClock);
    }
};

// What the local user does between two packets.
void UserActs(CGameMessages& messages, CFakeGame& game, CChoices& choices)
{
    if (choices.Next(2) == 0)
        game.MakeReadyMove();
    switch (choices.Next(12)) {
    case 0: {
        CMove move;
        if (game.playing && !game.hasReady && int(game.board.GetSideToMove()) != game.remoteColour &&
            FuzzSupport::PickMove(game.board, choices, move))
            game.board.MakeMove(move, 0.0);
        return;
    }
    case 1:
        messages.NoteProposal(choices.Next(2) != 0, GameMessage::ClampClock(int(choices.Next(7000))));
        game.proposalAsked = true;
        return;
    case 2:
        if (game.board.GetPly() > 0) {
            game.takebackAsked = int(choices.Next(uint32_t(game.board.GetPly())));
            messages.NoteTakebackRequest(game.takebackAsked);
        }
        return;
    case 3:
        if (game.playing) {
            messages.NoteDrawOffer();
            game.drawOffered = true;
        }
        return;
    case 4: {
        // The user answers the peer's requests.
        SGameProposal proposal;
        game.Answered(chpktGameProposal);
        game.Answered(chpktRequestTakeback);
        game.Answered(chpktRequestDraw);
        game.Answered(chpktRequestReset);
        if (messages.TakeTheirProposal(proposal)) {
            game.Start(proposal.side, proposal.timed);
            messages.ForgetRequests();
            game.proposalAsked = false;
            messages.SetAwaitingResume(true);
        }
        int ply = -1;
        if (messages.TakeTheirTakeback(ply)) {
            Check(ply >= 0 && ply <= game.board.GetPly());
            game.board.GoBackToMove(ply);
            game.hasReady = false;
        }
        if (messages.TakeTheirDraw())
            game.playing = false;
        messages.TakeTheirReset();
        return;
    }
    case 5:
        messages.ForgetRequests();
        game.proposalAsked = false;
        game.takebackAsked = -1;
        game.drawOffered = false;
        return;
    default:
        return;
    }
}

class CServerBytes : public CPacketStream {
public:
    CServerBytes(CGameMessages& messages, CFakeGame& game, CChoices& choices)
        : CPacketStream(nullptr, 4), m_messages(messages), m_game(game), m_choices(choices)
    {
    }

    bool OnPacket(CBuffer& payload) override
    {
        UserActs(m_messages, m_game, m_choices);
        CBufferFile body(&payload, CFile::kLineLf);
        CPacketHeader header;
        if (!header.Read(body))
            return true;
        const int heard = m_game.heard;
        if (header.m_type == pktForward) {
            const CGameMessages::EDispatch sender = m_messages.Dispatch(header.m_id, body);
            // Only the linked opponent reaches the game.
            if (sender != CGameMessages::kHandled)
                Check(m_game.heard == heard);
            Check(sender != CGameMessages::kHandled || header.m_id == kOpponent);
        } else if (header.m_type == pktChat) {
            const CGameMessages::EDispatch sender = m_messages.CheckSender(header.m_id);
            CString name, text;
            WireText::ReadLine(body, name, WireText::kMaxName);
            WireText::ReadLine(body, text, WireText::kMaxChat);
            Check(name.GetLength() <= WireText::kMaxName && text.GetLength() <= WireText::kMaxChat);
            Check(sender != CGameMessages::kHandled || header.m_id == kOpponent);
        } else if (header.m_type == pktConnectionClosed || header.m_type == pktConnectionBroken) {
            m_messages.SetOpponent(0);
        }
        return true;
    }

private:
    CGameMessages& m_messages;
    CFakeGame& m_game;
    CChoices& m_choices;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    CChoices choices(uint32_t(data[1]) << 8 | data[2]);
    CFakeGame game;
    CGameMessages messages(game);
    messages.SetOpponent(kOpponent);
    game.Start((data[0] & 2) ? BLACK : WHITE, (data[0] & 1) != 0);
    messages.SetAwaitingResume((data[0] & 4) == 0);

    CServerBytes stream(messages, game, choices);
    size_t pos = 3;
    while (pos < size && stream.IsActive()) {
        size_t piece = 1 + choices.Next(256);
        if (piece > size - pos)
            piece = size - pos;
        const unsigned taken = stream.Receive(data + pos, unsigned(piece));
        Check(taken <= piece);
        if (taken == 0)
            break;
        pos += taken;
    }
    return 0;
}
