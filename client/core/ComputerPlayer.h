#pragma once

#include <memory>

#include "chess/Move.h"
#include "client/core/Player.h"
#include "foundation/AssocArray.h"

class CConsole;
class CEngineProcess;

// The player an engine program plays for: the game's events become xboard
// commands, and the engine's lines become moves, draw offers, resignations
// and messages. The engine is only read when polled, and only what is
// already waiting.
class CComputerPlayer : public CPlayer {
public:
    // Bounds of the feature negotiation: an engine that announced nothing is
    // waited for a little over this, one that said done=0 at most kMaxFeatureWait.
    static const int kFeatureWait = 2;
    static const int kMaxFeatureWait = 10;
    // How long engine moves are ignored while waiting for the engine to
    // confirm a new position (ping/pong).
    static const int kPongWait = 10;
    // An engine to move that writes nothing for this long while no clock
    // runs for it has stopped answering (a running clock's flag covers the
    // rest).
    static const int kSilenceLimit = 120;
    // An engine that rests while it waits is stopped once it has been
    // quiet this long (seconds) with nothing asked of it.
    static constexpr double kRestAfter = 0.1;
    // How often an engine that no tick polls (its game has ended) is read
    // until it rests.
    static const int kUnpolledCheckMs = 100;

    CComputerPlayer();
    ~CComputerPlayer() override;

    void Destroy() override;
    void Poll() override;
    bool IsAtRest() override;
    bool WakesOnOutput() override;
    bool IsReadingBehind() override;
    void StartGame(CChessBoard* board, int colour) override;
    bool HasMove() override;
    bool GetMove(CMove& out) override;
    bool OpponentMoved(const CMove& move) override;
    bool RequestTakeBack(int moveNumber) override;
    void TakeBackTo(int moveNumber) override;
    void SetPosition(const CChessBoard& board) override;
    void Resign() override;
    bool OfferDraw() override;
    void GetPhoto(Zorlin::CAutoPointer<Zorlin::CFile>& out) override;
    void GameOver() override;

    // Made on first use, never replaced.
    CEngineProcess* GetEngineProcess();
    bool HandleEngineLine(const Zorlin::CString& line);
    void HandleFeatures(const Zorlin::CString& line);
    // Waits for the feature negotiation the first time, then answers
    // whether the engine announced the feature with the value 1.
    bool IsFeatureOn(const char* name);
    void SendLevel();
    void OnEngineOffersDraw();
    void ShowEngineMessage(const Zorlin::CString& text);
    void OnEngineResigns();
    // The engine's own error ("tellusererror"): shown in a message box and
    // kept to say why the engine stopped.
    void ShowEngineError(const Zorlin::CString& text);
    // "The chess engine has stopped." with the engine's last error, or its
    // last lines.
    Zorlin::CString StoppedText() const;
    // The engine ended, played an illegal move or stopped answering: the
    // game leaves play and the user is asked, once, whether to restart the
    // engine on the current position or to end the game.
    void OnEngineFailure(const Zorlin::CString& what);
    // A fresh engine process, given the game's position; false (after
    // saying so) when it cannot be started.
    bool RestartEngine();
    // False once the engine failed and was not restarted since.
    bool IsEngineHealthy() const { return !m_failed; }
    // For tests: how long an untimed engine may stay silent on its move.
    static void SetSilenceLimit(double seconds);

    bool AreFeaturesDone() const { return m_featuresDone; }
    // The value the engine announced, or null.
    const Zorlin::CString* FindFeature(const char* name) const { return m_features.Find(name); }
    const Zorlin::CString& GetReadyText() const { return m_readyText; }
    bool IsWaitingForPong() const { return m_awaitedPong != 0; }
    CConsole* GetConsole() { return m_console.get(); }

private:
    void Send(const char* text);
    void WaitForFeatures();
    // The negotiation is over: done=1, the engine gone, or waited out.
    bool AreFeaturesSettled() const;
    void StartPendingGo();
    // Waits for the feature negotiation like IsFeatureOn; true when the
    // engine announced the feature with that value.
    bool IsFeatureAnnounced(const char* name, const char* value);
    // The engine's colour (unless it said colors=0), the clocks, "go".
    void SendColourAndGo();
    // "time" and "otim" in centiseconds, in a timed game to an engine that
    // did not say time=0.
    void SendClocks(double mine, double theirs);
    // The game's clocks as they stand (the whole period before the first move).
    void SendGameClocks();
    // A parsed engine move, taken only when it is this side's turn in a game
    // in play and no new position is still unconfirmed.
    bool OfferMove(const CMove& move, const Zorlin::CString& text);
    bool ParseEngineMove(const Zorlin::CString& text, CMove& out);
    bool HandleQuietLine(const Zorlin::CString& line);
    // The next line this poll reads: false when none is waiting (a move
    // begun on the last line is then dropped) or the poll's time is up.
    bool NextLine(Zorlin::CString& line);
    void ForgetReadyMove();
    void CheckSilence();
    // Stops a waiting engine that spins (its package says so): in the
    // user's turn without pondering, and after the game.
    void RestIfWaiting();
    // Neither its move nor an answer owed nor pondering: it waits on the user.
    bool IsWaitingIdle();
    // The tick polls only a game in play: after its end, what the engine
    // still writes is read here until the engine can rest.
    void WatchUnpolled();
    void ReadUnpolled();
    class CUnpolledTimer;
    std::unique_ptr<CUnpolledTimer> m_unpolledTimer;
    void EndAfterFailure();
    bool IsEnginesTurnInPlay() const;
    // True while moves may still belong to a position before the last "new".
    bool PongStillAwaited();
    void EndGameDrawn();
    void EndGameResigned();
    // Nobody's time runs while the user answers a question about the
    // engine: the game's move clock pauses and the clock window stands
    // still. Returns the game held, for ReleaseClocks.
    CGame* HoldClocks();
    // After the question: the move clock goes on, and the clock window runs
    // again when the game does.
    void ReleaseClocks(CGame* held);
    wxWindow* DialogParent() const;

    Zorlin::CString m_pendingMove;
    CEngineProcess* m_process;
    Zorlin::CString m_engineName;
    Zorlin::CString m_engineError; // the last "tellusererror" of this engine process
    bool m_moveReady;
    CChessBoard* m_board;
    CMove m_readyMove;
    Zorlin::CString m_readyText;
    Zorlin::CAssocArray<Zorlin::CString> m_features;
    bool m_featuresDone;
    Zorlin::CAssocArray<bool> m_accepted;
    std::unique_ptr<CConsole> m_console;
    bool m_drawOffered;
    int m_drawPing;        // the ping after our draw offer: its pong without "offer draw" declines
    bool m_drawDeclined;   // told at the next poll, outside the line handlers
    bool m_resignDeclined;
    bool m_goPending;
    bool m_startPending;   // the engine plays White: "go" once its features are known

    bool m_polling;        // inside Poll: dialogs raised there must not poll again
    int m_linesThisPoll = 0;
    bool m_failed;         // the engine failed; nothing more is read from it
    double m_waitingSince; // when the engine was last asked for a move
    double m_lastHeard;    // when the engine last wrote a line
    Zorlin::CAssocArray<bool> m_messagesShown; // each greeting once
    // The engine let our draw offer pass: the user is told so.
    void TellDrawDeclined();
    int m_pingCounter;
    int m_awaitedPong;     // the ping whose pong makes engine moves count again
    double m_pongDeadline;
    // Cleared by the destructor, so code that raised a dialog can tell
    // whether the player outlived it.
    std::shared_ptr<bool> m_alive;

    wxDECLARE_DYNAMIC_CLASS(CComputerPlayer);
};
