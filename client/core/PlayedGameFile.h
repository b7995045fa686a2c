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

// The file name a new game of that name gets in "/played games/" of the
// drive: "NAME.pgn", or " (2)", " (3)" ... before ".pgn" when that is taken.
Zorlin::CString FreePlayedGameFile(Zorlin::CDrive& userDrive, const Zorlin::CString& name);

// Writes the text as the file of "/played games/" of the drive (the folder
// made when missing), all at once. False when nothing could be written;
// error then holds the system's error number.
bool WritePlayedGameFile(Zorlin::CDrive& userDrive, const Zorlin::CString& file, const Zorlin::CString& pgn,
                         int* error = nullptr);

// Both: the text as a new file under a free name. written holds the file
// name given.
bool WritePlayedGame(Zorlin::CDrive& userDrive, const Zorlin::CString& name, const Zorlin::CString& pgn,
                     Zorlin::CString* written = nullptr, int* error = nullptr);

// The start page's label of a played game: the time of its file name with
// the players' names as typed, which the file name keeps only as plain
// letters. Empty when the file name is not the one MakePlayedGameName
// gives these players, or a name is not printable UTF-8: the file is then
// shown by its name.
Zorlin::CString PlayedGameLabel(const Zorlin::CString& fileName, const Zorlin::CString& white,
                                const Zorlin::CString& black);

// The label of a file of "/played games/" of the drive, from the White and
// Black tags at its start (a few kilobytes are read at most).
Zorlin::CString ReadPlayedGameLabel(Zorlin::CDrive& userDrive, const Zorlin::CString& fileName);
