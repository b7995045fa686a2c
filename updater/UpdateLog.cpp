#include "updater/UpdateLog.h"

#include "foundation/Win32File.h"

using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CWin32File;

CUpdateLog::CUpdateLog() {}

CUpdateLog::~CUpdateLog() {}

bool CUpdateLog::Open(const CString& path)
{
    m_file.Reset(new CWin32File(path, CFile::kModeWrite | CFile::kModeOpenOrCreate));
    if (!m_file->IsOpen() || !m_file->Seek(0, CFile::kSeekEnd))
        m_file.Reset();
    return IsOpen();
}

bool CUpdateLog::IsOpen() const
{
    return m_file && m_file->IsOpen();
}

void CUpdateLog::Write(const CString& text)
{
    if (IsOpen())
        m_file->WriteString(text);
}

void CUpdateLog::WriteLines(const CString& text)
{
    CString converted;
    for (int i = 0; i < text.GetLength(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            converted += '\r';
        converted += text[i];
    }
    Write(converted);
}
