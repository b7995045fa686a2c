#pragma once

#include <cstdint>

namespace Zorlin {

class CString;

// A block of raw bytes, owned or borrowed, with zlib compression in two
// framings: with a 4-byte little-endian uncompressed-size prefix, or the
// bare stream (the reader knows the size from elsewhere).
// A default buffer is "unset": size and capacity -1 until the first
// Resize, Allocate or Attach.
class CBuffer {
public:
    static const unsigned kSizeFromPrefix = 0xFFFFFFFFu;
    // Stored or declared uncompressed sizes above this are refused as corrupt.
    static const unsigned kMaxUncompressedSize = 512u * 1024u * 1024u;

    CBuffer();
    explicit CBuffer(const CString& text); // borrows the characters and terminator
    CBuffer(const CBuffer& source);        // owned copy
    CBuffer(CBuffer&& source) noexcept;
    CBuffer& operator=(const CBuffer& source);
    CBuffer& operator=(CBuffer&& source) noexcept;
    ~CBuffer();

    void Free();
    void Allocate(int n);
    void Attach(void* data, int n);
    bool Resize(int n, bool shrink = false);

    void WriteAt(const void* src, int n, int offset);
    void ReadAt(void* dest, int n, int offset) const;

    // Compress returns the uncompressed size, CompressTo dest's new size;
    // both give -1 and change nothing when zlib fails.
    int Compress(bool storeSize);
    int CompressTo(CBuffer& dest, bool storeSize) const;
    // Returns the uncompressed size. A corrupt, short or oversized stream
    // fails: the buffer is emptied and 0 returned (TryUncompress says false).
    unsigned Uncompress(unsigned size);
    bool TryUncompress(unsigned size);

    unsigned char* GetData() { return m_data; }
    const unsigned char* GetData() const { return m_data; }
    int GetSize() const { return m_size; }
    int GetCapacity() const { return m_capacity; }
    int GetGrowStep() const { return m_growStep; }
    void SetGrowStep(int step) { m_growStep = step < 0 ? 0 : step; }
    bool OwnsData() const { return m_owns; }
    bool IsCompressed() const { return m_compressed; }
    void SetCompressed(bool compressed) { m_compressed = compressed; }

private:
    void TakeOwnedBlock(unsigned char* data, int size);

    unsigned char* m_data;
    int32_t m_size;
    int32_t m_capacity;
    int32_t m_growStep;
    bool m_owns;
    bool m_compressed;
};

} // namespace Zorlin
