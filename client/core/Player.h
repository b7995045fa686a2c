#pragma once

#include <wx/event.h>

#include "chess/ChessTypes.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"

namespace Zorlin {
class CFile;
}

class CChessBoard;
class CGame;
class CMove;

// One side of a game, whoever plays it. A player supplies moves and hears of
// the other side's; it never changes the board itself.
class CPlayer : public wxEvtHandler {
public:
    CPlayer();
    ~CPlayer() override;

    // Ends the player (the game owns it and calls this once).
    virtual void Destroy();
    // Periodic work, called every game tick.
    virtual void Poll();
    virtual void StartGame(CChessBoard* board, int colour);
    virtual bool HasMove();
    // Hands the ready move over and clears it.
    virtual bool GetMove(CMove& out);
    virtual bool OpponentMoved(const CMove& move);
    virtual bool RequestTakeBack(int moveNumber);
    virtual void TakeBackTo(int moveNumber);
    virtual void SetPosition(const CChessBoard& board);
    // The other side has resigned.
    virtual void Resign();
    // The other side offers a draw.
    virtual bool OfferDraw();
    virtual bool IsLocal();
    // Nothing to poll for until the other side moves (an engine waiting on
    // the user with nothing owed).
    virtual bool IsAtRest();
    // Nothing to poll for until its program writes, which wakes the game
    // tick by itself; only slow checks (a silence limit) are left to polls.
    virtual bool WakesOnOutput();
    // Its last poll ended at the poll's time bound with input still waiting:
    // the next poll should come as soon as the window has answered its events.
    virtual bool IsReadingBehind();
    // A file opened for reading on the player's picture; callers treat a file
    // that is not open as no picture.
    virtual void GetPhoto(Zorlin::CAutoPointer<Zorlin::CFile>& out);
    // The game has ended; its result is set.
    virtual void GameOver();
    virtual void SetMoveTime(double milliseconds);

    Zorlin::CConfig& GetProperties() { return m_properties; }
    const Zorlin::CConfig& GetProperties() const { return m_properties; }
    // A property's value, empty when missing (nothing is created).
    Zorlin::CString GetProperty(const char* key) const { return m_properties.GetValueOr(key, ""); }
    int GetColour() const { return m_colour; }
    void SetColour(int colour) { m_colour = colour; }
    CGame* GetGame() const { return m_game; }
    void SetGame(CGame* game) { m_game = game; }

protected:
    // The default picture of the program folder.
    static void OpenDefaultPhoto(Zorlin::CAutoPointer<Zorlin::CFile>& out);

    Zorlin::CConfig m_properties;
    int m_colour;
    CGame* m_game;

private:
    wxDECLARE_DYNAMIC_CLASS(CPlayer);
};
