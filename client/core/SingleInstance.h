#pragma once

// One client per program folder and user. The first start claims the
// program folder (the toolkit's single-instance lock) and serves a local
// socket; a later start hands the files of its command line over that
// socket to the running client and ends. Both live in the user's runtime
// folder, so sessions of other users, and clients of other program
// folders, never meet.

#include <functional>
#include <memory>
#include <vector>

#include "foundation/String.h"

class CHandOverServer;
class wxSingleInstanceChecker;

// The folder for the lock and the socket: $XDG_RUNTIME_DIR when it names a
// folder, else a folder of our own, "rookwell-UID" in the system's temporary
// folder, made private; empty when neither can be had.
Zorlin::CString RuntimeFolder();

// The name of the client of a program folder for the user uid.
Zorlin::CString InstanceName(const Zorlin::CString& programFolder, unsigned uid);

// The bytes a hand-over carries: the files one after another, each ended by
// a zero byte. Read refuses (false) what a client of ours does not send:
// more than kMaxHandedFiles files or kMaxHandOverBytes bytes, a name that is
// not absolute, or an unended one.
const int kMaxHandedFiles = 64;
const size_t kMaxHandOverBytes = 256 * 1024;
std::vector<char> WriteHandOver(const std::vector<Zorlin::CString>& files);
bool ReadHandOver(const char* data, size_t size, std::vector<Zorlin::CString>& files);

class CSingleInstance {
public:
    // Called on the GUI thread for each hand-over, with its files (maybe none).
    typedef std::function<void(const std::vector<Zorlin::CString>&)> FilesHandler;

    explicit CSingleInstance(const Zorlin::CString& programFolder);
    ~CSingleInstance();

    // True when this process is the program folder's client (or no runtime
    // folder can be had: nothing then keeps a start from running); it then
    // serves hand-overs to onFiles. False when another client runs: the
    // files were handed to it, or, when it could not be reached, problem
    // says so.
    bool Claim(const std::vector<Zorlin::CString>& files, const FilesHandler& onFiles,
               Zorlin::CString& problem);

    // Ends the serving at exit; the claim lasts until destruction.
    void StopServing();

private:
    enum ELock { kLockTaken, kLockHeld, kLockFailed };
    ELock TakeLock();
    Zorlin::CString LockPath() const;
    bool HandOver(const std::vector<Zorlin::CString>& files);
    bool LockHeldByAnyone() const;

    Zorlin::CString m_folder;
    Zorlin::CString m_name;
    std::unique_ptr<wxSingleInstanceChecker> m_checker;
    std::unique_ptr<CHandOverServer> m_server;
};
