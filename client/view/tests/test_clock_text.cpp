// The clock's time text, its reminder marks and the blink they start.

#include <gtest/gtest.h>

#include <string>

#include "client/view/ClockText.h"

using Zorlin::CString;

namespace {

std::string Text(double ms)
{
    return FormatClockTime(ms).GetText();
}

// Runs a side's time down from start in steps of 250 ms, as the display
// timer does, and records the remaining times at which a reminder fired.
std::vector<double> FiredWhileCounting(CClockReminders& reminders, double start)
{
    std::vector<double> fired;
    for (double left = start; left > 0.0; left -= 250.0)
        if (reminders.Check(left))
            fired.push_back(left);
    return fired;
}

} // namespace

TEST(ClockText, SecondsAreRoundedUpAndMinutesAreNotWrapped)
{
    EXPECT_EQ(Text(60000.0), "01:00");
    EXPECT_EQ(Text(59001.0), "01:00");
    EXPECT_EQ(Text(59000.0), "00:59");
    EXPECT_EQ(Text(200.0), "00:01");
    EXPECT_EQ(Text(61 * 60000.0), "61:00");
    EXPECT_EQ(Text(0.0), "00:00");
    EXPECT_EQ(Text(-500.0), "00:00");
    EXPECT_EQ(Text(5 * 60000.0 + 7000.0), "05:07");
    // Far past any game: still a text, not undefined arithmetic.
    EXPECT_FALSE(FormatClockTime(1.0e300).IsEmpty());
}

TEST(ClockReminders, OnlyMarksStillAheadFireEachOnce)
{
    CClockReminders reminders;
    reminders.Load("60, 30, 10", 45000.0);
    ASSERT_EQ(reminders.GetMarks().size(), 3u);
    EXPECT_TRUE(reminders.GetMarks()[2].m_passed) << "60 s is behind a side with 45 s left";
    std::vector<double> fired = FiredWhileCounting(reminders, 45000.0);
    ASSERT_EQ(fired.size(), 2u);
    EXPECT_LT(fired[0], 30000.0);
    EXPECT_GE(fired[0], 29750.0);
    EXPECT_LT(fired[1], 10000.0);
    EXPECT_GE(fired[1], 9750.0);
    EXPECT_TRUE(FiredWhileCounting(reminders, 45000.0).empty()) << "each fires once";
}

TEST(ClockReminders, LoadingSortsReadsBadItemsAsZeroAndMinusOneMarksNone)
{
    CClockReminders reminders;
    reminders.Load("300, 60, x, , 10.5", -1.0);
    const std::vector<CClockReminders::SMark>& marks = reminders.GetMarks();
    ASSERT_EQ(marks.size(), 5u);
    const double expected[] = {0.0, 0.0, 10500.0, 60000.0, 300000.0};
    for (size_t i = 0; i < marks.size(); ++i) {
        EXPECT_DOUBLE_EQ(marks[i].m_mark, expected[i]) << i;
        EXPECT_FALSE(marks[i].m_passed) << i;
    }
    // A zero mark can never fire: the check needs time left.
    reminders.Begin(400000.0);
    EXPECT_EQ(FiredWhileCounting(reminders, 400000.0).size(), 3u);

    reminders.Load("", 1000.0);
    EXPECT_TRUE(reminders.GetMarks().empty());
    EXPECT_FALSE(reminders.Check(500.0));
}

TEST(ClockReminders, ATimeAlreadyOutOrJumpingPastSeveralMarks)
{
    CClockReminders reminders;
    reminders.Load("60, 30, 10", -1.0);
    reminders.Begin(70000.0);
    EXPECT_FALSE(reminders.Check(0.0)) << "a time that has run out fires nothing";
    EXPECT_FALSE(reminders.GetMarks()[0].m_passed);
    // A take-back may set the time straight below two marks: one report.
    EXPECT_TRUE(reminders.Check(20000.0));
    EXPECT_TRUE(reminders.GetMarks()[1].m_passed);
    EXPECT_TRUE(reminders.GetMarks()[2].m_passed);
    EXPECT_FALSE(reminders.GetMarks()[0].m_passed);
    EXPECT_FALSE(reminders.Check(15000.0));
    EXPECT_TRUE(reminders.Check(9000.0));
}

TEST(ClockReminders, MarksLoadedWithoutATimeWaitForTheClockToRun)
{
    CClockReminders reminders;
    reminders.Load("300, 60, 30, 10", -1.0);
    // No time known yet: a stale time met before the clock runs fires nothing.
    EXPECT_FALSE(reminders.Check(20000.0));
    EXPECT_FALSE(reminders.GetMarks()[3].m_passed);
    // A five-minute game: its five minutes are no reminder, the rest are.
    reminders.Begin(300000.0);
    EXPECT_TRUE(reminders.GetMarks()[3].m_passed);
    std::vector<double> fired = FiredWhileCounting(reminders, 300000.0);
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_LT(fired[0], 60000.0);
    // Only the first run takes the time: later ones leave the marks alone.
    reminders.Load("300, 60, 30, 10", -1.0);
    reminders.Begin(45000.0);
    reminders.Begin(5000.0);
    EXPECT_EQ(FiredWhileCounting(reminders, 45000.0).size(), 2u);
    // A time given at loading is taken at once.
    reminders.Load("300, 60, 30, 10", 45000.0);
    reminders.Begin(5000.0);
    EXPECT_EQ(FiredWhileCounting(reminders, 45000.0).size(), 2u);
}

TEST(ClockBlink, TwentyStepsHideEveryOtherTextThenStop)
{
    int counter = 20;
    int hidden = 0, steps = 0;
    while (counter > 0) {
        CString text("00:29");
        ApplyBlink(text, counter);
        hidden += text.IsEmpty() ? 1 : 0;
        ++steps;
    }
    EXPECT_EQ(steps, 20);
    EXPECT_EQ(hidden, 10);
    CString text("00:20");
    ApplyBlink(text, counter);
    EXPECT_EQ(text, "00:20");
    EXPECT_EQ(counter, 0);
}

TEST(ClockText, TheNextChangeIsWhenTheTextOrAMarkFirstChanges)
{
    CClockReminders none;
    EXPECT_EQ(NextClockChange(59001.0, none), 1);
    EXPECT_EQ(NextClockChange(60000.0, none), 1000);
    EXPECT_EQ(NextClockChange(1500.0, none), 500);
    EXPECT_EQ(NextClockChange(0.0, none), 0) << "no time left: nothing changes";
    EXPECT_EQ(NextClockChange(-3.0, none), 0);

    // Against the text and the marks themselves: counting down in 1 ms
    // steps, nothing changes before the time given and something at it.
    CClockReminders marks;
    double left = 65432.0;
    marks.Load("60, 30.25, 10.5, 2", left);
    int changes = 0;
    while (left > 0.0) {
        int wait = NextClockChange(left, marks);
        ASSERT_GT(wait, 0) << left;
        for (int ms = 1; ms < wait; ++ms) {
            CClockReminders quiet = marks;
            ASSERT_EQ(Text(left - ms), Text(left)) << left << " - " << ms;
            ASSERT_FALSE(quiet.Check(left - ms)) << left << " - " << ms;
        }
        left -= wait;
        bool fired = marks.Check(left);
        ASSERT_TRUE(fired || Text(left) != Text(left + wait) || left <= 0.0) << left;
        ++changes;
    }
    // One change per second shown, and one for each mark: it fires once
    // the time is below it, a moment after its whole second is shown.
    EXPECT_EQ(changes, 66 + 4);
}
