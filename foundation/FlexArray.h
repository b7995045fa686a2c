#pragma once

#include "foundation/Array.h"
#include "foundation/AutoPointer.h"

namespace Zorlin {

// An array of fixed-size blocks: elements never move, so a pointer to one
// stays valid while the array grows. Shrinking keeps the blocks.
template <class T>
class CFlexArray : public CContainer<T> {
public:
    using typename CContainer<T>::SIterator;

    CFlexArray() : CFlexArray(16) {}
    explicit CFlexArray(int blockSize)
        : m_capacity(0), m_count(0), m_blockSize(1), m_blocks(10, 10), m_flags(0), m_shift(0)
    {
        while (m_blockSize < blockSize && m_shift < 30) {
            m_blockSize <<= 1;
            ++m_shift;
        }
    }
    CFlexArray(const CFlexArray& other) : CFlexArray(other.m_blockSize) { CopyFrom(other); }
    ~CFlexArray()
    {
        DestructRange(0, m_count - 1);
        for (int i = 0; i < m_blocks.GetCount(); ++i)
            delete[] m_blocks.GetAt(i)->Get();
    }

    CFlexArray& operator=(const CFlexArray& other)
    {
        if (this != &other) {
            CFlexArray copy(other);
            SetSize(0, true);
            CopyFrom(copy);
        }
        return *this;
    }

    T* GetAt(int i) { return Slot(i); }
    const T* GetAt(int i) const { return const_cast<CFlexArray*>(this)->Slot(i); }
    void SplitIndex(int i, int& block, int& slot) const
    {
        block = i >> m_shift;
        slot = i & (m_blockSize - 1);
    }

    // New elements are default-constructed when construct is set, else left raw.
    void SetSize(int n, bool construct)
    {
        int first = Resize(n);
        if (construct)
            ConstructRange(first, n - 1);
        m_count = n < 0 ? 0 : n;
    }
    void SetSize(int n, const T& value)
    {
        int first = Resize(n);
        CopyConstructRange(first, n - 1, value);
        m_count = n < 0 ? 0 : n;
    }

    void ConstructRange(int first, int last)
    {
        for (int i = first; i <= last; ++i)
            new (Slot(i)) T();
    }
    void CopyConstructRange(int first, int last, const T& value)
    {
        for (int i = first; i <= last; ++i)
            new (Slot(i)) T(value);
    }
    void DestructRange(int first, int last)
    {
        for (int i = first; i <= last; ++i)
            ContainerDetail::Destroy(Slot(i));
    }

    int GetCapacity() const { return m_capacity; }
    int GetBlockSize() const { return m_blockSize; }
    int GetBlockCount() const { return m_blocks.GetCount(); }

    // The container interface.
    T* Add(const T& value) override
    {
        T* element = AddUnconstructed();
        ContainerDetail::CopyInto(element, value);
        return element;
    }
    T* Add(T&& value)
    {
        T* element = AddUnconstructed();
        new (element) T(std::move(value));
        return element;
    }
    template <class U, std::enable_if_t<std::is_same_v<U, T> && !std::is_copy_constructible_v<U>, int> = 0>
    T* Add(U& value) = delete;

    T* AddNew() override
    {
        SetSize(m_count + 1, true);
        return Slot(m_count - 1);
    }
    T* AddUnconstructed() override
    {
        SetSize(m_count + 1, false);
        return Slot(m_count - 1);
    }
    int GetCount() const override { return m_count; }
    void RemoveAll() override { SetSize(0, true); }

    SIterator* NewIterator() override
    {
        SIterator* it = new SIterator();
        it->container = this;
        it->position = 0;
        return it;
    }
    T* IterCurrent(SIterator& it) override
    {
        CFlexArray* array = static_cast<CFlexArray*>(it.container);
        return ContainerDetail::IndexInside(it.position, array->m_count) ? array->Slot(int(it.position)) : nullptr;
    }
    T* IterNext(SIterator& it) override
    {
        T* element = IterCurrent(it);
        ++it.position;
        return element;
    }
    T* IterPrev(SIterator& it) override
    {
        T* element = IterCurrent(it);
        --it.position;
        return element;
    }
    void IterFirst(SIterator& it) override { it.position = 0; }
    void IterLast(SIterator& it) override { it.position = static_cast<CFlexArray*>(it.container)->m_count - 1; }
    void IterSeek(SIterator& it, int i) override
    {
        it.position = ContainerDetail::SeekIndex(i, static_cast<CFlexArray*>(it.container)->m_count);
    }

private:
    T* Slot(int i)
    {
        unsigned char* block = m_blocks.GetAt(i >> m_shift)->Get();
        return reinterpret_cast<T*>(block) + (i & (m_blockSize - 1));
    }

    // Destroys surplus elements or allocates blocks for n; returns the first
    // index that still needs constructing.
    int Resize(int n)
    {
        if (n < 0)
            n = 0;
        if (n < m_count) {
            DestructRange(n, m_count - 1);
            m_count = n;
            return n;
        }
        while (m_capacity < n) {
            *m_blocks.AddNew() = new unsigned char[sizeof(T) * size_t(m_blockSize)];
            m_capacity += m_blockSize;
        }
        return m_count;
    }

    void CopyFrom(const CFlexArray& other)
    {
        Resize(other.m_count);
        for (int i = 0; i < other.m_count; ++i)
            new (Slot(i)) T(*other.GetAt(i));
        m_count = other.m_count;
    }

    int m_capacity;
    int m_count;
    int m_blockSize;
    CArray<CNullPointer<unsigned char, 0>> m_blocks;
    unsigned m_flags;
    int m_shift;
};

} // namespace Zorlin
