#pragma once

// A finished game kept as PGN in the user's "played games" folder.

#include <ctime>

#include "foundation/String.h"

namespace Zorlin {
class CDrive;
}

// "2025-01-31 142501 Ann vs Bob.pgn": the time first so the folder sorts by
// date; names reduced to letters, digits, blanks and ".-_" so no name from
// an opponent can reach outside the folder.
Zorlin::CString MakePlayedGameName(const Zorlin::CString& white, const Zorlin::CString& black, time_t when);

// Writes the text as a new file of "/played games/" of the drive (made when
// missing), all at once; an existing name gets " (2)", " (3)" ... False when
// nothing could be written.
bool WritePlayedGame(Zorlin::CDrive& userDrive, const Zorlin::CString& name, const Zorlin::CString& pgn);
