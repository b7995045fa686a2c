// The read side of the archive drive and its drive operations.
#include "foundation/ArchiveDrive.h"
#include "foundation/NameText.h"

#include "foundation/ArchiveFile.h"
#include "foundation/ArchiveFormat.h"
#include "foundation/BufferFile.h"
#include "foundation/NullFile.h"

namespace Zorlin {

using namespace ArchiveFormat;

namespace {

bool SeekTo(CFile& file, uint64_t position)
{
    return position <= INT32_MAX && file.Seek(int(position), CFile::kSeekStart);
}

bool ReadWord(CFile& file, uint32_t& value)
{
    return file.ReadRecord(&value, "4") && file.GetLastReadCount() == 4;
}

bool ReadBytes(CFile& file, unsigned char* out, uint32_t n)
{
    uint32_t got = 0;
    while (got < n && file.Read(out + got, n - got))
        got += file.GetLastReadCount();
    return got == n;
}

uint32_t LoadWord(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A zero-terminated text of at most limit characters; the terminator must
// come before the limit and before the end of the file.
bool ReadName(CFile& file, CString& out, int limit)
{
    out = "";
    char c;
    for (int n = 0; n <= limit; ++n) {
        if (!file.Read(&c, 1))
            return false;
        if (c == 0)
            return true;
        out += c;
    }
    return false;
}

uint32_t Remaining(const CFile& file)
{
    uint32_t size = file.GetSize32();
    uint32_t position = file.GetPosition32();
    return position < size ? size - position : 0;
}

int DepthOf(const CString& folderPath)
{
    int depth = -1;
    for (int i = 0; i < folderPath.GetLength(); ++i)
        depth += folderPath[i] == '/';
    return depth < 0 ? 0 : depth;
}

} // namespace

CArchiveDrive::CArchiveDrive()
    : m_open(false), m_writing(false), m_writeFailed(false), m_currentEntry(&m_root), m_host(nullptr),
      m_ownsHost(false), m_written(0), m_dataStart(0), m_start(0), m_directory(0),
      m_chunkSize(kDefaultChunkSize), m_header(), m_entryCount(0), m_folderCount(0), m_progress(nullptr),
      m_progressUser(nullptr)
{
    AcquireRegistry();
    ResetTree();
}

CArchiveDrive::~CArchiveDrive()
{
    ForgetActiveFiles();
    if (m_ownsHost)
        delete m_host;
    m_host = nullptr;
    ReleaseRegistry();
}

void CArchiveDrive::Drop(const CFile* next)
{
    ResetTree();
    // A host handed in again is the caller's to keep using.
    if (m_ownsHost && m_host != next)
        delete m_host;
    m_host = nullptr;
    m_ownsHost = false;
    m_open = false;
    m_writing = false;
    m_writeFailed = false;
    m_written = 0;
    m_dataStart = m_start = m_directory = 0;
    m_chunkSize = kDefaultChunkSize;
    m_header = SHeader();
    m_archiveName = "";
}

void CArchiveDrive::TakeHost(CFile* host, bool ownsHost)
{
    m_host = host;
    m_ownsHost = host && ownsHost;
}

void CArchiveDrive::ResetTree()
{
    ForgetActiveFiles();
    m_root.name = "";
    m_root.path = "/";
    m_root.size = m_root.offset = 0;
    m_root.flags = kFlagFolder;
    m_root.chunks.RemoveAll();
    m_root.node.Reset(new CDirNode(8, 3));
    m_currentEntry = &m_root;
    m_current = "/";
    m_entryCount = 0;
    m_folderCount = 0;
}

bool CArchiveDrive::IsEntryName(const CString& name)
{
    int length = name.GetLength();
    // A path loses a trailing blank when it is split, so such a name could
    // never be reached again.
    // Control characters and broken UTF-8 would become file names no one
    // can type and lines of logs that lie.
    return CURL::IsPlainName(name) && length <= kMaxNameLength && name[length - 1] != ' ' && IsPrintableUtf8(name);
}

CArchiveDrive::SDirEntry* CArchiveDrive::CreateEntryIn(SDirEntry& folder, const CString& name)
{
    if (!folder.node || !IsEntryName(name) || m_entryCount >= kMaxEntries)
        return nullptr;
    CDirNode& node = *folder.node;
    if (node.Find(name.GetText()))
        return nullptr;
    SDirEntry* entry = &node[name];
    entry->name = name;
    entry->path = folder.path + name;
    ++m_entryCount;
    return entry;
}

CArchiveDrive::SDirEntry* CArchiveDrive::CreateEntry(const char* name)
{
    return CreateEntryIn(*m_currentEntry, CString(name));
}

namespace {

bool MakeFolder(CArchiveDrive::SDirEntry& entry, uint32_t& folderCount)
{
    if (folderCount >= kMaxFolders)
        return false;
    ++folderCount;
    entry.flags = kFlagFolder;
    entry.node.Reset(new CArchiveDrive::CDirNode(8, 3));
    entry.path += '/';
    return true;
}

} // namespace

// ---------------------------------------------------------------- opening

bool CArchiveDrive::Open(CFile* host, const char* name, bool ownsHost)
{
    Drop(host);
    TakeHost(host, ownsHost);
    if (!host || !host->IsOpen() || !(host->GetState() & CFile::kStateReadable))
        return false;
    if (!FindArchive(name) || !ReadDirectory()) {
        ResetTree();
        return false;
    }
    m_open = true;
    return true;
}

bool CArchiveDrive::FindArchive(const char* name)
{
    uint32_t end = m_host->GetSize32();
    if (end > INT32_MAX)
        return false;
    CString wanted(name);
    // Each archive down the stack ends where the one above it starts, so
    // end falls on every round and the search ends at the host's start.
    for (;;) {
        uint32_t start = 0;
        if (!ReadHeaderAt(end, start))
            return false;
        if (!name || KeysEqualNoCase(m_archiveName, wanted))
            return true;
        end = start;
    }
}

bool CArchiveDrive::ReadHeaderAt(uint32_t end, uint32_t& start)
{
    // The trailer and at least the name's 0 byte.
    if (end < kTrailerLength + 1)
        return false;
    uint32_t signature[2] = {0, 0};
    if (!m_host->Seek(int(end - 8), CFile::kSeekStart) || !m_host->ReadRecord(signature, "44") ||
        signature[0] != kSignatureLow || signature[1] != kSignatureHigh)
        return false;
    uint32_t headerLength = kHeaderLength;
    if (!m_host->Seek(int(end - 12), CFile::kSeekStart) || !ReadWord(*m_host, headerLength))
        return false;
    if (headerLength < kHeaderLength || headerLength > kMaxHeaderLength || headerLength > end - 13)
        return false;
    uint32_t headerAt = end - 12 - headerLength;
    SHeader header;
    if (!m_host->Seek(int(headerAt), CFile::kSeekStart) ||
        !m_host->ReadRecord(&header, kHeaderLayout, int(headerLength)))
        return false;
    if (header.headerOffset == 0 || header.headerOffset > headerAt)
        return false;
    uint32_t archiveStart = headerAt - header.headerOffset;
    uint32_t room = header.headerOffset - 1;
    CString archiveName;
    if (!m_host->Seek(int(archiveStart), CFile::kSeekStart) ||
        !ReadName(*m_host, archiveName, int(room < uint32_t(kMaxNameLength) ? room : kMaxNameLength)))
        return false;
    m_header = header;
    m_start = archiveStart;
    m_archiveName = archiveName;
    m_dataStart = archiveStart + uint32_t(archiveName.GetLength()) + 1;
    start = archiveStart;
    return true;
}

bool CArchiveDrive::ReadDirectory()
{
    const SHeader& header = m_header;
    if (header.chunkSize == 0 || header.chunkSize > kMaxChunkSize)
        return false;
    if (header.recordSize < kPositionRecordSize || header.recordSize > kMaxPositionRecordSize)
        return false;
    const uint32_t headerAt = m_start + header.headerOffset;
    if (header.directoryOffset < 4 || header.directoryOffset > headerAt - m_dataStart)
        return false;
    const uint32_t directoryAt = headerAt - header.directoryOffset;
    uint32_t blockLength = 0;
    if (!SeekTo(*m_host, directoryAt) || !ReadWord(*m_host, blockLength))
        return false;
    // The size word and at least one byte of stream, inside the directory block.
    if (blockLength < 5 || blockLength > header.directoryOffset - 4)
        return false;
    CBuffer block;
    block.Resize(int(blockLength));
    if (!ReadBytes(*m_host, block.GetData(), blockLength))
        return false;
    uint32_t textLength = LoadWord(block.GetData());
    if (textLength < 4 || textLength > kMaxDirectorySize || !block.TryUncompress(CBuffer::kSizeFromPrefix))
        return false;

    m_chunkSize = header.chunkSize;
    m_directory = directoryAt;
    ResetTree();
    CBufferFile directory(&block);
    return ReadDirectoryNode(directory);
}

bool CArchiveDrive::ReadDirectoryNode(CFile& directory)
{
    return ReadNode(directory, *m_currentEntry, DepthOf(m_currentEntry->path));
}

bool CArchiveDrive::ReadNode(CFile& directory, SDirEntry& folder, int depth)
{
    if (depth > kMaxDepth)
        return false;
    uint32_t count = 0;
    if (!ReadWord(directory, count) || count > Remaining(directory) / kMinEntryBytes)
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t flags = 0;
        CString name;
        if (!ReadWord(directory, flags) || !ReadName(directory, name, kMaxNameLength))
            return false;
        SDirEntry* entry = CreateEntryIn(folder, name);
        if (!entry)
            return false;
        entry->flags = flags;
        if (entry->IsFile()) {
            if (!ReadFileRecord(directory, *entry))
                return false;
        } else if (!MakeFolder(*entry, m_folderCount) || !ReadNode(directory, *entry, depth + 1)) {
            return false;
        }
    }
    return true;
}

bool CArchiveDrive::ReadFileRecord(CFile& directory, SDirEntry& entry)
{
    uint32_t position[2] = {0, 0};
    if (!directory.ReadRecord(position, "44", int(m_header.recordSize ? m_header.recordSize : kPositionRecordSize)) ||
        directory.GetLastReadCount() < kPositionRecordSize)
        return false;
    entry.size = position[0];
    entry.offset = position[1];
    if (entry.IsCompressed()) {
        uint32_t count = 0;
        const uint64_t expected = (uint64_t(entry.size) + m_chunkSize - 1) / m_chunkSize;
        if (!ReadWord(directory, count) || count != expected || count > Remaining(directory) / 4)
            return false;
        CBuffer table;
        table.Resize(int(count * 4));
        if (count > 0 && !ReadBytes(directory, table.GetData(), count * 4))
            return false;
        entry.chunks.SetSize(int(count));
        for (uint32_t k = 0; k < count; ++k) {
            uint32_t offset = LoadWord(table.GetData() + 4 * k);
            if (k > 0 && offset <= *entry.chunks.GetAt(int(k - 1)))
                return false;
            *entry.chunks.GetAt(int(k)) = offset;
        }
    }
    return CheckFileExtent(entry);
}

// A file's data lies between the archive's name and its directory.
bool CArchiveDrive::CheckFileExtent(const SDirEntry& entry) const
{
    const uint64_t begin = uint64_t(m_start) + entry.offset;
    if (begin < m_dataStart)
        return false;
    if (!entry.IsCompressed())
        return begin + entry.size <= m_directory;
    if (entry.chunks.GetCount() == 0)
        return begin <= m_directory;
    // Offsets rise, so the last chunk is the one that reaches furthest; the
    // length word of each is checked again when the chunk is read.
    return begin + *entry.chunks.GetAt(-1) + 4 <= m_directory;
}

// ---------------------------------------------------------------- paths

CArchiveDrive::SDirEntry* CArchiveDrive::WalkFolders(const CArray<CString>& names, bool create, bool* hitFile)
{
    SDirEntry* folder = &m_root;
    for (int i = 0; i < names.GetCount(); ++i) {
        const CString& name = *names.GetAt(i);
        if (name.IsEmpty())
            continue;
        SDirEntry* child = folder->node->Find(name.GetText());
        if (!child) {
            if (!create)
                return nullptr;
            child = CreateEntryIn(*folder, name);
            if (!child || !MakeFolder(*child, m_folderCount))
                return nullptr;
        }
        if (child->IsFile()) {
            if (hitFile)
                *hitFile = true;
            return nullptr;
        }
        folder = child;
    }
    return folder;
}

CArchiveDrive::SDirEntry* CArchiveDrive::FindEntry(const CURL& path)
{
    CURL full(m_current);
    full.Append(path);
    CArray<CString> folders;
    CString last;
    if (!full.SplitComponents(folders, last))
        return nullptr;
    SDirEntry* folder = WalkFolders(folders, false, nullptr);
    if (!folder || last.IsEmpty())
        return folder;
    return folder->node->Find(last.GetText());
}

bool CArchiveDrive::ChangeDirectory(const CURL& path)
{
    CURL target(path);
    int length = target.GetLength();
    if (length == 0 || (target[length - 1] != '/' && target[length - 1] != '\\'))
        target += '/';
    CURL resolved = ResolveInCurrent(target);
    CArray<CString> names;
    CString last;
    if (!resolved.SplitComponents(names, last))
        return false;
    SDirEntry* folder = WalkFolders(names, false, nullptr);
    if (!folder)
        return false;
    m_currentEntry = folder;
    m_current = resolved.IsEmpty() || resolved[0] != '/' ? CString("/") + resolved : CString(resolved);
    return true;
}

// ---------------------------------------------------------------- drive operations

CAutoPointer<CFile> CArchiveDrive::OpenFile(const CURL& path, unsigned mode)
{
    SDirEntry* entry = m_open ? FindEntry(path) : nullptr;
    if (!entry || entry->IsFolder())
        return CAutoPointer<CFile>(new CNullFile());
    CURL key(m_current);
    key.Append(path);
    CArchiveFile* file = new CArchiveFile();
    uint32_t number = OpenEntry(*entry, file);
    file->Attach(this, number, entry->size);
    if (!file->Open(key, mode)) {
        delete file;
        return CAutoPointer<CFile>(new CNullFile());
    }
    return CAutoPointer<CFile>(file);
}

bool CArchiveDrive::Exists(const CURL& path)
{
    return FindEntry(path) != nullptr;
}

bool CArchiveDrive::GetInfo(const CURL& path, SFileInfo& info)
{
    const SDirEntry* entry = FindEntry(path);
    if (!entry)
        return false;
    info.kind = entry->IsFolder() ? kKindFolder : kKindFile;
    info.one = 1;
    info.access = kAccessRead | kAccessLocal;
    return true;
}

bool CArchiveDrive::ListDirectory(CArray<CString>& out, bool fullPaths)
{
    const CDirNode& node = *m_currentEntry->node;
    for (const auto* item = node.GetNodeList().GetHead(); item; item = item->next) {
        const CString& name = item->value.value->name;
        out.Add(fullPaths ? m_current + name : name);
    }
    return true;
}

} // namespace Zorlin
