#pragma once

// The decisions of the client's start-up that need no window: where the
// program lives, which user runs it, where the frame goes, whether the
// update check is due, and the swap of a newly arrived updater.

#include <ctime>

#include "foundation/String.h"

namespace Zorlin {
class CConfig;
}

// The folder the program was started from, or empty: the value of the
// environment variable envName when set, else the folder of an absolute
// argv0, else cwd + argv0 when that file exists, else the first folder of
// PATH that holds argv0.
Zorlin::CString FindAppPath(const Zorlin::CString& argv0, const Zorlin::CString& cwd, const char* envName);

// The path made absolute against folder (the folder the program was started
// in), so it still names the same file once the program folder is current.
Zorlin::CString MakeAbsolutePath(const Zorlin::CString& path, const Zorlin::CString& folder);

// A user name is the name of one folder inside "users/": nothing that could
// name another place ("..", separators, a drive, control characters).
bool IsSafeUserName(const Zorlin::CString& name);

// The user: setuser when not empty, else the registry's name; then the last
// part of a folder chosen in the user dialog, when one was chosen. Empty
// when the result is not a safe user name.
Zorlin::CString ChooseUserName(const Zorlin::CString& setuser, const Zorlin::CString& registryUser,
                               const Zorlin::CString& chosenFolder);

// The registry's user when it has none yet: the login name trimmed, or
// "user" and the seconds since 1970.
Zorlin::CString DefaultUserName(const Zorlin::CString& loginName, time_t now);

struct SRectangle {
    int left, top, width, height;
};

struct SWindowPlacement {
    bool defaultPosition; // let the window manager place it
    int x, y, width, height;
    bool centre;
};

// The frame's first place from the settings preferences.window.x, .y,
// .width and .height, kept inside the screen's work area.
SWindowPlacement ChooseWindowPlacement(Zorlin::CConfig& userSettings, const SRectangle& workArea);

// Whether the periodic update check is due: dateText is the Julian day of
// the last check; due when empty, more than 7 whole days ago, or in the future.
bool IsUpdateDue(const Zorlin::CString& dateText, double nowJulianDay);
// The day recorded after a check: the whole day number as text.
Zorlin::CString FormatJulianDay(double julianDay);
// The Julian day number of a moment, in the local time of the machine.
double JulianDayOf(time_t moment);

// A new updater must answer a run without arguments, as every updater
// does, with status 0 within this time before it is swapped in.
const int kUpdaterProbeMs = 10000;

enum class EUpdaterSwap {
    kNothing, // no new updater was waiting
    kSwapped,
    kRefused, // it does not run here: removed, the old one kept
    kFailed,  // it could not be copied: both stay for the next start
};
struct SUpdaterSwap {
    EUpdaterSwap result = EUpdaterSwap::kNothing;
    Zorlin::CString reason; // why a new updater was refused
};

// Whether the program at path runs here: started without arguments, without
// a display and with its standard streams on /dev/null, it ends with status
// 0 within limitMs (else it is killed). False with the reason.
bool UpdaterRunsHere(const Zorlin::CString& path, int limitMs, Zorlin::CString& reason);

// Swaps in "updater.update" when it is in folder and runs here: "updater"
// becomes "updater.bak" and the new file takes its name, runnable. The
// update file goes only when the copy succeeded; a failed copy also puts
// the old updater back. One that does not run here is removed and the old
// updater stays.
SUpdaterSwap SwapInNewUpdater(const Zorlin::CString& folder, int probeLimitMs = kUpdaterProbeMs);

// The file address of a help page: "file://" and the full path with
// backslashes made slashes and blanks, '%' and '#' escaped, then "#anchor".
Zorlin::CString MakeFileAddress(const Zorlin::CString& fullPath, const char* anchor);

// A profile identifier: the CRC-32 of seed + tickCount in upper-case hex,
// then the complement of the 32-bit time in the same form.
Zorlin::CString MakeUserIdFrom(const char* seed, unsigned tickCount, unsigned long now);
