#include "client/dialogs/AIGameSettings.h"

#include <cstdlib>
#include <random>

#include "foundation/Config.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

const char kFrame[] = "Preferences.Dialogs.AIGame";

int ReadNumber(CConfig& user, const char* key, int fallback)
{
    return user.KeyExists(key) ? std::atoi(user.GetValue(key).GetText()) : fallback;
}

bool ReadFlag(CConfig& user, const char* key, bool fallback)
{
    return user.KeyExists(key) ? CConfig::IsTrue(user.GetValue(key)) : fallback;
}

void WriteNumber(CConfig& user, const char* key, int value)
{
    CString text;
    text.Append(value);
    user.GetValue(key) = text;
}

} // namespace

void LoadAIGameSettings(CConfig& user, SAIGameSettings& out)
{
    user.PushPrefix(kFrame);
    if (user.KeyExists("Engine"))
        out.engine = user.GetValue("Engine");
    out.colour = ReadNumber(user, "Colour", out.colour);
    out.moves = ReadNumber(user, "Moves", out.moves);
    out.minutes = ReadNumber(user, "Time", out.minutes);
    out.depthEnabled = ReadFlag(user, "DepthEnabled", out.depthEnabled);
    out.depth = ReadNumber(user, "DepthValue", out.depth);
    out.pondering = ReadFlag(user, "Pondering", out.pondering);
    user.PopPrefix();
}

void SaveAIGameSettings(CConfig& user, const SAIGameSettings& settings)
{
    user.PushPrefix(kFrame);
    user.GetValue("Engine") = settings.engine;
    WriteNumber(user, "Colour", settings.colour);
    WriteNumber(user, "Moves", settings.moves);
    WriteNumber(user, "Time", settings.minutes);
    user.GetValue("DepthEnabled") = settings.depthEnabled ? "yes" : "no";
    WriteNumber(user, "DepthValue", settings.depth);
    user.GetValue("Pondering") = settings.pondering ? "yes" : "no";
    user.PopPrefix();
}

bool ComputerPlaysWhite(int colour, unsigned randomDraw)
{
    if (colour == kComputerRandom)
        return (randomDraw & 1) != 0;
    return colour == kComputerWhite;
}

unsigned DrawRandom()
{
    static std::mt19937 generator{std::random_device{}()};
    return unsigned(generator());
}

double PeriodSeconds(int minutes)
{
    return double(minutes) * 60.0;
}
