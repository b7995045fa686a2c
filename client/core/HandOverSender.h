#pragma once

// A second start's end of the hand-over: it connects to the running
// client's socket, when that socket and the process behind it are this
// user's, sends its message and waits for the answer until a deadline.

#include <chrono>
#include <vector>

#include "foundation/String.h"

enum class EHandOverResult {
    kAccepted,
    kRefused,  // the client said why
    kUnsafe,   // the socket, or the process behind it, is not this user's
    kNotThere, // nobody serves the socket now, or it went away: try again
    kNoAnswer, // the deadline passed
    // The message went to the user's own client, and what came back is no
    // answer of ours: whether the files were taken is not known.
    kNotUnderstood,
};

EHandOverResult SendHandOver(const Zorlin::CString& socketPath, const std::vector<char>& message,
                             std::chrono::steady_clock::time_point deadline, Zorlin::CString& why);
