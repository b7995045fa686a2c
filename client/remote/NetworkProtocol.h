#pragma once

// What the frames of a direct network game mean, kept apart from sockets
// and windows. The peer is a stranger: a move is taken only when it is
// legal and the peer's side is to move, an answer only when it answers a
// request of ours that is still open and matches it, and the user is asked
// before the peer changes the game. Refusals are logged and change nothing.

#include <cstdint>

#include "chess/ChessBoard.h"
#include "client/remote/RequestGate.h"
#include "foundation/Buffer.h"
#include "foundation/Config.h"
#include "foundation/String.h"

// What the protocol does to the game and asks of the user.
class INetworkGameSide {
public:
    virtual ~INetworkGameSide() = default;
    // The whole frame to the peer; payload null for none.
    virtual void SendFrame(uint32_t type, const Zorlin::CBuffer* payload) = 0;
    virtual bool AskYesNo(const Zorlin::CString& text, const Zorlin::CString& caption) = 0;
    virtual void Tell(const Zorlin::CString& text, const Zorlin::CString& caption) = 0;
    // A line for the game's log.
    virtual void Log(const Zorlin::CString& text) = 0;
    virtual bool IsGameInPlay() = 0;
    // The peer's move waits for the board to take it.
    virtual bool HasReadyMove() = 0;
    // The name the user knows the peer by (may be empty).
    virtual Zorlin::CString GetOpponentName() = 0;

    // The joining side's game begins: the host's identity arrived.
    virtual void BeginAsJoiner(int localColour, const Zorlin::CString& hostId) = 0;
    // The hosting side's game begins: the joiner answered the opening.
    virtual void BeginAsHost(int localColour) = 0;
    virtual void ReadyOpponentMove(const CMove& move) = 0;
    virtual void TakeBackTo(int plies) = 0;
    virtual void EndDrawn() = 0;
    virtual void OpponentResigned() = 0;
    virtual void StartNewGame(int localColour) = 0;
    // Replays the saved game; the local colour is already settled.
    virtual void RestoreGame(Zorlin::CConfig& saved, int localColour) = 0;
    virtual void ShowChat(const Zorlin::CString& name, const Zorlin::CString& text) = 0;
    virtual void ShowNotice(const Zorlin::CString& text) = 0;
    // Board units; kind is the frame type (pen down, move or clear).
    virtual void Pen(uint32_t kind, float x, float y) = 0;
    virtual void ReceivedProfile(const Zorlin::CBuffer& archive) = 0;
    // The bytes come from the peer so far, read or still waiting; 0 when
    // unknown. Requests up to there came while a question was open.
    virtual uint64_t GetArrivedBytes() { return 0; }
};

class CNetworkProtocol {
public:
    CNetworkProtocol(INetworkGameSide& side, const CChessBoard& board);

    // A joining side waits for the host's identity; a host never takes one.
    void SetJoining(bool joining) { m_joining = joining; }
    // The host's opening to a player who connected: the protocol version
    // and the identity that gives the joiner its colour. The game begins
    // with the joiner's first answer (its profile or its version); until
    // then nothing else is taken. hostId is empty or a plain profile id.
    void OpenAsHost(int localColour, const Zorlin::CString& hostId);
    bool IsAwaitingJoiner() const { return m_awaitingJoiner; }
    // The game has begun (both sides) with the user playing localColour.
    void Begin(int localColour);
    bool HasBegun() const { return m_begun; }
    int GetLocalColour() const { return m_localColour; }
    // A new connection: nothing begun, nothing pending.
    void Reset();

    // One whole frame from the peer, ending at position in the peer's
    // stream (0 when unknown). False when it was refused.
    bool HandleFrame(uint32_t type, const Zorlin::CBuffer& payload, uint64_t position = 0);
    // Frames of this type are handled without asking or telling the user
    // anything, so they may be applied while a message box is open.
    static bool OpensNoBox(uint32_t type);
    // True when the last frame handled made a move ready: the board should
    // take it before the next frame is looked at.
    bool MadeMoveReady() const { return m_madeMoveReady; }

    // ---- what the user does.
    void SendMove(const Zorlin::CString& san);
    void SendChat(const Zorlin::CString& name, const Zorlin::CString& text);
    void OfferDraw();
    void RequestTakeBack(int plies);
    // peerColour: the colour the peer is asked to play.
    void RequestNewGame(int peerColour);
    // The saved game with "you" set for the peer from the user's profile id.
    void RequestRestore(const Zorlin::CConfig& saved, const Zorlin::CString& userId);
    void Resign();

    // The requests still waiting for an answer.
    bool IsDrawOffered() const { return m_drawOffered; }
    int GetPendingTakeBack() const { return m_pendingTakeBack; }
    int GetPendingNewGame() const { return m_pendingNewGame; }
    bool IsRestorePending() const { return m_restorePending; }

    // The local colour a saved game gives: Black when "you" says so, else
    // (without "you") when White's id is not the user's.
    static int LocalColourOf(const Zorlin::CConfig& saved, const Zorlin::CString& userId);

    // The peer's questions to the user, one of a kind at a time.
    enum EQuestion { kDrawQuestion, kTakeBackQuestion, kNewGameQuestion, kRestoreQuestion };
    bool IsAsking(EQuestion kind) const { return m_questions.IsOpen(kind); }

private:
    bool Refuse(uint32_t type, const char* why);
    // Puts the question to the user: false (refused and logged) when one of
    // its kind is open or this repeat came while it was.
    bool Ask(EQuestion kind, uint32_t type, const Zorlin::CString& text, const Zorlin::CString& caption, bool& yes);
    void SendFrame(uint32_t type, const Zorlin::CBuffer& payload);
    void SendFrame(uint32_t type);
    // Forgets requests about the game that just ended or was replaced.
    void ForgetGameRequests();

    bool OnIdentity(const Zorlin::CBuffer& payload);
    bool OnMove(const Zorlin::CBuffer& payload);
    bool OnNewGameRequest(const Zorlin::CBuffer& payload);
    bool OnNewGameAccepted(const Zorlin::CBuffer& payload);
    bool OnDrawOffer();
    bool OnDrawAnswer(bool accepted);
    bool OnTakeBackRequest(const Zorlin::CBuffer& payload);
    bool OnSetBoard(const Zorlin::CBuffer& payload);
    bool OnTakeBackAnswer(bool accepted);
    bool OnRestoreRequest(const Zorlin::CBuffer& payload);
    bool OnRestoreAnswer(const Zorlin::CBuffer* payload);

    INetworkGameSide& m_side;
    const CChessBoard& m_board;
    bool m_joining;
    bool m_awaitingJoiner;
    bool m_begun;
    bool m_profileTaken;
    int m_localColour;
    bool m_drawOffered;
    int m_pendingTakeBack;      // the plies we asked to keep; -1 none
    bool m_takeBackAccepted;    // the peer said yes; its set-board follows
    int m_pendingNewGame;       // the colour we asked to play; -1 none
    bool m_restorePending;
    Zorlin::CConfig m_restoreSent; // what we asked to restore, "you" for the peer
    bool m_madeMoveReady;
    CRequestGate m_questions;
    uint64_t m_framePosition;
    bool m_versionWarned; // once a connection: a flood of them is one box
};
