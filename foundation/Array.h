#pragma once

#include <cstring>

#include "foundation/Container.h"

namespace Zorlin {

// Contiguous, growable array. Element pointers stay valid only until the next
// growth, which moves the elements.
template <class T>
class CArray : public CContainer<T> {
public:
    using typename CContainer<T>::SIterator;

    static constexpr unsigned kGrowDouble = 1; // else grow by the grow step
    static constexpr unsigned kByteCopy = 2;   // elements move by a plain byte copy

    CArray() : m_count(0), m_capacity(10), m_data(nullptr), m_growStep(10), m_flags(0), m_hasStorage(false) {}
    CArray(int capacity, int growStep, unsigned flags = 0)
        : m_count(0), m_capacity(0), m_data(nullptr), m_growStep(growStep), m_flags(flags), m_hasStorage(false)
    {
        Allocate(capacity);
    }
    CArray(const CArray& other)
        : m_count(0), m_capacity(0), m_data(nullptr), m_growStep(other.m_growStep), m_flags(0), m_hasStorage(false)
    {
        Allocate(other.m_count);
        for (int i = 0; i < other.m_count; ++i)
            new (m_data + i) T(other.m_data[i]);
        m_count = other.m_count;
    }
    CArray(CArray&& other) noexcept
        : m_count(other.m_count), m_capacity(other.m_capacity), m_data(other.m_data),
          m_growStep(other.m_growStep), m_flags(other.m_flags), m_hasStorage(other.m_hasStorage)
    {
        other.m_count = 0;
        other.m_capacity = other.m_growStep;
        other.m_data = nullptr;
        other.m_hasStorage = false;
    }
    ~CArray()
    {
        DestroyAll();
        FreeStorage();
    }

    CArray& operator=(const CArray& other)
    {
        if (this == &other)
            return *this;
        if (Holds(&other)) {
            // The source lives in this array's storage: copy it out first.
            CArray copy(other);
            return *this = copy;
        }
        DestroyAll();
        Reserve(other.m_count);
        for (int i = 0; i < other.m_count; ++i)
            new (m_data + i) T(other.m_data[i]);
        m_count = other.m_count;
        return *this;
    }
    CArray& operator=(CArray&& other) noexcept
    {
        if (this != &other && !Holds(&other)) {
            DestroyAll();
            FreeStorage();
            m_count = other.m_count;
            m_capacity = other.m_capacity;
            m_data = other.m_data;
            m_growStep = other.m_growStep;
            m_flags = other.m_flags;
            m_hasStorage = other.m_hasStorage;
            other.m_count = 0;
            other.m_capacity = other.m_growStep;
            other.m_data = nullptr;
            other.m_hasStorage = false;
        }
        return *this;
    }

    // Empties the array and allocates storage for n elements at once.
    void InitCapacity(int n)
    {
        DestroyAll();
        FreeStorage();
        m_growStep = 10;
        Allocate(n);
    }

    void Reserve(int n)
    {
        if (m_capacity < n) {
            int capacity = (m_flags & kGrowDouble) ? m_capacity * 2 : m_capacity + m_growStep;
            if (capacity < n)
                capacity = n;
            Reallocate(capacity);
        } else if (!m_hasStorage) {
            Allocate(m_capacity);
        }
    }

    void SetSize(int n)
    {
        if (n < 0)
            n = 0;
        Reserve(n);
        if (n > m_count)
            ConstructRange(m_count, n - 1);
        else if (n < m_count)
            DestructRange(n, m_count - 1);
        m_count = n;
    }

    // Negative i counts from the end (-1 = last); i is not checked.
    T* GetAt(int i) { return m_data + (i < 0 ? i + m_count : i); }
    const T* GetAt(int i) const { return m_data + (i < 0 ? i + m_count : i); }
    T* GetData() { return m_data; }
    const T* GetData() const { return m_data; }

    int GetCapacity() const { return m_capacity; }
    int GetGrowStep() const { return m_growStep; }
    void SetGrowStep(int step) { m_growStep = step; }
    unsigned GetFlags() const { return m_flags; }
    void SetFlags(unsigned flags) { m_flags = flags; }
    bool HasStorage() const { return m_hasStorage; }

    // Inclusive index ranges over raw or live storage.
    // GCC 12 cannot see that SetSize reserved the room first and warns of a
    // write into a null block when the loop becomes a memset.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#endif
    void ConstructRange(int first, int last)
    {
        for (int i = first; i <= last; ++i)
            new (m_data + i) T();
    }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    void CopyConstructRange(int first, int last, const T& value)
    {
        for (int i = first; i <= last; ++i)
            new (m_data + i) T(value);
    }
    void DestructRange(int first, int last)
    {
        for (int i = first; i <= last; ++i)
            ContainerDetail::Destroy(m_data + i);
    }

    // Frees the storage without destroying any element.
    void FreeStorage()
    {
        ::operator delete(m_data);
        m_data = nullptr;
        m_hasStorage = false;
    }

    // The container interface.
    T* Add(const T& value) override
    {
        if (Holds(&value)) {
            int index = int(&value - m_data);
            Reserve(m_count + 1);
            ContainerDetail::CopyInto(m_data + m_count, m_data[index]);
        } else {
            Reserve(m_count + 1);
            ContainerDetail::CopyInto(m_data + m_count, value);
        }
        return m_data + m_count++;
    }
    T* Add(T&& value)
    {
        if (Holds(&value)) {
            int index = int(&value - m_data);
            Reserve(m_count + 1);
            new (m_data + m_count) T(std::move(m_data[index]));
        } else {
            Reserve(m_count + 1);
            new (m_data + m_count) T(std::move(value));
        }
        return m_data + m_count++;
    }
    // Adding a named move-only element must say std::move.
    template <class U, std::enable_if_t<std::is_same_v<U, T> && !std::is_copy_constructible_v<U>, int> = 0>
    T* Add(U& value) = delete;

    T* AddNew() override
    {
        SetSize(m_count + 1);
        return m_data + m_count - 1;
    }
    T* AddUnconstructed() override
    {
        Reserve(m_count + 1);
        return m_data + m_count++;
    }
    int GetCount() const override { return m_count; }
    void RemoveAll() override
    {
        DestroyAll();
        FreeStorage();
        m_capacity = m_growStep;
    }

    SIterator* NewIterator() override
    {
        SIterator* it = new SIterator();
        it->container = this;
        it->position = 0;
        return it;
    }
    T* IterCurrent(SIterator& it) override
    {
        CArray* array = static_cast<CArray*>(it.container);
        return ContainerDetail::IndexInside(it.position, array->m_count) ? array->m_data + it.position : nullptr;
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
    void IterLast(SIterator& it) override { it.position = static_cast<CArray*>(it.container)->m_count - 1; }
    void IterSeek(SIterator& it, int i) override
    {
        it.position = ContainerDetail::SeekIndex(i, static_cast<CArray*>(it.container)->m_count);
    }

private:
    bool Holds(const void* p) const
    {
        const T* element = static_cast<const T*>(p);
        return m_data && element >= m_data && element < m_data + m_count;
    }

    void DestroyAll()
    {
        DestructRange(0, m_count - 1);
        m_count = 0;
    }

    // Storage for capacity elements on an array that has none.
    void Allocate(int capacity)
    {
        if (capacity < 0)
            capacity = 0;
        m_capacity = capacity;
        m_data = capacity > 0 ? static_cast<T*>(::operator new(sizeof(T) * size_t(capacity))) : nullptr;
        m_hasStorage = true;
    }

    void Reallocate(int capacity)
    {
        T* data = static_cast<T*>(::operator new(sizeof(T) * size_t(capacity)));
        if (m_data) {
            if (m_flags & kByteCopy) {
                std::memcpy(static_cast<void*>(data), static_cast<const void*>(m_data), sizeof(T) * size_t(m_count));
            } else {
                for (int i = 0; i < m_count; ++i) {
                    new (data + i) T(std::move(m_data[i]));
                    ContainerDetail::Destroy(m_data + i);
                }
            }
        }
        ::operator delete(m_data);
        m_data = data;
        m_capacity = capacity;
        m_hasStorage = true;
    }

    int m_count;
    int m_capacity;
    T* m_data;
    int m_growStep;
    unsigned m_flags;
    bool m_hasStorage;
};

} // namespace Zorlin
