#pragma once

// The clock's arithmetic, apart from its window: the time text and the
// reminder marks that make a running time blink.

#include <vector>

#include "foundation/String.h"

// "%02i:%02i" of minutes and seconds, the seconds rounded up: 0.2 s left
// shows 00:01, 61 minutes show 61:00. Negative times show 00:00.
Zorlin::CString FormatClockTime(double ms);

// The marks of one side, ascending, each firing once as the side's
// remaining time falls below it.
class CClockReminders {
public:
    struct SMark {
        double m_mark; // ms of remaining time
        bool m_passed;
    };

    // setting: seconds separated by commas ("300, 60, 30, 10"); an empty or
    // unreadable item counts as 0. Unless remainingMs is exactly -1.0, every
    // mark at or above it is passed at once, so only marks ahead can fire.
    // -1.0 (no time known yet) marks none and leaves the marks waiting for
    // the time from which the side's clock first runs (Begin).
    void Load(const Zorlin::CString& setting, double remainingMs);
    // The side's clock starts to run from remainingMs: marks that were
    // waiting for a time and lie at or above it are passed without firing,
    // so a five-minute game does not remind of its five minutes at once.
    void Begin(double remainingMs);
    // Marks every mark above remainingMs (when that is above 0) passed; true
    // when it marked any. Marks waiting for a time fire nothing.
    bool Check(double remainingMs);
    void Clear()
    {
        m_marks.clear();
        m_waiting = false;
    }

    const std::vector<SMark>& GetMarks() const { return m_marks; }

private:
    void PassFrom(double remainingMs);

    std::vector<SMark> m_marks;
    bool m_waiting = false;
};

// Milliseconds, counted down from msLeft, until the face can change next:
// the shown seconds roll over or a mark of reminders still ahead is passed.
// 0 when no time is left, so nothing changes any more.
int NextClockChange(double msLeft, const CClockReminders& reminders);

// The blink of a time after a reminder fired: while the counter is
// positive, odd counts hide the text; each step uses one count.
void ApplyBlink(Zorlin::CString& text, int& counter);
