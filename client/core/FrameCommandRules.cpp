#include "client/core/FrameCommandRules.h"

#include <cerrno>
#include <cstdlib>

#include "chess/ChessTypes.h"
#include "foundation/Config.h"

using Zorlin::CConfig;
using Zorlin::CString;

int TakeBackTarget(int halfMovesPlayed, bool sideToMoveIsLocal)
{
    return halfMovesPlayed - (sideToMoveIsLocal ? 2 : 1);
}

ETakeBack PlanTakeBack(bool hasLocalPlayer, int halfMovesPlayed, bool sideToMoveIsLocal, int& target)
{
    if (!hasLocalPlayer)
        return ETakeBack::kNoLocalPlayer;
    target = TakeBackTarget(halfMovesPlayed, sideToMoveIsLocal);
    return target < 0 ? ETakeBack::kNothing : ETakeBack::kRequest;
}

int ResultAfterResigning(int opponentColour)
{
    // Result codes: 1 White won, 2 Black won.
    return opponentColour == BLACK ? 2 : 1;
}

namespace {

CString Key(const char* frame, const char* channel)
{
    CString key(".");
    key += frame;
    key += ".";
    key += channel;
    return key;
}

int ReadChannel(const CConfig& user, const char* frame, const char* channel)
{
    CString text = user.GetValueOr(Key(frame, channel).GetText(), "");
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text.GetText(), &end, 10);
    if (end == text.GetText() || errno == ERANGE)
        return 0;
    return value < 0 ? 0 : value > 255 ? 255 : int(value);
}

void WriteChannel(CConfig& user, const char* frame, const char* channel, int value)
{
    CString& text = user.GetValue(Key(frame, channel));
    text = CString();
    text.Append(value < 0 ? 0 : value > 255 ? 255 : value);
}

} // namespace

SPenColour ReadPenColour(const CConfig& user, const char* frame)
{
    SPenColour colour;
    colour.red = ReadChannel(user, frame, "red");
    colour.green = ReadChannel(user, frame, "green");
    colour.blue = ReadChannel(user, frame, "blue");
    return colour;
}

void WritePenColour(CConfig& user, const char* frame, const SPenColour& colour)
{
    WriteChannel(user, frame, "red", colour.red);
    WriteChannel(user, frame, "green", colour.green);
    WriteChannel(user, frame, "blue", colour.blue);
}

void ClearMatchStatistics(CConfig& user)
{
    for (const char* key : {".preferences.matches.played", ".preferences.matches.won", ".preferences.matches.lost",
                            ".preferences.matches.drawn"})
        user.GetValue(key) = "0";
}
