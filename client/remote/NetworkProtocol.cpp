#include "client/remote/NetworkProtocol.h"

#include "client/remote/NetPacket.h"
#include "foundation/BufferFile.h"

using Zorlin::CBuffer;
using Zorlin::CBufferFile;
using Zorlin::CConfig;
using Zorlin::CString;

namespace {

// A file over a copy of the payload, at its start.
struct SPayloadFile {
    explicit SPayloadFile(const CBuffer& payload) : copy(payload), file(&copy) {}
    CBuffer copy;
    CBufferFile file;
};

bool ReadConfigText(const CString& text, CConfig& out)
{
    out.Clear();
    return out.ReadText(text.GetText(), text.GetLength());
}

CString You(int colour)
{
    return colour == BLACK ? "black" : "white";
}

} // namespace

CNetworkProtocol::CNetworkProtocol(INetworkGameSide& side, const CChessBoard& board) : m_side(side), m_board(board)
{
    Reset();
}

void CNetworkProtocol::Reset()
{
    m_joining = false;
    m_awaitingJoiner = false;
    m_begun = false;
    m_profileTaken = false;
    m_localColour = WHITE;
    m_madeMoveReady = false;
    m_pendingNewGame = -1;
    m_restorePending = false;
    m_restoreSent.Clear();
    m_questions.Reset();
    m_framePosition = 0;
    m_versionWarned = false;
    ForgetGameRequests();
}

void CNetworkProtocol::ForgetGameRequests()
{
    m_drawOffered = false;
    m_pendingTakeBack = -1;
    m_takeBackAccepted = false;
}

void CNetworkProtocol::Begin(int localColour)
{
    m_begun = true;
    m_localColour = localColour == BLACK ? BLACK : WHITE;
    ForgetGameRequests();
}

bool CNetworkProtocol::Refuse(uint32_t type, const char* why)
{
    CString line;
    line.AppendFormat("Refused message %u: %s\n", unsigned(type), why);
    m_side.Log(line);
    return false;
}

int CNetworkProtocol::LocalColourOf(const CConfig& saved, const CString& userId)
{
    if (saved.KeyExists(".you"))
        return saved.GetValueOr(".you", "") == "white" ? WHITE : BLACK;
    const CString white = saved.GetValueOr(".white.id", "");
    return Zorlin::KeysEqualNoCase(white, userId) ? WHITE : BLACK;
}

// ------------------------------------------------------------ receiving

bool CNetworkProtocol::Ask(EQuestion kind, uint32_t type, const CString& text, const CString& caption, bool& yes)
{
    yes = false;
    if (!m_questions.Open(kind, m_framePosition))
        return Refuse(type, "the same question is open, or this repeat came while it was");
    yes = m_side.AskYesNo(text, caption);
    m_questions.Close(kind, m_side.GetArrivedBytes());
    return true;
}

void CNetworkProtocol::OpenAsHost(int localColour, const CString& hostId)
{
    m_joining = false;
    m_localColour = localColour == BLACK ? BLACK : WHITE;
    m_awaitingJoiner = true;
    SendFrame(netpktProtocol, NetPacket::Uint32(NetPacket::kProtocolVersion));
    const uint32_t joinerColour = m_localColour == WHITE ? BLACK : WHITE;
    SendFrame(netpktIdentity, NetPacket::Identity(joinerColour, hostId));
}

bool CNetworkProtocol::HandleFrame(uint32_t type, const CBuffer& payload, uint64_t position)
{
    m_madeMoveReady = false;
    m_framePosition = position;
    if (m_awaitingJoiner) {
        // Only what a joiner sends when its game begins shows that a
        // player of ours answered.
        if (type != netpktProtocol && type != netpktProfile)
            return Refuse(type, "the player has not answered the opening yet");
        m_awaitingJoiner = false;
        Begin(m_localColour);
        m_side.BeginAsHost(m_localColour);
    }
    SPayloadFile in(payload);
    switch (type) {
    case netpktProtocol: {
        uint32_t version = 0;
        if (!NetPacket::ReadUint32(in.file, version))
            return Refuse(type, "malformed");
        if (version == NetPacket::kProtocolVersion)
            return true;
        if (m_versionWarned)
            return Refuse(type, "the version was warned about already");
        m_versionWarned = true;
        m_side.Tell("Your opponent is running a different version of the Rookwell protocol.\n\n"
                    "It is recommended that you both upgrade to the latest version.",
                    "Potential problem");
        return true;
    }
    case netpktChat: {
        CString name, text;
        if (!NetPacket::ReadChat(in.file, name, text))
            return Refuse(type, "malformed");
        m_side.ShowChat(name, text);
        return true;
    }
    case netpktIdentity:
        return OnIdentity(payload);
    case netpktProfile:
        // One profile a connection: a peer cannot keep rewriting our files.
        if (m_profileTaken)
            return Refuse(type, "a second profile");
        m_profileTaken = true;
        m_side.ReceivedProfile(payload);
        return true;
    case netpktPenDown:
    case netpktPenMove: {
        float x, y;
        if (!m_begun)
            return Refuse(type, "no game");
        if (!NetPacket::ReadPen(in.file, x, y))
            return Refuse(type, "malformed");
        m_side.Pen(type, x, y);
        return true;
    }
    case netpktPenClear:
        if (!m_begun)
            return Refuse(type, "no game");
        m_side.Pen(type, 0.0f, 0.0f);
        return true;
    case netpktMove:
        return OnMove(payload);
    case netpktResign:
        if (!m_begun || !m_side.IsGameInPlay())
            return Refuse(type, "no game in play");
        ForgetGameRequests();
        m_side.OpponentResigned();
        return true;
    case netpktOfferDraw:
        return OnDrawOffer();
    case netpktDrawAccepted:
    case netpktDrawDeclined:
        return OnDrawAnswer(type == netpktDrawAccepted);
    case netpktGameDrawn:
        // Never sent by a peer of ours; it would end the game unasked.
        return Refuse(type, "not asked for");
    case netpktRequestTakeback:
        return OnTakeBackRequest(payload);
    case netpktSetBoard:
        return OnSetBoard(payload);
    case netpktTakebackAccepted:
    case netpktTakebackDeclined:
        return OnTakeBackAnswer(type == netpktTakebackAccepted);
    case netpktRequestNewGame:
        return OnNewGameRequest(payload);
    case netpktNewGameAccepted:
        return OnNewGameAccepted(payload);
    case netpktNewGameDeclined:
        if (m_pendingNewGame < 0)
            return Refuse(type, "no new game asked for");
        m_pendingNewGame = -1;
        m_side.Tell("Opponent has not agreed to your new game request.", "Response");
        return true;
    case netpktRequestRestore:
        return OnRestoreRequest(payload);
    case netpktRestoreGame:
        return OnRestoreAnswer(&payload);
    case netpktRestoreDeclined:
        return OnRestoreAnswer(nullptr);
    case 20:
    case 21:
        return true;
    default:
        return Refuse(type, "unknown");
    }
}

bool CNetworkProtocol::OpensNoBox(uint32_t type)
{
    switch (type) {
    case netpktChat:
    case netpktPenDown:
    case netpktPenMove:
    case netpktPenClear:
    case netpktMove:
    case netpktSetBoard:
    case netpktGameDrawn:
    case netpktNewGameAccepted:
    case 20:
    case 21:
        return true;
    default:
        return false;
    }
}

bool CNetworkProtocol::OnIdentity(const CBuffer& payload)
{
    if (!m_joining || m_begun)
        return Refuse(netpktIdentity, "not waiting for the host");
    SPayloadFile in(payload);
    uint32_t colour = 0;
    CString id;
    if (!NetPacket::ReadIdentity(in.file, colour, id))
        return Refuse(netpktIdentity, "malformed");
    Begin(int(colour));
    m_side.BeginAsJoiner(int(colour), id);
    SendFrame(netpktProtocol, NetPacket::Uint32(NetPacket::kProtocolVersion));
    m_side.Log(CString("Local player is ") + You(int(colour)) + "\n");
    return true;
}

bool CNetworkProtocol::OnMove(const CBuffer& payload)
{
    if (!m_begun || !m_side.IsGameInPlay())
        return Refuse(netpktMove, "no game in play");
    if (m_board.GetSideToMove() == Colour(m_localColour) || m_side.HasReadyMove())
        return Refuse(netpktMove, "not the opponent's turn");
    SPayloadFile in(payload);
    CString text;
    CMove move;
    if (!NetPacket::ReadMove(in.file, text))
        return Refuse(netpktMove, "malformed");
    if (!m_board.ParseMove(text, move, true)) {
        m_side.ShowNotice(CString("Your opponent sent a move that is not legal here; it was not played."));
        return Refuse(netpktMove, "not a legal move");
    }
    move.m_text = text;
    m_side.ReadyOpponentMove(move);
    m_madeMoveReady = true;
    return true;
}

bool CNetworkProtocol::OnDrawOffer()
{
    if (!m_begun || !m_side.IsGameInPlay())
        return Refuse(netpktOfferDraw, "no game in play");
    bool yes = false;
    if (!Ask(kDrawQuestion, netpktOfferDraw, "Your opponent has offered you a draw.\nDo you wish to accept?",
             "Draw offered", yes))
        return false;
    if (!m_side.IsGameInPlay())
        return Refuse(netpktOfferDraw, "the game ended meanwhile");
    if (!yes) {
        SendFrame(netpktDrawDeclined);
        return true;
    }
    SendFrame(netpktDrawAccepted);
    ForgetGameRequests();
    m_side.EndDrawn();
    return true;
}

bool CNetworkProtocol::OnDrawAnswer(bool accepted)
{
    const uint32_t type = accepted ? netpktDrawAccepted : netpktDrawDeclined;
    if (!m_drawOffered)
        return Refuse(type, "no draw offered");
    m_drawOffered = false;
    const CString name = m_side.GetOpponentName();
    if (!accepted) {
        m_side.Tell(name + " declines your offer of a draw.", "Opponent's response");
        return true;
    }
    if (!m_side.IsGameInPlay())
        return Refuse(type, "no game in play");
    ForgetGameRequests();
    m_side.Tell(name + " accepts your offer of a draw.", "Opponent's response");
    if (m_side.IsGameInPlay())
        m_side.EndDrawn();
    return true;
}

bool CNetworkProtocol::OnTakeBackRequest(const CBuffer& payload)
{
    SPayloadFile in(payload);
    uint32_t keep = 0;
    if (!m_begun || !m_side.IsGameInPlay())
        return Refuse(netpktRequestTakeback, "no game in play");
    if (!NetPacket::ReadUint32(in.file, keep))
        return Refuse(netpktRequestTakeback, "malformed");
    if (keep >= uint32_t(m_board.GetPly()))
        return Refuse(netpktRequestTakeback, "nothing to take back");
    CString text;
    text.AppendFormat("Opponent requests setting the board to move %i.", int(keep / 2 + 1));
    bool yes = false;
    if (!Ask(kTakeBackQuestion, netpktRequestTakeback, text, "Takeback requested", yes))
        return false;
    // The board may have moved on while the user thought about it.
    if (yes && keep < uint32_t(m_board.GetPly())) {
        SendFrame(netpktTakebackAccepted);
        SendFrame(netpktSetBoard, NetPacket::Uint32(keep));
        ForgetGameRequests();
        m_side.TakeBackTo(int(keep));
    } else {
        SendFrame(netpktTakebackDeclined);
    }
    return true;
}

bool CNetworkProtocol::OnSetBoard(const CBuffer& payload)
{
    SPayloadFile in(payload);
    uint32_t keep = 0;
    if (m_pendingTakeBack < 0)
        return Refuse(netpktSetBoard, "no take-back asked for");
    if (!NetPacket::ReadUint32(in.file, keep) || keep != uint32_t(m_pendingTakeBack))
        return Refuse(netpktSetBoard, "not the take-back asked for");
    if (keep > uint32_t(m_board.GetPly()))
        return Refuse(netpktSetBoard, "beyond the moves played");
    ForgetGameRequests();
    m_side.TakeBackTo(int(keep));
    return true;
}

bool CNetworkProtocol::OnTakeBackAnswer(bool accepted)
{
    const uint32_t type = accepted ? netpktTakebackAccepted : netpktTakebackDeclined;
    if (m_pendingTakeBack < 0 || m_takeBackAccepted)
        return Refuse(type, "no take-back asked for");
    if (accepted) {
        m_takeBackAccepted = true;
        m_side.Tell("Take back accepted.", "Opponent's response");
    } else {
        m_pendingTakeBack = -1;
        m_side.Tell("Take back declined.", "Opponent's response");
    }
    return true;
}

bool CNetworkProtocol::OnNewGameRequest(const CBuffer& payload)
{
    SPayloadFile in(payload);
    uint32_t colour = 0;
    if (!m_begun)
        return Refuse(netpktRequestNewGame, "no game");
    if (!NetPacket::ReadColour(in.file, colour))
        return Refuse(netpktRequestNewGame, "malformed");
    bool yes = false;
    if (!Ask(kNewGameQuestion, netpktRequestNewGame, "Opponent requests a new game. Do you agree?", "Reset Game", yes))
        return false;
    if (!yes) {
        SendFrame(netpktNewGameDeclined);
        return true;
    }
    SendFrame(netpktNewGameAccepted, NetPacket::Uint32(1 - colour));
    Begin(int(colour));
    m_pendingNewGame = -1;
    m_side.StartNewGame(int(colour));
    return true;
}

bool CNetworkProtocol::OnNewGameAccepted(const CBuffer& payload)
{
    SPayloadFile in(payload);
    uint32_t colour = 0;
    if (m_pendingNewGame < 0)
        return Refuse(netpktNewGameAccepted, "no new game asked for");
    if (!NetPacket::ReadColour(in.file, colour) || int(colour) != m_pendingNewGame)
        return Refuse(netpktNewGameAccepted, "not the game asked for");
    m_pendingNewGame = -1;
    Begin(int(colour));
    m_side.StartNewGame(int(colour));
    return true;
}

bool CNetworkProtocol::OnRestoreRequest(const CBuffer& payload)
{
    SPayloadFile in(payload);
    CString text;
    if (!m_begun)
        return Refuse(netpktRequestRestore, "no game");
    if (!NetPacket::ReadSavedGame(in.file, text))
        return Refuse(netpktRequestRestore, "malformed");
    bool yes = false;
    if (!Ask(kRestoreQuestion, netpktRequestRestore,
             "Opponent requests restoring the game to a previous board.\nDo you agree?", "Restore board", yes))
        return false;
    if (!yes) {
        SendFrame(netpktRestoreDeclined);
        return true;
    }
    CConfig saved;
    if (!ReadConfigText(text, saved)) {
        m_side.Tell("Unable to restore game.", "Error");
        SendFrame(netpktRestoreDeclined);
        return true;
    }
    const int local = saved.GetValueOr(".you", "") == "white" ? WHITE : BLACK;
    Begin(local);
    m_side.RestoreGame(saved, local);
    saved.GetValue(".you") = You(OtherColour(Colour(local)));
    SendFrame(netpktRestoreGame, NetPacket::Bytes(saved.ToText(false).GetText(),
                                                  uint32_t(saved.ToText(false).GetLength())));
    return true;
}

bool CNetworkProtocol::OnRestoreAnswer(const CBuffer* payload)
{
    const uint32_t type = payload ? netpktRestoreGame : netpktRestoreDeclined;
    if (!m_restorePending)
        return Refuse(type, "no restore asked for");
    if (!payload) {
        m_restorePending = false;
        m_side.Tell("Opponent has not agreed to restore the board.", "Request Denied");
        return true;
    }
    SPayloadFile in(*payload);
    CString text;
    CConfig answer;
    if (!NetPacket::ReadSavedGame(in.file, text) || !ReadConfigText(text, answer)) {
        m_restorePending = false;
        m_side.Tell("Unable to restore game.", "Error");
        return Refuse(type, "malformed");
    }
    // The peer's copy must give us the other colour of the one we sent; the
    // moves are replayed from our own copy, which the user chose.
    const int peer = m_restoreSent.GetValueOr(".you", "") == "white" ? WHITE : BLACK;
    const int local = OtherColour(Colour(peer));
    if (answer.GetValueOr(".you", "") != You(local))
        return Refuse(type, "not the restore asked for");
    m_restorePending = false;
    CConfig saved = m_restoreSent;
    saved.GetValue(".you") = You(local);
    Begin(local);
    m_side.RestoreGame(saved, local);
    return true;
}

// ------------------------------------------------------------ sending

void CNetworkProtocol::SendFrame(uint32_t type, const CBuffer& payload)
{
    m_side.SendFrame(type, &payload);
}

void CNetworkProtocol::SendFrame(uint32_t type)
{
    m_side.SendFrame(type, nullptr);
}

void CNetworkProtocol::SendMove(const CString& san)
{
    SendFrame(netpktMove, NetPacket::Move(san));
}

void CNetworkProtocol::SendChat(const CString& name, const CString& text)
{
    SendFrame(netpktChat, NetPacket::Chat(name, text));
}

void CNetworkProtocol::OfferDraw()
{
    m_drawOffered = true;
    SendFrame(netpktOfferDraw);
}

void CNetworkProtocol::RequestTakeBack(int plies)
{
    if (plies < 0)
        plies = 0;
    m_pendingTakeBack = plies;
    m_takeBackAccepted = false;
    SendFrame(netpktRequestTakeback, NetPacket::Uint32(uint32_t(plies)));
}

void CNetworkProtocol::RequestNewGame(int peerColour)
{
    peerColour = peerColour == BLACK ? BLACK : WHITE;
    m_pendingNewGame = 1 - peerColour;
    SendFrame(netpktRequestNewGame, NetPacket::Uint32(uint32_t(peerColour)));
}

void CNetworkProtocol::RequestRestore(const CConfig& saved, const CString& userId)
{
    m_restoreSent = saved;
    const CString white = saved.GetValueOr(".white.id", "");
    m_restoreSent.GetValue(".you") = Zorlin::KeysEqualNoCase(white, userId) ? "black" : "white";
    m_restorePending = true;
    const CString text = m_restoreSent.ToText(false);
    SendFrame(netpktRequestRestore, NetPacket::Bytes(text.GetText(), uint32_t(text.GetLength())));
}

void CNetworkProtocol::Resign()
{
    ForgetGameRequests();
    SendFrame(netpktResign);
}
