#pragma once

class wxWindow;

namespace Zorlin {
class CConfig;
class CDrive;
}

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
