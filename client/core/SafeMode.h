#pragma once

namespace Zorlin {
class CConfig;
class CDiskDrive;
}

// Safe mode is the two graphics options 16-bit colour and small textures.
// A marker file in the user folder lives while the client runs; a clean
// exit removes it, so finding it at start-up means the last run crashed.
extern const char* const kCrashMarkerName;

bool WriteCrashMarker(Zorlin::CDiskDrive& userDrive);
bool HasCrashMarker(Zorlin::CDiskDrive& userDrive);
void RemoveCrashMarker(Zorlin::CDiskDrive& userDrive);

void ApplySafeMode(Zorlin::CConfig& userSettings);
