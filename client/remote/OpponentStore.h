#pragma once

// The application's list of stored opponents, made and loaded on first use,
// and the question before a received profile joins it.

#include "foundation/String.h"

namespace Zorlin {
class CFile;
}

class COpponentList;

COpponentList& GetOpponentList();

enum class EProfileAnswer {
    kRefused,  // no profile, or an id unfit for a file name: nothing asked
    kDeclined, // the user said No
    kStored,
};
// Every profile that arrives, new or an update of one in the list (a
// stranger may know a friend's id), is stored only after the user's Yes
// to "Would you like to add (or update) <name>'s profile to your opponent
// list?". id gets the package's id unless it is refused.
EProfileAnswer AskToStoreOpponentProfile(Zorlin::CFile& profileArchive, Zorlin::CString& id);
// That question alone, for profiles stored in another way: true for Yes.
bool AskToStoreOpponent(const Zorlin::CString& name);
