#pragma once

// The decisions behind the frame's action and option commands, kept apart
// from the window so they can be checked on their own.

namespace Zorlin {
class CConfig;
}

// What Take Back does with the current game.
enum class ETakeBack {
    kNoLocalPlayer, // nobody at this machine plays: "Can't take back."
    kNothing,       // the target would be negative: "Nothing to take back."
    kRequest,       // the other side is asked to go back to the target
};

// The number of half-moves left after a take-back: two fewer when the user
// is to move (the opponent's reply goes too), else one.
int TakeBackTarget(int halfMovesPlayed, bool sideToMoveIsLocal);

// The whole decision; target is set whenever a local player exists.
ETakeBack PlanTakeBack(bool hasLocalPlayer, int halfMovesPlayed, bool sideToMoveIsLocal, int& target);

// The result code after the user resigned against a player of that colour
// (WHITE or BLACK): a win for that colour.
int ResultAfterResigning(int opponentColour);

// A pen colour kept under frame ("preferences.pen.colour"): "red", "green"
// and "blue" as decimal text. Empty or unreadable values read as 0 and
// values outside 0..255 are held to that range. Reading creates nothing.
struct SPenColour {
    int red = 0;
    int green = 0;
    int blue = 0;
};
SPenColour ReadPenColour(const Zorlin::CConfig& user, const char* frame);
void WritePenColour(Zorlin::CConfig& user, const char* frame, const SPenColour& colour);

// Played, won, lost and drawn of "preferences.matches" back to "0".
void ClearMatchStatistics(Zorlin::CConfig& user);
