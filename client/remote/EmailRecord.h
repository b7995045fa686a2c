#pragma once

// The user's own copy of each e-mail game in play, one per opponent,
// written when a turn of the user's leaves and read when the opponent's
// next turn arrives. What a turn says about the moves already played and
// about a draw offer is held against this copy, never against the received
// file, which the sender writes.

#include "client/remote/EmailTurn.h"
#include "foundation/Config.h"
#include "foundation/String.h"

namespace Zorlin {
class CDrive;
}

namespace EmailRecord {

// How a received turn stands to the game the user plays with its sender.
enum class EFit {
    kNoRecord,  // no game with this opponent is kept
    kOtherGame, // both name their game and the names differ: a new game
    kContinues, // its earlier moves are those of the kept game
    kStale,     // it stops before the user's last sent move
    kRewritten, // its earlier moves differ from the kept game's
};

// "/active games/email <id>.rwg" of the user drive; empty for an id unfit
// for a file name.
Zorlin::CString Path(const Zorlin::CString& opponentId);
// Replaces the kept game with this opponent by saved (a saved game).
bool Keep(Zorlin::CDrive& user, const Zorlin::CString& opponentId, const Zorlin::CConfig& saved);
// Forgets the kept game with this opponent (a game that has ended).
void Forget(Zorlin::CDrive& user, const Zorlin::CString& opponentId);
// The kept game with this opponent; false when there is none to read.
bool Find(Zorlin::CDrive& user, const Zorlin::CString& opponentId, Zorlin::CConfig& out);

// The name a game carries in its settings ("game.gameid"), empty when it
// has none fit to use; and a fresh one for a new game.
Zorlin::CString GameId(const Zorlin::CConfig& saved);
Zorlin::CString NewGameId();

// Compares a checked turn with the kept game (record, a saved game).
EFit Compare(const Zorlin::CConfig& record, const EmailTurn::STurn& turn);
// The refusal for a fit that is refused, else empty; name is the
// opponent's as kept.
Zorlin::CString Refusal(EFit fit, const Zorlin::CString& name);

} // namespace EmailRecord
