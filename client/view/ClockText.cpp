#include "client/view/ClockText.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

using Zorlin::CString;

int NextClockChange(double msLeft, const CClockReminders& reminders)
{
    if (!(msLeft > 0.0))
        return 0;
    // The text shows the seconds rounded up: it changes once a whole second
    // is reached from above.
    double wait = msLeft - (std::ceil(msLeft * 0.001) - 1.0) * 1000.0;
    // A mark fires once the time is below it.
    for (const CClockReminders::SMark& mark : reminders.GetMarks())
        if (!mark.m_passed && mark.m_mark > 0.0)
            wait = std::min(wait, std::max(msLeft - mark.m_mark + 1.0, 1.0));
    return std::max(1, int(std::ceil(wait)));
}

CString FormatClockTime(double ms)
{
    if (!(ms > 0.0))
        ms = 0.0;
    // Far beyond any game; keeps the conversion to int defined.
    if (ms > 1.0e12)
        ms = 1.0e12;
    long long seconds = (long long)std::ceil(ms * 0.001);
    long long minutes = seconds / 60;
    CString text;
    text.AppendFormat("%02lli:%02lli", minutes, seconds - 60 * minutes);
    return text;
}

namespace {

double ReadSeconds(const CString& item)
{
    CString text(item);
    text.Trim();
    if (text.IsEmpty())
        return 0.0;
    char* end = nullptr;
    double value = std::strtod(text.GetText(), &end);
    if (end == text.GetText() || !std::isfinite(value))
        return 0.0;
    return value;
}

} // namespace

void CClockReminders::Load(const CString& setting, double remainingMs)
{
    m_marks.clear();
    m_waiting = remainingMs == -1.0;
    if (setting.IsEmpty())
        return;
    // Items split by hand: negative indices of Mid count from the end.
    CString item;
    for (int i = 0; i <= setting.GetLength(); ++i) {
        if (i == setting.GetLength() || setting[i] == ',') {
            m_marks.push_back({ReadSeconds(item) * 1000.0, false});
            item = "";
        } else {
            item.Append(setting[i]);
        }
    }
    std::stable_sort(m_marks.begin(), m_marks.end(),
                     [](const SMark& a, const SMark& b) { return a.m_mark < b.m_mark; });
    if (!m_waiting)
        PassFrom(remainingMs);
}

void CClockReminders::PassFrom(double remainingMs)
{
    for (SMark& mark : m_marks)
        if (mark.m_mark >= remainingMs)
            mark.m_passed = true;
}

void CClockReminders::Begin(double remainingMs)
{
    if (!m_waiting)
        return;
    m_waiting = false;
    PassFrom(remainingMs);
}

bool CClockReminders::Check(double remainingMs)
{
    if (m_waiting || !(remainingMs > 0.0))
        return false;
    bool fired = false;
    for (SMark& mark : m_marks) {
        if (!mark.m_passed && mark.m_mark > remainingMs) {
            mark.m_passed = true;
            fired = true;
        }
    }
    return fired;
}

void ApplyBlink(CString& text, int& counter)
{
    if (counter <= 0)
        return;
    if (counter % 2 == 1)
        text = "";
    --counter;
}
