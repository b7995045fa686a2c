#pragma once

// A file in memory whose reads fail from a given byte on while its size
// still counts every byte, as a disk that cannot be read past a bad place
// does (or a reader whose positions stop at a limit).

#include <algorithm>
#include <cstdint>
#include <string>

#include "foundation/MemFile.h"

class CFailingFile : public Zorlin::CMemFile {
public:
    CFailingFile(const std::string& bytes, uint64_t readableBytes) : m_readable(readableBytes)
    {
        Open(Zorlin::CString("failing.pgn"), kModeRead | kModeWrite | kModeCreate);
        Write(bytes.data(), unsigned(bytes.size()));
        Seek(0, kSeekStart);
    }

    using CMemFile::Read;
    bool Read(void* buffer, unsigned count) override
    {
        const uint64_t at = GetPosition();
        if (at >= m_readable) {
            m_lastRead = 0;
            return false;
        }
        return CMemFile::Read(buffer, unsigned(std::min<uint64_t>(count, m_readable - at)));
    }

private:
    uint64_t m_readable;
};
