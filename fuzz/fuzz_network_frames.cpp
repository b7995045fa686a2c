// Feeds arbitrary bytes, in arbitrary pieces, to a direct network game as
// its peer would send them: frames cut by CNetFrameReader, read by
// CNetworkProtocol, carried out by a small game that keeps a real board.
// Between frames the local user moves, offers, asks and answers as the
// input's seed decides. Checked: a move handed to the game is legal and the
// peer's; a take-back stays within the moves played; texts, ids, colours
// and pen points are within bounds; a refused frame changed nothing.
//
// Input: settings (bit 0 joining, bit 1 the host plays Black), two bytes of
// seed, then the wire.

#include "FuzzSupport.h"

#include "client/core/ByteDevice.h"
#include "client/core/ProfileArchive.h"
#include "client/remote/NetPacket.h"
#include "client/remote/NetworkProtocol.h"
#include "foundation/BufferFile.h"
#include "foundation/Config.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace Zorlin;
using FuzzSupport::CChoices;
using FuzzSupport::CWireDevice;
using FuzzSupport::Check;

namespace {


class CFakeGame : public INetworkGameSide {
public:
    explicit CFakeGame(CChoices& choices) : m_choices(choices) { board.SetupStartPosition(); }

    void SendFrame(uint32_t, const CBuffer* payload) override
    {
        Check(!payload || uint32_t(payload->GetSize()) <= NetPacket::kMaxFrameLength - 4);
        ++changes;
    }
    bool AskYesNo(const CString&, const CString&) override { return m_choices.Next(2) == 0; }
    void Tell(const CString&, const CString&) override {}
    void Log(const CString&) override {}
    bool IsGameInPlay() override { return inPlay; }
    bool HasReadyMove() override { return hasReady; }
    CString GetOpponentName() override { return "Peer"; }

    void BeginAsJoiner(int colour, const CString& hostId) override
    {
        Check(colour == WHITE || colour == BLACK);
        Check(hostId.IsEmpty() || IsProfileId(hostId));
        StartNewGame(colour);
    }
    void BeginAsHost(int colour) override
    {
        Check(colour == WHITE || colour == BLACK);
        StartNewGame(colour);
    }
    void ReadyOpponentMove(const CMove& move) override
    {
        Check(inPlay && !hasReady);
        Check(int(board.GetSideToMove()) != localColour);
        Check(FuzzSupport::IsLegalHere(board, move));
        ready = move;
        hasReady = true;
        ++changes;
    }
    void TakeBackTo(int plies) override
    {
        Check(plies >= 0 && plies <= board.GetPly());
        board.GoBackToMove(plies);
        hasReady = false;
        ++changes;
    }
    void EndDrawn() override { EndGame(); }
    void OpponentResigned() override { EndGame(); }
    void StartNewGame(int colour) override
    {
        Check(colour == WHITE || colour == BLACK);
        localColour = colour;
        board.SetupStartPosition();
        inPlay = true;
        hasReady = false;
        ++changes;
    }
    void RestoreGame(CConfig&, int colour) override { StartNewGame(colour); }
    void ShowChat(const CString& name, const CString& text) override
    {
        Check(name.GetLength() <= NetPacket::kMaxName && text.GetLength() <= NetPacket::kMaxChat);
        ++changes;
    }
    void ShowNotice(const CString&) override {}
    void Pen(uint32_t kind, float x, float y) override
    {
        Check(kind == netpktPenDown || kind == netpktPenMove || kind == netpktPenClear);
        Check(std::isfinite(x) && std::isfinite(y));
        ++changes;
    }
    void ReceivedProfile(const CBuffer& archive) override
    {
        Check(uint32_t(archive.GetSize()) <= NetPacket::kMaxProfile);
        CBuffer copy(archive);
        CBufferFile file(&copy);
        CConfig profile;
        CString id;
        if (ReadProfileArchive(file, profile, id))
            Check(IsProfileId(id));
        ++changes;
    }

    // The board takes the peer's move, as the game does after the frame.
    void TakeReadyMove()
    {
        Check(hasReady);
        Check(board.MakeMove(ready, 0.0));
        hasReady = false;
    }

    CChessBoard board;
    bool inPlay = false;
    bool hasReady = false;
    CMove ready;
    int localColour = WHITE;
    int changes = 0;

private:
    void EndGame()
    {
        Check(inPlay);
        inPlay = false;
        ++changes;
    }

    CChoices& m_choices;
};

// What the local user does between two frames.
void UserActs(CNetworkProtocol& protocol, CFakeGame& game, CChoices& choices)
{
    switch (choices.Next(10)) {
    case 0: {
        CMove move;
        if (!protocol.HasBegun() || !game.inPlay || game.hasReady || int(game.board.GetSideToMove()) != game.localColour ||
            !FuzzSupport::PickMove(game.board, choices, move))
            return;
        game.board.MakeMove(move, 0.0);
        protocol.SendMove(move.m_text);
        return;
    }
    case 1:
        if (game.inPlay)
            protocol.OfferDraw();
        return;
    case 2:
        protocol.RequestTakeBack(int(choices.Next(uint32_t(game.board.GetPly() + 1))));
        return;
    case 3:
        protocol.RequestNewGame(int(choices.Next(2)));
        return;
    case 4: {
        CConfig saved;
        saved.GetValue(".white.id") = choices.Next(2) ? "Me1" : "Peer2";
        protocol.RequestRestore(saved, "Me1");
        return;
    }
    default:
        return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    CChoices choices(uint32_t(data[1]) << 8 | data[2]);
    CFakeGame game(choices);
    CNetworkProtocol protocol(game, game.board);
    protocol.SetJoining((data[0] & 1) != 0);
    if ((data[0] & 5) == 4) {
        // A host waiting for the joiner's answer to its opening.
        protocol.OpenAsHost((data[0] & 2) ? BLACK : WHITE, "Me1");
    } else if (!(data[0] & 1)) {
        game.StartNewGame((data[0] & 2) ? BLACK : WHITE);
        protocol.Begin(game.localColour);
    }

    CWireDevice wire(data + 3, size - 3, choices);
    CNetFrameReader reader;
    for (int steps = 0; steps < 1 << 20; ++steps) {
        const CNetFrameReader::EStep step = reader.Step(wire);
        if (step == CNetFrameReader::kEnded || step == CNetFrameReader::kBad)
            break;
        if (step != CNetFrameReader::kFrame)
            continue;
        Check(reader.GetPayload().GetSize() >= 0 && uint32_t(reader.GetPayload().GetSize()) <= NetPacket::kMaxProfile);
        UserActs(protocol, game, choices);

        const int changes = game.changes;
        const int ply = game.board.GetPly();
        const bool begun = protocol.HasBegun();
        const int colour = protocol.GetLocalColour();
        const bool taken = protocol.HandleFrame(reader.GetType(), reader.GetPayload());
        if (!taken) {
            // A refusal is logged and changes nothing.
            Check(game.changes == changes && game.board.GetPly() == ply);
            Check(protocol.HasBegun() == begun && protocol.GetLocalColour() == colour);
            Check(!protocol.MadeMoveReady());
        }
        Check(protocol.MadeMoveReady() == (taken && game.hasReady && game.changes > changes &&
                                           reader.GetType() == netpktMove));
        if (protocol.MadeMoveReady())
            game.TakeReadyMove();
        if (protocol.HasBegun())
            Check(protocol.GetLocalColour() == game.localColour);
    }
    return 0;
}
