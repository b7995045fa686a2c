#include "foundation/BufferFile.h"

#include <new>

#include "foundation/Buffer.h"

#include <algorithm>

namespace Zorlin {

namespace {

const unsigned kAllState = CFile::kStateReadable | CFile::kStateWritable | CFile::kState4 |
                           CFile::kState8;
const int kMinGrowStep = 1024;

} // namespace

CBufferFile::CBufferFile() : m_ownsBuffer(true), m_buffer(new CBuffer), m_position(0)
{
    m_state = kAllState;
}

CBufferFile::CBufferFile(CBuffer* buffer) : m_ownsBuffer(false), m_buffer(buffer), m_position(0)
{
    m_state = kAllState;
}

CBufferFile::CBufferFile(CBuffer* buffer, int lineStyle) : CBufferFile(buffer)
{
    m_lineStyle = lineStyle;
}

CBufferFile::CBufferFile(CFile& source) : m_ownsBuffer(true), m_buffer(new CBuffer), m_position(0)
{
    // Room for what is left to copy; the buffer then holds exactly what
    // arrived, never stale bytes after it.
    const int64_t left = int64_t(source.GetSize()) - int64_t(source.GetPosition());
    m_buffer->Allocate(static_cast<int>(std::clamp<int64_t>(left, 0, INT32_MAX)));
    m_buffer->Resize(0);
    Open(source.GetFileName(), kModeRead | kModeWrite | kModeCreate);
    CopyFrom(source);
    m_position = 0;
}

CBufferFile::CBufferFile(CString& text) : m_ownsBuffer(true), m_buffer(new CBuffer), m_position(0)
{
    char* characters = text.GetBuffer();
    m_buffer->Attach(characters, text.GetLength() + 1);
    m_state = kAllState;
    Open(CString("string"), kModeRead | kModeWrite);
}

CBufferFile::~CBufferFile()
{
    ReleaseBuffer();
}

void CBufferFile::ReleaseBuffer()
{
    if (m_ownsBuffer)
        delete m_buffer;
    m_buffer = nullptr;
    m_ownsBuffer = false;
}

bool CBufferFile::Open(const CString& path, unsigned mode)
{
    m_name = path;
    m_mode = mode;
    m_state = StateFromMode(mode);
    m_position = 0;
    if ((mode & kModeAppend) && m_buffer && m_buffer->GetSize() > 0)
        m_position = m_buffer->GetSize();
    return true;
}

void CBufferFile::Close()
{
    ReleaseBuffer();
}

void CBufferFile::SetBuffer(CBuffer* buffer)
{
    ReleaseBuffer();
    m_buffer = buffer;
    m_state = kAllState;
}

uint64_t CBufferFile::GetSize() const
{
    // A buffer not yet sized (-1) reads as 0xFFFFFFFF, as it always has.
    return m_buffer ? static_cast<uint32_t>(m_buffer->GetSize()) : 0;
}

bool CBufferFile::Read(void* buffer, unsigned count)
{
    m_lastRead = 0;
    if (!m_buffer || m_position >= m_buffer->GetSize() || count == 0)
        return false;
    const int n = static_cast<int>(std::min<int64_t>(count, m_buffer->GetSize() - m_position));
    m_buffer->ReadAt(buffer, n, m_position);
    m_position += n;
    m_lastRead = static_cast<uint32_t>(n);
    return true;
}

bool CBufferFile::Write(const void* buffer, unsigned count)
{
    m_lastWrite = 0;
    if (!m_buffer)
        return false;
    const int64_t end = int64_t(m_position) + count;
    if (end > INT32_MAX)
        return false;
    int64_t n = count;
    if (end > m_buffer->GetSize()) {
        if (m_buffer->OwnsData()) {
            if (m_ownsBuffer && end > m_buffer->GetCapacity())
                m_buffer->SetGrowStep(std::max(kMinGrowStep, static_cast<int>(end / 2)));
            // A buffer that cannot grow fails the write; the file stays as it was.
            try {
                if (!m_buffer->Resize(static_cast<int>(end)))
                    return false;
            } catch (const std::bad_alloc&) {
                return false;
            }
        } else {
            n = m_buffer->GetSize() - m_position;
        }
    }
    if (n < 0)
        return false;
    if (n > 0)
        m_buffer->WriteAt(buffer, static_cast<int>(n), m_position);
    m_position += static_cast<int32_t>(n);
    m_lastWrite = static_cast<uint32_t>(n);
    // Bytes that found no room are a failed write, not a silent loss.
    return n == count;
}

bool CBufferFile::Seek(int64_t offset, int origin)
{
    // A buffer not yet sized has no place to seek to.
    if (!m_buffer || m_buffer->GetSize() < 0)
        return false;
    uint64_t target;
    if (!SeekTarget(offset, origin, uint64_t(m_position), uint64_t(m_buffer->GetSize()), target))
        return false;
    m_position = static_cast<int32_t>(target);
    return true;
}

} // namespace Zorlin
