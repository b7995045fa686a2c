#pragma once

#include <sys/types.h>

#include "foundation/String.h"

// The folder that holds the running program, from the executable itself.
Zorlin::CString GetProgramFolder();

// Starts the program called name in folder, without arguments, in folder
// and in a session of its own, without waiting for it. name must be a plain
// file name: the client is always a program of its own folder. False when
// it could not be started.
bool StartClient(const Zorlin::CString& folder, const Zorlin::CString& name);

// Returns once the process parent has ended (this process was handed to
// another parent) or after limitMs, whichever comes first.
void WaitForParentToEnd(pid_t parent, int limitMs);
