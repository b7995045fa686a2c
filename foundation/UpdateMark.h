#pragma once

#include <vector>

#include "foundation/String.h"

namespace Zorlin {

// While the updater copies an update into the program folder, a mark there
// names the package and the folders being written. It is written whole
// before the first file and removed only once every file is in place, so a
// start that finds it knows the folder may hold old and new files mixed,
// and what to run again.
struct SUpdateMark {
    CString package;              // the update package, a full path
    std::vector<CString> folders; // written into, below the program folder, each ending in '/'
};

// The mark's file name in the program folder.
extern const char* const kUpdateMarkName;

// Replaces the mark all at once; false when it could not be written.
bool WriteUpdateMark(const CString& programFolder, const SUpdateMark& mark);
// False when there is no mark. One that cannot be read comes back with an
// empty package; folders that could name a place outside the program
// folder are left out.
bool ReadUpdateMark(const CString& programFolder, SUpdateMark& mark);
// Removes the mark for good (the folder synced); true when none is left.
bool ClearUpdateMark(const CString& programFolder);
// Removes what killed writers left (see RemoveStrayTemporariesIn) from the
// top of the program folder and from every folder the mark names.
void RemoveUpdateLeftovers(const CString& programFolder, const SUpdateMark& mark);

} // namespace Zorlin
