#pragma once

#include "client/core/WorkerNotice.h"
#include "foundation/Config.h"
#include "platform/Http.h"

#include <wx/thread.h>

#include <functional>
#include <string>

// The version file's copy below the program folder (its address is a
// program setting: VersionFileAddress), and the download page offered when
// the file names no usable one.
extern const char* const kVersionFileTarget;
extern const char* const kDownloadPageAddress;

struct SUpdateCheckRequest {
    std::string url;
    std::string targetPath;
    bool quiet = false;
    SHttpOptions http;
    std::function<bool()> isConnected;

    SUpdateCheckRequest();
};

// Fetches the version file on a detached worker thread and compares it with
// the program's own version; a newer version is offered even when quiet.
class CUpdateCheckThread : public wxThread {
public:
    static constexpr uint64_t kMaxBytes = 64u << 10;

    // The version file of the program settings.
    explicit CUpdateCheckThread(bool quiet);
    CUpdateCheckThread(const char* url, bool quiet);
    ~CUpdateCheckThread() override;
    // The connection test, for tests; the machine's own by default.
    void SetConnectionTest(std::function<bool()> test) { m_request.isConnected = std::move(test); }
    // Told on the worker thread whether a version file was read.
    void SetFinished(std::function<void(bool)> finished) { m_finished = std::move(finished); }
    // Creates and runs the thread. On false the object is already deleted.
    bool Start();

    // The worker's whole job, callable on any thread; version receives the
    // file. True when a version file was read.
    static bool Check(const SUpdateCheckRequest& request, Zorlin::CConfig& version,
                      const std::function<void(const SWorkerNotice&)>& report);
    // The version file's url when it is an http or https address, else the
    // built-in download page.
    static std::string DownloadPageOf(const Zorlin::CConfig& version);

protected:
    ExitCode Entry() override;

private:
    SUpdateCheckRequest m_request;
    Zorlin::CConfig m_version;
    std::function<void(bool)> m_finished;
};
