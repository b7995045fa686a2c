#pragma once

// A game played by e-mail: the user's local player and the e-mail player
// standing for the opponent. Each received turn file makes a new one;
// nothing of an earlier game object is reused.

#include "client/core/Game.h"
#include "client/remote/EmailTurn.h"

class CEmailPlayer;
class CLocalPlayer;

class CEmailGame : public CGame {
public:
    CEmailGame();
    ~CEmailGame() override;

    bool Setup() override;
    void Start() override;
    void End() override;
    void Reset() override;
    void OfferDraw(int side) override;
    void Resign(int side) override;
    bool IsOnlyViewed() const override { return m_savedGame; }
    void GetStatusPage(Zorlin::CString& out) override;
    CPlayer* GetPlayer(int side) override;
    // Nothing to lose once the user's answer has left, or before the user
    // made one.
    bool HasUnsavedPlay() const override;

    // A new game from the Email Game dialog, already on the board.
    bool StartGame(int localColour, const Zorlin::CString& name, const Zorlin::CString& address);
    // Decides the side the user plays in a read and checked turn (asking
    // when the ids do not tell) and holds the turn against the user's own
    // copy of its game: the sender must be the player of the other side,
    // the turn must hold what the user has received and sent and at most
    // the sender's one move more, and an accepted draw must be one the user
    // offered. False, with why set unless the user cancelled, when it is
    // refused; nothing is changed.
    bool Judge(EmailTurn::STurn& turn, Zorlin::CString& why);
    // Rebuilds the game of a read and checked turn and puts it on the board;
    // moveText gets the opponent's newest move to play (empty when none).
    // False, with why set unless the user cancelled, when it is refused;
    // then nothing has changed. Judges the turn first unless done.
    bool OpenTurn(EmailTurn::STurn& turn, Zorlin::CString& moveText, Zorlin::CString& why);
    // A turn of the user's has left: the user's copy of this game becomes
    // what it sent (or goes, once the game has ended).
    void KeepSentRecord();
    // The user's copy of this game becomes what the board holds: when a
    // turn is received and when the user moves (made, which the board may
    // not have made yet). A saved game being viewed keeps none.
    void KeepCopy(const CMove* made);
    // The sides of a saved game loaded into this one: shown, not played.
    void AssignSides(Zorlin::CConfig& saved);

    int GetLocalColour() const { return m_localColour; }
    int GetReceivedPly() const { return m_receivedPly; }
    bool IsSavedGame() const { return m_savedGame; }
    CEmailPlayer* GetEmailPlayer() const { return m_email; }

    // Makes this the board's game and shows it in the frame's panels.
    void ShowOnBoard();

private:
    void StartPlayers(int localColour);
    void EndOnBoard(int result, int flag);
    void ForgetCopy();

    CLocalPlayer* m_local;
    CEmailPlayer* m_email;
    bool m_savedGame;
    int m_localColour;
    int m_receivedPly;
    int m_sentPly;
    bool m_judged;
    // This game's name, which names its copy; the copy a received turn was
    // judged against, when it was kept under another name.
    Zorlin::CString m_gameId;
    Zorlin::CString m_judgedKey;
    // The received newest move, until the board has played it.
    Zorlin::CString m_newestMove;
    Zorlin::CString m_newestTime;
};

// The user's own profile id, the local side's id in every e-mail game.
Zorlin::CString OwnProfileId();
