#pragma once

#include "foundation/String.h"

class wxWindow;

namespace Zorlin {
class CConfig;
class CDrive;
}

// How reading "/user.cfg" went. A file that does not read whole (empty,
// cut short, NULs, bytes no text holds, unbalanced braces) is renamed to
// "/user.cfg.damaged" (replacing an older one) so the next save cannot
// write over it; what could be read stays in the store, and the keys it
// lost come from the new user's defaults, a lost profile id as
// "calculate" so the profile is asked for again.
struct SUserSettingsRead {
    bool damaged = false;
    bool profileLost = false;   // no profile id could be read
    Zorlin::CString path;       // the file as the disk names it
    Zorlin::CString keptAs;     // where it was kept; empty when it could not be moved
};
SUserSettingsRead ReadUserSettings(Zorlin::CDrive& userDrive, Zorlin::CDrive& programDrive,
                                   Zorlin::CConfig& settings);
// What the user is told about a damaged file.
Zorlin::CString DamagedSettingsText(const SUserSettingsRead& read);

// Writes the user settings to "/user.cfg" of the user drive: the file is
// read afresh, every live key overwrites or joins it (keys only on disk
// stay, so a value written there by hand survives), and the result
// replaces the file at once, never half-written. A file that does not read
// whole is kept as "/user.cfg.bak" first. The live store is not changed.
bool SaveUserSettings(Zorlin::CDrive& userDrive, const Zorlin::CConfig& live);

// The same, telling the user (through the prompt seam) when the file could
// not be written: the live store keeps every change for the next save.
// When closing, the user may try again (after freeing space, say) until the
// save succeeds or they give up.
bool SaveUserSettingsOrTell(Zorlin::CDrive& userDrive, const Zorlin::CConfig& live, bool closing,
                            wxWindow* parent);
