#pragma once

// What opening transport files needs of remote play: the e-mail game for a
// received turn, the join dialog for an invitation and the opponent store
// for a received profile. Remote play installs its implementation at
// start-up; until it does, the client says that these games are not
// available instead of opening them.

#include "foundation/String.h"

namespace Zorlin {
class CArchiveDrive;
class CConfig;
class CFile;
}

class CGame;
class wxWindow;

class CRemoteTransport {
public:
    virtual ~CRemoteTransport() = default;
    // Makes the e-mail game of a received turn and sets it up as the current
    // game of the board canvas and the frame; moveText gets the opponent's
    // move in algebraic notation (empty when there is none). Null when the
    // turn is not taken; told is then true when the user already knows why
    // (a refusal shown, or the user chose to keep the game on the board).
    virtual CGame* OpenEmailTurn(Zorlin::CArchiveDrive& turn, Zorlin::CString& moveText, bool& told) = 0;
    // Shows the join dialog modally with address in its address field.
    virtual void OpenJoinDialog(wxWindow* parent, const Zorlin::CString& address) = 0;
    // Adds or updates the opponent of a profile archive whose id was checked.
    virtual void InstallOpponentProfile(Zorlin::CFile& profile) = 0;
    // Puts a saved e-mail game (read from a saved game file) on the board as
    // a game to look at; false when remote play cannot, so it is viewed as a
    // plain game.
    virtual bool OpenSavedEmailGame(Zorlin::CConfig&) { return false; }
};

// The implementation in use; null when remote play installed none.
CRemoteTransport* GetRemoteTransport();
// Makes transport current and returns the previous one; the caller keeps
// ownership.
CRemoteTransport* SetRemoteTransport(CRemoteTransport* transport);

// Adds or updates the sender of a received profile archive in the user's
// opponent list; a profile whose id is unfit for a file name is dropped.
// False when nothing was stored.
bool StoreOpponentProfile(Zorlin::CFile& profileArchive);
