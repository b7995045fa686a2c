#include "client/dialogs/TimeSlice.h"

#include <algorithm>
#include <chrono>

double CTimeSlice::SteadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

CTimeSlice::CTimeSlice(double seconds, Clock clock)
    : m_seconds(seconds), m_clock(clock ? std::move(clock) : Clock(&SteadySeconds)), m_end(m_clock() + seconds), m_turnStart(m_end)
{
}

bool CTimeSlice::Due()
{
    double now = m_clock();
    if (now < m_end)
        return false;
    m_end = now + m_seconds;
    m_turnStart = now;
    return true;
}

void CTimeSlice::TurnOver()
{
    double now = m_clock();
    m_end = now + std::max(m_seconds, (now - m_turnStart) * kTurnShare);
}
