#pragma once

#include <cstdint>
#include <cstring>
#include <random>

#include "foundation/List.h"
#include "foundation/LowerCase.h"
#include "foundation/String.h"

namespace Zorlin {

// djb2 over the key's bytes through the lower-case table; each byte is added as
// a signed 8-bit value whatever the platform's char (stored data relies on
// these numbers). The empty key hashes to 5381.
inline uint32_t HashStringNoCase(const char* key)
{
    uint32_t h = 5381;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(key ? key : ""); *p; ++p)
        h = h * 33 + uint32_t(int32_t(int8_t(LowerCaseByte(*p))));
    return h;
}

// The same without lowering: the hash of the case-sensitive dictionary.
inline uint32_t HashString(const char* key)
{
    uint32_t h = 5381;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(key ? key : ""); *p; ++p)
        h = h * 33 + uint32_t(int32_t(int8_t(*p)));
    return h;
}

// The secret each process mixes into its bucket hashes, so no file can be
// made whose keys all land in one bucket.
inline uint64_t BucketSeed()
{
    static const uint64_t seed = [] {
        std::random_device device;
        return (uint64_t(device()) << 32 | device()) | 1;
    }();
    return seed;
}

// FNV-1a over 64 bits, started from the seed, folded to 32 bits.
template <bool kLower>
uint32_t BucketHash(const CString& key)
{
    uint64_t h = BucketSeed();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(key.GetText());
    for (int i = 0, n = key.GetLength(); i < n; ++i) {
        h ^= kLower ? LowerCaseByte(p[i]) : p[i];
        h *= 0x100000001b3ull;
    }
    return uint32_t(h ^ (h >> 32));
}

struct SNoCaseKeys {
    static uint32_t Hash(const char* key) { return HashStringNoCase(key); }
    static uint32_t Spread(const CString& key) { return BucketHash<true>(key); }
    static bool Equal(const CString& a, const CString& b) { return KeysEqualNoCase(a, b); }
};

struct SExactKeys {
    static uint32_t Hash(const char* key) { return HashString(key); }
    static uint32_t Spread(const CString& key) { return BucketHash<false>(key); }
    static bool Equal(const CString& a, const CString& b)
    {
        if (a.SharesBlockWith(b))
            return true;
        return a.GetLength() == b.GetLength() && std::memcmp(a.GetText(), b.GetText(), size_t(a.GetLength())) == 0;
    }
};

// Text keys to values: a chained hash table (its buckets double with the
// count, so lookups and inserts take constant time on average whatever the
// keys), a direct-mapped cache of recent nodes in front of it, and two
// pooled lists holding nodes and values in insertion order. It only grows
// until RemoveAll, so value pointers stay valid for the dictionary's life.
template <class T, class TKeys>
class CAssocArrayBase {
public:
    struct SNode {
        CString key;
        uint32_t hash;   // the caller's hash: the cache slot and stored data
        uint32_t spread; // the seeded hash that picks the bucket
        SNode* chain;    // the next node of the same bucket
        T* value;
    };
    using SNodeList = CList<SNode>;
    using SValueList = CList<T>;

    explicit CAssocArrayBase(int nodesPerBlock = 10, int cacheBits = 8)
        : m_nodes(nodesPerBlock, SNodeList::kGrowingBlocks),
          m_values(nodesPerBlock, SValueList::kGrowingBlocks), m_cacheSize(0), m_cacheMask(0)
    {
        InitCache(nodesPerBlock, cacheBits);
    }
    CAssocArrayBase(const CAssocArrayBase& other) : CAssocArrayBase(10, 8) { CopyFrom(other); }
    CAssocArrayBase& operator=(const CAssocArrayBase& other)
    {
        if (this != &other) {
            CAssocArrayBase copy(other); // other may live inside this dictionary
            RemoveAll();
            CopyFrom(copy);
        }
        return *this;
    }
    ~CAssocArrayBase() = default;

    // 2^cacheBits empty cache slots; later node blocks grow linearly from nodesPerBlock.
    void InitCache(int nodesPerBlock, int cacheBits)
    {
        if (cacheBits < 0)
            cacheBits = 0;
        if (cacheBits > 20)
            cacheBits = 20;
        m_cacheSize = 1 << cacheBits;
        m_cacheMask = uint32_t(m_cacheSize - 1);
        m_cache.SetSize(0);
        m_cache.SetSize(m_cacheSize);
        m_nodes.SetNodesPerBlock(nodesPerBlock);
        m_values.SetNodesPerBlock(nodesPerBlock);
        m_nodes.SetFlags(m_nodes.GetFlags() | SNodeList::kGrowingBlocks);
        m_values.SetFlags(m_values.GetFlags() | SValueList::kGrowingBlocks);
    }

    static uint32_t HashKey(const char* key) { return TKeys::Hash(key); }

    // The value for the key, added with a default value when absent.
    T& operator[](const char* key)
    {
        m_scratch = key;
        uint32_t hash = TKeys::Hash(m_scratch.GetText());
        SNode* node = nullptr;
        if (!FindNode(m_scratch, hash, node))
            node = InsertNode(node, CString(m_scratch.GetText()), hash);
        return *node->value;
    }
    T& operator[](const CString& key) { return *FindOrAdd(key, TKeys::Hash(key.GetText())); }

    T* FindOrAdd(const CString& key, uint32_t hash)
    {
        SNode* node = nullptr;
        if (!FindNode(key, hash, node))
            node = InsertNode(node, key, hash);
        return node->value;
    }

    // True and the node when present; else false and null (what InsertNode
    // takes as its place).
    bool FindNode(const CString& key, uint32_t hash, SNode*& node)
    {
        node = FindCached(key, hash);
        if (node)
            return true;
        if (m_buckets.GetCount() == 0)
            return false;
        const uint32_t spread = TKeys::Spread(key);
        for (SNode* walk = *m_buckets.GetAt(int(spread & BucketMask())); walk; walk = walk->chain) {
            if (walk->hash == hash && walk->spread == spread && TKeys::Equal(walk->key, key)) {
                SetCacheEntry(hash, walk);
                node = walk;
                return true;
            }
        }
        return false;
    }

    // Adds a key FindNode did not find; the place it returned is not needed.
    SNode* InsertNode(SNode*, const CString& key, uint32_t hash) { return Insert(key, hash, nullptr); }

    SNode* FindCached(const CString& key, uint32_t hash)
    {
        SNode* node = *m_cache.GetAt(int(hash & m_cacheMask));
        return node && node->hash == hash && TKeys::Equal(node->key, key) ? node : nullptr;
    }
    void SetCacheEntry(uint32_t hash, SNode* node) { *m_cache.GetAt(int(hash & m_cacheMask)) = node; }

    // Lookups that add nothing.
    T* Find(const char* key)
    {
        m_scratch = key;
        SNode* node = nullptr;
        return FindNode(m_scratch, TKeys::Hash(m_scratch.GetText()), node) ? node->value : nullptr;
    }
    const T* Find(const char* key) const { return const_cast<CAssocArrayBase*>(this)->Find(key); }
    bool Contains(const char* key) const { return Find(key) != nullptr; }

    void RemoveAll()
    {
        m_values.RemoveAll();
        m_nodes.RemoveAll();
        m_buckets.SetSize(0);
        for (int i = 0; i < m_cacheSize; ++i)
            *m_cache.GetAt(i) = nullptr;
    }

    int GetCount() const { return m_nodes.GetCount(); }
    int GetCacheSize() const { return m_cacheSize; }
    int GetBucketCount() const { return m_buckets.GetCount(); }

    // Both lists run in insertion order; node i owns value i.
    SNodeList& GetNodeList() { return m_nodes; }
    const SNodeList& GetNodeList() const { return m_nodes; }
    SValueList& GetValueList() { return m_values; }
    const SValueList& GetValueList() const { return m_values; }

    // Calls f(key, value) for every entry in insertion order.
    template <class F>
    void ForEach(F f) const
    {
        for (const typename SNodeList::SNode* node = m_nodes.GetHead(); node; node = node->next)
            f(node->value.key, static_cast<const T&>(*node->value.value));
    }
    template <class F>
    void ForEach(F f)
    {
        for (typename SNodeList::SNode* node = m_nodes.GetHead(); node; node = node->next)
            f(node->value.key, *node->value.value);
    }

private:
    uint32_t BucketMask() const { return uint32_t(m_buckets.GetCount() - 1); }

    SNode* Insert(const CString& key, uint32_t hash, const T* copyOf)
    {
        T* value = copyOf ? m_values.Add(*copyOf) : m_values.AddNew();
        SNode* node = m_nodes.AddNew();
        node->key = key;
        node->hash = hash;
        node->spread = TKeys::Spread(key);
        node->value = value;
        if (m_nodes.GetCount() > m_buckets.GetCount())
            Rehash(m_buckets.GetCount() ? m_buckets.GetCount() * 2 : 16);
        else
            Link(node);
        SetCacheEntry(hash, node);
        return node;
    }

    void Link(SNode* node)
    {
        SNode*& head = *m_buckets.GetAt(int(node->spread & BucketMask()));
        node->chain = head;
        head = node;
    }

    // Doubling keeps the chains short; every node is linked again.
    void Rehash(int bucketCount)
    {
        m_buckets.SetSize(0);
        m_buckets.SetSize(bucketCount);
        for (typename SNodeList::SNode* item = m_nodes.GetHead(); item; item = item->next)
            Link(&item->value);
    }

    void CopyFrom(const CAssocArrayBase& other)
    {
        static_assert(std::is_copy_constructible_v<T>, "a dictionary of move-only values cannot be copied");
        for (const typename SNodeList::SNode* item = other.m_nodes.GetHead(); item; item = item->next) {
            const SNode& source = item->value;
            SNode* node = nullptr;
            if (FindNode(source.key, source.hash, node))
                *node->value = *source.value;
            else
                Insert(source.key, source.hash, source.value);
        }
    }

    SNodeList m_nodes;
    SValueList m_values;
    CArray<SNode*> m_cache;
    CArray<SNode*> m_buckets; // a power of two of chains, or none while empty
    int m_cacheSize;
    uint32_t m_cacheMask;
    CString m_scratch;
};

// Keys compared without regard to the case of ASCII letters.
template <class T>
class CAssocArray : public CAssocArrayBase<T, SNoCaseKeys> {
    using Base = CAssocArrayBase<T, SNoCaseKeys>;

public:
    using typename Base::SNode;

    explicit CAssocArray(int nodesPerBlock = 10, int cacheBits = 8) : Base(nodesPerBlock, cacheBits) {}

    static bool KeysEqualNoCase(const CString& a, const CString& b) { return Zorlin::KeysEqualNoCase(a, b); }
    SNode* FindCachedNoCase(const CString& key, uint32_t hash) { return this->FindCached(key, hash); }
};

// Keys compared byte for byte (K and k differ).
template <class T>
class CCaseAssocArray : public CAssocArrayBase<T, SExactKeys> {
    using Base = CAssocArrayBase<T, SExactKeys>;

public:
    using typename Base::SNode;

    explicit CCaseAssocArray(int nodesPerBlock = 10, int cacheBits = 8) : Base(nodesPerBlock, cacheBits) {}
};

} // namespace Zorlin
