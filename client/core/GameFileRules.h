#pragma once

// The decisions behind the frame's game-file commands and dropped files,
// kept apart from the window so they can be checked on their own.

#include "foundation/String.h"

class CChessBoard;

// A saved game larger than this is not read: a long game takes a few
// dozen kilobytes.
const unsigned kMaxSavedGameBytes = 4u << 20;

// What opening a saved game does, by its "game.type" (case ignored).
enum class ESavedGameKind {
    kComputer, // "AIGame": restored and played on
    kNetwork,  // "NetworkGame": only through a running network game
    kEmail,    // "EmailGame": only viewed
    kViewed,   // "PGNGame" and "GridmoorGame": shown as a viewed game
    kUnknown,
};
ESavedGameKind ClassifySavedGame(const Zorlin::CString& type);

// What a file dropped on the frame is, by its extension (case ignored).
enum class EDroppedFile {
    kRefused,
    kPgn,       // ".pgn"
    kSavedGame, // ".rwg"
    kTransport, // ".rwf"
};
EDroppedFile ClassifyDroppedFile(const Zorlin::CString& name);
// Whether opening the file shows the board: a PGN file or a saved game.
// What a transport file holds is known only once it is read.
bool OpensOnBoard(const Zorlin::CString& name);

// True when path names something that is there but is no plain file (a
// folder, a FIFO, a device, a socket): reading it might never begin or
// never end. A missing path is not (its opener says it is missing).
bool IsThereButNoPlainFile(const Zorlin::CString& path);

// The text from the last '.' of name on; empty without one.
Zorlin::CString FileExtension(const Zorlin::CString& name);
// The part after the last '/' or '\\'.
Zorlin::CString ShortFileName(const Zorlin::CString& path);
// path with extension appended when its file name has none of its own
// (a short run of letters and digits after its last '.').
Zorlin::CString WithDefaultExtension(const Zorlin::CString& path, const char* extension);

// "White vs Black.rwg": what the save and export dialogs propose. The
// names come from players (an engine, an opponent's profile), so
// characters that would make the name a path or an invalid file name
// become '_'.
Zorlin::CString MakeSavedGameName(const Zorlin::CString& white, const Zorlin::CString& black,
                                  const char* extension = ".rwg");
// The same for a game's own players, by the side each plays.
class CGame;
Zorlin::CString MakeSavedGameName(CGame& game, const char* extension);

// How a restored game stands: drawn for the side to move (with the reason
// for the status bar), else won by whoever mated, else still open.
struct SRestoredEnd {
    int result = 0;          // a GameResult
    Zorlin::CString status;  // the status bar's first field
};
SRestoredEnd JudgeRestoredGame(const CChessBoard& board);

// True when the file at path lies directly in folder (both as the disk
// finds them, links and ".." resolved): the Game Over window removes only
// the copy the client keeps in "active games", never a file the user
// keeps elsewhere. False when either cannot be found.
bool IsFileInFolder(const Zorlin::CString& path, const Zorlin::CString& folder);
