#include "foundation/InputStream.h"

#include <algorithm>

#include "foundation/Buffer.h"
#include "foundation/File.h"

namespace Zorlin {

CReadableFileInputStream::CReadableFileInputStream(CFile* file)
    : m_file(file), m_ownsFile(true), m_lastRead(0)
{
}

CReadableFileInputStream::~CReadableFileInputStream()
{
    if (m_ownsFile)
        delete m_file;
}

int CReadableFileInputStream::Read(CBuffer& buffer, int max)
{
    m_lastRead = 0;
    const int size = buffer.GetSize();
    const int n = max < 0 || max > size ? size : max;
    if (!m_file || n <= 0 || !buffer.GetData())
        return 0;
    m_file->Read(buffer.GetData(), static_cast<unsigned>(n));
    m_lastRead = static_cast<int>(m_file->GetLastReadCount());
    return m_lastRead;
}

int CReadableFileInputStream::Skip(int count)
{
    if (!m_file)
        return 0;
    const int64_t before = int64_t(m_file->GetPosition());
    m_file->Seek(count, CFile::kSeekCurrent);
    return static_cast<int>(int64_t(m_file->GetPosition()) - before);
}

int CReadableFileInputStream::GetAvailable() const
{
    if (!m_file)
        return 0;
    // Counted in int: a larger rest reads as the most an int holds.
    const int64_t left = int64_t(m_file->GetSize()) - int64_t(m_file->GetPosition());
    return static_cast<int>(std::clamp<int64_t>(left, INT32_MIN, INT32_MAX));
}

bool CReadableFileInputStream::IsOpen() const
{
    return m_file && m_file->IsOpen();
}

bool CReadableFileInputStream::IsAtEnd() const
{
    return !m_file || m_file->GetSize() == m_file->GetPosition();
}

} // namespace Zorlin
