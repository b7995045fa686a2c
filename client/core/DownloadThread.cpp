#include "client/core/DownloadThread.h"

#include "client/core/Internet.h"
#include "client/core/MediaHost.h"
#include "foundation/AtomicFile.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"

#include <sys/stat.h>

#include <atomic>

using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CMemFile;

const char* const kLiveContentTarget = "live content/live.cfg";

namespace {

std::atomic<bool> g_downloadFinished{false};

const char* const kCaption = "Download File";

void Tell(const std::function<void(const SWorkerNotice&)>& report, bool quiet, const char* text)
{
    if (quiet || !report)
        return;
    SWorkerNotice notice;
    notice.text = text;
    notice.caption = kCaption;
    report(notice);
}

bool IsLiveContent(CMemFile& body)
{
    body.Seek(0, CFile::kSeekStart);
    CConfig config;
    return config.Read(body) && config.GetKeyCount() > 0 && config.FrameExists(".News") &&
           config.FrameExists(".Links");
}

// The folder of the target, when it is missing (a fresh program folder has
// no "live content" yet).
void MakeParentFolder(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return;
    ::mkdir(path.substr(0, slash).c_str(), 0777);
}

} // namespace

void SetDownloadFinished()
{
    g_downloadFinished = true;
}

bool TakeDownloadFinished()
{
    return g_downloadFinished.exchange(false);
}

SDownloadRequest::SDownloadRequest() : isConnected([] { return IsInternetConnected(); })
{
}

std::string ProgramFolderPath(const char* relative)
{
    IMediaHost* host = GetMediaHost();
    Zorlin::CDiskDrive* drive = host ? host->GetProgramDrive() : nullptr;
    if (!drive)
        return relative;
    // Every caller writes the file: it goes where the client may write.
    return drive->GetWritablePath(Zorlin::CURL(Zorlin::CString("/") + relative)).GetText();
}

CDownloadThread::CDownloadThread(const char* url, const char* target, bool quiet) : wxThread(wxTHREAD_DETACHED)
{
    m_request.url = url ? url : "";
    m_request.targetPath = ProgramFolderPath(target ? target : "");
    m_request.quiet = quiet;
    m_request.http.maxBytes = kMaxBytes;
    const std::string address = m_request.url;
    m_request.isConnected = [address] { return IsInternetConnected(address); };
    CountWorkerIn();
}

CDownloadThread::~CDownloadThread()
{
    CountWorkerOut();
}

bool CDownloadThread::Start()
{
    if (Create() != wxTHREAD_NO_ERROR || Run() != wxTHREAD_NO_ERROR) {
        delete this;
        return false;
    }
    return true;
}

wxThread::ExitCode CDownloadThread::Entry()
{
    const bool written = Download(m_request, &PostWorkerNotice);
    if (m_finished)
        m_finished(written);
    return nullptr;
}

bool CDownloadThread::Download(const SDownloadRequest& request, const std::function<void(const SWorkerNotice&)>& report)
{
    if (!request.quiet && request.isConnected && !request.isConnected()) {
        Tell(report, false, "Could not connect.\nPlease check you are connected to the internet.");
        return false;
    }
    CMemFile body(4096);
    body.Open(request.targetPath.c_str(), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    if (FetchUrl(request.url.c_str(), body, request.http) == 0) {
        Tell(report, request.quiet, "Could not connect.\n\nPlease check you are connected to the internet.");
        return false;
    }
    if (request.validate && !IsLiveContent(body)) {
        Tell(report, request.quiet, "Download failed.");
        return false;
    }
    body.Seek(0, CFile::kSeekStart);
    MakeParentFolder(request.targetPath);
    if (!Zorlin::WriteFileAtomically(Zorlin::CString(request.targetPath.c_str()), body)) {
        Tell(report, request.quiet, "Download failed.");
        return false;
    }
    SetDownloadFinished();
    Tell(report, request.quiet, "Download successful!");
    return true;
}

bool StartLiveContentDownload(bool quiet, std::function<void(bool)> finished)
{
    CDownloadThread* thread = new CDownloadThread(LiveContentAddress().c_str(), kLiveContentTarget, quiet);
    thread->SetValidate(true);
    thread->SetFinished(std::move(finished));
    return thread->Start();
}
