#pragma once

#include "client/core/WorkerNotice.h"
#include "platform/Http.h"

#include <wx/thread.h>

#include <functional>
#include <string>

// Where the live content goes, below the program folder (where it comes
// from is a program setting: LiveContentAddress).
extern const char* const kLiveContentTarget;

// Set by a download once its file is complete; the game tick takes it and
// rebuilds the side panel. Safe across threads.
void SetDownloadFinished();
bool TakeDownloadFinished();

// One download: the address, the disk file to replace and how to behave.
struct SDownloadRequest {
    std::string url;
    std::string targetPath;
    bool quiet = false;
    // The body must read as a live-content configuration (frames News and Links).
    bool validate = false;
    SHttpOptions http;
    std::function<bool()> isConnected;

    SDownloadRequest();
};

// Fetches one address into one file on a detached worker thread. The file
// is replaced only by a complete body that passed its checks (an HTTP
// error, a cut transfer or invalid live content leave the old file), and
// all at once. Messages go to the GUI thread as worker notices.
class CDownloadThread : public wxThread {
public:
    static constexpr uint64_t kMaxBytes = 1u << 20;

    // target is relative to the program folder.
    CDownloadThread(const char* url, const char* target, bool quiet);
    void SetValidate(bool validate) { m_request.validate = validate; }
    ~CDownloadThread() override;
    // The connection test, for tests; the machine's own by default.
    void SetConnectionTest(std::function<bool()> test) { m_request.isConnected = std::move(test); }
    // Told on the worker thread whether the file was written.
    void SetFinished(std::function<void(bool)> finished) { m_finished = std::move(finished); }
    // Creates and runs the thread. On false the object is already deleted.
    bool Start();

    // The worker's whole job, callable on any thread; true when the file
    // was written. Notices go to report.
    static bool Download(const SDownloadRequest& request, const std::function<void(const SWorkerNotice&)>& report);

protected:
    ExitCode Entry() override;

private:
    SDownloadRequest m_request;
    std::function<void(bool)> m_finished;
};

// The live content download of the periodic check and the Updates page:
// always validated, so nothing but live content replaces live.cfg.
// finished (when given) hears on the worker thread whether it succeeded.
bool StartLiveContentDownload(bool quiet, std::function<void(bool)> finished = {});

// The disk path a file of the program folder is written to (the program
// drive of the media host, in the user's own folder when it has one;
// relative to the working folder when there is no drive).
std::string ProgramFolderPath(const char* relative);
