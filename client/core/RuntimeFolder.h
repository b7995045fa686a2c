#pragma once

// Where the running client serves hand-overs: a socket in a folder of its
// own that only its user may enter, made afresh at each start, so no other
// account can have made it beforehand or reach into it.

#include "foundation/String.h"

// The longest path a local socket's address holds.
const int kMaxSocketPath = 107;

// $XDG_RUNTIME_DIR when it is a folder of this user with mode 0700, as it
// must be, and leaves room for a socket's address; else empty. (After su or
// sudo -u it may name another account's folder, or a shared one.)
Zorlin::CString RuntimeBase();

// A new folder "rookwell-UID-XXXXXX", mode 0700, below RuntimeBase(), else
// below $TMPDIR, else below /tmp; empty when none can be made.
Zorlin::CString MakeRuntimeFolder();

// The socket's path in a runtime folder.
Zorlin::CString RuntimeSocket(const Zorlin::CString& folder);

// Removes a socket in a runtime folder and the folder, when the folder is
// one that MakeRuntimeFolder made for this user; anything else is left.
void RemoveRuntimeSocket(const Zorlin::CString& socketPath);

enum class ESocketOwner {
    kOwn,     // a socket of this user in a folder only this user may enter
    kMissing, // nothing there (yet, or any more)
    kForeign, // anything else: never to be connected to
};
ESocketOwner SocketOwner(const Zorlin::CString& socketPath);

// A socket listening at path (mode 0600), or -1.
int ListenAtSocket(const Zorlin::CString& path);
// A socket connected to the one at path without waiting, or -1: nobody
// listens there, or its queue of waiting connections is full.
int ConnectToSocket(const Zorlin::CString& path);
