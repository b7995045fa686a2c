#pragma once

// The user's profile as the profile dialog reads and writes it, under the
// frame "Profile" of the user settings. Everything here travels to
// opponents, so no field keeps markup.

#include "foundation/String.h"

namespace Zorlin {
class CConfig;
}

struct SProfileFields {
    Zorlin::CString name;
    Zorlin::CString nickname;
    Zorlin::CString email;
    Zorlin::CString otherInformation;
    bool keepEmailPrivate = false;
    bool keepIpPrivate = false;
};

// The placeholder identifier of a user who has not confirmed a profile yet.
extern const char* const kNewUserId;

void LoadProfile(Zorlin::CConfig& user, SProfileFields& out);
// A text as it may be sent: tags removed, blanks trimmed at both ends.
Zorlin::CString CleanProfileText(const Zorlin::CString& text);
// Writes the fields, cleaned; an empty nickname becomes the name. False, with
// nothing written, when the cleaned name is empty.
bool StoreProfile(Zorlin::CConfig& user, const SProfileFields& fields);
// Whether profile.id is still exactly the placeholder (case counts).
bool IsNewUser(Zorlin::CConfig& user);
// Replaces the placeholder by an identifier made from the name; an
// identifier once made is kept.
void EnsureUserId(Zorlin::CConfig& user, unsigned tickCount, unsigned long now);
