#include "foundation/File.h"

#include "foundation/Buffer.h"

#include <cstring>

namespace Zorlin {

namespace {

const unsigned kCopyBlock = 16384;

bool LimitReached(const CString& out, int maxLength)
{
    return maxLength >= 0 && out.GetLength() >= maxLength;
}

} // namespace

CFile::CFile() : m_lastWrite(0), m_lastRead(0), m_mode(0), m_state(0), m_lineStyle(kLineCrLf) {}

CFile::~CFile() {}

bool CFile::SeekTarget(int64_t offset, int origin, uint64_t position, uint64_t size, uint64_t& target)
{
    uint64_t base = 0;
    if (origin == kSeekEnd)
        base = size;
    else if (origin == kSeekCurrent)
        base = position;
    // Worked in unsigned arithmetic so that no offset can overflow.
    if (offset < 0) {
        const uint64_t back = uint64_t(-(offset + 1)) + 1;
        if (back > base || base - back > size)
            return false;
        target = base - back;
    } else {
        if (uint64_t(offset) > size || base > size - uint64_t(offset))
            return false;
        target = base + uint64_t(offset);
    }
    return true;
}

bool CFile::ReadString(CString& out, int maxLength)
{
    out.Assign(CString());
    char c;
    for (;;) {
        if (!ReadByte(c)) {
            m_lastRead = out.GetLength();
            return out.GetLength() > 0;
        }
        if (c == 0) {
            m_lastRead = out.GetLength();
            return true;
        }
        if (LimitReached(out, maxLength)) {
            Skip(-1);
            m_lastRead = out.GetLength();
            return false;
        }
        out.Append(c);
    }
}

bool CFile::ReadUntil(CString& out, char stop, bool keepStop, int maxLength)
{
    out.Assign(CString());
    char c;
    while (ReadByte(c)) {
        if (c == stop) {
            if (keepStop)
                out.Append(c);
            break;
        }
        if (LimitReached(out, maxLength)) {
            Skip(-1);
            return false;
        }
        out.Append(c);
    }
    return !out.IsEmpty();
}

bool CFile::ReadLine(CString& out, int maxLength)
{
    out.Assign(CString());
    bool any = false;
    char c;
    for (;;) {
        if (!ReadByte(c))
            return any;
        if (c == '\n')
            return true;
        if (c == '\r') {
            // CR LF is one line end; a lone CR ends the line too, also as
            // the last byte of the file.
            char next;
            if (ReadByte(next) && next != '\n')
                Skip(-1);
            return true;
        }
        if (LimitReached(out, maxLength)) {
            Skip(-1);
            return false;
        }
        out.Append(c);
        any = true;
    }
}

bool CFile::Read(CBuffer& buffer)
{
    if (buffer.GetSize() <= 0 || !buffer.GetData()) {
        m_lastRead = 0;
        return false;
    }
    Read(buffer.GetData(), static_cast<unsigned>(buffer.GetSize()));
    return m_lastRead != 0;
}

bool CFile::Write(const CBuffer& buffer)
{
    const int size = buffer.GetSize() > 0 && buffer.GetData() ? buffer.GetSize() : 0;
    return Write(buffer.GetData(), static_cast<unsigned>(size));
}

bool CFile::WriteString(const CString& text, bool withZero)
{
    if (!Write(text.GetText(), static_cast<unsigned>(text.GetLength())))
        return false;
    if (!withZero)
        return true;
    const char zero = 0;
    return Write(&zero, 1);
}

bool CFile::WriteString(const char* text, bool withZero)
{
    if (!text)
        text = "";
    if (!Write(text, static_cast<unsigned>(std::strlen(text))))
        return false;
    if (!withZero)
        return true;
    const char zero = 0;
    return Write(&zero, 1);
}

bool CFile::WriteLine(const CString& text)
{
    if (text.GetLength() > 0 && !Write(text.GetText(), static_cast<unsigned>(text.GetLength())))
        return false;
    return WriteLineEnd();
}

bool CFile::WriteLine(const char* text)
{
    const size_t length = text ? std::strlen(text) : 0;
    if (length > 0 && !Write(text, static_cast<unsigned>(length)))
        return false;
    return WriteLineEnd();
}

bool CFile::WriteLineEnd()
{
    switch (m_lineStyle) {
    case kLineCrLf:
        return Write("\r", 1) && Write("\n", 1);
    case kLineLf:
        return Write("\n", 1);
    case kLineCr:
        return Write("\r", 1);
    default:
        return true;
    }
}

bool CFile::CopyFrom(CFile& source)
{
    m_lastWrite = 0;
    if (&source == this || !IsOpen() || !source.IsOpen() || !source.IsReadable() || !IsWritable())
        return false;
    unsigned char block[kCopyBlock];
    uint32_t total = 0;
    // Up to the size the source has now: a device or a file still growing
    // would otherwise be copied for ever.
    const uint64_t size = source.GetSize(), at = source.GetPosition();
    uint64_t left = size > at ? size - at : 0;
    while (left > 0 && source.Read(block, unsigned(left < kCopyBlock ? left : kCopyBlock))) {
        const uint32_t got = source.GetLastReadCount();
        if (got == 0 || got > kCopyBlock)
            break;
        left -= got;
        // A write that fails still says in its count what it wrote.
        if (!Write(block, got) || m_lastWrite != got) {
            m_lastWrite = total + (m_lastWrite < got ? m_lastWrite : 0);
            return false;
        }
        total += got;
    }
    m_lastWrite = total;
    // A source that stops before its end (a read error, a damaged archive
    // entry) is a truncated copy.
    return source.GetPosition() >= source.GetSize();
}

} // namespace Zorlin
