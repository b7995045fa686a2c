// The write side of the archive drive: name, file data, directory, trailer.
#include "foundation/ArchiveDrive.h"

#include "foundation/ArchiveFormat.h"
#include "foundation/MemFile.h"

namespace Zorlin {

using namespace ArchiveFormat;

namespace {

void StoreWord(unsigned char* p, uint32_t value)
{
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
    p[2] = uint8_t(value >> 16);
    p[3] = uint8_t(value >> 24);
}

bool EndsWithSeparator(const CString& path)
{
    int length = path.GetLength();
    return length > 0 && (path[length - 1] == '/' || path[length - 1] == '\\');
}

} // namespace

bool CArchiveDrive::WriteHost(const void* data, uint32_t n)
{
    if (!m_host || m_writeFailed || uint64_t(m_written) + n > UINT32_MAX) {
        m_writeFailed = true;
        return false;
    }
    if (n == 0)
        return true;
    if (!m_host->Write(data, n) || m_host->GetLastWriteCount() != n) {
        m_writeFailed = true;
        return false;
    }
    m_written += n;
    return true;
}

bool CArchiveDrive::WriteWord(uint32_t value)
{
    unsigned char bytes[4];
    StoreWord(bytes, value);
    return WriteHost(bytes, 4);
}

bool CArchiveDrive::Create(CFile* host, const char* name, bool ownsHost, unsigned chunkSize)
{
    Drop(host);
    TakeHost(host, ownsHost);
    if (!host || !host->IsOpen() || !(host->GetState() & CFile::kStateWritable))
        return false;
    CString archiveName(name);
    if (chunkSize == 0 || chunkSize > kMaxChunkSize || archiveName.GetLength() > kMaxNameLength)
        return false;
    m_chunkSize = chunkSize;
    m_start = host->GetPosition32();
    m_archiveName = archiveName;
    m_written = 0;
    // The 0 byte goes out even for an empty name: the reader needs it.
    if (!WriteHost(archiveName.GetText(), uint32_t(archiveName.GetLength()) + 1))
        return false;
    m_dataStart = m_start + m_written;
    m_writing = true;
    return true;
}

bool CArchiveDrive::MakeDirectories(const char* path)
{
    if (!m_writing)
        return false;
    CURL folders(path);
    if (!EndsWithSeparator(folders))
        folders += '/';
    CURL full(m_current);
    full.Append(folders);
    CArray<CString> names;
    CString last;
    if (!full.SplitComponents(names, last))
        return false;
    return WalkFolders(names, true, nullptr) != nullptr;
}

void CArchiveDrive::Progress(const CString& name, float fraction)
{
    if (m_progress)
        m_progress(m_progressUser, this, name.GetText(), fraction);
}

// Up to one chunk of the source. A source may hand out less than asked
// before its end, so the piece is filled until it is whole or the source
// gives nothing: every chunk but the last must be exactly one chunk long.
bool CArchiveDrive::ReadPiece(CFile& source, CBuffer& piece)
{
    piece.Resize(int(m_chunkSize));
    uint32_t got = 0;
    while (got < m_chunkSize && source.Read(piece.GetData() + got, m_chunkSize - got))
        got += source.GetLastReadCount();
    piece.Resize(int(got));
    return got > 0;
}

bool CArchiveDrive::AddPiece(SDirEntry& entry, CBuffer& piece, bool compress)
{
    if (!compress)
        return WriteHost(piece.GetData(), uint32_t(piece.GetSize()));
    entry.chunks.Add(m_written - entry.offset);
    CBuffer packed;
    if (piece.CompressTo(packed, false) < 0) {
        m_writeFailed = true;
        return false;
    }
    return WriteWord(uint32_t(packed.GetSize())) && WriteHost(packed.GetData(), uint32_t(packed.GetSize()));
}

bool CArchiveDrive::AddFile(CFile& source, const char* name, bool compress)
{
    if (!m_writing || m_writeFailed || !source.IsOpen() || !(source.GetState() & CFile::kStateReadable))
        return false;
    CString entryName;
    if (name)
        entryName = name;
    else
        CURL(source.GetFileName()).GetFileName(entryName);
    SDirEntry* entry = CreateEntry(entryName.GetText());
    if (!entry)
        return false;
    entry->offset = m_written;
    entry->flags = kFlagFile | (compress ? kFlagCompressed : 0);
    Progress(entryName, 0.0f);

    const uint32_t sourceSize = source.GetSize32();
    uint64_t total = 0;
    CBuffer piece;
    while (ReadPiece(source, piece)) {
        total += uint32_t(piece.GetSize());
        if (total > UINT32_MAX) {
            m_writeFailed = true;
            return false;
        }
        if (!AddPiece(*entry, piece, compress))
            return false;
        if (m_progress && sourceSize != 0)
            Progress(entryName, float(source.GetPosition()) / float(sourceSize));
    }
    entry->size = uint32_t(total);
    Progress(entryName, 1.0f);
    return true;
}

bool CArchiveDrive::WriteDirectoryNode(const CDirNode& node, CFile& file)
{
    uint32_t count = uint32_t(node.GetCount());
    if (!file.WriteRecord(&count, "4"))
        return false;
    for (const auto* item = node.GetNodeList().GetHead(); item; item = item->next) {
        const SDirEntry& entry = *item->value.value;
        if (!file.WriteRecord(&entry.flags, "4") || !file.WriteString(entry.name, true))
            return false;
        if (entry.IsFolder()) {
            if (!entry.node || !WriteDirectoryNode(*entry.node, file))
                return false;
            continue;
        }
        uint32_t position[2] = {entry.size, entry.offset};
        if (!file.WriteRecord(position, "44"))
            return false;
        if (!entry.IsCompressed())
            continue;
        uint32_t chunks = uint32_t(entry.chunks.GetCount());
        if (!file.WriteRecord(&chunks, "4"))
            return false;
        for (uint32_t k = 0; k < chunks; ++k) {
            if (!file.WriteRecord(entry.chunks.GetAt(int(k)), "4"))
                return false;
        }
    }
    return true;
}

uint32_t CArchiveDrive::WriteDirectory()
{
    CMemFile text(1024);
    text.Open(CString("Dir"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    // A reader refuses a directory longer than this, so none is written.
    if (!WriteDirectoryNode(*m_root.node, text) || text.GetSize() > kMaxDirectorySize) {
        m_writeFailed = true;
        return 0;
    }
    CBuffer block;
    block.Resize(int(text.GetSize()));
    text.Seek(0, CFile::kSeekStart);
    if (!text.Read(block.GetData(), text.GetSize32()) || text.GetLastReadCount() != text.GetSize() ||
        block.Compress(true) < 0) {
        m_writeFailed = true;
        return 0;
    }
    uint32_t length = uint32_t(block.GetSize());
    if (!WriteWord(length) || !WriteHost(block.GetData(), length))
        return 0;
    return length;
}

bool CArchiveDrive::Finish(bool closeHost)
{
    if (!m_writing)
        return false;
    const uint32_t directoryAt = m_written;
    WriteDirectory();
    const uint32_t headerAt = m_written;
    unsigned char trailer[kTrailerLength];
    StoreWord(trailer, kPositionRecordSize);
    trailer[4] = 1;
    trailer[5] = 0;
    trailer[6] = 0;
    trailer[7] = 0;
    StoreWord(trailer + 8, m_chunkSize);
    StoreWord(trailer + 12, headerAt);
    StoreWord(trailer + 16, headerAt - directoryAt);
    StoreWord(trailer + 20, kHeaderLength);
    StoreWord(trailer + 24, kSignatureLow);
    StoreWord(trailer + 28, kSignatureHigh);
    WriteHost(trailer, kTrailerLength);
    m_writing = false;
    if (closeHost && m_host) {
        m_host->Close();
        if (m_ownsHost)
            delete m_host;
        m_host = nullptr;
        m_ownsHost = false;
    }
    return !m_writeFailed;
}

} // namespace Zorlin
