// The registry shared by every archive drive of the process: the entries
// open for reading, by number and by drive and path, and the cache of
// decompressed chunks in least-recently-used order.
#include "foundation/ArchiveDrive.h"

#include <utility>

#include "foundation/ArchiveFile.h"
#include "foundation/ArchiveFormat.h"
#include "foundation/Hash.h"
#include "foundation/List.h"

namespace Zorlin {

namespace {

typedef CArchiveDrive::SActiveFile SActiveFile;
typedef CArchiveDrive::SChunk SChunk;
typedef CArchiveDrive::SChunkIndex SChunkIndex;

uint32_t Djb2Byte(uint32_t h, uint8_t byte)
{
    return h * 33 + uint32_t(int32_t(int8_t(byte)));
}

// An open entry is one drive's entry; two drives over the same archive, or
// the same path in two archives, never share a record.
struct SActiveKey {
    const CArchiveDrive* drive = nullptr;
    CString path;

    uint32_t Hash() const
    {
        uint32_t h = HashStringNoCase(path.GetText());
        uint64_t bits = uint64_t(reinterpret_cast<uintptr_t>(drive));
        for (int i = 0; i < 8; ++i)
            h = Djb2Byte(h, uint8_t(bits >> (8 * i)));
        return h;
    }
    bool operator==(const SActiveKey& other) const
    {
        return drive == other.drive && KeysEqualNoCase(path, other.path);
    }
};

struct SRegistry {
    int drives = 0;
    CHash<SActiveFile, uint32_t> files;
    CHash<uint32_t, SActiveKey> numbers;
    uint32_t nextNumber = 1;
    CHash<SChunk, SChunkIndex> chunks;
    SChunk* oldest = nullptr; // head: least recently used
    SChunk* newest = nullptr;
    uint32_t cachedBytes = 0;
    uint32_t limit = CArchiveDrive::kCacheLimit;
    uint64_t loads = 0;
};

SRegistry* g_registry = nullptr;

void DropChunk(SRegistry& registry, SChunk* chunk)
{
    Unlink(chunk, &registry.oldest, &registry.newest);
    registry.cachedBytes -= uint32_t(chunk->data.GetSize() > 0 ? chunk->data.GetSize() : 0);
    registry.chunks.Remove(registry.chunks.Find(chunk->key));
}

void ForgetRecord(SRegistry& registry, uint32_t number, SActiveFile& record)
{
    SActiveKey key{record.drive, record.entry ? record.entry->path : CString()};
    registry.numbers.Remove(registry.numbers.Find(key));
    registry.files.Remove(registry.files.Find(number));
}

// The offset of chunk k inside its file; false when the file has no such chunk.
bool ChunkOffset(const CArchiveDrive::SDirEntry& entry, uint32_t k, uint32_t chunkSize, uint32_t& offset)
{
    if (entry.IsCompressed()) {
        if (k >= uint32_t(entry.chunks.GetCount()))
            return false;
        offset = *entry.chunks.GetAt(int(k));
        return true;
    }
    uint64_t at = uint64_t(k) * chunkSize;
    if (at >= entry.size)
        return false;
    offset = uint32_t(at);
    return true;
}

} // namespace

uint32_t CArchiveDrive::SChunkIndex::Hash() const
{
    uint32_t h = 5381;
    for (int i = 0; i < 4; ++i)
        h = Djb2Byte(h, uint8_t(number >> (8 * i)));
    for (int i = 0; i < 4; ++i)
        h = Djb2Byte(h, uint8_t(offset >> (8 * i)));
    return h;
}

void CArchiveDrive::AcquireRegistry()
{
    if (!g_registry)
        g_registry = new SRegistry();
    ++g_registry->drives;
    g_registry->limit = kCacheLimit;
}

void CArchiveDrive::ReleaseRegistry()
{
    if (!g_registry || --g_registry->drives > 0)
        return;
    delete g_registry;
    g_registry = nullptr;
}

uint32_t CArchiveDrive::OpenEntry(const SDirEntry& entry, CArchiveFile* file)
{
    SRegistry& registry = *g_registry;
    SActiveKey key{this, entry.path};
    if (auto* known = registry.numbers.Find(key)) {
        uint32_t number = known->value;
        if (auto* record = registry.files.Find(number)) {
            ++record->value.useCount;
            if (file)
                record->value.files.Add(file);
            return number;
        }
        registry.numbers.Remove(known);
    }
    uint32_t number = registry.nextNumber++;
    if (registry.nextNumber == 0)
        registry.nextNumber = 1;
    SActiveFile& record = registry.files.Add(number)->value;
    record.drive = this;
    record.entry = &entry;
    record.useCount = 1;
    if (file)
        record.files.Add(file);
    registry.numbers.Add(key)->value = number;
    return number;
}

void CArchiveDrive::ReleaseActiveFile(uint32_t number, CArchiveFile* file)
{
    if (!g_registry)
        return;
    auto* element = g_registry->files.Find(number);
    if (!element)
        return;
    SActiveFile& record = element->value;
    for (int i = 0; file && i < record.files.GetCount(); ++i) {
        if (*record.files.GetAt(i) == file) {
            *record.files.GetAt(i) = *record.files.GetAt(-1);
            record.files.SetSize(record.files.GetCount() - 1);
            break;
        }
    }
    if (--record.useCount <= 0)
        ForgetRecord(*g_registry, number, record);
}

void CArchiveDrive::ForgetActiveFiles()
{
    if (!g_registry)
        return;
    SRegistry& registry = *g_registry;
    CArray<uint32_t> mine;
    for (auto* node = registry.files.GetElements().GetHead(); node; node = node->next) {
        if (node->value.value.drive == this)
            mine.Add(node->value.key);
    }
    for (int i = 0; i < mine.GetCount(); ++i) {
        uint32_t number = *mine.GetAt(i);
        SActiveFile& record = registry.files.Find(number)->value;
        for (int f = 0; f < record.files.GetCount(); ++f)
            (*record.files.GetAt(f))->Detach();
        ForgetRecord(registry, number, record);
    }
    // Their chunks can never be asked for again.
    for (SChunk* chunk = registry.oldest; chunk;) {
        SChunk* next = chunk->next;
        for (int i = 0; i < mine.GetCount(); ++i) {
            if (chunk->key.number == *mine.GetAt(i)) {
                DropChunk(registry, chunk);
                break;
            }
        }
        chunk = next;
    }
}

CArchiveDrive::SChunk* CArchiveDrive::LoadChunk(uint32_t number, uint32_t k)
{
    if (!g_registry)
        return nullptr;
    SRegistry& registry = *g_registry;
    while (registry.chunks.GetCount() > 1 && registry.cachedBytes > registry.limit)
        DropChunk(registry, registry.oldest);

    auto* element = registry.files.Find(number);
    if (!element || !element->value.drive || !element->value.entry)
        return nullptr;
    CArchiveDrive& drive = *element->value.drive;
    const SDirEntry& entry = *element->value.entry;
    uint32_t chunkOffset = 0;
    if (!ChunkOffset(entry, k, drive.m_chunkSize, chunkOffset))
        return nullptr;

    SChunkIndex key{number, chunkOffset};
    if (auto* cached = registry.chunks.Find(key)) {
        SChunk* chunk = &cached->value;
        Unlink(chunk, &registry.oldest, &registry.newest);
        LinkTail(chunk, &registry.oldest, &registry.newest);
        return chunk;
    }
    return drive.ReadChunk(number, entry, k, chunkOffset);
}

namespace {

bool ReadFully(CFile& file, unsigned char* out, uint32_t n)
{
    uint32_t got = 0;
    while (got < n && file.Read(out + got, n - got))
        got += file.GetLastReadCount();
    return got == n;
}

} // namespace

CArchiveDrive::SChunk* CArchiveDrive::ReadChunk(uint32_t number, const SDirEntry& entry, uint32_t k,
                                                uint32_t chunkOffset)
{
    if (!m_host || !g_registry)
        return nullptr;
    const uint64_t begin = uint64_t(k) * m_chunkSize;
    const uint32_t length = uint32_t(entry.size - begin < m_chunkSize ? entry.size - begin : m_chunkSize);
    const uint64_t at = uint64_t(m_start) + entry.offset + chunkOffset;
    if (at > INT32_MAX || !m_host->Seek(int(at), CFile::kSeekStart))
        return nullptr;

    CBuffer data;
    if (entry.IsCompressed()) {
        unsigned char word[4];
        if (at + 4 > m_directory || !ReadFully(*m_host, word, 4))
            return nullptr;
        uint32_t stored = uint32_t(word[0]) | uint32_t(word[1]) << 8 | uint32_t(word[2]) << 16 |
                          uint32_t(word[3]) << 24;
        if (stored == 0 || stored > ArchiveFormat::MaxCompressedChunk(m_chunkSize) ||
            at + 4 + stored > m_directory)
            return nullptr;
        data.Resize(int(stored));
        if (!ReadFully(*m_host, data.GetData(), stored) || !data.TryUncompress(length))
            return nullptr;
    } else {
        if (at + length > m_directory)
            return nullptr;
        data.Resize(int(length));
        if (!ReadFully(*m_host, data.GetData(), length))
            return nullptr;
    }

    SRegistry& registry = *g_registry;
    SChunkIndex key{number, chunkOffset};
    SChunk* chunk = &registry.chunks.Add(key)->value;
    chunk->key = key;
    chunk->data = std::move(data);
    LinkTail(chunk, &registry.oldest, &registry.newest);
    registry.cachedBytes += length;
    ++registry.loads;
    return chunk;
}

uint32_t CArchiveDrive::GetCachedBytes()
{
    return g_registry ? g_registry->cachedBytes : 0;
}

int CArchiveDrive::GetCachedChunkCount()
{
    return g_registry ? g_registry->chunks.GetCount() : 0;
}

uint64_t CArchiveDrive::GetChunkLoads()
{
    return g_registry ? g_registry->loads : 0;
}

int CArchiveDrive::GetActiveFileCount()
{
    return g_registry ? g_registry->files.GetCount() : 0;
}

} // namespace Zorlin
