#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/AssocArray.h"
#include "foundation/AutoPointer.h"
#include "foundation/Buffer.h"
#include "foundation/Drive.h"
#include "foundation/String.h"

namespace Zorlin {

class CArchiveFile;

// A drive over one archive inside a host file. An archive is written at the
// host's end and found again from the end, so it can follow any other data
// and several can be stacked, each found by its name.
//
// Read mode (Open): folders and files of the archive, handed out as
// CArchiveFile objects that decompress chunk by chunk through a cache
// shared by every archive drive of the process. Write mode (Create): files
// are added chunk by chunk, folders made, and Finish writes the directory
// and the trailer.
//
// Everything read from a host is checked before use: a damaged or hostile
// archive fails to open, or its files fail to read; it never makes the
// reader crash, loop or allocate beyond the bounds of ArchiveFormat.h.
class CArchiveDrive : public CDrive {
public:
    struct SDirEntry;
    // A folder: its entries by name, ignoring case, in the order added.
    typedef CAssocArray<SDirEntry> CDirNode;

    struct SDirEntry {
        CString name;
        CString path; // full path inside the archive; folders end in '/'
        uint32_t size = 0;
        uint32_t offset = 0; // of the first data byte, from the archive's start
        uint32_t flags = 0;
        CArray<uint32_t> chunks; // compressed files: each chunk's offset from `offset`
        CAutoPointer<CDirNode> node; // null for a file

        bool IsFile() const { return (flags & 1) != 0; }
        bool IsFolder() const { return !IsFile(); }
        bool IsCompressed() const { return (flags & 4) != 0; }
    };

    // The header as read: six fields by the layout "422444".
#pragma pack(push, 1)
    struct SHeader {
        uint32_t recordSize;
        uint16_t version;
        uint16_t reserved;
        uint32_t chunkSize;
        uint32_t headerOffset;    // H - S
        uint32_t directoryOffset; // H - D
    };
#pragma pack(pop)

    // Key of a cached chunk: the open-file number and the chunk's offset.
    struct SChunkIndex {
        uint32_t number;
        uint32_t offset;
        // djb2 over the 8 bytes, number first, each little-endian.
        uint32_t Hash() const;
        bool operator==(const SChunkIndex& other) const
        {
            return number == other.number && offset == other.offset;
        }
    };

    // A decompressed chunk, linked in least-recently-used order.
    struct SChunk {
        CBuffer data;
        SChunkIndex key = {0, 0};
        SChunk* next = nullptr;
        SChunk* prev = nullptr;
    };

    // Shared state of one opened entry. Every caller that opens the entry
    // gets a file object of its own; they share the number, and so the
    // cached chunks.
    struct SActiveFile {
        CArchiveDrive* drive = nullptr;
        const SDirEntry* entry = nullptr;
        int useCount = 0;
        CArray<CArchiveFile*> files;
    };

    typedef void (*ProgressCallback)(void* user, CArchiveDrive* drive, const char* name, float fraction);

    static const uint32_t kCacheLimit = 262144;

    CArchiveDrive();
    // Deletes an owned host; an archive being written is not finished.
    // Archive files still open on this drive are closed: they read nothing
    // from then on.
    ~CArchiveDrive() override;

    // ---- read side

    // Opens the archive called name (any letter case) in host; a null name
    // takes the last archive of the host. With ownsHost the drive owns the
    // host from this call on, whatever the result. Whatever the drive held
    // before is dropped first.
    bool Open(CFile* host, const char* name, bool ownsHost);

    // Entry of a path taken relative to the current folder (a leading
    // separator is dropped; "." and ".." are not interpreted); an empty
    // last name gives the folder itself. Null when missing.
    SDirEntry* FindEntry(const CURL& path);

    // The open-file number of the entry's shared state, made on first use;
    // each call counts one user, to be given back by ReleaseActiveFile.
    // The file, when given, is closed should this drive go first.
    uint32_t OpenEntry(const SDirEntry& entry, CArchiveFile* file = nullptr);
    // Gives back one user of number (and forgets file when given).
    static void ReleaseActiveFile(uint32_t number, CArchiveFile* file = nullptr);
    // Chunk k of the file open under number, from the cache or the host.
    // Null when the number is unknown or the chunk cannot be read whole.
    // Valid until the next LoadChunk.
    static SChunk* LoadChunk(uint32_t number, uint32_t k);

    // Reads one folder node into the current folder, recursively.
    bool ReadDirectoryNode(CFile& directory);

    // ---- write side, in calling order: Create, then MakeDirectories,
    // ChangeDirectory and AddFile, then Finish.

    // Starts an archive at the host's position. chunkSize must be 1 to
    // ArchiveFormat::kMaxChunkSize.
    bool Create(CFile* host, const char* name, bool ownsHost, unsigned chunkSize = 8192);
    // Makes every missing folder of path below the current folder.
    bool MakeDirectories(const char* path);
    // Adds the rest of source as a file of the current folder, called name
    // (null: the last part of the source's own name). False when the name
    // is taken or unfit, or when writing the host failed.
    bool AddFile(CFile& source, const char* name, bool compress);
    // Writes the directory and the trailer. False when any write of the
    // archive failed, now or earlier.
    bool Finish(bool closeHost);
    // Appends the directory block to the host; its length B, 0 on failure.
    uint32_t WriteDirectory();
    bool WriteDirectoryNode(const CDirNode& node, CFile& file);

    // Adds an entry to the current folder: null when the name is taken
    // (ignoring case) or is not a plain single name.
    SDirEntry* CreateEntry(const char* name);
    // A single empty root folder, which becomes the current folder.
    void ResetTree();

    // A name an archive may hold: one plain name that a path can reach,
    // printable UTF-8.
    static bool IsEntryName(const CString& name);

    // ---- the drive

    bool IsValid() const override { return true; }
    CAutoPointer<CFile> OpenFile(const CURL& path, unsigned mode) override;
    bool Exists(const CURL& path) override;
    bool GetInfo(const CURL& path, SFileInfo& info) override;
    bool ChangeDirectory(const CURL& path) override;
    bool MakeDirectory(const CURL&) override { return false; }
    bool ListDirectory(CArray<CString>& out, bool fullPaths) override;

    // ---- state

    bool IsOpen() const { return m_open; }
    bool IsWriting() const { return m_writing; }
    const CString& GetArchiveName() const { return m_archiveName; }
    unsigned GetChunkSize() const { return m_chunkSize; }
    uint32_t GetStart() const { return m_start; }
    uint32_t GetDataStart() const { return m_dataStart; }
    uint32_t GetDirectoryPosition() const { return m_directory; }
    const SHeader& GetHeader() const { return m_header; }
    const SDirEntry& GetRootEntry() const { return m_root; }
    const SDirEntry* GetCurrentEntry() const { return m_currentEntry; }
    CFile* GetHost() const { return m_host; }

    void SetProgressCallback(ProgressCallback callback, void* user)
    {
        m_progress = callback;
        m_progressUser = user;
    }

    // The process-wide cache, for tests and diagnostics.
    static uint32_t GetCachedBytes();
    static int GetCachedChunkCount();
    // Chunks read from a host since the registry was made.
    static uint64_t GetChunkLoads();
    static int GetActiveFileCount();

private:
    struct SFindResult;

    void Drop(const CFile* next = nullptr);
    void TakeHost(CFile* host, bool ownsHost);
    bool FindArchive(const char* name);
    bool ReadHeaderAt(uint32_t end, uint32_t& start);
    bool ReadDirectory();
    bool ReadNode(CFile& directory, SDirEntry& folder, int depth);
    bool ReadFileRecord(CFile& directory, SDirEntry& entry);
    bool CheckFileExtent(const SDirEntry& entry) const;
    SDirEntry* CreateEntryIn(SDirEntry& folder, const CString& name);
    SDirEntry* WalkFolders(const CArray<CString>& names, bool create, bool* hitFile);

    bool WriteHost(const void* data, uint32_t n);
    bool WriteWord(uint32_t value);
    bool ReadPiece(CFile& source, CBuffer& piece);
    bool AddPiece(SDirEntry& entry, CBuffer& piece, bool compress);
    void Progress(const CString& name, float fraction);

    // The process-wide registry and chunk cache: made by the first drive,
    // freed by the last.
    static void AcquireRegistry();
    static void ReleaseRegistry();
    void ForgetActiveFiles();
    SChunk* ReadChunk(uint32_t number, const SDirEntry& entry, uint32_t k, uint32_t chunkOffset);

    bool m_open;
    bool m_writing;
    bool m_writeFailed;
    SDirEntry m_root;
    SDirEntry* m_currentEntry;
    CFile* m_host;
    bool m_ownsHost;
    uint32_t m_written; // bytes written since the start (write mode)
    uint32_t m_dataStart;
    uint32_t m_start;
    uint32_t m_directory;
    unsigned m_chunkSize;
    SHeader m_header;
    CString m_archiveName;
    uint32_t m_entryCount;
    uint32_t m_folderCount;
    ProgressCallback m_progress;
    void* m_progressUser;
};

} // namespace Zorlin
