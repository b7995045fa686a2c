#include "client/dialogs/MatchStatistics.h"

#include <cstdlib>

#include "foundation/Config.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

void Add(CConfig& user, const char* key, int change)
{
    CString& value = user.GetValue(key);
    int count = std::atoi(value.GetText());
    value = CString();
    value.Append(count + change < 0 ? 0 : count + change);
}

const char* ResultKey(int result)
{
    return result > 0   ? "preferences.matches.won"
           : result < 0 ? "preferences.matches.lost"
                        : "preferences.matches.drawn";
}

} // namespace

void RecordMatchResult(CConfig& user, int result)
{
    Add(user, "preferences.matches.played", 1);
    Add(user, ResultKey(result), 1);
}

void TakeBackMatchResult(CConfig& user, int result)
{
    Add(user, "preferences.matches.played", -1);
    Add(user, ResultKey(result), -1);
}
