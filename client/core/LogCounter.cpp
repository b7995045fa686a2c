#include "client/core/LogCounter.h"

#include <cstdio>

using Zorlin::CString;

CLogCounter::CLogCounter(Sink sink, Now now, int intervalMs)
    : m_sink(std::move(sink)), m_now(std::move(now)), m_interval(std::chrono::milliseconds(intervalMs))
{
}

CLogCounter::~CLogCounter()
{
    FlushAll();
}

CLogCounter::Clock::time_point CLogCounter::GetNow() const
{
    return m_now ? m_now() : Clock::now();
}

void CLogCounter::Add(const char* kind, const CString& text)
{
    const Clock::time_point now = GetNow();
    auto found = m_kinds.find(kind);
    if (found == m_kinds.end()) {
        found = m_kinds.emplace(kind, SKind()).first;
    } else if (now - found->second.written < m_interval) {
        ++found->second.counted;
        found->second.last = text;
        return;
    }
    // Written at once: the first of its kind, or one after a quiet interval
    // (together with what was counted before it).
    ++found->second.counted;
    found->second.last = text;
    Write(found->second, now);
}

CLogCounter::Clock::time_point CLogCounter::Flush()
{
    const Clock::time_point now = GetNow();
    for (auto it = m_kinds.begin(); it != m_kinds.end();) {
        SKind& kind = it->second;
        if (kind.counted > 0 && now - kind.written >= m_interval)
            Write(kind, now);
        // A kind quiet for an interval is forgotten: its next one is written at once.
        if (kind.counted == 0 && now - kind.written >= m_interval)
            it = m_kinds.erase(it);
        else
            ++it;
    }
    return GetNextDue();
}

CLogCounter::Clock::time_point CLogCounter::GetNextDue() const
{
    Clock::time_point next;
    for (const auto& entry : m_kinds) {
        const Clock::time_point due = entry.second.written + m_interval;
        if (entry.second.counted > 0 && (next == Clock::time_point() || due < next))
            next = due;
    }
    return next;
}

void CLogCounter::FlushAll()
{
    const Clock::time_point now = GetNow();
    for (auto& entry : m_kinds)
        if (entry.second.counted > 0)
            Write(entry.second, now);
    m_kinds.clear();
}

void CLogCounter::Write(SKind& kind, Clock::time_point now)
{
    CString line(kind.last);
    if (kind.counted > 1)
        line.AppendFormat(" (%u times since the last such line)", kind.counted);
    line += ".\n";
    kind.counted = 0;
    kind.written = now;
    if (m_sink)
        m_sink(line);
    else
        fputs(line.GetText(), stderr);
}
