#pragma once

// Long work on the GUI thread (reading a large PGN file) gives the toolkit
// a turn by time, not by count: a count that suits short items starves
// the window on long ones, and one that suits long items wastes most of
// the time on short ones.

#include <functional>

class CTimeSlice {
public:
    // Seconds of a monotonic clock; only differences count.
    using Clock = std::function<double()>;
    static constexpr double kSeconds = 0.05;
    static constexpr double kTurnShare = 10.0;

    explicit CTimeSlice(double seconds = kSeconds, Clock clock = Clock());

    // True once the slice has run out; the next one starts then.
    bool Due();
    // Called when the turn that Due gave ends: a slow turn (a busy display,
    // a loaded machine) makes the next slice longer, so turns take at most
    // about 1 / kTurnShare of the time.
    void TurnOver();

    static double SteadySeconds();

private:
    double m_seconds;
    Clock m_clock;
    double m_end;
    double m_turnStart;
};
