#pragma once

#include "foundation/Array.h"
#include "foundation/AutoPointer.h"

namespace Zorlin {

// Chain helpers for any node type with next and prev links.
template <class N>
inline void Unlink(N* node, N** head, N** tail)
{
    if (node->prev)
        node->prev->next = node->next;
    else
        *head = node->next;
    if (node->next)
        node->next->prev = node->prev;
    else
        *tail = node->prev;
    node->next = nullptr;
    node->prev = nullptr;
}

template <class N>
inline void LinkTail(N* node, N** head, N** tail)
{
    node->next = nullptr;
    node->prev = *tail;
    if (*tail)
        (*tail)->next = node;
    else
        *head = node;
    *tail = node;
}

// Doubly linked list whose nodes come from pooled blocks; new nodes link at
// the tail, removed ones go to a free list and blocks are only freed by
// RemoveAll and the destructor, so element pointers stay valid until their
// own node is removed.
template <class T>
class CList : public CContainer<T> {
public:
    using typename CContainer<T>::SIterator;

    // The value comes first, so a node pointer is also a pointer to its value.
    struct SNode {
        T value;
        SNode* next;
        SNode* prev;
    };

    struct SNodeBlock {
        CAutoArrayPointer<unsigned char> storage;
        int nodeCount;
    };

    static constexpr unsigned kGrowingBlocks = 2; // the k-th block holds k x nodes per block

    explicit CList(const unsigned& flags = 0) : CList(10, flags) {}
    CList(int nodesPerBlock, const unsigned& flags)
        : m_head(nullptr), m_tail(nullptr), m_free(nullptr), m_blocks(32, 64, 3), m_count(0),
          m_nodesPerBlock(nodesPerBlock > 0 ? nodesPerBlock : 1), m_flags(flags)
    {
    }
    CList(const CList& other) : CList(other.m_nodesPerBlock, other.m_flags)
    {
        static_assert(std::is_copy_constructible_v<T>, "a list of move-only values cannot be copied");
        for (const SNode* node = other.m_head; node; node = node->next)
            Add(node->value);
    }
    ~CList() { DestroyValues(); }

    CList& operator=(const CList& other)
    {
        if (this != &other) {
            CList copy(other);
            RemoveAll();
            for (SNode* node = copy.m_head; node; node = node->next)
                Add(node->value);
        }
        return *this;
    }

    SNode* GetHead() { return m_head; }
    SNode* GetTail() { return m_tail; }
    const SNode* GetHead() const { return m_head; }
    const SNode* GetTail() const { return m_tail; }

    // A free node, not yet linked, with its value copied, default-constructed
    // or left raw.
    SNode* NewNode(const T& value)
    {
        SNode* node = TakeNode();
        ContainerDetail::CopyInto(&node->value, value);
        return node;
    }
    SNode* NewNode(T&& value)
    {
        SNode* node = TakeNode();
        new (&node->value) T(std::move(value));
        return node;
    }
    SNode* NewNodeDefault()
    {
        SNode* node = TakeNode();
        new (&node->value) T();
        return node;
    }
    SNode* AllocNode() { return TakeNode(); }

    // Links a node taken from NewNode and friends at the tail.
    void AppendNode(SNode* node)
    {
        LinkTail(node, &m_head, &m_tail);
        ++m_count;
    }

    // Unlinks the node onto the free list; its value is left for the caller
    // to destroy first.
    void RemoveNode(SNode* node)
    {
        Unlink(node, &m_head, &m_tail);
        node->next = m_free;
        m_free = node;
        --m_count;
    }
    // Destroys the value, then RemoveNode.
    void DeleteNode(SNode* node)
    {
        ContainerDetail::Destroy(&node->value);
        RemoveNode(node);
    }

    // Negative i counts from the end; i is not checked.
    SNode* GetAt(int i)
    {
        if (i < 0)
            i += m_count;
        if (i >= m_count / 2) {
            SNode* node = m_tail;
            for (int k = m_count - 1; k > i; --k)
                node = node->prev;
            return node;
        }
        SNode* node = m_head;
        for (int k = 0; k < i; ++k)
            node = node->next;
        return node;
    }
    const SNode* GetAt(int i) const { return const_cast<CList*>(this)->GetAt(i); }

    int GetNodesPerBlock() const { return m_nodesPerBlock; }
    void SetNodesPerBlock(int n) { m_nodesPerBlock = n > 0 ? n : 1; }
    unsigned GetFlags() const { return m_flags; }
    void SetFlags(unsigned flags) { m_flags = flags; }
    const CArray<SNodeBlock>& GetBlocks() const { return m_blocks; }

    // The container interface.
    T* Add(const T& value) override
    {
        SNode* node = NewNode(value);
        AppendNode(node);
        return &node->value;
    }
    T* Add(T&& value)
    {
        SNode* node = NewNode(std::move(value));
        AppendNode(node);
        return &node->value;
    }
    template <class U, std::enable_if_t<std::is_same_v<U, T> && !std::is_copy_constructible_v<U>, int> = 0>
    T* Add(U& value) = delete;

    T* AddNew() override
    {
        SNode* node = NewNodeDefault();
        AppendNode(node);
        return &node->value;
    }
    T* AddUnconstructed() override
    {
        SNode* node = AllocNode();
        AppendNode(node);
        return &node->value;
    }
    int GetCount() const override { return m_count; }
    void RemoveAll() override
    {
        DestroyValues();
        m_blocks.RemoveAll();
        m_head = m_tail = m_free = nullptr;
        m_count = 0;
    }

    SIterator* NewIterator() override
    {
        SIterator* it = new SIterator();
        it->container = this;
        it->position = ContainerDetail::NodePosition(m_head, 0);
        return it;
    }
    T* IterCurrent(SIterator& it) override { return ValueOf(ContainerDetail::NodeAt<SNode>(it.position)); }
    T* IterNext(SIterator& it) override
    {
        return ValueOf(ContainerDetail::StepNext(it.position, Walked(it)->m_head));
    }
    T* IterPrev(SIterator& it) override
    {
        return ValueOf(ContainerDetail::StepPrev(it.position, Walked(it)->m_tail));
    }
    void IterFirst(SIterator& it) override { it.position = ContainerDetail::NodePosition(Walked(it)->m_head, 0); }
    void IterLast(SIterator& it) override { it.position = ContainerDetail::NodePosition(Walked(it)->m_tail, 0); }
    void IterSeek(SIterator& it, int i) override
    {
        ContainerDetail::SeekNode(it.position, i, Walked(it)->m_head, Walked(it)->m_tail);
    }

private:
    static CList* Walked(SIterator& it) { return static_cast<CList*>(it.container); }
    static T* ValueOf(SNode* node) { return node ? &node->value : nullptr; }

    SNode* TakeNode()
    {
        if (!m_free)
            AddBlock();
        SNode* node = m_free;
        m_free = node->next;
        node->next = nullptr;
        node->prev = nullptr;
        return node;
    }

    void AddBlock()
    {
        int blockNumber = m_blocks.GetCount() + 1;
        int nodeCount = (m_flags & kGrowingBlocks) ? m_nodesPerBlock * blockNumber : m_nodesPerBlock;
        SNodeBlock* block = m_blocks.AddUnconstructed();
        new (block) SNodeBlock{CAutoArrayPointer<unsigned char>(new unsigned char[sizeof(SNode) * size_t(nodeCount)]),
                               nodeCount};
        SNode* nodes = reinterpret_cast<SNode*>(block->storage.Get());
        for (int i = 0; i < nodeCount; ++i)
            nodes[i].next = i + 1 < nodeCount ? nodes + i + 1 : nullptr;
        m_free = nodes;
    }

    void DestroyValues()
    {
        if constexpr (!std::is_trivially_destructible_v<T>) {
            for (SNode* node = m_head; node; node = node->next)
                node->value.~T();
        }
    }

    SNode* m_head;
    SNode* m_tail;
    SNode* m_free;
    CArray<SNodeBlock> m_blocks;
    int m_count;
    int m_nodesPerBlock;
    unsigned m_flags;
};

// Walks from the head comparing values with ==.
template <class T>
bool Contains(const CList<T>& list, const T& value)
{
    for (const typename CList<T>::SNode* node = list.GetHead(); node; node = node->next) {
        if (node->value == value)
            return true;
    }
    return false;
}

} // namespace Zorlin
