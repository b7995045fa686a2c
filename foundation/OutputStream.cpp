#include "foundation/OutputStream.h"

#include "foundation/Buffer.h"
#include "foundation/File.h"

#include <cstring>

namespace Zorlin {

namespace {

const int kCopyPiece = 1024;

} // namespace

int COutputStream::WriteBytes(const void* data, int n)
{
    if (n <= 0)
        return 0;
    // Refers to the caller's bytes without copying or owning them.
    CBuffer view;
    view.Attach(const_cast<void*>(data), n);
    return Write(view);
}

void COutputStream::WriteNewLine(int count)
{
    for (int i = 0; i < count; ++i) {
        if (m_nullLineEnd) {
            WriteChar(0);
            continue;
        }
        switch (m_lineStyle) {
        case kLineCrLf:
            WriteBytes("\r\n", 2);
            break;
        case kLineLf:
            WriteChar('\n');
            break;
        case kLineCr:
            WriteChar('\r');
            break;
        default:
            break;
        }
    }
}

void COutputStream::WriteTab(int count)
{
    for (int i = 0; i < count; ++i)
        WriteChar('\t');
}

COutputStream& COutputStream::WriteString(const char* text)
{
    if (text)
        WriteBytes(text, static_cast<int>(std::strlen(text)));
    return *this;
}

COutputStream& COutputStream::WriteChar(char c)
{
    WriteBytes(&c, 1);
    return *this;
}

int COutputStream::CopyFromFile(CFile& source, int count)
{
    if (!source.IsOpen() || !source.IsReadable() || count == 0)
        return 0;
    unsigned char piece[kCopyPiece];
    int copied = 0;
    while (count < 0 || copied < count) {
        const int want = count < 0 || count - copied > kCopyPiece ? kCopyPiece : count - copied;
        if (!source.Read(piece, static_cast<unsigned>(want)))
            break;
        const int got = static_cast<int>(source.GetLastReadCount());
        if (got <= 0 || got > want)
            break;
        const int written = WriteBytes(piece, got);
        if (written > 0)
            copied += written < got ? written : got;
        if (written != got)
            break;
    }
    return copied;
}

CFileOutputStream::~CFileOutputStream()
{
    if (m_ownsFile)
        delete m_file;
}

void CFileOutputStream::SetFile(CFile* file, bool ownsFile)
{
    if (m_ownsFile && m_file != file)
        delete m_file;
    m_file = file;
    m_ownsFile = ownsFile;
}

int CFileOutputStream::Write(const CBuffer& data)
{
    if (!m_file)
        return 0;
    m_file->Write(data);
    return static_cast<int>(m_file->GetLastWriteCount());
}

void CFileOutputStream::Flush()
{
    if (m_file)
        m_file->Flush();
}

bool CFileOutputStream::IsOpen() const
{
    return m_file && m_file->IsOpen();
}

} // namespace Zorlin
