#pragma once

#include "foundation/File.h"

namespace Zorlin {

// A file on the local disk, over the POSIX descriptor calls. The mode bits
// map to open flags; a folder never opens as a file.
class CWin32File : public CFile {
public:
    CWin32File();
    CWin32File(const CString& path, unsigned mode);
    CWin32File(const char* path, unsigned mode);
    ~CWin32File() override;

    using CFile::Read;
    using CFile::Write;

    bool Open(const CString& path, unsigned mode) override;
    void Close() override;
    uint64_t GetSize() const override;
    // True when at least one byte was read.
    bool Read(void* buffer, unsigned count) override;
    // True only when every byte was written; the last-write count says how
    // many were (a full disk stops a write short).
    bool Write(const void* buffer, unsigned count) override;
    // Fails for a target before the start or past the end of the file.
    bool Seek(int64_t offset, int origin) override;
    uint64_t GetPosition() const override;
    bool IsOpen() const override { return m_handle != -1; }
    // True when the open file is a plain file, not a device, a FIFO or a
    // socket, whose reads may never end or never come.
    bool IsRegular() const;
    // Hands the written bytes to the disk (fsync).
    void Flush() override;

private:
    int m_handle;
    bool m_deleteOnClose;
};

} // namespace Zorlin
