// Refusals counted for the log: per kind one line at once, then at most one
// a second with the count of what it stands for, nothing lost at the end.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "client/core/LogCounter.h"

using Zorlin::CString;

namespace {

typedef CLogCounter::Clock Clock;
typedef std::vector<std::string> Lines;

struct SLog {
    SLog()
        : counter(new CLogCounter([this](const CString& line) { lines.push_back(line.GetText()); },
                                  [this] { return now; }))
    {
    }
    void At(int ms) { now = start + std::chrono::milliseconds(ms); }

    Lines lines;
    const Clock::time_point start = Clock::time_point() + std::chrono::hours(1);
    Clock::time_point now = start;
    std::unique_ptr<CLogCounter> counter;
};

// The refusals a line stands for.
unsigned CountOf(const std::string& line)
{
    const size_t at = line.find(" (");
    return at == std::string::npos ? 1 : unsigned(atoi(line.c_str() + at + 2));
}

} // namespace

TEST(LogCounter, TheFirstOfAKindIsWrittenAtOnceAndWhatFollowsWithinASecondAsOneCountedLine)
{
    SLog log;
    log.counter->Add("broke off", "A hand-over broke off after 19 bytes");
    EXPECT_EQ(log.lines, Lines({"A hand-over broke off after 19 bytes.\n"}));
    log.At(100);
    log.counter->Add("broke off", "A hand-over broke off after 3 bytes");
    log.At(200);
    log.counter->Add("broke off", "A hand-over broke off after 7 bytes");
    EXPECT_EQ(log.lines.size(), 1u) << "counted, not written";
    EXPECT_EQ(log.counter->GetNextDue(), log.start + std::chrono::seconds(1));
    log.At(999);
    log.counter->Flush();
    EXPECT_EQ(log.lines.size(), 1u) << "not before the second is over";
    log.At(1000);
    EXPECT_EQ(log.counter->Flush(), Clock::time_point()) << "nothing is left to write";
    EXPECT_EQ(log.lines, Lines({"A hand-over broke off after 19 bytes.\n",
                                "A hand-over broke off after 7 bytes (2 times since the last such line).\n"}))
        << "the last one's words, with the count";

    // Counted again, then one after the second is over: both in one line, at once.
    log.At(1500);
    log.counter->Add("broke off", "A hand-over broke off after 1 bytes");
    log.At(2600);
    log.counter->Add("broke off", "A hand-over broke off after 2 bytes");
    EXPECT_EQ(log.lines.back(), "A hand-over broke off after 2 bytes (2 times since the last such line).\n");
    EXPECT_EQ(log.lines.size(), 3u);
}

TEST(LogCounter, KindsAreCountedApartAndAQuietKindIsWrittenAtOnceAgain)
{
    SLog log;
    log.counter->Add("broke off", "A hand-over broke off after 19 bytes");
    log.counter->Add("too slow", "A hand-over that did not arrive in time was refused");
    log.counter->Add("broke off", "A hand-over broke off after 19 bytes");
    EXPECT_EQ(log.lines, Lines({"A hand-over broke off after 19 bytes.\n",
                                "A hand-over that did not arrive in time was refused.\n"}));
    log.At(1000);
    log.counter->Flush();
    EXPECT_EQ(log.lines.size(), 3u);
    EXPECT_EQ(log.lines.back(), "A hand-over broke off after 19 bytes.\n") << "one counted is written as itself";
    log.At(5000);
    log.counter->Flush();
    log.counter->Add("too slow", "A hand-over that did not arrive in time was refused");
    EXPECT_EQ(log.lines.size(), 4u) << "after a quiet second, at once";
}

TEST(LogCounter, WhatIsCountedAtTheEndIsWritten)
{
    SLog log;
    log.counter->Add("not ours", "A hand-over of 5 bytes was refused: it is not one of ours");
    log.counter->Add("not ours", "A hand-over of 6 bytes was refused: it is not one of ours");
    log.counter->Add("not ours", "A hand-over of 8 bytes was refused: it is not one of ours");
    log.counter.reset();
    EXPECT_EQ(log.lines,
              Lines({"A hand-over of 5 bytes was refused: it is not one of ours.\n",
                     "A hand-over of 8 bytes was refused: it is not one of ours (2 times since the last such line).\n"}));
}

TEST(LogCounter, AFloodGivesALineASecondAndCountsEveryOne)
{
    SLog log;
    // 4,000 in 2.5 s, flushed as a timer would after each.
    for (int i = 0; i < 4000; ++i) {
        log.At(i * 5 / 8);
        log.counter->Add("broke off", "A hand-over broke off after 19 bytes");
        log.counter->Flush();
    }
    log.At(10000);
    log.counter->Flush();
    EXPECT_LE(log.lines.size(), 4u) << "the first, then one a second";
    unsigned total = 0;
    for (const std::string& line : log.lines)
        total += CountOf(line);
    EXPECT_EQ(total, 4000u);
}
