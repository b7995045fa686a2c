#pragma once

#include <functional>
#include <string>

// The periodic update check runs one or two downloads on worker threads.
// The day of the check goes into its record file (cfg/update.cfg) only once
// every one of them succeeded: a failed try is tried again at the next
// start, not days later.
//
// Returns the callback to give each of the count downloads; the last one to
// report writes date and checked (a readable time) into the record at
// recordPath, keeping its other entries. Safe on any thread.
std::function<void(bool)> MakeUpdateRecorder(int count, const std::string& recordPath, const std::string& date,
                                             const std::string& checked);
