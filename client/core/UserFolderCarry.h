#pragma once

// What an older client kept for this account inside an installed program
// folder it could write (it took such a folder for a portable one): the
// user's folder below "users/" (settings, played and active games,
// opponents, photo) and the boards, voices and engines it installed. A
// newer client keeps the account's files in its data folder, laid over the
// program folder; on the first start whose data folder lacks the user, the
// old files are carried there once, whole, and left where they were for
// the older client.

#include <vector>

#include "foundation/String.h"

// The package folders the program ships ("boards/tournament"): the program
// folder's own, never carried.
const std::vector<Zorlin::CString>& ShippedPackageFolders();

// Copies what the program folder holds for userName into dataFolder when
// dataFolder has no folder of that user yet: first each installed board,
// voice and engine that the data folder lacks and that is none of shipped,
// then the user's folder, whose arrival makes this the last carry. Only
// folders owned by this process's account are taken, and below them only
// its entries. Each folder is built in a hidden folder beside its place,
// synced and renamed into place, so an interruption leaves the folder
// missing (and carried at the next start) or whole; the program folder is
// never changed. The lines for the log (what went where, what was left and
// why), empty when there was nothing to carry.
Zorlin::CString CarryOldUserFolder(const Zorlin::CString& programFolder, const Zorlin::CString& dataFolder,
                                   const Zorlin::CString& userName, const std::vector<Zorlin::CString>& shipped);
