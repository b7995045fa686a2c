// The pieces of engine text handling: gathering lines from pieces of
// output, and splitting and classifying what engines write.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "client/core/HtmlText.h"
#include "client/core/LineAccumulator.h"
#include "client/core/XboardText.h"

using Zorlin::CArray;
using Zorlin::CString;

namespace {

std::vector<std::string> Words(int (*split)(const CString&, CArray<CString>&), const char* line)
{
    CArray<CString> words;
    split(CString(line), words);
    std::vector<std::string> out;
    for (int i = 0; i < words.GetCount(); ++i)
        out.push_back(words.GetAt(i)->GetText());
    return out;
}

bool MoveLine(const char* line)
{
    CArray<CString> words;
    SplitAtBlanks(CString(line), words);
    return IsMoveLine(words);
}

} // namespace

TEST(LineAccumulator, AnySplitOfTheBytesGivesTheSameLines)
{
    const std::string text = "feature done=1\r\nmove e2e4\n\nTell: <hi>\nlast without end";
    const std::vector<std::string> expected = { "feature done=1", "move e2e4", "", "Tell: <hi>", "last without end" };
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        CLineAccumulator lines;
        std::vector<std::string> got;
        size_t at = 0;
        while (at < text.size()) {
            size_t n = 1 + random() % 7;
            n = std::min(n, text.size() - at);
            lines.Feed(text.data() + at, int(n));
            at += n;
            CString line;
            while (lines.TakeLine(line))
                got.push_back(line.GetText());
        }
        EXPECT_FALSE(lines.HasLine());
        EXPECT_TRUE(lines.Contains("without"));
        lines.FinishInput();
        CString line;
        while (lines.TakeLine(line))
            got.push_back(line.GetText());
        ASSERT_EQ(got, expected) << "round " << round;
        EXPECT_EQ(lines.GetPendingSize(), 0);
    }
}

TEST(LineAccumulator, OverlongLinesAreCutAtTheBoundAndTheirRestDropped)
{
    CLineAccumulator lines;
    std::string flood(CLineAccumulator::kMaxLine * 2 + 10, 'x');
    flood += "\nok\n";
    // Fed in pieces, as a pipe gives them: the cut holds across pieces.
    for (size_t at = 0; at < flood.size(); at += 1000)
        lines.Feed(flood.data() + at, int(std::min<size_t>(1000, flood.size() - at)));
    std::vector<size_t> lengths;
    CString line;
    while (lines.TakeLine(line))
        lengths.push_back(size_t(line.GetLength()));
    EXPECT_EQ(lengths, (std::vector<size_t>{ size_t(CLineAccumulator::kMaxLine), 2u }));
    EXPECT_EQ(lines.GetPendingSize(), 0);
    // A megabyte without a line end never holds more than one line's worth.
    std::string endless(1 << 20, 'y');
    lines.Feed(endless.data(), int(endless.size()));
    EXPECT_LE(lines.GetPendingSize(), CLineAccumulator::kMaxLine + 1);
}

TEST(XboardText, WordsSplitTheWaysTheDialogueNeeds)
{
    EXPECT_EQ(Words(SplitAtBlanks, "  move\te2e4  x "), (std::vector<std::string>{ "move\te2e4", "x" }));
    EXPECT_EQ(Words(SplitCommandWords, "tellics\tsay \"two words\"\a\bend\r"),
              (std::vector<std::string>{ "tellics", "say", "two words", "end" }));
    EXPECT_EQ(Words(SplitFeatureWords, "feature myname=\"Fairy-Max 5.0b\" egt=\"\" done=1"),
              (std::vector<std::string>{ "feature", "myname", "Fairy-Max 5.0b", "egt", "", "done", "1" }));
    EXPECT_EQ(AfterFirstBlank(CString("tellics say hello there")), "say hello there");
    EXPECT_EQ(AfterFirstBlank(CString("alone")), "");
    EXPECT_EQ(AfterFirstColon(CString("My move is : e7e5")), " e7e5");
    EXPECT_EQ(AfterFirstColon(CString("no colon")), "no colon");
}

TEST(XboardText, MoveLinesAreMoveOrNumberThenDots)
{
    EXPECT_TRUE(MoveLine("move e2e4"));
    EXPECT_TRUE(MoveLine("MOVE e2e4"));
    EXPECT_TRUE(MoveLine("12. ... Nf6"));
    EXPECT_TRUE(MoveLine("3 ... e7e5"));
    EXPECT_FALSE(MoveLine("0 ... e7e5"));
    EXPECT_FALSE(MoveLine("1. e2e4"));
    EXPECT_FALSE(MoveLine("My move is : e7e5"));
    EXPECT_FALSE(MoveLine("Illegal move: e2e5"));
    EXPECT_FALSE(MoveLine(""));
    EXPECT_TRUE(IsMoveNumberWord(CString("40.")));
    EXPECT_FALSE(IsMoveNumberWord(CString("e4")));
}

TEST(XboardText, LevelCommandsAreAlwaysWellFormed)
{
    EXPECT_EQ(MakeLevelCommand(CString("40"), CString("300")), "level 40 5:0 0\n");
    EXPECT_EQ(MakeLevelCommand(CString(""), CString("90")), "level 0 1:30 0\n");
    EXPECT_EQ(MakeLevelCommand(CString("abc"), CString("")), "level 0 0:0 0\n");
    EXPECT_EQ(MakeLevelCommand(CString("-3"), CString("-60")), "level 0 0:0 0\n");
    EXPECT_EQ(MakeLevelCommand(CString("99999999999"), CString("3661.9")), "level 2147483647 61:1 0\n");
}

TEST(XboardText, AnEnginesWordsAreShownPlainAndShort)
{
    EXPECT_EQ(ShownEngineText(CString("\tbad\x01 config\x7f\r")), "bad  config");
    EXPECT_EQ(ShownEngineText(CString("")), "");
    // Cut at a character's start, never inside its UTF-8 bytes.
    std::string accents;
    for (int i = 0; i < 200; ++i)
        accents += "\xc3\xa9";
    std::string shown = ShownEngineText(CString(accents.c_str())).GetText();
    EXPECT_EQ(shown, accents.substr(0, 300) + "...");
    std::string odd = "x" + accents;
    shown = ShownEngineText(CString(odd.c_str())).GetText();
    EXPECT_EQ(shown, odd.substr(0, 299) + "...");
}

TEST(HtmlText, MarkupFromOutsideShowsAsText)
{
    EXPECT_EQ(EscapeHtml(CString("<a href='x'>Tom & \"Jerry\"</a>")),
              "&lt;a href=&#39;x&#39;&gt;Tom &amp; &quot;Jerry&quot;&lt;/a&gt;");
    EXPECT_EQ(EscapeHtml(CString("plain text")), "plain text");
    EXPECT_EQ(EscapeHtml(CString("")), "");
}
