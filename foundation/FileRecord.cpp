#include "foundation/File.h"

namespace Zorlin {

namespace {

int FieldWidth(char digit)
{
    return digit >= '0' && digit <= '9' ? digit - '0' : 0;
}

bool IsTransferred(int width)
{
    return width == 1 || width == 2 || width == 4 || width == 8;
}

bool SeekTo(CFile& file, int64_t target)
{
    return target >= 0 && file.Seek(target, CFile::kSeekStart);
}

} // namespace

bool CFile::ReadRecord(void* dest, const char* layout, int recordSize)
{
    if (recordSize < 0) {
        m_lastRead = 0;
        return false;
    }
    unsigned char* out = static_cast<unsigned char*>(dest);
    const uint64_t start = GetPosition();
    const int64_t end = int64_t(start) + recordSize;
    int consumed = 0;
    for (const char* p = layout ? layout : ""; *p; ++p) {
        const int width = FieldWidth(*p);
        if (recordSize != 0 && consumed + width > recordSize) {
            SeekTo(*this, end);
            return consumed != 0;
        }
        if (IsTransferred(width)) {
            int got = 0;
            while (got < width && Read(out + got, static_cast<unsigned>(width - got)))
                got += static_cast<int>(m_lastRead);
            if (got < width) {
                m_lastRead = static_cast<uint32_t>(GetPosition() - start);
                return false;
            }
        }
        out += width;
        consumed += width;
    }
    m_lastRead = static_cast<uint32_t>(GetPosition() - start);
    // A record longer than the fields we know (a later format) is skipped
    // whole, so the next record starts where it should.
    if (recordSize > consumed)
        return SeekTo(*this, end);
    return true;
}

bool CFile::WriteRecord(const void* src, const char* layout)
{
    const unsigned char* in = static_cast<const unsigned char*>(src);
    uint32_t total = 0;
    for (const char* p = layout ? layout : ""; *p; ++p) {
        const int width = FieldWidth(*p);
        if (IsTransferred(width)) {
            const uint32_t want = static_cast<uint32_t>(width);
            // A write that fails still says in its count what it wrote.
            if (!Write(in, want) || m_lastWrite != want) {
                m_lastWrite = total + (m_lastWrite < want ? m_lastWrite : 0);
                return false;
            }
            total += want;
        }
        in += width;
    }
    m_lastWrite = total;
    return true;
}

} // namespace Zorlin
