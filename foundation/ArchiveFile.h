#pragma once

#include <cstdint>

#include "foundation/File.h"

namespace Zorlin {

class CArchiveDrive;

// A read-only file inside an archive, made by CArchiveDrive::OpenFile.
// Reads go chunk by chunk through the drive's shared cache, so only the
// chunks a read covers are ever decompressed. When its drive is destroyed
// first the file closes itself and reads nothing more.
class CArchiveFile : public CFile {
public:
    ~CArchiveFile() override;

    using CFile::Read;
    using CFile::Write;

    // Refused unless the mode reads without writing or appending.
    bool Open(const CString& name, unsigned mode) override;
    void Close() override;
    uint64_t GetSize() const override;
    bool Read(void* buffer, unsigned count) override;
    bool Write(const void*, unsigned) override
    {
        m_lastWrite = 0;
        return false;
    }
    // Origins 0, 1 (from the end) and 2; the target is not limited, but a
    // read outside the file fails. An offset beyond any archive's size is
    // refused, so the position cannot wrap round.
    bool Seek(int64_t offset, int origin) override;
    uint64_t GetPosition() const override { return static_cast<uint64_t>(m_position); }
    bool IsOpen() const override { return m_open; }

    uint32_t GetNumber() const { return m_number; }

private:
    friend class CArchiveDrive;

    CArchiveFile();
    // Ties the file to the drive's open entry number (not yet open).
    void Attach(CArchiveDrive* drive, uint32_t number, uint32_t size);
    // The drive is going away: closed for good, nothing given back.
    void Detach();

    CArchiveDrive* m_drive;
    uint32_t m_number;
    int64_t m_position;
    bool m_open;
    unsigned m_chunkSize;
    uint32_t m_size;
};

} // namespace Zorlin
