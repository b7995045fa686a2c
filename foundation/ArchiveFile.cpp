#include "foundation/ArchiveFile.h"

#include <algorithm>
#include <cstring>

#include "foundation/ArchiveDrive.h"

namespace Zorlin {

CArchiveFile::CArchiveFile()
    : m_drive(nullptr), m_number(0), m_position(0), m_open(false), m_chunkSize(0), m_size(0)
{
}

CArchiveFile::~CArchiveFile()
{
    Close();
}

void CArchiveFile::Attach(CArchiveDrive* drive, uint32_t number, uint32_t size)
{
    m_drive = drive;
    m_number = number;
    m_size = size;
    m_state |= kStateReadable | kState8;
    m_position = 0;
    m_open = false;
    m_chunkSize = drive ? drive->GetChunkSize() : 0;
}

void CArchiveFile::Detach()
{
    m_open = false;
    m_drive = nullptr;
    m_number = 0;
    m_size = 0;
}

bool CArchiveFile::Open(const CString& name, unsigned mode)
{
    if (!m_number || (mode & (kModeWrite | kModeAppend)) || !(mode & kModeRead))
        return false;
    m_name = name;
    m_mode = mode;
    m_position = 0;
    m_open = true;
    return true;
}

void CArchiveFile::Close()
{
    m_open = false;
    // The shared record is given back once, however often Close is called.
    uint32_t number = m_number;
    m_number = 0;
    m_drive = nullptr;
    if (number)
        CArchiveDrive::ReleaseActiveFile(number, this);
}

uint64_t CArchiveFile::GetSize() const
{
    return m_size;
}

bool CArchiveFile::Seek(int64_t offset, int origin)
{
    if (!m_open || offset > int64_t(UINT32_MAX) || offset < -int64_t(UINT32_MAX))
        return false;
    switch (origin) {
    case kSeekStart:
        m_position = offset;
        return true;
    case kSeekEnd:
        m_position = int64_t(m_size) + offset;
        return true;
    case kSeekCurrent:
        m_position += offset;
        return true;
    default:
        return false;
    }
}

bool CArchiveFile::Read(void* buffer, unsigned count)
{
    m_lastRead = 0;
    if (!m_open || m_chunkSize == 0 || m_position < 0 || m_position >= int64_t(m_size))
        return false;
    const uint32_t wanted = uint32_t(std::min<int64_t>(count, int64_t(m_size) - m_position));
    unsigned char* out = static_cast<unsigned char*>(buffer);
    uint32_t total = 0;
    while (total < wanted) {
        const uint32_t k = uint32_t(m_position / m_chunkSize);
        const uint32_t inChunk = uint32_t(m_position % m_chunkSize);
        CArchiveDrive::SChunk* chunk = CArchiveDrive::LoadChunk(m_number, k);
        const int length = chunk ? chunk->data.GetSize() : 0;
        // A chunk that cannot be read whole is damage: the read fails.
        if (length <= int(inChunk)) {
            m_lastRead = total;
            return false;
        }
        uint32_t take = std::min<uint32_t>(wanted - total, uint32_t(length) - inChunk);
        std::memcpy(out + total, chunk->data.GetData() + inChunk, take);
        total += take;
        m_position += take;
    }
    m_lastRead = total;
    return total != 0;
}

} // namespace Zorlin
