#pragma once

// What saves cut short by a kill or a power loss left in a user folder.

#include <vector>

#include "foundation/String.h"

// Removes, from the user folder and its folders "active games", "opponents"
// and "played games", the temporaries of writers that no longer run. A
// played game's temporary that holds a whole game (its moves read to its
// result) is the only copy of that game: it is put in place under its own
// name instead (" (2)" and so on when that name is taken). The disk paths
// of the games put in place.
std::vector<Zorlin::CString> SweepUserFolder(const Zorlin::CString& userFolder);

// Whether text is one whole PGN game: tags with a result, and move text
// that ends with that result.
bool IsWholePgnGame(const Zorlin::CString& text);
