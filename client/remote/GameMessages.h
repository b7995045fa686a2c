#pragma once

// The game messages two linked online clients forward to each other through
// the server: their numbers and bodies, and the receiving side's rules. The
// rules decide what a message may do to the game (the peer is a stranger:
// moves only when legal and its turn, answers only to our own pending
// requests, numbers bounded); the online game carries out what they allow.
// No windows here.

#include <cstdint>

#include "chess/Move.h"
#include "foundation/Buffer.h"
#include "foundation/String.h"

class CChessBoard;

namespace Zorlin {
class CFile;
}

// The protocol's own names.
enum EChPacketType {
    chpktNull = 0,
    chpktProtocol = 1,
    chpktProfile = 2,
    chpktGameProposal = 3,
    chpktBeginGame = 4,
    chpktResume = 5,
    chpktMove = 6,
    chpktRequestTakeback = 7,
    chpktTakeback = 8,
    chpktRequestDraw = 9,
    chpktDraw = 10,
    chpktResign = 11,
    chpktRequestReset = 12,
    chpktReset = 13,
    chpktTimeUp = 14,
    chpktResult = 15,
    chpktBeginTyping = 16,
    chpktEndTyping = 17,
    chpktStartClock = 18,
    chpktAlert = 19,
    chpktIgnore = 20,
};

// The name of a type, "unknown" for other numbers.
const char* GetChPacketTypeName(uint32_t type);

// The time control of a new game, and in a begin the colour of the side
// that receives it (0 White, 1 Black).
struct SGameProposal {
    int side = 0;
    bool timed = false;
    int clock = 0; // seconds per side
};

namespace GameMessage {

const int kProtocolVersion = 2;
// A proposal's clock is kept within these seconds per side.
const int kMinClock = 60;
const int kMaxClock = 5940;
// A move's text and any other line of a message.
const int kMaxMove = 32;
const int kMaxLine = 64;
// A reported move time above this (a day) is taken as this.
const double kMaxElapsedMs = 86400000.0;
const char* const kLeftGame = "left game";

// A whole pktRequestForward payload: the header (with the opponent's id
// when it is not 0), the type and the body's lines.
Zorlin::CBuffer Forward(uint32_t opponentId, uint32_t type, const Zorlin::CString& body = Zorlin::CString());
// Bodies, each a text of LF-ended lines.
Zorlin::CString LineBody(const Zorlin::CString& line);
Zorlin::CString MoveBody(const Zorlin::CString& san, bool timed, double elapsedMs);
Zorlin::CString ProposalBody(bool timed, int clock);
Zorlin::CString BeginBody(bool accepted, const SGameProposal& agreed);
// Plain header-only packets (pktCloseConnection and the like).
Zorlin::CBuffer HeaderOnly(uint32_t packetType, uint32_t id);
// pktSendChat: the name (40 characters at most) and the text (8192).
Zorlin::CBuffer Chat(uint32_t opponentId, const Zorlin::CString& name, const Zorlin::CString& text);
// "12. e4", "12. ... Nf6": the move played at ply, as the take-back popup
// names it; empty when the board has no such ply.
Zorlin::CString DescribePly(const CChessBoard& board, int ply);
// A clock from outside kept within the bounds.
int ClampClock(int seconds);

} // namespace GameMessage

// A request may follow the previous one only after this many seconds.
class CRequestInterval {
public:
    static constexpr double kSeconds = 10.0;
    bool Allows(double nowSeconds) const;
    void Note(double nowSeconds) { m_last = nowSeconds; }
    void Forget() { m_last = 0.0; }

private:
    double m_last = 0.0;
};

// What the messages may do to the game. Every operation is called only
// once the rules allowed it.
class CGameMessageTarget {
public:
    virtual ~CGameMessageTarget() = default;

    virtual const CChessBoard& GetBoard() const = 0;
    // In play and without a result.
    virtual bool IsPlaying() const = 0;
    virtual int GetRemoteColour() const = 0;
    virtual bool IsTimed() const = 0;
    // A question of the peer's (chpktGameProposal, chpktRequestTakeback,
    // chpktRequestDraw or chpktRequestReset) is still before the user.
    virtual bool IsAsking(uint32_t requestType) const = 0;
    // The opponent's last move waits for the board to make it.
    virtual bool HasReadyMove() const = 0;

    virtual void OnWrongProtocol(const Zorlin::CString& version) = 0;
    virtual void OnProposal(const SGameProposal& proposal) = 0;
    // Our proposal accepted: agreed.side is our colour.
    virtual void OnBeginAccepted(const SGameProposal& agreed) = 0;
    virtual void OnBeginDeclined() = 0;
    virtual void OnResume() = 0;
    virtual void OnRemoteMove(const CMove& move, double elapsedMs) = 0;
    virtual void OnTakebackRequested(int ply, const Zorlin::CString& moveText) = 0;
    virtual void OnTakebackAnswer(bool accepted, int ply) = 0;
    virtual void OnDrawOffered() = 0;
    virtual void OnDrawAnswer(bool accepted) = 0;
    virtual void OnResigned(bool leftGame) = 0;
    virtual void OnResetRequested() = 0;
    virtual void OnTimeUp() = 0;
    // One line for the log: what was received, or why it changed nothing.
    virtual void Log(const Zorlin::CString& line) = 0;
};

// The receiving rules and the requests pending on both sides. One question
// of a kind is put to the user at a time: a request repeated while its
// question is open is refused, as is a second move before the board has
// made the first (it could only be out of turn).
class CGameMessages {
public:
    enum EDispatch {
        kHandled,      // read (and perhaps refused); nothing to answer
        kForeign,      // from a client that is not the opponent: close its link
        kNoOpponent,   // no opponent linked: dropped
    };

    explicit CGameMessages(CGameMessageTarget& target);

    // The body of one pktForward after its header; senderId is the header's.
    EDispatch Dispatch(uint32_t senderId, Zorlin::CFile& body);
    // The same sender check for chat lines.
    EDispatch CheckSender(uint32_t senderId) const;

    void SetOpponent(uint32_t id) { m_opponent = id; }
    uint32_t GetOpponent() const { return m_opponent; }
    // Set at creation and at each begin; a resume clears it.
    void SetAwaitingResume(bool awaiting) { m_awaitingResume = awaiting; }
    bool IsAwaitingResume() const { return m_awaitingResume; }

    // Our own requests, noted when sent; the peer's answers count only while
    // the request is pending.
    void NoteProposal(bool timed, int clock);
    void NoteTakebackRequest(int ply) { m_ourTakeback = ply; }
    void NoteDrawOffer() { m_ourDraw = true; }
    // A new game or a reset: nothing asked before it still stands.
    void ForgetRequests();

    // The peer's requests, taken once by the user's answer; false when none
    // is pending (a second answer, or one to nothing).
    bool TakeTheirProposal(SGameProposal& out);
    bool TakeTheirTakeback(int& ply);
    bool TakeTheirDraw();
    bool TakeTheirReset();
    bool HasTheirTakeback() const { return m_theirTakeback >= 0; }

    // A move time from the wire: digits only, never negative, at most a day.
    static double ReadElapsed(const Zorlin::CString& line, bool& refused);
    // "yes" or "true", without regard to case.
    static bool IsYes(const Zorlin::CString& line);

private:
    void Refuse(uint32_t type, const char* why);
    void OnProtocol(Zorlin::CFile& body);
    void OnGameProposal(Zorlin::CFile& body);
    void OnBeginGame(Zorlin::CFile& body);
    void OnMove(Zorlin::CFile& body);
    void OnRequestTakeback(Zorlin::CFile& body);
    void OnTakeback(Zorlin::CFile& body);
    void OnRequestDraw();
    void OnDraw(Zorlin::CFile& body);
    void OnResign(Zorlin::CFile& body);
    void OnRequestReset();
    void OnReset(Zorlin::CFile& body);
    void OnTimeUp();

    CGameMessageTarget& m_target;
    uint32_t m_opponent;
    bool m_awaitingResume;
    // Ours.
    bool m_ourProposalPending;
    SGameProposal m_ourProposal;
    int m_ourTakeback; // -1: none
    bool m_ourDraw;
    // Theirs.
    bool m_theirProposalPending;
    SGameProposal m_theirProposal;
    int m_theirTakeback; // -1: none
    bool m_theirDraw;
    bool m_theirReset;
};
