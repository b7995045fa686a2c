#pragma once

// The waiting searches, oldest first, and who may meet whom.

#include <cstdint>
#include <list>
#include <optional>
#include <unordered_map>
#include <vector>

#include "server/SearchTerms.h"

struct SPooledSearch {
    uint32_t owner = 0;
    SSearchTerms terms;
    // The owner's settings as it last sent them; the peer gets them with the match.
    TSettings settings;
    std::vector<uint32_t> excluded;
    int64_t deadline = 0; // milliseconds on the server's clock
};

// Both take untimed games, or both timed ones with overlapping time
// ranges; and they do not both insist on the same colour.
bool AreCompatible(const SSearchTerms& a, const SSearchTerms& b);
// Compatible, two different players, and neither excludes the other.
bool CanMeet(const SPooledSearch& a, const SPooledSearch& b);

class CSearchPool {
public:
    // The oldest waiting search that can meet this one, taken out of the
    // pool; when there is none, this one waits (replacing an earlier search
    // of the same owner) and the answer is empty.
    std::optional<SPooledSearch> Add(SPooledSearch search);
    // False when the owner had no search waiting.
    bool Remove(uint32_t owner);
    // Owners whose searches reached their deadline, taken out of the pool.
    std::vector<uint32_t> Expire(int64_t now);

    bool Contains(uint32_t owner) const { return m_byOwner.count(owner) != 0; }
    size_t GetCount() const { return m_waiting.size(); }

private:
    std::list<SPooledSearch> m_waiting;
    std::unordered_map<uint32_t, std::list<SPooledSearch>::iterator> m_byOwner;
};
