#include "client/dialogs/MatchStatistics.h"

#include <cstdlib>

#include "foundation/Config.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

void AddOne(CConfig& user, const char* key)
{
    CString& value = user.GetValue(key);
    int count = std::atoi(value.GetText());
    value = CString();
    value.Append(count + 1);
}

} // namespace

void RecordMatchResult(CConfig& user, int result)
{
    AddOne(user, "preferences.matches.played");
    AddOne(user, result > 0 ? "preferences.matches.won" : result < 0 ? "preferences.matches.lost"
                                                                     : "preferences.matches.drawn");
}
