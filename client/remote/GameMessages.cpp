#include "client/remote/GameMessages.h"

#include "chess/ChessBoard.h"
#include "client/remote/OnlineSearchProtocol.h"
#include "client/remote/PacketHeader.h"
#include "foundation/BufferFile.h"
#include "foundation/Config.h"

using Zorlin::CBuffer;
using Zorlin::CBufferFile;
using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CString;

const char* GetChPacketTypeName(uint32_t type)
{
    return OnlineSearch::MessageName(type);
}

namespace {

// A small number from the wire: an optional minus sign and at most nine
// digits; anything else is not a number.
bool ParseNumber(const CString& text, long long& out)
{
    const char* p = text.GetText();
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    if (*p == '\0')
        return false;
    long long value = 0;
    int digits = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9' || ++digits > 9)
            return false;
        value = value * 10 + (*p - '0');
    }
    out = negative ? -value : value;
    return true;
}

bool ReadConfig(CFile& body, CConfig& config)
{
    // Bounded by the packet that holds it.
    return config.Read(body);
}

} // namespace

namespace GameMessage {

CBuffer Forward(uint32_t opponentId, uint32_t type, const CString& body)
{
    CBuffer out;
    CBufferFile file(&out);
    file.Open("forward", CFile::kModeWrite);
    CPacketHeader header = opponentId ? CPacketHeader(pktRequestForward, opponentId) : CPacketHeader(pktRequestForward);
    header.Write(file);
    if (type != chpktNull) {
        const unsigned char bytes[4] = { (unsigned char)(type & 0xFF), (unsigned char)(type >> 8 & 0xFF),
                                         (unsigned char)(type >> 16 & 0xFF), (unsigned char)(type >> 24 & 0xFF) };
        file.Write(bytes, 4);
    }
    if (!body.IsEmpty())
        file.Write(body.GetText(), unsigned(body.GetLength()));
    return out;
}

CString LineBody(const CString& line)
{
    CString out(line.GetText());
    out.Truncate(kMaxLine);
    out.Replace('\r', ' ');
    out.Replace('\n', ' ');
    out.Append('\n');
    return out;
}

CString MoveBody(const CString& san, bool timed, double elapsedMs)
{
    CString out = LineBody(san);
    if (timed) {
        if (elapsedMs < 0.0)
            elapsedMs = 0.0;
        out.AppendFormat("%lld\n", (long long)elapsedMs);
    }
    return out;
}

CString ProposalBody(bool timed, int clock)
{
    CConfig config;
    config.GetValue("timed") = timed ? "yes" : "no";
    config.GetValue("clock").Append(clock);
    return config.ToText(true);
}

CString BeginBody(bool accepted, const SGameProposal& agreed)
{
    if (!accepted)
        return LineBody("no");
    CConfig config;
    config.GetValue("side").Append(agreed.side);
    config.GetValue("timed") = agreed.timed ? "yes" : "no";
    config.GetValue("clock").Append(agreed.clock);
    CString out = LineBody("yes");
    out.Append(config.ToText(true));
    return out;
}

CBuffer HeaderOnly(uint32_t packetType, uint32_t id)
{
    CBuffer out;
    CBufferFile file(&out);
    file.Open("header", CFile::kModeWrite);
    CPacketHeader header = id ? CPacketHeader(packetType, id) : CPacketHeader(packetType);
    header.Write(file);
    return out;
}

CBuffer Chat(uint32_t opponentId, const CString& name, const CString& text)
{
    CBuffer out;
    CBufferFile file(&out);
    file.Open("chat", CFile::kModeWrite);
    CPacketHeader header = opponentId ? CPacketHeader(pktSendChat, opponentId) : CPacketHeader(pktSendChat);
    header.Write(file);
    WireText::WriteLine(file, name, WireText::kMaxName);
    WireText::WriteLine(file, text, WireText::kMaxChat);
    return out;
}

CString DescribePly(const CChessBoard& board, int ply)
{
    CString out;
    if (ply < 0 || ply >= board.GetPly() || ply >= board.GetHistory().GetCount())
        return out;
    out.AppendFormat("%d. ", ply / 2 + 1);
    if (ply % 2 == 1)
        out.Append("... ");
    out.Append(board.GetHistory().GetAt(ply)->m_shortText);
    return out;
}

int ClampClock(int seconds)
{
    return seconds < kMinClock ? kMinClock : seconds > kMaxClock ? kMaxClock : seconds;
}

} // namespace GameMessage

bool CRequestInterval::Allows(double nowSeconds) const
{
    return m_last <= 0.0 || nowSeconds - m_last >= kSeconds;
}

// ------------------------------------------------------------ receiving

CGameMessages::CGameMessages(CGameMessageTarget& target)
    : m_target(target), m_opponent(0), m_awaitingResume(true), m_ourProposalPending(false), m_ourTakeback(-1),
      m_ourDraw(false), m_theirProposalPending(false), m_theirTakeback(-1), m_theirDraw(false), m_theirReset(false)
{
}

bool CGameMessages::IsYes(const CString& line)
{
    CString lower(line.GetText());
    lower.MakeLower();
    return lower == "yes" || lower == "true";
}

double CGameMessages::ReadElapsed(const CString& line, bool& refused)
{
    refused = false;
    if (line.IsEmpty())
        return 0.0;
    long long value = 0;
    if (!ParseNumber(line, value) || value < 0) {
        refused = true;
        return 0.0;
    }
    return double(value) > GameMessage::kMaxElapsedMs ? GameMessage::kMaxElapsedMs : double(value);
}

void CGameMessages::NoteProposal(bool timed, int clock)
{
    m_ourProposalPending = true;
    m_ourProposal.timed = timed;
    m_ourProposal.clock = clock;
}

void CGameMessages::ForgetRequests()
{
    m_ourProposalPending = false;
    m_ourTakeback = -1;
    m_ourDraw = false;
    m_theirProposalPending = false;
    m_theirTakeback = -1;
    m_theirDraw = false;
    m_theirReset = false;
}

bool CGameMessages::TakeTheirProposal(SGameProposal& out)
{
    if (!m_theirProposalPending)
        return false;
    m_theirProposalPending = false;
    out = m_theirProposal;
    return true;
}

bool CGameMessages::TakeTheirTakeback(int& ply)
{
    if (m_theirTakeback < 0 || m_theirTakeback > m_target.GetBoard().GetPly()) {
        m_theirTakeback = -1;
        return false;
    }
    ply = m_theirTakeback;
    m_theirTakeback = -1;
    return true;
}

bool CGameMessages::TakeTheirDraw()
{
    bool pending = m_theirDraw && m_target.IsPlaying();
    m_theirDraw = false;
    return pending;
}

bool CGameMessages::TakeTheirReset()
{
    bool pending = m_theirReset;
    m_theirReset = false;
    return pending;
}

CGameMessages::EDispatch CGameMessages::CheckSender(uint32_t senderId) const
{
    if (m_opponent == 0)
        return kNoOpponent;
    return senderId == m_opponent ? kHandled : kForeign;
}

void CGameMessages::Refuse(uint32_t type, const char* why)
{
    CString line("Refused ");
    line.Append(GetChPacketTypeName(type));
    line.Append(": ");
    line.Append(why);
    m_target.Log(line);
}

CGameMessages::EDispatch CGameMessages::Dispatch(uint32_t senderId, CFile& body)
{
    EDispatch sender = CheckSender(senderId);
    if (sender != kHandled) {
        m_target.Log(sender == kForeign ? "Refused a forward from a client that is not the opponent"
                                        : "Refused a forward with no opponent linked");
        return sender;
    }
    unsigned char bytes[4];
    if (!body.Read(bytes, 4) || body.GetLastReadCount() != 4) {
        m_target.Log("Refused a forward without a message type");
        return kHandled;
    }
    const uint32_t type = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                          uint32_t(bytes[3]) << 24;
    CString line("CDialogOnlineSearch ChPacket ");
    line.Append(GetChPacketTypeName(type));
    m_target.Log(line);
    switch (type) {
    case chpktProtocol: OnProtocol(body); break;
    case chpktGameProposal: OnGameProposal(body); break;
    case chpktBeginGame: OnBeginGame(body); break;
    case chpktResume:
        m_awaitingResume = false;
        m_target.OnResume();
        break;
    case chpktMove: OnMove(body); break;
    case chpktRequestTakeback: OnRequestTakeback(body); break;
    case chpktTakeback: OnTakeback(body); break;
    case chpktRequestDraw: OnRequestDraw(); break;
    case chpktDraw: OnDraw(body); break;
    case chpktResign: OnResign(body); break;
    case chpktRequestReset: OnRequestReset(); break;
    case chpktReset: OnReset(body); break;
    case chpktTimeUp: OnTimeUp(); break;
    default: break; // the search's messages and unknown ones: logged above
    }
    return kHandled;
}

void CGameMessages::OnProtocol(CFile& body)
{
    CString version;
    WireText::ReadLine(body, version, GameMessage::kMaxLine);
    long long number = 0;
    if (!ParseNumber(version, number))
        number = 0;
    if (number != GameMessage::kProtocolVersion)
        m_target.OnWrongProtocol(version);
}

void CGameMessages::OnGameProposal(CFile& body)
{
    CConfig config;
    if (!ReadConfig(body, config))
        return Refuse(chpktGameProposal, "not a configuration text");
    if (m_target.IsAsking(chpktGameProposal))
        return Refuse(chpktGameProposal, "a proposal of the opponent's is still open");
    SGameProposal proposal;
    long long number = 0;
    CString side = config.GetValueOr("side", "0");
    if (!ParseNumber(side, number) || (number != 0 && number != 1))
        return Refuse(chpktGameProposal, "side is neither 0 nor 1");
    proposal.side = int(number);
    proposal.timed = IsYes(config.GetValueOr("timed", "no"));
    if (!ParseNumber(config.GetValueOr("clock", ""), number))
        number = proposal.timed ? 0 : GameMessage::kMinClock;
    proposal.clock = GameMessage::ClampClock(int(number < 0 ? 0 : number));
    m_theirProposal = proposal;
    m_theirProposalPending = true;
    m_target.OnProposal(proposal);
}

void CGameMessages::OnBeginGame(CFile& body)
{
    CString first;
    WireText::ReadLine(body, first, GameMessage::kMaxLine);
    if (!m_ourProposalPending)
        return Refuse(chpktBeginGame, "no proposal of ours is pending");
    if (!IsYes(first)) {
        m_ourProposalPending = false;
        m_target.OnBeginDeclined();
        return;
    }
    CConfig config;
    long long side = -1;
    if (!ReadConfig(body, config) || !ParseNumber(config.GetValueOr("side", ""), side) || (side != 0 && side != 1))
        return Refuse(chpktBeginGame, "side is neither 0 nor 1");
    // The time control is the one we proposed, whatever the answer says.
    SGameProposal agreed = m_ourProposal;
    agreed.side = int(side);
    ForgetRequests();
    m_target.OnBeginAccepted(agreed);
}

void CGameMessages::OnMove(CFile& body)
{
    CString text, time;
    WireText::ReadLine(body, text, GameMessage::kMaxMove);
    WireText::ReadLine(body, time, GameMessage::kMaxLine);
    if (m_awaitingResume)
        return Refuse(chpktMove, "moves are not accepted before the game resumes");
    if (!m_target.IsPlaying())
        return Refuse(chpktMove, "the game is not in play");
    const CChessBoard& board = m_target.GetBoard();
    if (int(board.GetSideToMove()) != m_target.GetRemoteColour())
        return Refuse(chpktMove, "it is not the opponent's move");
    // Never replaced: after the waiting move it is our turn, not theirs.
    if (m_target.HasReadyMove())
        return Refuse(chpktMove, "a move of the opponent's still waits to be made");
    CMove move;
    if (!board.ParseMove(text, move, true))
        return Refuse(chpktMove, "not a legal move");
    bool badTime = false;
    double elapsed = ReadElapsed(time, badTime);
    if (badTime)
        Refuse(chpktMove, "the move time is not a number of milliseconds; 0 taken");
    m_target.OnRemoteMove(move, elapsed);
}

void CGameMessages::OnRequestTakeback(CFile& body)
{
    CString line;
    WireText::ReadLine(body, line, GameMessage::kMaxLine);
    long long ply = -1;
    const CChessBoard& board = m_target.GetBoard();
    if (!m_target.IsPlaying())
        return Refuse(chpktRequestTakeback, "the game is not in play");
    if (m_target.IsAsking(chpktRequestTakeback))
        return Refuse(chpktRequestTakeback, "a take-back request is still open");
    if (!ParseNumber(line, ply) || ply < 0 || ply >= board.GetPly())
        return Refuse(chpktRequestTakeback, "the ply is not one that was played");
    m_theirTakeback = int(ply);
    m_target.OnTakebackRequested(int(ply), GameMessage::DescribePly(board, int(ply)));
}

void CGameMessages::OnTakeback(CFile& body)
{
    CString line;
    WireText::ReadLine(body, line, GameMessage::kMaxLine);
    if (m_ourTakeback < 0)
        return Refuse(chpktTakeback, "no take-back of ours is pending");
    long long ply = -1;
    if (!ParseNumber(line, ply)) {
        m_ourTakeback = -1;
        m_target.OnTakebackAnswer(false, 0);
        return;
    }
    if (ply != m_ourTakeback || ply < 0 || ply > m_target.GetBoard().GetPly())
        return Refuse(chpktTakeback, "the ply is not the one we asked for");
    m_ourTakeback = -1;
    m_ourDraw = false;
    m_target.OnTakebackAnswer(true, int(ply));
}

void CGameMessages::OnRequestDraw()
{
    if (!m_target.IsPlaying())
        return Refuse(chpktRequestDraw, "the game is not in play");
    if (m_target.IsAsking(chpktRequestDraw))
        return Refuse(chpktRequestDraw, "a draw offer is still open");
    m_theirDraw = true;
    m_target.OnDrawOffered();
}

void CGameMessages::OnDraw(CFile& body)
{
    CString line;
    WireText::ReadLine(body, line, GameMessage::kMaxLine);
    if (!m_ourDraw)
        return Refuse(chpktDraw, "no draw offer of ours is pending");
    m_ourDraw = false;
    bool accepted = IsYes(line);
    if (accepted && !m_target.IsPlaying())
        return Refuse(chpktDraw, "the game is not in play");
    m_target.OnDrawAnswer(accepted);
}

void CGameMessages::OnResign(CFile& body)
{
    CString reason;
    WireText::ReadLine(body, reason, GameMessage::kMaxLine);
    if (!m_target.IsPlaying())
        return Refuse(chpktResign, "the game is not in play");
    m_target.OnResigned(reason == GameMessage::kLeftGame);
}

void CGameMessages::OnRequestReset()
{
    if (m_target.IsAsking(chpktRequestReset))
        return Refuse(chpktRequestReset, "a reset request is still open");
    m_theirReset = true;
    m_target.OnResetRequested();
}

void CGameMessages::OnReset(CFile& body)
{
    CString line;
    WireText::ReadLine(body, line, GameMessage::kMaxLine);
    // This client never asks for a reset, so no answer can be one to ours.
    Refuse(chpktReset, "no reset request of ours is pending");
}

void CGameMessages::OnTimeUp()
{
    if (!m_target.IsPlaying() || !m_target.IsTimed())
        return Refuse(chpktTimeUp, "no timed game is in play");
    if (int(m_target.GetBoard().GetSideToMove()) != m_target.GetRemoteColour())
        return Refuse(chpktTimeUp, "the opponent's clock is not running");
    m_target.OnTimeUp();
}
