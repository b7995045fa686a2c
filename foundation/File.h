#pragma once

#include "foundation/String.h"

#include <cstdint>

namespace Zorlin {

class CBuffer;

// The one file abstraction: disk, memory, byte buffer and archive files all
// derive from it. Every operation reports failure by its result and by the
// last-read and last-write counts; nothing throws.
//
// Derived classes that override Read or Write should say
// `using CFile::Read; using CFile::Write;` so the CBuffer forms stay visible.
class CFile {
public:
    // Open-mode bits.
    enum : unsigned {
        kModeRead = 1,
        kModeWrite = 2,
        kModeAppend = 4,          // position at the end after opening
        kModeCreate = 8,          // create, truncating an existing file
        kModeOpenOrCreate = 16,   // used when kModeAppend and kModeCreate are clear
        kModeWriteThrough = 32,
        kModeSequential = 64,
        kModeRandom = 128,        // ignored with kModeSequential
        kModeTemporary = 0x100,
        kModeDeleteOnClose = 0x200,
        kModeCreateNew = 0x400,   // create, failing when the name exists
    };
    // State bits. 4 and 8 carry no meaning of their own: the disk, memory
    // and buffer files set both on every successful open, an archive file
    // sets only 8, and nothing tests them.
    enum : unsigned {
        kStateReadable = 1,
        kStateWritable = 2,
        kState4 = 4,
        kState8 = 8,
    };
    // Seek origins: note that 1 is the end, unlike the C library.
    enum {
        kSeekStart = 0,
        kSeekEnd = 1,
        kSeekCurrent = 2,
    };
    // Line-end styles; any other value writes no line end.
    enum {
        kLineCrLf = 0,
        kLineLf = 1,
        kLineCr = 2,
    };
    // Bound for the text readers when the caller has none of its own.
    static constexpr int kNoLimit = -1;

    CFile();
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    virtual bool Open(const CString& path, unsigned mode) = 0;
    virtual void Close() = 0;
    // Sizes and positions are 64-bit: a disk file may pass 4 GiB. Memory,
    // buffer and archive files stay below 2^32 and report theirs widened.
    virtual uint64_t GetSize() const = 0;
    // Reads up to count bytes; true when at least one byte was read.
    virtual bool Read(void* buffer, unsigned count) = 0;
    virtual bool Write(const void* buffer, unsigned count) = 0;
    virtual bool Seek(int64_t offset, int origin) = 0;
    virtual uint64_t GetPosition() const = 0;
    virtual bool IsOpen() const = 0;
    virtual void Flush() {}
    // True only for the stand-in a drive returns when it cannot open a path.
    virtual bool IsNull() const { return false; }

    bool Skip(int64_t n) { return Seek(n, kSeekCurrent); }

    // Size and position for the 32-bit formats (archives, packets, images,
    // saved records): past 4 GiB they read as UINT32_MAX, which every cap
    // of theirs refuses.
    uint32_t GetSize32() const { return Clamp32(GetSize()); }
    uint32_t GetPosition32() const { return Clamp32(GetPosition()); }

    // Text readers. maxLength bounds the characters stored in out; input
    // from outside must pass one. Reaching the bound returns false with out
    // holding the first maxLength characters.
    bool ReadString(CString& out, int maxLength = kNoLimit);
    bool ReadUntil(CString& out, char stop, bool keepStop, int maxLength = kNoLimit);
    // LF, CR LF and a lone CR each end a line (the end is not stored).
    bool ReadLine(CString& out, int maxLength = kNoLimit);

    bool Read(CBuffer& buffer);
    bool Write(const CBuffer& buffer);

    bool WriteString(const CString& text, bool withZero = false);
    bool WriteString(const char* text, bool withZero = false);
    bool WriteLine(const CString& text);
    bool WriteLine(const char* text);

    // Copies source from its current position to its end, as far as its
    // size says when the copy begins (a device yields nothing). False (with the
    // last-write count at the bytes copied) when anything stops the copy
    // short, including a source that ends before its size says.
    bool CopyFrom(CFile& source);

    // Fixed-layout records: one digit per field giving its width in bytes;
    // widths 1, 2, 4 and 8 are transferred as stored (little-endian in the
    // file and in memory), any other digit only advances the memory
    // position. With recordSize, a read never goes past that many bytes
    // and ends positioned after the record.
    bool ReadRecord(void* dest, const char* layout, int recordSize = 0);
    bool WriteRecord(const void* src, const char* layout);

    const CString& GetFileName() const { return m_name; }
    unsigned GetMode() const { return m_mode; }
    unsigned GetState() const { return m_state; }
    bool IsReadable() const { return (m_state & kStateReadable) != 0; }
    bool IsWritable() const { return (m_state & kStateWritable) != 0; }
    uint32_t GetLastReadCount() const { return m_lastRead; }
    uint32_t GetLastWriteCount() const { return m_lastWrite; }
    int GetLineStyle() const { return m_lineStyle; }
    void SetLineStyle(int style) { m_lineStyle = style; }

protected:
    // State bits 1 and 2 from the mode, plus 4 and 8.
    static unsigned StateFromMode(unsigned mode)
    {
        return (mode & (kModeRead | kModeWrite)) | kState4 | kState8;
    }
    static uint32_t Clamp32(uint64_t value) { return value > UINT32_MAX ? UINT32_MAX : uint32_t(value); }
    // The target of a seek on a file that keeps its own position: origins
    // other than 1 and 2 count as 0; false outside 0..size.
    static bool SeekTarget(int64_t offset, int origin, uint64_t position, uint64_t size, uint64_t& target);
    bool ReadByte(char& c) { return Read(&c, 1); }
    bool WriteLineEnd();

    uint32_t m_lastWrite;
    uint32_t m_lastRead;
    CString m_name;
    unsigned m_mode;
    unsigned m_state;
    int m_lineStyle;
};

} // namespace Zorlin
