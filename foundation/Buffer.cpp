#include "foundation/Buffer.h"

#include "foundation/String.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include <zlib.h>

namespace Zorlin {

namespace {

const int kPrefixBytes = 4;

unsigned char* AllocateBytes(int64_t n)
{
    if (n < 0 || n > INT32_MAX)
        throw std::bad_alloc();
    void* p = std::malloc(static_cast<size_t>(n > 0 ? n : 1));
    if (!p)
        throw std::bad_alloc();
    return static_cast<unsigned char*>(p);
}

void StoreLE32(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

uint32_t LoadLE32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Room that always holds compress2's output for n input bytes.
int64_t CompressRoom(int n)
{
    return std::max<int64_t>(2 * int64_t(n) + 12, int64_t(compressBound(static_cast<uLong>(n))));
}

// Deflate cannot expand data by more than about 1032:1; a declared size
// beyond that (with slack) cannot come from a sound stream.
bool PlausibleSize(uint64_t size, uint64_t streamBytes)
{
    return size <= CBuffer::kMaxUncompressedSize && size <= streamBytes * 1040 + 1024;
}

} // namespace

CBuffer::CBuffer()
    : m_data(nullptr), m_size(-1), m_capacity(-1), m_growStep(0), m_owns(true), m_compressed(false)
{
}

CBuffer::CBuffer(const CString& text)
    : m_data(reinterpret_cast<unsigned char*>(const_cast<char*>(text.GetText()))),
      m_size(text.GetLength() + 1), m_capacity(text.GetLength() + 1), m_growStep(0),
      m_owns(false), m_compressed(false)
{
}

CBuffer::CBuffer(const CBuffer& source)
    : m_data(nullptr), m_size(source.m_size), m_capacity(source.m_size), m_growStep(0),
      m_owns(true), m_compressed(source.m_compressed)
{
    if (source.m_size > 0) {
        m_data = AllocateBytes(source.m_size);
        std::memcpy(m_data, source.m_data, static_cast<size_t>(source.m_size));
    }
}

CBuffer::CBuffer(CBuffer&& source) noexcept
    : m_data(source.m_data), m_size(source.m_size), m_capacity(source.m_capacity),
      m_growStep(source.m_growStep), m_owns(source.m_owns), m_compressed(source.m_compressed)
{
    source.m_data = nullptr;
    source.m_size = source.m_capacity = -1;
    source.m_owns = true;
    source.m_compressed = false;
}

CBuffer& CBuffer::operator=(const CBuffer& source)
{
    if (this != &source) {
        CBuffer copy(source);
        *this = std::move(copy);
    }
    return *this;
}

CBuffer& CBuffer::operator=(CBuffer&& source) noexcept
{
    if (this != &source) {
        if (m_owns)
            std::free(m_data);
        m_data = source.m_data;
        m_size = source.m_size;
        m_capacity = source.m_capacity;
        m_growStep = source.m_growStep;
        m_owns = source.m_owns;
        m_compressed = source.m_compressed;
        source.m_data = nullptr;
        source.m_size = source.m_capacity = -1;
        source.m_owns = true;
        source.m_compressed = false;
    }
    return *this;
}

CBuffer::~CBuffer()
{
    if (m_owns)
        std::free(m_data);
}

void CBuffer::Free()
{
    if (m_owns)
        std::free(m_data);
    m_data = nullptr;
    m_size = 0;
    m_capacity = 0;
    m_owns = true;
    m_compressed = false;
}

void CBuffer::Allocate(int n)
{
    Free();
    if (n <= 0)
        return;
    m_data = AllocateBytes(n);
    m_size = m_capacity = n;
}

void CBuffer::Attach(void* data, int n)
{
    Free();
    m_data = static_cast<unsigned char*>(data);
    m_size = m_capacity = n;
    m_owns = false;
}

bool CBuffer::Resize(int n, bool shrink)
{
    if (n < 0)
        return false;
    if (!m_owns) {
        if (n > m_capacity)
            return false;
        m_size = n;
        return true;
    }
    if (n == m_size)
        return true;
    if (n <= m_capacity && (n > m_size || !shrink)) {
        m_size = n;
        return true;
    }
    if (!m_data) {
        m_data = AllocateBytes(n);
        m_size = m_capacity = n;
        return true;
    }
    int64_t room = int64_t(n) + m_growStep;
    if (room > INT32_MAX)
        throw std::bad_alloc();
    // realloc keeps min(old size, n) bytes, as a fresh block and a copy would.
    void* grown = std::realloc(m_data, static_cast<size_t>(room > 0 ? room : 1));
    if (!grown)
        throw std::bad_alloc();
    m_data = static_cast<unsigned char*>(grown);
    m_capacity = static_cast<int32_t>(room);
    m_size = n;
    return true;
}

void CBuffer::WriteAt(const void* src, int n, int offset)
{
    if (offset < 0 || offset >= m_size || n <= 0)
        return;
    if (n > m_size - offset)
        n = m_size - offset;
    std::memmove(m_data + offset, src, static_cast<size_t>(n));
}

void CBuffer::ReadAt(void* dest, int n, int offset) const
{
    if (n <= 0)
        return;
    // Callers keep the range inside the buffer; anything outside reads as zero.
    int avail = (offset >= 0 && offset < m_size) ? std::min(n, m_size - offset) : 0;
    if (avail > 0)
        std::memmove(dest, m_data + offset, static_cast<size_t>(avail));
    if (avail < n)
        std::memset(static_cast<unsigned char*>(dest) + avail, 0, static_cast<size_t>(n - avail));
}

int CBuffer::Compress(bool storeSize)
{
    int n = std::max(0, m_size);
    int64_t room = CompressRoom(n);
    unsigned char* temp = AllocateBytes(room);
    uLongf length = static_cast<uLongf>(room);
    int rc = compress2(temp, &length, m_data ? m_data : temp, static_cast<uLong>(n),
                       Z_DEFAULT_COMPRESSION);
    int prefix = storeSize ? kPrefixBytes : 0;
    if (rc != Z_OK || !Resize(static_cast<int>(length) + prefix, false)) {
        std::free(temp);
        return -1;
    }
    if (storeSize)
        StoreLE32(m_data, static_cast<uint32_t>(n));
    std::memcpy(m_data + prefix, temp, length);
    std::free(temp);
    m_compressed = true;
    return n;
}

int CBuffer::CompressTo(CBuffer& dest, bool storeSize) const
{
    if (&dest == this) {
        CBuffer& self = dest;
        return self.Compress(storeSize) < 0 ? -1 : self.m_size;
    }
    int n = std::max(0, m_size);
    int prefix = storeSize ? kPrefixBytes : 0;
    int64_t room = CompressRoom(n) + kPrefixBytes;
    if (room > INT32_MAX || !dest.Resize(static_cast<int>(room), false))
        return -1;
    uLongf length = static_cast<uLongf>(dest.m_size - prefix);
    int rc = compress2(dest.m_data + prefix, &length, m_data ? m_data : dest.m_data,
                       static_cast<uLong>(n), Z_DEFAULT_COMPRESSION);
    if (rc != Z_OK)
        return -1;
    if (storeSize)
        StoreLE32(dest.m_data, static_cast<uint32_t>(n));
    int total = static_cast<int>(length) + prefix;
    dest.m_compressed = true;
    dest.Resize(total, false);
    return total;
}

bool CBuffer::TryUncompress(unsigned size)
{
    const unsigned char* stream = m_data;
    int64_t streamBytes = m_size;
    if (size == kSizeFromPrefix) {
        if (m_size < kPrefixBytes) {
            Free();
            return false;
        }
        size = LoadLE32(m_data);
        stream += kPrefixBytes;
        streamBytes -= kPrefixBytes;
    }
    if (streamBytes <= 0 || !PlausibleSize(size, static_cast<uint64_t>(streamBytes))) {
        Free();
        return false;
    }
    unsigned char* block = AllocateBytes(size);
    uLongf length = size;
    int rc = uncompress(block, &length, stream, static_cast<uLong>(streamBytes));
    if (rc != Z_OK || length != size) {
        std::free(block);
        Free();
        return false;
    }
    TakeOwnedBlock(block, static_cast<int>(size));
    return true;
}

unsigned CBuffer::Uncompress(unsigned size)
{
    if (!TryUncompress(size))
        return 0;
    return static_cast<unsigned>(m_size);
}

void CBuffer::TakeOwnedBlock(unsigned char* data, int size)
{
    if (m_owns)
        std::free(m_data);
    m_data = data;
    m_size = m_capacity = size;
    m_owns = true;
    m_compressed = false;
}

} // namespace Zorlin
