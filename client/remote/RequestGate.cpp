#include "client/remote/RequestGate.h"

bool CRequestGate::Open(int kind, uint64_t position)
{
    if (!Valid(kind) || m_open[kind])
        return false;
    if (position != 0 && position <= m_horizon[kind])
        return false;
    m_open[kind] = true;
    return true;
}

void CRequestGate::Close(int kind, uint64_t horizon)
{
    if (!Valid(kind))
        return;
    m_open[kind] = false;
    if (horizon > m_horizon[kind])
        m_horizon[kind] = horizon;
}

bool CRequestGate::IsOpen(int kind) const
{
    return Valid(kind) && m_open[kind];
}

void CRequestGate::Reset()
{
    for (int kind = 0; kind < kMaxKinds; ++kind) {
        m_open[kind] = false;
        m_horizon[kind] = 0;
    }
}
