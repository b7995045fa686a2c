#pragma once

#include <ctime>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/Drive.h"

namespace Zorlin {

// Makes an absolute folder and the missing folders above it, each one
// private to the user (mode 0700); true when it is a folder in the end.
bool MakePrivateFolders(const CString& folder);

// A folder of the local disk seen as a drive. Every path is resolved to an
// absolute one below the root (the process's working folder is never
// changed, so threads may run beside it); a path whose exact spelling is
// missing is matched component by component ignoring the case of ASCII
// letters, so files named on a system that ignores case are still found.
// Listings are sorted by name.
//
// A drive may have an own folder laid over its root (a program folder the
// user cannot write): writes go to the own folder, reads take the own
// folder's file where it has one and the root's otherwise, and listings
// show both. A top folder may be the own folder's alone (KeepOwnOnly).
class CDiskDrive : public CDrive {
public:
    // "." is the working folder at the time of the call.
    explicit CDiskDrive(const char* root);

    // Makes root absolute and normal and keeps it with a trailing '/'; the
    // drive is valid when it names an existing folder that can be entered.
    // On success the current folder is the root itself.
    bool SetRoot(const CString& root);

    // Lays the folder over the root (made when missing): false when it
    // cannot be made, and the drive then writes to its root as before.
    bool SetOwnFolder(const CString& folder);
    // The own folder with a trailing '/', or empty when the drive has none.
    const CString& GetOwnFolder() const { return m_own; }
    // Makes a top folder of the drive ("/users") the own folder's alone:
    // what is below it is looked up, listed, entered, read and written only
    // there, so a file is found where it will be written. What the root
    // holds there (a user's files an older client kept in the program
    // folder) never stands in for it. Without an own folder it changes
    // nothing.
    void KeepOwnOnly(const CString& topFolder);

    bool IsValid() const override { return m_valid; }
    CAutoPointer<CFile> OpenFile(const CURL& path, unsigned mode) override;
    bool Exists(const CURL& path) override;
    // False for a path that does not exist.
    bool GetInfo(const CURL& path, SFileInfo& info) override;
    unsigned GetFileSize(const CURL& path) override;
    bool ChangeDirectory(const CURL& path) override;
    // Makes one folder; true also when it already exists.
    bool MakeDirectory(const CURL& path) override;
    bool ListDirectory(CArray<CString>& out, bool fullPaths) override;
    // The disk path, with the spelling found on the disk.
    void GetFullPath(CURL& inOut, const char* path) override;

    // The absolute disk path of a path of this drive: in the own folder
    // when it has the path or the root does not.
    CString GetDiskPath(const CURL& path) const;
    // The disk path a write of path goes to: in the own folder, whose
    // folders above it are made, when the drive has one.
    CString GetWritablePath(const CURL& path);
    // The disk path below the root alone, whatever the own folder holds.
    CString RootPath(const CURL& path) const;

    // The spelling on disk of an absolute path: each component that does
    // not exist as written is replaced by an entry of its folder that
    // matches it ignoring case; from the first component that matches
    // nothing, the rest is kept as written.
    static CString FindOnDisk(const CString& absolutePath);

    // Tells the drive that a file or folder was made at this disk path, so
    // its listing cache stays current without reading the folder again.
    // The drive's own writes call it; so does whoever writes a path
    // GetDiskPath gave.
    void NoteCreated(const CString& diskPath);

    // For a run of writes into the current folder (an extraction): its disk
    // path without the trailing '/', its listing read once now, or "" when
    // it cannot be read. FindListed then answers from that listing alone
    // and NoteListed keeps it current, a stat less for every name; the
    // next ordinary lookup checks the folder's change time again.
    std::string ListCurrentFolder();
    bool FindListed(const std::string& folder, const std::string& name, std::string& found) const;
    void NoteListed(const std::string& folder, const std::string& name);
    bool HasListing(const std::string& folder) const;

private:
    // One folder's entries by lower-cased name, the first in name order
    // for each, and the folder's change time when they were read: a folder
    // changed since (by anyone else) is read again.
    struct SListing {
        timespec changed;
        std::unordered_map<std::string, std::string> byLowerName;
    };

    // FindOnDisk through the listing cache: a path is resolved without
    // reading its folder again for every new name written into it.
    CString Resolve(const CString& absolutePath) const;
    bool FindCached(const std::string& folder, const std::string& name, std::string& found) const;

    CString OwnPath(const CURL& path) const;
    // Whether a path of the drive, resolved in the current folder, lies in
    // a folder that only the own folder answers for.
    bool IsOwnOnly(const CURL& resolved) const;

    bool m_valid;
    CString m_own;
    std::vector<std::string> m_ownOnly; // lower-cased top folder names
    mutable std::mutex m_listingLock;
    mutable std::unordered_map<std::string, SListing> m_listings;
};

} // namespace Zorlin
