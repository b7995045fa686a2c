#pragma once

#include "foundation/List.h"

namespace Zorlin {

// djb2 over a key's bytes, lowest byte first, each taken as a signed 8-bit
// value: stored data depends on these numbers, so they must not follow the
// platform's char or byte order.
template <class K, class = void>
struct SHashTraits {
    static uint32_t Hash(const K& key) { return key.Hash(); }
};

template <class K>
struct SHashTraits<K, std::enable_if_t<std::is_integral_v<K> || std::is_enum_v<K> || std::is_pointer_v<K>>> {
    static uint32_t Hash(const K& key)
    {
        uint64_t bits;
        if constexpr (std::is_pointer_v<K>)
            bits = uint64_t(reinterpret_cast<uintptr_t>(key));
        else
            bits = uint64_t(key);
        uint32_t h = 5381;
        for (size_t i = 0; i < sizeof(K); ++i) {
            int8_t byte = int8_t(uint8_t(bits >> (8 * i)));
            h = h * 33 + uint32_t(int32_t(byte));
        }
        return h;
    }
};

// A hash is filled by key only: the keyless adds of the container interface
// add nothing. They sit in a base so that CHash's keyed Add hides them even
// when the value and key types are the same.
template <class T>
class CHashSlots : public CContainer<T> {
public:
    T* Add(const T&) override { return nullptr; }
    T* AddNew() override { return nullptr; }
    T* AddUnconstructed() override { return nullptr; }

protected:
    CHashSlots() = default;
    CHashSlots(const CHashSlots&) = default;
    CHashSlots& operator=(const CHashSlots&) = default;
    ~CHashSlots() = default;
};

// Open addressing with linear probing over a list that keeps the elements in
// insertion order; iteration walks that list.
template <class T, class K>
class CHash : public CHashSlots<T> {
public:
    using typename CContainer<T>::SIterator;

    struct SHashElement {
        T value;
        uint32_t hash;
        K key;
    };
    using SElementNode = typename CList<SHashElement>::SNode;

    CHash() : m_elements(10, 0), m_buckets(100, 10, CArray<SHashElement*>::kByteCopy), m_factor(2)
    {
        m_buckets.SetSize(50);
    }
    CHash(const CHash& other) : CHash()
    {
        InitBuckets(other.GetBucketCount());
        for (const SElementNode* node = other.m_elements.GetHead(); node; node = node->next) {
            SHashElement* element = AddWithHash(node->value.hash, node->value.key);
            element->value = node->value.value;
        }
    }
    CHash& operator=(const CHash& other)
    {
        if (this != &other) {
            CHash copy(other);
            RemoveAll();
            InitBuckets(copy.GetBucketCount());
            for (SElementNode* node = copy.m_elements.GetHead(); node; node = node->next)
                AddWithHash(node->value.hash, node->value.key)->value = node->value.value;
        }
        return *this;
    }
    virtual ~CHash() = default;

    // A table of n empty buckets; elements already stored are placed again.
    void InitBuckets(int n)
    {
        if (n < 1)
            n = 1;
        while (n < m_elements.GetCount() * m_factor)
            n *= m_factor;
        m_buckets.SetSize(n);
        PlaceAll();
    }

    virtual uint32_t HashKey(const K& key) { return SHashTraits<K>::Hash(key); }

    SHashElement* FindOrAdd(const K& key)
    {
        uint32_t hash = HashKey(key);
        int bucket = Probe(hash, key);
        if (bucket >= 0 && *m_buckets.GetAt(bucket))
            return *m_buckets.GetAt(bucket);
        if (bucket < 0 || GetBucketCount() < m_elements.GetCount() * m_factor) {
            Rehash();
            if (GetBucketCount() < m_elements.GetCount() * m_factor)
                Rehash();
            bucket = Probe(hash, key);
        }
        return Create(bucket, hash, key);
    }

    // A template so that it never overrides the keyless slot; Q is always K.
    template <class Q = K>
    SHashElement* Add(const std::enable_if_t<true, Q>& key)
    {
        return AddWithHash(HashKey(key), key);
    }
    SHashElement* AddWithHash(uint32_t hash, const K& key)
    {
        if (GetBucketCount() < m_elements.GetCount() * m_factor)
            Rehash();
        int bucket = Probe(hash, key);
        if (bucket < 0) {
            Rehash();
            bucket = Probe(hash, key);
        }
        if (*m_buckets.GetAt(bucket))
            return nullptr;
        return Create(bucket, hash, key);
    }

    SHashElement* Find(const K& key) { return FindWithHash(HashKey(key), key); }
    SHashElement* FindWithHash(uint32_t hash, const K& key)
    {
        int bucket = Probe(hash, key);
        return bucket >= 0 ? *m_buckets.GetAt(bucket) : nullptr;
    }

    bool Remove(SHashElement* element)
    {
        if (!element)
            return false;
        int bucket = Probe(element->hash, element->key);
        if (bucket < 0 || !*m_buckets.GetAt(bucket))
            return false;
        SHashElement* stored = *m_buckets.GetAt(bucket);
        m_elements.DeleteNode(NodeOf(stored));
        *m_buckets.GetAt(bucket) = nullptr;
        int count = GetBucketCount();
        for (int i = (bucket + 1) % count; *m_buckets.GetAt(i); i = (i + 1) % count) {
            SHashElement* moved = *m_buckets.GetAt(i);
            *m_buckets.GetAt(i) = nullptr;
            PlaceElement(moved);
        }
        return true;
    }

    // Grows the bucket table by the growth factor and places every element again.
    void Rehash()
    {
        m_buckets.SetSize(GetBucketCount() * m_factor);
        PlaceAll();
    }
    // Puts the element in the first empty bucket at or after its home bucket.
    void PlaceElement(SHashElement* element)
    {
        int count = GetBucketCount();
        int i = Home(element->hash);
        while (*m_buckets.GetAt(i))
            i = (i + 1) % count;
        *m_buckets.GetAt(i) = element;
    }

    int GetBucketCount() const { return m_buckets.GetCount(); }
    SHashElement* GetBucket(int i) { return *m_buckets.GetAt(i); }
    CList<SHashElement>& GetElements() { return m_elements; }
    const CList<SHashElement>& GetElements() const { return m_elements; }

    // The rest of the container interface.
    int GetCount() const override { return m_elements.GetCount(); }
    void RemoveAll() override
    {
        m_elements.RemoveAll();
        ClearBuckets();
    }

    SIterator* NewIterator() override
    {
        SIterator* it = new SIterator();
        it->container = this;
        it->position = ContainerDetail::NodePosition(m_elements.GetHead(), 0);
        return it;
    }
    T* IterCurrent(SIterator& it) override { return ValueOf(ContainerDetail::NodeAt<SElementNode>(it.position)); }
    T* IterNext(SIterator& it) override
    {
        return ValueOf(ContainerDetail::StepNext(it.position, Walked(it).GetHead()));
    }
    T* IterPrev(SIterator& it) override
    {
        return ValueOf(ContainerDetail::StepPrev(it.position, Walked(it).GetTail()));
    }
    void IterFirst(SIterator& it) override { it.position = ContainerDetail::NodePosition(Walked(it).GetHead(), 0); }
    void IterLast(SIterator& it) override { it.position = ContainerDetail::NodePosition(Walked(it).GetTail(), 0); }
    void IterSeek(SIterator& it, int i) override
    {
        ContainerDetail::SeekNode(it.position, i, Walked(it).GetHead(), Walked(it).GetTail());
    }

private:
    static CList<SHashElement>& Walked(SIterator& it) { return static_cast<CHash*>(it.container)->m_elements; }
    static T* ValueOf(SElementNode* node) { return node ? &node->value.value : nullptr; }
    // The element is its node's first member.
    static SElementNode* NodeOf(SHashElement* element) { return reinterpret_cast<SElementNode*>(element); }

    int Home(uint32_t hash) const { return int(hash % uint32_t(GetBucketCount())); }

    // The bucket holding the key, else the empty bucket where the probe
    // stopped; -1 when every bucket is full and none holds the key.
    int Probe(uint32_t hash, const K& key)
    {
        int count = GetBucketCount();
        int i = Home(hash);
        for (int step = 0; step < count; ++step, i = (i + 1) % count) {
            SHashElement* element = *m_buckets.GetAt(i);
            if (!element || (element->hash == hash && element->key == key))
                return i;
        }
        return -1;
    }

    SHashElement* Create(int bucket, uint32_t hash, const K& key)
    {
        SElementNode* node = m_elements.AllocNode();
        new (&node->value) SHashElement{T(), hash, key};
        m_elements.AppendNode(node);
        *m_buckets.GetAt(bucket) = &node->value;
        return &node->value;
    }

    void ClearBuckets()
    {
        int count = GetBucketCount();
        for (int i = 0; i < count; ++i)
            *m_buckets.GetAt(i) = nullptr;
    }

    void PlaceAll()
    {
        ClearBuckets();
        for (SElementNode* node = m_elements.GetHead(); node; node = node->next)
            PlaceElement(&node->value);
    }

    CList<SHashElement> m_elements;
    CArray<SHashElement*> m_buckets;
    int m_factor;
};

} // namespace Zorlin
