#include "foundation/DataQueue.h"

#include <algorithm>
#include <cstring>

namespace Zorlin {

CDataQueue::CDataQueue(int blockSize) : m_blockSize(blockSize > 0 ? blockSize : 1024), m_total(0) {}

CDataQueue::SBuffer* CDataQueue::TakeBlock()
{
    SBuffer* block;
    if (m_free.GetCount() > 0) {
        block = *m_free.GetAt(m_free.GetCount() - 1);
        m_free.SetSize(m_free.GetCount() - 1, false);
    } else {
        block = m_blocks.AddNew();
        block->data.Allocate(m_blockSize);
    }
    block->read = 0;
    block->fill = 0;
    return block;
}

void CDataQueue::Enqueue(SBuffer* block)
{
    m_queued.Add(block);
}

void CDataQueue::Write(const void* data, int n)
{
    if (n < 1 || !data)
        return;
    if (m_total == 0)
        Enqueue(TakeBlock());
    const unsigned char* from = static_cast<const unsigned char*>(data);
    int remaining = n;
    while (remaining > 0) {
        SBuffer* tail = m_queued.GetTail()->value;
        if (int(tail->fill) == tail->data.GetSize()) {
            tail = TakeBlock();
            Enqueue(tail);
        }
        int count = std::min(tail->data.GetSize() - int(tail->fill), remaining);
        std::memcpy(tail->data.GetData() + tail->fill, from, size_t(count));
        tail->fill += uint32_t(count);
        from += count;
        remaining -= count;
    }
    m_total += uint32_t(n);
}

int CDataQueue::Peek(void* dest, int n) const
{
    unsigned char* to = static_cast<unsigned char*>(dest);
    int copied = 0;
    for (const CList<SBuffer*>::SNode* node = m_queued.GetHead(); node && copied < n; node = node->next) {
        const SBuffer* block = node->value;
        int count = std::min(int(block->fill - block->read), n - copied);
        std::memcpy(to + copied, block->data.GetData() + block->read, size_t(count));
        copied += count;
    }
    return copied;
}

void CDataQueue::Recycle(CList<SBuffer*>::SNode* node)
{
    *m_free.AddUnconstructed() = node->value;
    m_queued.DeleteNode(node);
}

int CDataQueue::Discard(int n)
{
    int taken = 0;
    while (taken < n && m_queued.GetHead()) {
        CList<SBuffer*>::SNode* node = m_queued.GetHead();
        SBuffer* block = node->value;
        int count = std::min(int(block->fill - block->read), n - taken);
        block->read += uint32_t(count);
        taken += count;
        if (block->read == block->fill)
            Recycle(node);
    }
    m_total -= uint32_t(taken);
    return taken;
}

int CDataQueue::Read(void* dest, int n)
{
    return Discard(Peek(dest, n));
}

void CDataQueue::Clear()
{
    while (m_queued.GetHead())
        Recycle(m_queued.GetHead());
    m_total = 0;
}

} // namespace Zorlin
