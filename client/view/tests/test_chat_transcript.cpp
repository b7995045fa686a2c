// The chat transcript's limits and its batch, without a display.

#include <gtest/gtest.h>

#include <string>

#include "client/view/ChatTranscript.h"

using Zorlin::CString;

namespace {

CString Text(int bytes, char c = 'x')
{
    return CString(std::string(size_t(bytes), c).c_str());
}

} // namespace

TEST(ChatTranscript, KeepsTheNewestLinesWithinTheLineCap)
{
    CChatTranscript lines(3, 1 << 20);
    for (int i = 0; i < 10; ++i) {
        CString text;
        text.AppendFormat("line %d", i);
        lines.Add(CChatTranscript::kMessage, "Ann", text);
    }
    ASSERT_EQ(lines.GetCount(), 3);
    EXPECT_STREQ(lines.GetLine(0).text.GetText(), "line 7");
    EXPECT_STREQ(lines.GetLine(2).text.GetText(), "line 9");
    // None had been shown: nothing to remove from the window, all three wait.
    EXPECT_EQ(lines.GetDroppedShown(), 0);
    EXPECT_EQ(lines.GetFirstWaiting(), 0);
    EXPECT_TRUE(lines.BatchHasMessage());
}

TEST(ChatTranscript, KeepsWithinTheByteCapAndCountsWhatItHolds)
{
    CChatTranscript lines(1000, 10000);
    for (int i = 0; i < 100; ++i)
        lines.Add(CChatTranscript::kMessage, "Bob", Text(1000));
    EXPECT_LE(lines.GetBytes(), 10000);
    int sum = 0;
    for (int i = 0; i < lines.GetCount(); ++i)
        sum += CChatTranscript::LineBytes(lines.GetLine(i));
    EXPECT_EQ(sum, lines.GetBytes());
    EXPECT_EQ(lines.GetCount(), 10000 / (1000 + 3 + 3));
}

TEST(ChatTranscript, CutsOverlongTextsAndNamesAtACharacterBoundary)
{
    CChatTranscript lines;
    // 'é' is two bytes: a cut at an odd byte would split it.
    std::string accented;
    for (int i = 0; i < CChatTranscript::kMaxText; ++i)
        accented += "\xC3\xA9";
    lines.Add(CChatTranscript::kMessage, Text(500, 'n'), CString(accented.c_str()));
    const CChatTranscript::SLine& line = lines.GetLine(0);
    EXPECT_EQ(line.name.GetLength(), CChatTranscript::kMaxName);
    EXPECT_EQ(line.text.GetLength(), CChatTranscript::kMaxText);
    const std::string text = line.text.GetText();
    EXPECT_EQ(text.substr(text.size() - 4), " ...");
    EXPECT_EQ(text.substr(text.size() - 6, 2), "\xC3\xA9") << "ends on a whole character";

    // A single line over the byte cap still stays: the newest is never lost.
    CChatTranscript small(10, 100);
    small.Add(CChatTranscript::kNotice, "", Text(400));
    EXPECT_EQ(small.GetCount(), 1);
}

TEST(ChatTranscript, TheBatchTellsWhatTheWindowMustAddAndRemove)
{
    CChatTranscript lines(4, 1 << 20);
    lines.Add(CChatTranscript::kNotice, "", "You are talking to Ann.");
    lines.Add(CChatTranscript::kNotice, "", "second");
    EXPECT_TRUE(lines.HasBatch());
    EXPECT_FALSE(lines.BatchHasMessage()) << "notices make no sound";
    lines.MarkShown();
    EXPECT_FALSE(lines.HasBatch());
    EXPECT_EQ(lines.GetFirstWaiting(), 2);

    // Three more: one shown line goes, the three wait after the survivor.
    for (int i = 0; i < 3; ++i)
        lines.Add(CChatTranscript::kMessage, "Ann", "hi");
    EXPECT_EQ(lines.GetCount(), 4);
    EXPECT_EQ(lines.GetDroppedShown(), 1);
    EXPECT_EQ(lines.GetFirstWaiting(), 1);
    EXPECT_STREQ(lines.GetLine(0).text.GetText(), "second");
    EXPECT_TRUE(lines.BatchHasMessage());
    lines.MarkShown();

    // A flood larger than the cap: every shown line goes, only the newest wait.
    for (int i = 0; i < 50; ++i)
        lines.Add(CChatTranscript::kMessage, "Ann", "flood");
    EXPECT_EQ(lines.GetDroppedShown(), 4);
    EXPECT_EQ(lines.GetFirstWaiting(), 0);
    lines.Clear();
    EXPECT_FALSE(lines.HasBatch());
    EXPECT_EQ(lines.GetBytes(), 0);
}
