// The decisions behind Take Back, Resign, the pen colours and the match
// statistics, on their own.

#include <gtest/gtest.h>

#include <cstring>

#include "chess/ChessTypes.h"
#include "client/core/FrameCommandRules.h"
#include "foundation/Config.h"

using Zorlin::CConfig;

TEST(TakeBack, TheTargetDependsOnWhoIsToMove)
{
    int target = 99;
    // One half-move each, the user to move: both go.
    EXPECT_EQ(PlanTakeBack(true, 2, true, target), ETakeBack::kRequest);
    EXPECT_EQ(target, 0);
    // Right after the user's first move, the engine thinking: that one goes.
    EXPECT_EQ(PlanTakeBack(true, 1, false, target), ETakeBack::kRequest);
    EXPECT_EQ(target, 0);
    // The start position with the user to move.
    EXPECT_EQ(PlanTakeBack(true, 0, true, target), ETakeBack::kNothing);
    EXPECT_EQ(target, -2);
    // The engine opened as White and the user is to move: nothing of the
    // user's own to take back yet.
    EXPECT_EQ(PlanTakeBack(true, 1, true, target), ETakeBack::kNothing);
    EXPECT_EQ(target, -1);
    EXPECT_EQ(PlanTakeBack(true, 41, false, target), ETakeBack::kRequest);
    EXPECT_EQ(target, 40);
    // Nobody at this machine: refused before any arithmetic.
    target = 7;
    EXPECT_EQ(PlanTakeBack(false, 10, false, target), ETakeBack::kNoLocalPlayer);
    EXPECT_EQ(target, 7);
    EXPECT_EQ(TakeBackTarget(5, true), 3);
    EXPECT_EQ(TakeBackTarget(5, false), 4);
}

TEST(Resign, TheOpponentsColourWins)
{
    EXPECT_EQ(ResultAfterResigning(WHITE), 1);
    EXPECT_EQ(ResultAfterResigning(BLACK), 2);
}

TEST(PenColour, ReadsClampsAndCreatesNothing)
{
    CConfig user;
    const char* text = "preferences = {\n pen = {\n  colour = {\n   red = 300\n   green = \"\"\n   blue = 17\n  }\n"
                       "  opponent = {\n   red = -4\n   green = abc\n   blue = 255\n  }\n }\n}\n";
    ASSERT_TRUE(user.ReadText(text, int(strlen(text))));
    int keys = user.GetKeyCount();
    SPenColour own = ReadPenColour(user, "preferences.pen.colour");
    EXPECT_EQ(own.red, 255);
    EXPECT_EQ(own.green, 0);
    EXPECT_EQ(own.blue, 17);
    SPenColour other = ReadPenColour(user, "preferences.pen.opponent");
    EXPECT_EQ(other.red, 0);
    EXPECT_EQ(other.green, 0);
    EXPECT_EQ(other.blue, 255);
    SPenColour missing = ReadPenColour(user, "preferences.pen.nothing");
    EXPECT_EQ(missing.red + missing.green + missing.blue, 0);
    EXPECT_EQ(user.GetKeyCount(), keys);
}

TEST(PenColour, WritesDecimalTextUnderTheFrameWhateverThePrefix)
{
    CConfig user;
    user.SetPrefix("profile");
    SPenColour colour;
    colour.red = 12;
    colour.green = 0;
    colour.blue = 200;
    WritePenColour(user, "preferences.pen.opponent", colour);
    EXPECT_EQ(user.GetValueOr(".preferences.pen.opponent.red", ""), "12");
    EXPECT_EQ(user.GetValueOr(".preferences.pen.opponent.green", ""), "0");
    EXPECT_EQ(user.GetValueOr(".preferences.pen.opponent.blue", ""), "200");
    EXPECT_FALSE(user.KeyExists(".profile.preferences.pen.opponent.red"));
    SPenColour back = ReadPenColour(user, "preferences.pen.opponent");
    EXPECT_EQ(back.red, 12);
    EXPECT_EQ(back.blue, 200);
    // The text format keeps them across a write and a read.
    Zorlin::CString written = user.ToText(false);
    CConfig again;
    ASSERT_TRUE(again.ReadText(written.GetText(), written.GetLength()));
    EXPECT_EQ(ReadPenColour(again, "preferences.pen.opponent").blue, 200);
}

TEST(MatchStatistics, ClearingSetsTheFourCountersOnly)
{
    CConfig user;
    user.GetValue(".preferences.matches.played") = "9";
    user.GetValue(".preferences.matches.won") = "4";
    user.GetValue(".preferences.matches.lost") = "3";
    user.GetValue(".preferences.matches.drawn") = "2";
    user.GetValue(".preferences.matches.note") = "kept";
    ClearMatchStatistics(user);
    for (const char* key : {".preferences.matches.played", ".preferences.matches.won", ".preferences.matches.lost",
                            ".preferences.matches.drawn"})
        EXPECT_EQ(user.GetValueOr(key, ""), "0") << key;
    EXPECT_EQ(user.GetValueOr(".preferences.matches.note", ""), "kept");
    // A user who never played gets the counters too.
    CConfig fresh;
    ClearMatchStatistics(fresh);
    EXPECT_EQ(fresh.GetValueOr(".preferences.matches.won", ""), "0");
}
