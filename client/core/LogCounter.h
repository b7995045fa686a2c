#pragma once

// Refusals that can come by the thousand (a local program that opens and
// drops connections as fast as it can) are counted rather than each written:
// per kind, the first is written at once, and what follows within the
// interval is written as one line with its count once the interval is over.
// Time comes from a clock the owner gives, so the logic runs without waiting.

#include <chrono>
#include <functional>
#include <map>
#include <string>

#include "foundation/String.h"

class CLogCounter {
public:
    typedef std::chrono::steady_clock Clock;
    typedef std::function<Clock::time_point()> Now;
    // Takes a whole line, its end included.
    typedef std::function<void(const Zorlin::CString&)> Sink;

    static constexpr int kIntervalMs = 1000;

    // By default the lines go to the standard error and time is the
    // steady clock's.
    explicit CLogCounter(Sink sink = Sink(), Now now = Now(), int intervalMs = kIntervalMs);
    // What is still counted is written.
    ~CLogCounter();
    CLogCounter(const CLogCounter&) = delete;
    CLogCounter& operator=(const CLogCounter&) = delete;

    // One more of kind; text is its line without the end. Written now when
    // no line of the kind was written within the interval, else counted.
    void Add(const char* kind, const Zorlin::CString& text);
    // Writes the kinds whose interval is over. Returns when the next one
    // is due, or the zero time point when nothing is counted.
    Clock::time_point Flush();
    // Writes everything counted.
    void FlushAll();
    // When Flush has a line to write, or the zero time point for never.
    Clock::time_point GetNextDue() const;

private:
    struct SKind {
        Clock::time_point written; // when its last line was written
        unsigned counted = 0;      // since then
        Zorlin::CString last;      // the words of the last one counted
    };
    void Write(SKind& kind, Clock::time_point now);
    Clock::time_point GetNow() const;

    Sink m_sink;
    Now m_now;
    Clock::duration m_interval;
    std::map<std::string, SKind> m_kinds;
};
