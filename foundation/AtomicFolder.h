#pragma once

#include <string>
#include <vector>

#include "foundation/String.h"

namespace Zorlin {

// Replaces a disk folder all at once, as CAtomicFile does a file. The new
// tree is built in a hidden folder beside the target (".NAME.new-PID"),
// starting from a copy of the old one, so the old folder is never written
// to; Commit syncs it and puts it in place of the old in one rename, and
// only then removes the old tree. Whoever reads the target, and whatever
// stops the process, sees the old folder or the new one, never a mix: what
// an interruption leaves beside it, MendFolderSwaps clears at the next run.
class CAtomicFolder {
public:
    CAtomicFolder();
    // Drops the new tree unless Commit succeeded.
    ~CAtomicFolder();
    CAtomicFolder(const CAtomicFolder&) = delete;
    CAtomicFolder& operator=(const CAtomicFolder&) = delete;

    // Makes the new folder beside target, holding what target holds when it
    // exists (hard links where the disk allows, copies elsewhere; symbolic
    // links stay links). A target that is a symbolic link to a folder is
    // replaced where it points. False when target is no folder or the copy
    // cannot be made; nothing is then left behind.
    bool Open(const CString& target);
    // Where the new tree is built, without a trailing '/'.
    const CString& GetNewFolder() const { return m_new; }
    // Syncs the new tree and swaps it in; the old tree goes. False, with the
    // old folder as it was, when the swap fails.
    bool Commit();
    // Drops the new tree; the target is untouched.
    void Abort();

    const CString& GetTargetPath() const { return m_target; }

private:
    void Unlock();

    CString m_target;
    CString m_new;
    int m_lock; // the parent folder, locked shared while the new tree exists
};

// Mends what interrupted swaps left in folder (the parent of the targets),
// unless a swap there is under way: an unfinished or replaced tree is
// removed, and an old tree set aside while its target is missing is put
// back, so each target is whole again. False, with the targets' names in
// unmended, when an old tree could not be put back.
bool MendFolderSwaps(const CString& folder, std::vector<CString>& unmended);

// Whether name is one a swap gives its trees for the time it runs: listings
// of the targets' folder leave such names out.
bool IsFolderSwapName(const CString& name);

// The entries of folder but "." and "..", in the system's order; false
// when it cannot be read.
bool ListNames(const std::string& folder, std::vector<std::string>& names);

} // namespace Zorlin
