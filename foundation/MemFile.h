#pragma once

#include "foundation/File.h"

#include <memory>
#include <vector>

namespace Zorlin {

// A growable file in memory, kept in blocks of a fixed size so that growing
// never moves bytes already written. At most 2^31 - 1 bytes.
class CMemFile : public CFile {
public:
    static constexpr int kDefaultBlockSize = 1024;

    explicit CMemFile(int blockSize = kDefaultBlockSize);
    // Opens under the source's name (mode 11) and copies the source from its
    // current position; the source's position is put back, ours is 0.
    CMemFile(CFile& source, int blockSize);
    ~CMemFile() override;

    using CFile::Read;
    using CFile::Write;

    // Always true; blocks from an earlier use are kept for reuse.
    bool Open(const CString& path, unsigned mode) override;
    void Close() override;
    uint64_t GetSize() const override { return static_cast<uint64_t>(m_size); }
    bool Read(void* buffer, unsigned count) override;
    bool Write(const void* buffer, unsigned count) override;
    // Origins other than 1 and 2 count as 0; fails outside 0..size.
    bool Seek(int64_t offset, int origin) override;
    uint64_t GetPosition() const override { return static_cast<uint64_t>(m_position); }
    bool IsOpen() const override { return m_open; }

    int GetBlockSize() const { return m_blockSize; }
    int GetBlockCount() const;

private:
    unsigned char* BlockAt(int index);

    std::vector<std::unique_ptr<unsigned char[]>> m_blocks;
    bool m_open;
    int32_t m_size;
    int32_t m_position;
    int m_blockSize;
};

} // namespace Zorlin
