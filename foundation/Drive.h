#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/AutoPointer.h"
#include "foundation/File.h"
#include "foundation/URL.h"

namespace Zorlin {

// A tree of files seen through a root, a current folder and a stack of
// saved current folders. Paths are relative to the current folder; a
// leading separator starts at the root, and ".." never climbs above it.
class CDrive {
public:
    struct SFileInfo {
        uint32_t kind;   // kKindFile or kKindFolder
        uint32_t one;    // always 1
        uint32_t access; // kAccess* bits
    };
    enum : uint32_t {
        kKindFile = 1,
        kKindFolder = 2,
    };
    enum : uint32_t {
        kAccessRead = 1,
        kAccessWrite = 2,
        kAccessOpened = 4,
        kAccessLocal = 8,
    };

    CDrive();
    virtual ~CDrive();
    CDrive(const CDrive&) = delete;
    CDrive& operator=(const CDrive&) = delete;

    virtual bool IsValid() const { return true; }
    // The disk and archive drives never return null: a path that cannot be
    // opened gives a file whose IsNull is true.
    virtual CAutoPointer<CFile> OpenFile(const CURL& path, unsigned mode);
    virtual bool Exists(const CURL& path);
    virtual bool GetInfo(const CURL& path, SFileInfo& info);
    virtual unsigned GetFileSize(const CURL& path);
    virtual bool ChangeDirectory(const CURL& path);
    virtual bool MakeDirectory(const CURL& path);
    // Appends the names of the current folder's entries to out.
    virtual bool ListDirectory(CArray<CString>& out, bool fullPaths);
    // inOut becomes root + (current folder resolved with inOut) + path.
    virtual void GetFullPath(CURL& inOut, const char* path);
    // inOut becomes "/" + (current folder resolved with inOut) + path.
    virtual void GetDrivePath(CURL& inOut, const char* path);

    void PushDirectory();
    // Changes back to the folder on top of the stack; the stack is kept
    // when that change fails.
    bool PopDirectory();
    // Forgets the folder on top of the stack without changing to it.
    void DropDirectory();
    int GetDirectoryDepth() const { return m_stack.GetCount(); }

    // Both false when GetInfo fails (a missing path).
    bool IsFile(const CURL& path);
    bool IsDirectory(const CURL& path);

    // Copies the source's current folder, recursively, into this drive's
    // current folder. Entry names that are not plain single names are
    // skipped, so a crafted archive cannot write outside the target.
    // False when any file could not be copied.
    bool CopyTreeFrom(CDrive& source, bool overwrite, bool foldersOnly);
    // Copies one file of the source's current folder to the same path here.
    bool CopyFileFrom(CDrive& source, const CURL& path);
    bool CopyTreeFrom(CDrive& source, int, bool overwrite, bool foldersOnly)
    {
        return CopyTreeFrom(source, overwrite, foldersOnly);
    }

    // Appends one line per entry below the current folder, indented by one
    // blank per level starting at depth.
    void ListTree(CString& out, int depth = 0);

    const CURL& GetRoot() const { return m_root; }
    const CURL& GetCurrentDirectory() const { return m_current; }

protected:
    // The current folder resolved with path.
    CURL ResolveInCurrent(const CURL& path) const;

    CArray<CURL> m_stack;
    CURL m_root;
    CURL m_current;
};

} // namespace Zorlin
