#pragma once

#include "foundation/File.h"

namespace Zorlin {

class CBuffer;

// A file over a CBuffer. Writes grow a buffer that owns its data; a buffer
// over someone else's memory takes what fits and reports the rest as a
// failed write.
class CBufferFile : public CFile {
public:
    // A new owned buffer, unset until the first write: until then the size
    // reads 0xFFFFFFFF, reads return false and seeks fail.
    CBufferFile();
    // Works on the caller's buffer (not owned).
    explicit CBufferFile(CBuffer* buffer);
    CBufferFile(CBuffer* buffer, int lineStyle);
    // A copy of the source from its current position to its end, opened
    // under the source's name; position 0.
    explicit CBufferFile(CFile& source);
    // Works in place on the text's characters and terminator; it cannot
    // grow. The text must not change while the file uses it.
    explicit CBufferFile(CString& text);
    ~CBufferFile() override;

    using CFile::Read;
    using CFile::Write;

    // Always true; the buffer is not emptied, not even with kModeCreate.
    bool Open(const CString& path, unsigned mode) override;
    // Frees an owned buffer; the file then needs SetBuffer before any use.
    void Close() override;
    uint64_t GetSize() const override;
    bool Read(void* buffer, unsigned count) override;
    bool Write(const void* buffer, unsigned count) override;
    // Origins other than 1 and 2 count as 0; fails outside 0..size.
    bool Seek(int64_t offset, int origin) override;
    uint64_t GetPosition() const override { return static_cast<uint64_t>(m_position); }
    bool IsOpen() const override { return m_buffer != nullptr; }

    // Works on the given buffer (not owned); the position is kept.
    void SetBuffer(CBuffer* buffer);
    CBuffer* GetBuffer() const { return m_buffer; }

private:
    void ReleaseBuffer();

    bool m_ownsBuffer;
    CBuffer* m_buffer;
    int32_t m_position;
};

} // namespace Zorlin
