#pragma once

#include <cstdint>

namespace Zorlin {

// Owns one heap object. Ownership moves explicitly (std::move or Release);
// copying is not allowed, so a container copy can never take an object away
// from its source behind the caller's back.
template <class T>
class CAutoPointer {
public:
    CAutoPointer() : m_pointer(nullptr) {}
    explicit CAutoPointer(T* pointer) : m_pointer(pointer) {}
    CAutoPointer(CAutoPointer&& other) noexcept : m_pointer(other.m_pointer) { other.m_pointer = nullptr; }
    CAutoPointer(const CAutoPointer&) = delete;
    ~CAutoPointer() { Delete(); }

    CAutoPointer& operator=(CAutoPointer&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    CAutoPointer& operator=(const CAutoPointer&) = delete;

    void Delete()
    {
        T* pointer = m_pointer;
        m_pointer = nullptr;
        delete pointer;
    }
    // Takes ownership of pointer, deleting what was owned before.
    void Reset(T* pointer = nullptr)
    {
        if (pointer == m_pointer)
            return;
        Delete();
        m_pointer = pointer;
    }
    // Gives up ownership without deleting.
    T* Release()
    {
        T* pointer = m_pointer;
        m_pointer = nullptr;
        return pointer;
    }

    // The owned object, first creating a value-initialised one when none is owned.
    T* GetOrCreate()
    {
        if (!m_pointer)
            m_pointer = new T();
        return m_pointer;
    }
    // Deletes the owned object and owns a freshly constructed one.
    T* Renew()
    {
        Delete();
        m_pointer = new T();
        return m_pointer;
    }

    T* Get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    T& operator*() const { return *m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }
    bool IsNull() const { return m_pointer == nullptr; }

private:
    T* m_pointer;
};

// Owns one array made with new[]; moves like CAutoPointer.
template <class T>
class CAutoArrayPointer {
public:
    CAutoArrayPointer() : m_pointer(nullptr) {}
    explicit CAutoArrayPointer(T* pointer) : m_pointer(pointer) {}
    CAutoArrayPointer(CAutoArrayPointer&& other) noexcept : m_pointer(other.m_pointer) { other.m_pointer = nullptr; }
    CAutoArrayPointer(const CAutoArrayPointer&) = delete;
    ~CAutoArrayPointer() { Delete(); }

    CAutoArrayPointer& operator=(CAutoArrayPointer&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    CAutoArrayPointer& operator=(const CAutoArrayPointer&) = delete;

    void Delete()
    {
        T* pointer = m_pointer;
        m_pointer = nullptr;
        delete[] pointer;
    }
    void Reset(T* pointer = nullptr)
    {
        if (pointer == m_pointer)
            return;
        Delete();
        m_pointer = pointer;
    }
    T* Release()
    {
        T* pointer = m_pointer;
        m_pointer = nullptr;
        return pointer;
    }

    T* Get() const { return m_pointer; }
    T& operator[](int i) const { return m_pointer[i]; }
    explicit operator bool() const { return m_pointer != nullptr; }
    bool IsNull() const { return m_pointer == nullptr; }

private:
    T* m_pointer;
};

// A plain, non-owning pointer that starts out as its null value.
template <class T, intptr_t Null = 0>
class CNullPointer {
public:
    CNullPointer() : m_pointer(reinterpret_cast<T*>(Null)) {}
    CNullPointer(T* pointer) : m_pointer(pointer) {}

    CNullPointer& operator=(T* pointer)
    {
        m_pointer = pointer;
        return *this;
    }

    T* Get() const { return m_pointer; }
    operator T*() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    bool IsNull() const { return m_pointer == reinterpret_cast<T*>(Null); }

private:
    T* m_pointer;
};

} // namespace Zorlin
