#pragma once

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
