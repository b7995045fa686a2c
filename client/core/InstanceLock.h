#pragma once

// The lock that keeps one client per user and program folder: a file in a
// folder of the user's own data, locked by the running client for as long
// as it runs; the system lets it go however the client ends. Taking it is
// one step, so of many starts at once exactly one gets it. The holder
// records in it where it serves hand-overs.

#include "foundation/String.h"

class CInstanceLock {
public:
    // What a holder records when it serves no hand-overs.
    static const char kNoSocket[];

    // The lock file name in folder (made, private, when missing).
    CInstanceLock(const Zorlin::CString& folder, const Zorlin::CString& name);
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // Opens the lock file, made when missing; one of another account, or
    // anything but a plain file, is put aside for one of our own. False when
    // the folder is not the user's own or no file can be had there.
    bool Open();
    bool IsOpen() const { return m_fd >= 0; }
    // Takes the lock when nobody holds it.
    bool Take();
    bool IsTaken() const { return m_taken; }
    // The last Take failed for want of locks (a file system without them),
    // not because another start holds it.
    bool IsUnlockable() const { return m_unlockable; }

    // What the holder recorded: its socket's path, kNoSocket, or empty while
    // it has recorded nothing (it is starting, or ending).
    Zorlin::CString ReadRecord() const;
    // For the holder only.
    bool Record(const Zorlin::CString& text);

    const Zorlin::CString& GetPath() const { return m_path; }

private:
    Zorlin::CString m_folder;
    Zorlin::CString m_path;
    int m_fd = -1;
    bool m_taken = false;
    bool m_unlockable = false;
};
