#include "client/dialogs/ProfileSettings.h"

#include "client/core/StartUp.h"
#include "foundation/Config.h"

using Zorlin::CConfig;
using Zorlin::CString;

const char* const kNewUserId = "calculate";

namespace {

const char* YesNo(bool value)
{
    return value ? "yes" : "no";
}

} // namespace

void LoadProfile(CConfig& user, SProfileFields& out)
{
    out.name = user.GetValueOr("Profile.Name", "");
    out.nickname = user.GetValueOr("Profile.Nickname", "");
    out.email = user.GetValueOr("Profile.Email", "");
    out.otherInformation = user.GetValueOr("Profile.OtherInformation", "");
    out.keepEmailPrivate = CConfig::IsTrue(user.GetValueOr("Profile.KeepEmailPrivate", ""));
    out.keepIpPrivate = CConfig::IsTrue(user.GetValueOr("Profile.KeepIPPrivate", ""));
}

CString CleanProfileText(const CString& text)
{
    CString clean = Zorlin::StripTags(text);
    clean.Trim();
    return clean;
}

bool StoreProfile(CConfig& user, const SProfileFields& fields)
{
    CString name = CleanProfileText(fields.name);
    if (name.IsEmpty())
        return false;
    CString nickname = CleanProfileText(fields.nickname);
    user.GetValue("Profile.Name") = name;
    user.GetValue("Profile.Nickname") = nickname.IsEmpty() ? name : nickname;
    user.GetValue("Profile.Email") = CleanProfileText(fields.email);
    user.GetValue("Profile.OtherInformation") = Zorlin::StripTags(fields.otherInformation);
    user.GetValue("Profile.KeepEmailPrivate") = YesNo(fields.keepEmailPrivate);
    user.GetValue("Profile.KeepIPPrivate") = YesNo(fields.keepIpPrivate);
    return true;
}

bool IsNewUser(CConfig& user)
{
    return user.GetValueOr("Profile.id", "") == kNewUserId;
}

void EnsureUserId(CConfig& user, unsigned tickCount, unsigned long now)
{
    if (!IsNewUser(user))
        return;
    CString name = user.GetValueOr("Profile.Name", "");
    user.GetValue("Profile.id") = MakeUserIdFrom(name.GetText(), tickCount, now);
}
