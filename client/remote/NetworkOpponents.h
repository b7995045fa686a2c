#pragma once

// The profiles that travel in a network game: the user's own, written for
// the peer, and the peer's, stored among the user's opponents.

#include "foundation/Buffer.h"
#include "foundation/String.h"

namespace Zorlin {
class CFile;
}

// The user's profile archive with this machine's address, and the e-mail
// address unless the user keeps it private.
bool WriteNetworkProfile(Zorlin::CFile& out);
// Asks whether to store a received profile archive and stores it on Yes;
// id gets its (checked) id. False when the archive is refused.
bool StoreNetworkOpponent(const Zorlin::CBuffer& archive, Zorlin::CString& id);
// The stored opponent's name and e-mail address; false when not stored.
bool FindNetworkOpponent(const Zorlin::CString& id, Zorlin::CString& name, Zorlin::CString& email);
