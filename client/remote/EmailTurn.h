#pragma once

// The turn file of a game by e-mail, apart from any window: its name, its
// members, how a received one is read and checked, and the rules that tell
// which side the user plays. A received turn comes from a stranger: every
// member is size-capped, every id must be fit for a file name and every
// move legal, before anything of it is used.

#include "foundation/Config.h"
#include "foundation/String.h"

namespace Zorlin {
class CDrive;
class CFile;
}

namespace EmailTurn {

// Bigger received files are no turn: a profile with its picture and a
// long game fit well below.
const uint32_t kMaxTurnFile = 6 * 1024 * 1024;
const uint32_t kMaxMoveConfig = 256 * 1024;
const uint32_t kMaxMessage = 64 * 1024;
const int kMaxPlies = 1200;

// "move N (white).rwf": N from the half-moves played with the user's
// newest one, the colour the user plays. An invitation to a player who
// opens the game has no move: N is 0.
Zorlin::CString FileName(int halfMoves, int userColour, bool invitation);
// The number of the move the user answers with, h half-moves on the board
// before the opponent's newest move is played.
int AnswerNumber(int halfMovesBeforeNewest);

// Message quoted for a reply: each line cut into words, output lines
// "> " + words up to width characters, each ended by a line feed.
Zorlin::CString AppendQuoted(const Zorlin::CString& message, int width);

// 0 White, 1 Black, -1 undecided, from the ids the game gives each side
// and the user's own.
int DecideLocalSide(const Zorlin::CString& white, const Zorlin::CString& black, const Zorlin::CString& own);

// The colour the user plays for the "Start as" choice (0 White, 1 Black,
// 2 Random with draw from a seeded generator): 0 White, 1 Black.
int StartColour(int choice, unsigned draw);

// "You Start", "Accept draw" and an empty move carry no move to play.
bool IsPlayedMove(const Zorlin::CString& move);
// The saved move of frame n of a game's moves, empty when there is none.
Zorlin::CString SavedMove(Zorlin::CConfig& game, int n);
// The time saved with it.
Zorlin::CString SavedTime(Zorlin::CConfig& game, int n);
bool IsAcceptDraw(const Zorlin::CString& move);

// What a turn file holds, read or to be written.
struct STurn {
    Zorlin::CString move;
    bool offerDraw = false;
    bool resign = false;
    Zorlin::CString from;
    Zorlin::CString id;
    Zorlin::CConfig game; // the sender's saved game
    Zorlin::CString message;
    int plies = 0; // moves in game, once checked
};

// move.cfg as written: the fields, then game under the frame "game".
Zorlin::CConfig MakeMoveConfig(const STurn& turn);
// Writes the whole turn file into host (left open); profile, when not
// null, is the user's profile package. False when it could not be written.
bool Write(Zorlin::CFile& host, const STurn& turn, Zorlin::CFile* profile);

// Reads move.cfg and message.txt of a turn's "contents" folder and checks
// them (Check). False with why set for the user.
bool Read(Zorlin::CDrive& contents, STurn& out, Zorlin::CString& why);
// Refuses a turn whose ids are unfit for file names, whose moves are not
// all legal from the start or too many, or whose move differs from its
// newest saved one. Sets plies.
bool Check(STurn& turn, Zorlin::CString& why);
// The colour (0 White, 1 Black) that made the newest move of a checked
// turn that names one in move, else -1.
int NewestMover(const STurn& turn);
// Refuses a checked turn whose newest move is in the receiver's colour: a
// sender moves only for its own side.
bool CheckSender(const STurn& turn, int localColour, Zorlin::CString& why);

// A draw offer kept in the game's own settings, so that an "Accept draw"
// can be held against it: colour offered with ply half-moves on the board.
// An acceptance counts only for an offer of the receiver's with no move
// made since, read from the receiver's own record of the game (never from
// the received file, which the sender writes).
void RecordDrawOffer(Zorlin::CConfig& settings, int colour, int ply);
bool WasDrawOffered(const Zorlin::CConfig& savedGame, int colour, int ply);

// Whether the user may take back the newest move: only an own move made
// since the turn was opened, or the user's acceptance of a draw (which
// takes back no move). Empty when allowed, else the refusal to show.
Zorlin::CString TakeBackRefusal(int ply, int receivedPly, int localColour, int sideToMove,
                                const Zorlin::CString& moveText);

// A received player id: a plain profile id, or "0"/empty for a player
// not known yet.
bool IsPlayerId(const Zorlin::CString& id);

} // namespace EmailTurn
