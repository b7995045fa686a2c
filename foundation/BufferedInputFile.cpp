#include "foundation/BufferedInputFile.h"

#include <algorithm>

namespace Zorlin {

namespace {

const unsigned kLargestBlock = 1u << 30;

unsigned PowerOfTwoAtLeast(unsigned n)
{
    if (n == 0)
        return CBufferedInputFile::kDefaultBlockSize;
    unsigned p = 1;
    while (p < n && p < kLargestBlock)
        p <<= 1;
    return p;
}

} // namespace

CBufferedInputFile::CBufferedInputFile(CFile* inner, unsigned blockSize, int maxBlocks)
    : m_inner(inner), m_ownsInner(false), m_blockSize(PowerOfTwoAtLeast(blockSize)),
      m_maxBlocks(std::max(maxBlocks, kMinBlocks)), m_useCounter(0), m_lastUsed(nullptr),
      m_position(0), m_blockMask(~uint64_t(m_blockSize - 1)), m_size(-1)
{
    TakeInnerState();
}

CBufferedInputFile::~CBufferedInputFile()
{
    if (m_ownsInner)
        delete m_inner;
}

void CBufferedInputFile::TakeInnerState()
{
    if (!m_inner)
        return;
    m_name = m_inner->GetFileName();
    m_mode = m_inner->GetMode();
    m_state = m_inner->GetState();
}

uint64_t CBufferedInputFile::GetSize() const
{
    if (m_size >= 0)
        return static_cast<uint64_t>(m_size);
    if (!m_inner)
        return 0;
    const uint64_t size = m_inner->GetSize();
    // A closed inner file may still be opened behind our back; ask again then.
    if (m_inner->IsOpen())
        m_size = static_cast<int64_t>(std::min<uint64_t>(size, INT64_MAX));
    return size;
}

void CBufferedInputFile::ForgetBlocks()
{
    m_size = -1;
    m_blocks.clear();
    m_byStart.clear();
    m_lastUsed = nullptr;
}

bool CBufferedInputFile::Open(const CString& path, unsigned mode)
{
    if (!m_inner)
        return false;
    // Whatever was cached belongs to the file opened before.
    ForgetBlocks();
    m_position = 0;
    const bool opened = m_inner->Open(path, mode);
    TakeInnerState();
    return opened;
}

void CBufferedInputFile::Close()
{
    if (m_inner)
        m_inner->Close();
    ForgetBlocks();
    m_position = 0;
}

CBufferedInputFile::SInputBuffer* CBufferedInputFile::FindBlock(uint64_t position)
{
    const uint64_t start = position & m_blockMask;
    if (m_lastUsed && m_lastUsed->start == start)
        return m_lastUsed;
    const auto found = m_byStart.find(start);
    if (found != m_byStart.end()) {
        m_lastUsed = found->second;
        m_lastUsed->stamp = ++m_useCounter;
        return m_lastUsed;
    }
    return LoadBlock(start);
}

CBufferedInputFile::SInputBuffer* CBufferedInputFile::LoadBlock(uint64_t start)
{
    SInputBuffer* block;
    if (m_blocks.size() < static_cast<size_t>(m_maxBlocks)) {
        m_blocks.push_back(std::make_unique<SInputBuffer>());
        block = m_blocks.back().get();
    } else {
        block = std::min_element(m_blocks.begin(), m_blocks.end(),
            [](const auto& a, const auto& b) { return a->stamp < b->stamp; })->get();
        const auto cached = m_byStart.find(block->start);
        if (cached != m_byStart.end() && cached->second == block)
            m_byStart.erase(cached);
    }
    block->data.Resize(static_cast<int>(m_blockSize));
    block->stamp = ++m_useCounter;
    block->start = start;
    m_lastUsed = nullptr;
    if (!m_inner || start > uint64_t(INT64_MAX) || !m_inner->Seek(static_cast<int64_t>(start), kSeekStart) ||
        !m_inner->Read(block->data.GetData(), m_blockSize)) {
        // Left out of the cache, so no later lookup sees its stale bytes;
        // stamp 0 makes it the first to be reused.
        block->stamp = 0;
        block->data.Resize(0);
        return nullptr;
    }
    block->data.Resize(static_cast<int>(m_inner->GetLastReadCount()));
    m_byStart[start] = block;
    m_lastUsed = block;
    return block;
}

bool CBufferedInputFile::Read(void* buffer, unsigned count)
{
    m_lastRead = 0;
    unsigned char* out = static_cast<unsigned char*>(buffer);
    if (count == 1) {
        SInputBuffer* block = FindBlock(m_position);
        const uint64_t offset = m_position - (m_position & m_blockMask);
        if (!block || offset >= static_cast<uint64_t>(block->data.GetSize()))
            return false;
        *out = block->data.GetData()[offset];
        ++m_position;
        m_lastRead = 1;
        return true;
    }
    uint32_t copied = 0;
    while (copied < count) {
        SInputBuffer* block = FindBlock(m_position);
        if (!block)
            break;
        const uint32_t offset = static_cast<uint32_t>(m_position - block->start);
        const uint32_t length = static_cast<uint32_t>(block->data.GetSize());
        if (offset >= length)
            break;
        const uint32_t piece = std::min(count - copied, length - offset);
        block->data.ReadAt(out + copied, static_cast<int>(piece), static_cast<int>(offset));
        copied += piece;
        m_position += piece;
    }
    m_lastRead = copied;
    return copied > 0;
}

bool CBufferedInputFile::Write(const void*, unsigned)
{
    m_lastWrite = 0;
    return false;
}

bool CBufferedInputFile::Seek(int64_t offset, int origin)
{
    return SeekTarget(offset, origin, m_position, GetSize(), m_position);
}

} // namespace Zorlin
