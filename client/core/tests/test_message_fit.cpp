// Texts from other people made to fit a message box on the screen: long
// words broken, long texts cut, ordinary messages untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "client/core/MessageFit.h"

using Zorlin::CString;

namespace {

std::string Fit(const std::string& text, int columns, int lines)
{
    return FitMessageText(CString(text.c_str()), columns, lines).GetText();
}

// The longest run of characters between spaces and line ends, and the lines.
int LongestWord(const std::string& text)
{
    int longest = 0, run = 0;
    for (char c : text) {
        run = (c == ' ' || c == '\n') ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return longest;
}

int Lines(const std::string& text)
{
    return 1 + int(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST(MessageFit, OrdinaryMessagesAreUntouched)
{
    const std::string question = "Your opponent has sent their profile (Ann Example).\n\n"
                                 "Add it to your list of opponents?";
    EXPECT_EQ(Fit(question, 60, 30), question);
    EXPECT_EQ(Fit("", 60, 30), "");
    const std::string utf8 = "K\xc3\xb6nig \xe2\x82\xac";
    EXPECT_EQ(Fit(utf8, 60, 30), utf8);
}

TEST(MessageFit, AHugeWordIsBrokenAndCutWithinTheLines)
{
    const std::string sender(65000, 'x');
    const std::string text = "You have received an invitation from " + sender + " to join a network game.";
    const std::string fitted = Fit(text, 60, 28);
    EXPECT_LE(LongestWord(fitted), 60);
    EXPECT_LE(Lines(fitted), 28);
    EXPECT_EQ(fitted.substr(0, 37), text.substr(0, 37));
    EXPECT_EQ(fitted.substr(fitted.size() - 3), "...");
    EXPECT_LT(fitted.size(), 28u * 61u + 3u);
}

TEST(MessageFit, LongLinesAndManyLinesAreCountedAsTheyWrap)
{
    // Words of ten: wrapped by the toolkit, never broken by us.
    std::string words;
    for (int i = 0; i < 200; ++i)
        words += "abcdefghij ";
    const std::string fitted = Fit(words, 60, 10);
    EXPECT_EQ(fitted.find('\n'), std::string::npos);
    EXPECT_LE(fitted.size(), 10u * 66u);
    EXPECT_EQ(fitted.substr(fitted.size() - 3), "...");
    // Three thousand short lines: cut at the limit.
    std::string lines;
    for (int i = 0; i < 3000; ++i)
        lines += "line\n";
    EXPECT_EQ(Lines(Fit(lines, 60, 20)), 20);
    // Multi-byte characters are never split by a break.
    std::string accents;
    for (int i = 0; i < 500; ++i)
        accents += "\xc3\xa9";
    const std::string broken = Fit(accents, 60, 100);
    EXPECT_EQ(broken.find("\xc3\n"), std::string::npos);
    EXPECT_EQ(Lines(broken), 9); // 500 / 60, rounded up
}

TEST(MessageFit, LimitsFollowTheScreen)
{
    const SMessageTextLimits small = MessageTextLimits(640, 480);
    const SMessageTextLimits large = MessageTextLimits(2560, 1440);
    EXPECT_LE(small.columns, 60);
    EXPECT_LE(large.columns, 60);
    EXPECT_LT(small.lines, large.lines);
    // The text of a box at the limits, with room for its buttons, fits.
    EXPECT_LE(small.columns * 10 + 160, 640);
    EXPECT_LE(small.lines * 20 + 220, 480);
    const SMessageTextLimits tiny = MessageTextLimits(100, 100);
    EXPECT_GE(tiny.columns, 1);
    EXPECT_GE(tiny.lines, 1);
}
