#pragma once

// The user's own copy of each e-mail game in play, one per game: named by
// the game's id ("game.gameid"), written when a turn is received, when the
// user moves and when the user's turn leaves. What a received turn says
// about the moves already played and about a draw offer is held against the
// copy of its own game, never against the received file, which the sender
// writes, and never against the copy of another game.

#include "client/remote/EmailTurn.h"
#include "foundation/Array.h"
#include "foundation/Config.h"
#include "foundation/String.h"

namespace Zorlin {
class CDrive;
}

namespace EmailRecord {

// How a received turn stands to the game the user keeps.
enum class EFit {
    kNoRecord,    // no copy of its game: a game from its start
    kContinues,   // what the user knows, then at most the sender's one move
    kStale,       // it stops before the user's last sent move
    kOlder,       // it stops before a turn the user has already opened
    kRewritten,   // its earlier moves differ from the kept game's
    kAddsMoves,   // more than the sender's one move beyond what is known
    kOwnMove,     // the move it adds is in the user's colour
    kOtherSender, // the kept game is played with someone else
};

// An id that names somebody or a game: "0" and empty stand for a player
// not known yet and name nothing.
bool IsKnownId(const Zorlin::CString& id);
// "/active games/email <key>.rwg" of the user drive; empty for a key unfit
// for a file name, "0" or empty (which name no game).
Zorlin::CString Path(const Zorlin::CString& key);
// The key of "email <key>.rwg", empty for any other file name.
Zorlin::CString KeyOfFile(const Zorlin::CString& fileName);
// Replaces the copy named key by saved (a saved game).
bool Keep(Zorlin::CDrive& user, const Zorlin::CString& key, const Zorlin::CConfig& saved);
// Forgets the copy named key (a game that has ended).
void Forget(Zorlin::CDrive& user, const Zorlin::CString& key);
// The copy named key; false when there is none to read.
bool Find(Zorlin::CDrive& user, const Zorlin::CString& key, Zorlin::CConfig& out);

// The name a game carries in its settings ("game.gameid"), empty when it
// has none fit to use; and a fresh one for a new game.
Zorlin::CString GameId(const Zorlin::CConfig& saved);
Zorlin::CString NewGameId();

// What the user knows of a kept game, stored in the copy beside the game:
// the colour the user plays and the half-moves received and sent. A copy
// without them was written when a turn left: every move of it was sent.
void MarkKnown(Zorlin::CConfig& saved, int localColour, int received, int sent);
int ReceivedPlies(const Zorlin::CConfig& record);
int SentPlies(const Zorlin::CConfig& record);
// The colour the user plays in a copy; own decides a copy without one.
int LocalColour(const Zorlin::CConfig& record, const Zorlin::CString& own);

// Compares a checked turn, in which the user plays localColour and sender
// (a plain id) the other side, with the copy of its game (record, null when
// there is none). Beyond the moves received and sent, a turn may add only
// one move, the sender's.
// own is the user's id, for a copy that does not say which colour is the
// user's.
EFit Compare(const Zorlin::CConfig* record, const EmailTurn::STurn& turn, int localColour,
             const Zorlin::CString& sender, const Zorlin::CString& own);

// The copy a turn is judged against. A turn naming its game has only that
// game's copy (or one written before copies were named by game, under the
// sender's id with the same game id). A turn without a name is held against
// every copy of a game with its sender, and of a game the user started that
// no one has answered yet: the first it continues is its game.
struct SMatch {
    EFit fit = EFit::kNoRecord;
    Zorlin::CString key; // of the copy judged against, empty without one
    Zorlin::CConfig record;
};
SMatch Match(Zorlin::CDrive& user, const EmailTurn::STurn& turn, int localColour, const Zorlin::CString& sender,
             const Zorlin::CString& own);

// The refusal for a fit that is refused, else empty; name is the
// opponent's as kept.
Zorlin::CString Refusal(EFit fit, const Zorlin::CString& name);
// The opponent's name in a copy, cut for showing.
Zorlin::CString OpponentName(const Zorlin::CConfig& record, const Zorlin::CString& own);

// How the side panel lists a copy of the active games folder: "Bob, move 3";
// empty for a file that is no copy or cannot be read.
Zorlin::CString Caption(Zorlin::CDrive& user, const Zorlin::CString& fileName, const Zorlin::CString& own);

} // namespace EmailRecord
