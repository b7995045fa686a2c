#include "foundation/MemFile.h"

#include <algorithm>
#include <cstring>

namespace Zorlin {

CMemFile::CMemFile(int blockSize)
    : m_open(false), m_size(0), m_position(0),
      m_blockSize(blockSize > 0 ? blockSize : kDefaultBlockSize)
{
}

CMemFile::CMemFile(CFile& source, int blockSize) : CMemFile(blockSize)
{
    if (!source.IsOpen() || !source.IsReadable())
        return;
    Open(source.GetFileName(), kModeRead | kModeWrite | kModeCreate);
    const uint64_t position = source.GetPosition();
    CopyFrom(source);
    source.Seek(static_cast<int64_t>(position), kSeekStart);
    Seek(0, kSeekStart);
}

CMemFile::~CMemFile()
{
    Close();
}

bool CMemFile::Open(const CString& path, unsigned mode)
{
    m_name = path;
    m_mode = mode;
    m_state = StateFromMode(mode);
    m_size = 0;
    m_position = 0;
    m_open = true;
    return true;
}

void CMemFile::Close()
{
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_size = 0;
    m_position = 0;
    m_open = false;
}

int CMemFile::GetBlockCount() const
{
    return static_cast<int>(std::count_if(m_blocks.begin(), m_blocks.end(),
                                          [](const auto& block) { return block != nullptr; }));
}

unsigned char* CMemFile::BlockAt(int index)
{
    if (static_cast<size_t>(index) >= m_blocks.size())
        m_blocks.resize(static_cast<size_t>(index) + 1);
    if (!m_blocks[index])
        m_blocks[index].reset(new unsigned char[static_cast<size_t>(m_blockSize)]);
    return m_blocks[index].get();
}

bool CMemFile::Read(void* buffer, unsigned count)
{
    m_lastRead = 0;
    if (!m_open || !(m_state & kStateReadable) || m_position >= m_size)
        return false;
    const int64_t n = std::min<int64_t>(count, m_size - m_position);
    unsigned char* out = static_cast<unsigned char*>(buffer);
    int64_t done = 0;
    while (done < n) {
        const int index = m_position / m_blockSize;
        const int offset = m_position % m_blockSize;
        const int64_t piece = std::min<int64_t>(n - done, m_blockSize - offset);
        std::memcpy(out + done, m_blocks[index].get() + offset, static_cast<size_t>(piece));
        done += piece;
        m_position += static_cast<int32_t>(piece);
    }
    m_lastRead = static_cast<uint32_t>(done);
    return done > 0;
}

bool CMemFile::Write(const void* buffer, unsigned count)
{
    m_lastWrite = 0;
    if (!m_open || !(m_state & kStateWritable) || count == 0)
        return false;
    if (int64_t(m_position) + count > INT32_MAX)
        return false;
    const unsigned char* in = static_cast<const unsigned char*>(buffer);
    unsigned done = 0;
    while (done < count) {
        const int index = m_position / m_blockSize;
        const int offset = m_position % m_blockSize;
        const unsigned piece = std::min<unsigned>(count - done, static_cast<unsigned>(m_blockSize - offset));
        std::memcpy(BlockAt(index) + offset, in + done, piece);
        done += piece;
        m_position += static_cast<int32_t>(piece);
    }
    m_size = std::max(m_size, m_position);
    m_lastWrite = done;
    return true;
}

bool CMemFile::Seek(int64_t offset, int origin)
{
    uint64_t target;
    if (!SeekTarget(offset, origin, uint64_t(m_position), uint64_t(m_size), target))
        return false;
    m_position = static_cast<int32_t>(target);
    return true;
}

} // namespace Zorlin
