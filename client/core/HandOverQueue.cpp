#include "client/core/HandOverQueue.h"

void CHandOverQueue::Add(const Files& files)
{
    m_waiting.push_back(files);
    if (m_open && m_hooks.again)
        m_hooks.again(false);
}

void CHandOverQueue::Open()
{
    m_open = true;
    if (!m_waiting.empty() && m_hooks.again)
        m_hooks.again(false);
}

void CHandOverQueue::Pump()
{
    // One under way comes back here when it is done.
    if (!m_open || m_running || m_waiting.empty())
        return;
    if (m_hooks.busy && m_hooks.busy()) {
        if (!m_toldWaiting && m_hooks.waits)
            m_hooks.waits(m_waiting.front());
        m_toldWaiting = true;
        if (m_hooks.again)
            m_hooks.again(true);
        return;
    }
    const Files files = m_waiting.front();
    m_waiting.pop_front();
    m_toldWaiting = false;
    struct SRunning {
        bool& running;
        explicit SRunning(bool& flag) : running(flag) { running = true; }
        ~SRunning() { running = false; }
    };
    {
        SRunning running(m_running);
        if (m_hooks.carryOut)
            m_hooks.carryOut(files);
    }
    if (!m_waiting.empty() && m_hooks.again)
        m_hooks.again(false);
}
