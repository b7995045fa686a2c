#pragma once

// Game Over's three options carried out on disk: the PGN kept in "played
// games", the client's saved copy removed, the result counted in the user
// settings. Two files change, user.cfg and the PGN, and a kill may fall
// between any two steps; when the game is both kept and counted, the count
// is written first with a note of the file the game is to be kept in, and
// the note goes once the game is written. The next start settles a note a
// kill left (SettleNotedGameCount), after the sweep has put in place a game
// whose file was whole: a kept game is then a counted game, once, and a
// game that was not kept is not counted.

#include <functional>

#include "foundation/String.h"

class CPlayedGames;

namespace Zorlin {
class CConfig;
class CDrive;
}

struct SFinishedGame {
    Zorlin::CString pgnName;   // MakePlayedGameName's, without ".pgn"
    Zorlin::CString pgn;
    int result = 0;            // for the user: 1 won, 0 drawn, -1 lost
    Zorlin::CString savedPath; // the client's own saved copy, or empty
};

struct SGameOverChoice {
    bool removeSaved = true;
    bool keepPgn = true;
    bool count = true;
};

struct SGameOverDone {
    bool lost = false;    // the PGN could not be written: error says why
    bool removed = false; // the saved copy was removed
    Zorlin::CString error;
};

// saveSettings writes the user settings to disk, false when it could not;
// after a failed save the settings are not written again here (the exit
// writes them, and the user was told once).
SGameOverDone CarryOutGameOver(Zorlin::CDrive& userDrive, Zorlin::CConfig& user, CPlayedGames& played,
                               const SFinishedGame& game, SGameOverChoice choice,
                               const std::function<bool()>& saveSettings);

// The note's key in the user settings.
extern const char* const kNotedGameKey;

// At start-up, after the sweep: a counted game that a kill kept from
// "played games" is counted no more, and any note is cleared. True when
// the settings changed and want saving.
bool SettleNotedGameCount(Zorlin::CDrive& userDrive, Zorlin::CConfig& user);
