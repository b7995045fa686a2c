#pragma once

// The user's record of finished games, frame "preferences.matches" of the
// user settings: played, won, drawn and lost as decimal text.

namespace Zorlin {
class CConfig;
}

// result: 1 won, 0 drawn, -1 lost. Missing or unreadable counts are 0.
void RecordMatchResult(Zorlin::CConfig& user, int result);

// Undoes RecordMatchResult; a count never goes below 0.
void TakeBackMatchResult(Zorlin::CConfig& user, int result);
