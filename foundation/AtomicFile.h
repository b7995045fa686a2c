#pragma once

#include <cstddef>

#include "foundation/String.h"

namespace Zorlin {

class CFile;

// Replaces a disk file all at once. The bytes go to a new file in the same
// folder, which is synced and then renamed over the target, so anyone
// reading the target sees the old file or the new one, never a part, and a
// failure half-way (no folder, no room, no rights) leaves the old file as it
// was. A symbolic link is kept: the file it points to is replaced.
//
// An existing target keeps its permission bits; a new one gets 0666 less the
// umask. permissions, when not -1, is used instead in both cases (0755 for a
// program that must stay runnable).
class CAtomicFile {
public:
    CAtomicFile();
    // Removes the temporary file unless Commit succeeded.
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Creates the temporary file beside path, first removing the strays
    // of earlier interrupted writes of it (RemoveStrayTemporaries).
    bool Open(const CString& path, int permissions = -1);
    // All of the bytes or false; after a failure Commit fails too.
    bool Write(const void* data, size_t size);
    // Copies source from its position to its end; a source that ends
    // before its size says fails, and so does the Commit after it.
    bool WriteFrom(CFile& source);
    // Syncs, closes and renames over the target.
    bool Commit();
    // Drops the temporary file; the target is untouched.
    void Abort();
    // Without durability the bytes are not synced before the rename (a
    // crash may then leave an empty file under the name); for bulk copies
    // where only "whole or untouched" matters while running.
    void SetDurable(bool durable) { m_durable = durable; }

    const CString& GetTargetPath() const { return m_target; }

private:
    int m_handle;
    bool m_failed;
    CString m_target;
    CString m_temporary;
    int m_permissions;
    bool m_durable;
};

// Removes what interrupted writes of path left beside it: temporary files
// of its name made by processes that no longer run.
void RemoveStrayTemporaries(const CString& path);
// The same for every file of folder (not below it): what interrupted
// writes of any of its files left.
void RemoveStrayTemporariesIn(const CString& folder);
// For a folder entry that is the temporary ".NAME.tmp-PID-N" of a writer
// that no longer runs: its PID, with NAME (cut as temporaries cut long
// names) in name. 0 for any other entry.
long TemporaryOfGoneWriter(const char* entry, CString& name);

// Makes the folder's entries (a rename, a removal) last through a crash.
void SyncFolder(const CString& folder);

// One call for the common case: the whole new content at once.
bool WriteFileAtomically(const CString& path, const void* data, size_t size, int permissions = -1);
bool WriteFileAtomically(const CString& path, CFile& source, int permissions = -1);

} // namespace Zorlin
