#pragma once
// Writes cut short, as a kill cuts them, for tests. A test program that
// uses these stands in for the C library's calls that change the disk (a
// file made, a folder made or removed, a link, a rename, a removal, and a
// sync when asked), so that a child process it forks ends dead (_exit)
// just before its Nth such step below a folder: whatever code runs there,
// the client's own included, is stopped wherever it touches the disk.

#include <string>

namespace DiskSteps {

// The exit status of a process stopped at a step.
const int kStoppedStatus = 86;

enum class ESyncs {
    kCounted, // a sync is a step: a write whole but not yet under its name
    kSkipped, // a stop is a kill, not a lost disk: syncs change nothing
};

// From now on, steps below root are counted and the process ends before
// the one numbered stop (from 0). report, when not -1, is written "CALL
// PATH" of the step stopped at.
void StopBefore(const std::string& root, long stop, ESyncs syncs, int report = -1);
// Counts and stops nothing more.
void NeverStop();
// As on a disk that cannot swap two names in one step: such a rename fails
// with EINVAL.
void SetNoExchange(bool noExchange);

} // namespace DiskSteps
