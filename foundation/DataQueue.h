#pragma once

#include <cstdint>

#include "foundation/Buffer.h"
#include "foundation/FlexArray.h"
#include "foundation/List.h"

namespace Zorlin {

// A queue of bytes kept in fixed-size blocks. Blocks are made once and
// recycled: one emptied from the front goes onto a free stack and is reused
// before any new block is made; none is freed while the queue lives.
class CDataQueue {
public:
    struct SBuffer {
        uint32_t read; // bytes already taken from the front of this block
        uint32_t fill; // bytes written into the block
        CBuffer data;  // block size bytes
    };

    explicit CDataQueue(int blockSize = 1024);
    CDataQueue(const CDataQueue&) = delete;
    CDataQueue& operator=(const CDataQueue&) = delete;

    // Appends n bytes; n below 1 does nothing.
    void Write(const void* data, int n);
    // Copies up to n bytes from the front without taking them; returns the count.
    int Peek(void* dest, int n) const;
    // Takes up to n bytes from the front; returns the count.
    int Discard(int n);
    int Read(void* dest, int n);
    void Clear();

    uint32_t GetSize() const { return m_total; }
    bool IsEmpty() const { return m_total == 0; }
    int GetBlockSize() const { return m_blockSize; }
    int GetBlockCount() const { return m_blocks.GetCount(); }
    int GetQueuedBlockCount() const { return m_queued.GetCount(); }

    // A block from the free stack, or a new one.
    SBuffer* TakeBlock();
    // Links a block at the tail of the queue.
    void Enqueue(SBuffer* block);

private:
    void Recycle(CList<SBuffer*>::SNode* node);

    int m_blockSize;
    CFlexArray<SBuffer> m_blocks;
    CFlexArray<SBuffer*> m_free;
    CList<SBuffer*> m_queued;
    uint32_t m_total;
};

} // namespace Zorlin
