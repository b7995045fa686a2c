#pragma once

#include "foundation/Buffer.h"
#include "foundation/File.h"

#include <memory>
#include <unordered_map>
#include <vector>

namespace Zorlin {

// A read-only cache of blocks in front of another file, for readers that
// take a byte at a time. The least recently used block is reused.
class CBufferedInputFile : public CFile {
public:
    struct SInputBuffer {
        CBuffer data;      // the block's bytes, sized to what was read
        unsigned stamp = 0; // use counter at the last use
        uint64_t start = 0;
    };

    static constexpr unsigned kDefaultBlockSize = 16384;
    static constexpr int kMinBlocks = 3;

    // A block size that is not a power of two is rounded up to one; fewer
    // than three blocks become three.
    CBufferedInputFile(CFile* inner, unsigned blockSize, int maxBlocks);
    ~CBufferedInputFile() override;

    using CFile::Read;
    using CFile::Write;

    bool Open(const CString& path, unsigned mode) override;
    void Close() override;
    // The inner file's size, asked once per opening: the inner file does
    // not change while it is buffered, and line readers seek on every line.
    uint64_t GetSize() const override;
    bool Read(void* buffer, unsigned count) override;
    // Always false.
    bool Write(const void* buffer, unsigned count) override;
    bool Seek(int64_t offset, int origin) override;
    uint64_t GetPosition() const override { return m_position; }
    bool IsOpen() const override { return m_inner && m_inner->IsOpen(); }

    // When set, the inner file is deleted with this one.
    void SetOwnsInner(bool owns) { m_ownsInner = owns; }
    CFile* GetInner() const { return m_inner; }
    unsigned GetBlockSize() const { return m_blockSize; }
    int GetMaxBlocks() const { return m_maxBlocks; }

private:
    SInputBuffer* FindBlock(uint64_t position);
    SInputBuffer* LoadBlock(uint64_t start);
    void ForgetBlocks();
    void TakeInnerState();

    CFile* m_inner;
    bool m_ownsInner;
    unsigned m_blockSize;
    int m_maxBlocks;
    unsigned m_useCounter;
    SInputBuffer* m_lastUsed;
    std::vector<std::unique_ptr<SInputBuffer>> m_blocks;
    std::unordered_map<uint64_t, SInputBuffer*> m_byStart; // only blocks read successfully
    uint64_t m_position;
    uint64_t m_blockMask;
    mutable int64_t m_size; // -1 until asked
};

} // namespace Zorlin
