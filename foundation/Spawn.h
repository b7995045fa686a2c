#pragma once

#include <sys/types.h>
#include <vector>

#include "foundation/String.h"

namespace Zorlin {

// How a program is started: where, and what it keeps of ours.
struct SSpawnOptions {
    CString folder;              // its working folder; empty keeps ours
    bool newSession = false;     // a session of its own: it outlives us and our terminal
    bool newGroup = false;       // a process group of its own, so it can be killed with its children
    bool quiet = false;          // its standard streams on /dev/null
    bool withoutDisplay = false; // DISPLAY and WAYLAND_DISPLAY left out of its environment
    // Killed when the thread that started it ends, however we end (a crash,
    // SIGKILL): for a program that must never outlive us.
    bool endsWithUs = false;
};

// Our ends of a program's standard streams, when it was started on pipes:
// close-on-exec, blocking, ours to close.
struct SChildPipes {
    int input = -1;  // what we write, it reads
    int output = -1; // what it writes, we read
    int error = -1;  // its error output
};

// Starts argv[0], a path to the program (never looked up in PATH, never
// handed to a shell), with the arguments after it, without waiting. A
// program that cannot be run (missing, not allowed, not a program for this
// computer, a script whose interpreter is missing) is a failure here, not
// in the child: -1 with the reason in error. With pipes, its standard
// streams are pipes whose other ends are handed back there (quiet is then
// ignored).
//
// With keeper, for a program in a group of its own that ends with us: a
// small process of ours joins the program's group and waits; when we end,
// however we end, the kernel tells it and it kills the whole group, the
// program's own children too, which no parent-death signal reaches (nor,
// when they run, the hang-up of an orphaned group). Its pid comes back in
// keeper; StopGroup and EndGroup take it into account.
pid_t SpawnProgram(const std::vector<CString>& argv, const SSpawnOptions& options, CString& error,
                   SChildPipes* pipes = nullptr, pid_t* keeper = nullptr);

// Stops or continues a program's group, its keeper kept awake.
void StopGroup(pid_t group, pid_t keeper, bool stopped);

// Once a program that led a group with a keeper has ended: kills what is
// left of its group, the keeper too, and reaps the keeper.
void EndGroup(pid_t group, pid_t& keeper);

// How a program that was waited for ended.
struct SProgramEnd {
    bool started = false;
    bool timedOut = false; // still running at the limit: it was killed
    int exitCode = -1;     // when it exited
    int signal = 0;        // when a signal ended it
    CString error;         // why it did not start
    bool Succeeded() const { return started && !timedOut && signal == 0 && exitCode == 0; }
};

// Runs argv as SpawnProgram does, in a process group of its own, and waits
// at most limitMs for it to end; one still running then is killed with its
// group and reaped.
SProgramEnd RunProgram(const std::vector<CString>& argv, const SSpawnOptions& options, int limitMs);

} // namespace Zorlin
