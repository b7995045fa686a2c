#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

namespace Zorlin {

// What code that only fills or walks a collection needs from one. Destroyed
// through its own type only, hence the protected non-virtual destructor.
template <class T>
class CContainer {
public:
    // Two words: the container walked and a position in it. Arrays use an
    // element index; lists and hashes a node pointer or one of the special
    // positions below.
    struct SIterator {
        CContainer* container;
        intptr_t position;

        SIterator() : container(nullptr), position(kNoNode) {}
        SIterator(CContainer& walked) : container(&walked), position(kNoNode) { walked.IterFirst(*this); }

        // The current element, then one step forward (what IterNext does).
        T* operator++(int) { return container ? container->IterNext(*this) : nullptr; }
        T* Current() { return container ? container->IterCurrent(*this) : nullptr; }
    };

    // Special list positions; a real node pointer is never below 4.
    static constexpr intptr_t kNoNode = 0;
    static constexpr intptr_t kBeforeFirst = 1;
    static constexpr intptr_t kAfterLast = 2;

    virtual T* Add(const T& value) = 0;
    virtual T* AddNew() = 0;
    virtual T* AddUnconstructed() = 0;
    virtual int GetCount() const = 0;
    virtual void RemoveAll() = 0;
    virtual SIterator* NewIterator() = 0;
    virtual T* IterCurrent(SIterator& it) = 0;
    virtual T* IterNext(SIterator& it) = 0;
    virtual T* IterPrev(SIterator& it) = 0;
    virtual void IterFirst(SIterator& it) = 0;
    virtual void IterLast(SIterator& it) = 0;
    virtual void IterSeek(SIterator& it, int i) = 0;

protected:
    CContainer() = default;
    CContainer(const CContainer&) = default;
    CContainer& operator=(const CContainer&) = default;
    ~CContainer() = default;
};

namespace ContainerDetail {

// Copy-constructs value into raw storage. The copy slots of the interface
// exist for every element type; one holding move-only elements (owning
// pointers) must be filled by moving, so a copy there is a caller's fault.
template <class T>
inline void CopyInto(void* where, const T& value)
{
    if constexpr (std::is_copy_constructible_v<T>) {
        new (where) T(value);
    } else {
        (void)where;
        (void)value;
        std::fprintf(stderr, "container: copy of a move-only element\n");
        std::abort();
    }
}

template <class T>
inline void Destroy(T* element)
{
    if constexpr (!std::is_trivially_destructible_v<T>)
        element->~T();
}

// Index iteration shared by the arrays.
inline bool IndexInside(intptr_t position, int count) { return position >= 0 && position < count; }

inline intptr_t SeekIndex(int i, int count)
{
    intptr_t position = i < 0 ? intptr_t(i) + count : intptr_t(i);
    if (position > count)
        position = count;
    if (position < 0)
        position = -1;
    return position;
}

// Node iteration shared by lists and hashes; N has next and prev links.
template <class N>
inline N* NodeAt(intptr_t position)
{
    return position < 4 ? nullptr : reinterpret_cast<N*>(position);
}

template <class N>
inline intptr_t NodePosition(N* node, intptr_t ifNull)
{
    return node ? reinterpret_cast<intptr_t>(node) : ifNull;
}

template <class N>
inline N* StepNext(intptr_t& position, N* head)
{
    if (position == 1) {
        position = NodePosition(head, 0);
        return nullptr;
    }
    N* node = NodeAt<N>(position);
    if (node)
        position = NodePosition(node->next, 2);
    return node;
}

template <class N>
inline N* StepPrev(intptr_t& position, N* tail)
{
    if (position == 2) {
        position = NodePosition(tail, 0);
        return nullptr;
    }
    N* node = NodeAt<N>(position);
    if (node)
        position = NodePosition(node->prev, 1);
    return node;
}

template <class N>
inline void SeekNode(intptr_t& position, int i, N* head, N* tail)
{
    if (i >= 0) {
        position = NodePosition(head, 0);
        for (int k = 0; k < i; ++k)
            StepNext(position, head);
    } else {
        position = NodePosition(tail, 0);
        for (int k = 0; k < -(i + 1); ++k)
            StepPrev(position, tail);
    }
}

} // namespace ContainerDetail

} // namespace Zorlin
