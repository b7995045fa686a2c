#pragma once

// One client per program folder and user. The first start takes the lock
// kept beside the user's data and serves a local socket in a private
// runtime folder; a later start hands the files of its command line over
// that socket to the running client and ends. Nothing another account
// makes, anywhere, can take the place of either.

#include <functional>
#include <memory>
#include <vector>

#include "client/core/HandOverMessage.h"
#include "foundation/String.h"

class CHandOverServer;
class CInstanceLock;

// The name of the client of a program folder for the user uid.
Zorlin::CString InstanceName(const Zorlin::CString& programFolder, unsigned uid);

// The folders of the locks, beside the user's data, where only the user
// writes: that of the data folder the start-up uses (none without one).
std::vector<Zorlin::CString> InstanceLockFolders();

class CSingleInstance {
public:
    // Called on the GUI thread for each hand-over, with its files (maybe
    // none), one after another in the order they came.
    typedef std::function<void(const std::vector<Zorlin::CString>&)> FilesHandler;
    // Whether the client takes files now (see CHandOverServer).
    typedef std::function<bool()> TakingCheck;

    // How long a start waits for a running client that does not answer yet
    // (it may itself be starting, on a loaded machine).
    static constexpr int kWaitForClientMs = 60000;

    explicit CSingleInstance(const Zorlin::CString& programFolder);
    ~CSingleInstance();

    // True when this process is the program folder's client (or no lock can
    // be had: nothing then keeps a start from running); it then serves
    // hand-overs to onFiles. False when another client runs: the files were
    // handed to it, or problem says why they were not.
    bool Claim(const std::vector<Zorlin::CString>& files, const FilesHandler& onFiles,
               Zorlin::CString& problem, const TakingCheck& taking = TakingCheck());

    // Ends the serving at exit; the claim lasts until destruction.
    void StopServing();

private:
    void Serve(const FilesHandler& onFiles, const TakingCheck& taking);
    // False when the lock came free meanwhile; else the files were handed
    // over, or problem says why not.
    bool HandOver(const std::vector<Zorlin::CString>& files, Zorlin::CString& problem);

    Zorlin::CString m_name;
    std::unique_ptr<CInstanceLock> m_lock;
    std::unique_ptr<CHandOverServer> m_server;
    Zorlin::CString m_socket;
};
