#pragma once

// The application's list of stored opponents, made and loaded on first use,
// and the question before a received profile joins it.

#include "foundation/String.h"

namespace Zorlin {
class CFile;
}

class COpponentList;

COpponentList& GetOpponentList();
// Asks the user whether the sender of a received profile archive may join
// the list (an update of one already there is stored without asking) and
// stores it; false when nothing was stored.
bool AskToStoreOpponentProfile(Zorlin::CFile& profileArchive);
