#pragma once

namespace Zorlin {
class CConfig;
}

// The program's own version.
constexpr int kProgramVersionMajor = 1;
constexpr int kProgramVersionMinor = 24;

// Whether a version file (Version.Major, Version.Minor) names a later
// version than this program's. False without Version.Major; missing or
// non-numeric numbers count as 0.
bool IsNewerVersion(const Zorlin::CConfig& version);

// A whole number as text, ignoring blanks around it; 0 for anything else.
long ParseVersionNumber(const char* text);
