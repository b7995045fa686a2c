#pragma once

#include "foundation/AutoPointer.h"
#include "foundation/String.h"

namespace Zorlin {
class CFile;
}

// updater.log: appended to, and made when it is missing, so every update
// leaves its trace, an interrupted one too. Lines end in CR LF.
class CUpdateLog {
public:
    CUpdateLog();
    ~CUpdateLog();
    CUpdateLog(const CUpdateLog&) = delete;
    CUpdateLog& operator=(const CUpdateLog&) = delete;

    // Opens path for appending, making it when missing; false (and nothing
    // logged) when it can be neither opened nor made.
    bool Open(const Zorlin::CString& path);
    void Write(const Zorlin::CString& text);
    // Text whose lines end in LF, written with CR LF line ends.
    void WriteLines(const Zorlin::CString& text);
    bool IsOpen() const;

private:
    Zorlin::CAutoPointer<Zorlin::CFile> m_file;
};
