#include "server/SearchPool.h"

#include <algorithm>

namespace {

bool Excludes(const SPooledSearch& search, uint32_t id)
{
    return std::find(search.excluded.begin(), search.excluded.end(), id) != search.excluded.end();
}

} // namespace

bool AreCompatible(const SSearchTerms& a, const SSearchTerms& b)
{
    bool clock = (a.untimed && b.untimed) ||
                 (a.timed && b.timed && std::max(a.low, b.low) <= std::min(a.high, b.high));
    bool colour = a.side == ESide::kEither || a.side != b.side;
    return clock && colour;
}

bool CanMeet(const SPooledSearch& a, const SPooledSearch& b)
{
    return a.owner != b.owner && !Excludes(a, b.owner) && !Excludes(b, a.owner) && AreCompatible(a.terms, b.terms);
}

std::optional<SPooledSearch> CSearchPool::Add(SPooledSearch search)
{
    Remove(search.owner);
    for (auto it = m_waiting.begin(); it != m_waiting.end(); ++it) {
        if (!CanMeet(*it, search))
            continue;
        SPooledSearch found = std::move(*it);
        m_byOwner.erase(found.owner);
        m_waiting.erase(it);
        return found;
    }
    const uint32_t owner = search.owner;
    m_waiting.push_back(std::move(search));
    m_byOwner[owner] = std::prev(m_waiting.end());
    return std::nullopt;
}

bool CSearchPool::Remove(uint32_t owner)
{
    auto found = m_byOwner.find(owner);
    if (found == m_byOwner.end())
        return false;
    m_waiting.erase(found->second);
    m_byOwner.erase(found);
    return true;
}

std::vector<uint32_t> CSearchPool::Expire(int64_t now)
{
    std::vector<uint32_t> expired;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        if (it->deadline > now) {
            ++it;
            continue;
        }
        expired.push_back(it->owner);
        m_byOwner.erase(it->owner);
        it = m_waiting.erase(it);
    }
    return expired;
}
