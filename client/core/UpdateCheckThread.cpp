#include "client/core/UpdateCheckThread.h"

#include "client/core/DownloadThread.h"
#include "client/core/Internet.h"
#include "client/core/Version.h"
#include "foundation/AtomicFile.h"
#include "foundation/MemFile.h"

#include <sys/stat.h>

using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CMemFile;

const char* const kVersionFileTarget = "live content/version.cfg";
const char* const kDownloadPageAddress = "https://www.pemberlode.example/rookwell/download.htm";

namespace {

const char* const kCaption = "Check for updates";

void Tell(const std::function<void(const SWorkerNotice&)>& report, const char* text, SWorkerNotice::EKind kind,
          const std::string& url = std::string())
{
    if (!report)
        return;
    SWorkerNotice notice;
    notice.kind = kind;
    notice.text = text;
    notice.caption = kCaption;
    notice.url = url;
    report(notice);
}

void KeepCopy(const std::string& path, CMemFile& body)
{
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        ::mkdir(path.substr(0, slash).c_str(), 0777);
    body.Seek(0, CFile::kSeekStart);
    Zorlin::WriteFileAtomically(Zorlin::CString(path.c_str()), body);
}

} // namespace

SUpdateCheckRequest::SUpdateCheckRequest() : isConnected([] { return IsInternetConnected(); })
{
}

CUpdateCheckThread::CUpdateCheckThread(bool quiet) : CUpdateCheckThread(VersionFileAddress().c_str(), quiet)
{
}

CUpdateCheckThread::CUpdateCheckThread(const char* url, bool quiet) : wxThread(wxTHREAD_DETACHED)
{
    m_request.url = url ? url : "";
    m_request.targetPath = ProgramFolderPath(kVersionFileTarget);
    m_request.quiet = quiet;
    m_request.http.maxBytes = kMaxBytes;
    const std::string address = m_request.url;
    m_request.isConnected = [address] { return IsInternetConnected(address); };
    CountWorkerIn();
}

CUpdateCheckThread::~CUpdateCheckThread()
{
    CountWorkerOut();
}

bool CUpdateCheckThread::Start()
{
    if (Create() != wxTHREAD_NO_ERROR || Run() != wxTHREAD_NO_ERROR) {
        delete this;
        return false;
    }
    return true;
}

wxThread::ExitCode CUpdateCheckThread::Entry()
{
    const bool read = Check(m_request, m_version, &PostWorkerNotice);
    if (m_finished)
        m_finished(read);
    return nullptr;
}

std::string CUpdateCheckThread::DownloadPageOf(const CConfig& version)
{
    Zorlin::CString url = version.GetValueOr(".url", "");
    return IsWebAddress(url.GetText()) ? url.GetText() : kDownloadPageAddress;
}

bool CUpdateCheckThread::Check(const SUpdateCheckRequest& request, CConfig& version,
                               const std::function<void(const SWorkerNotice&)>& report)
{
    bool quiet = request.quiet;
    if (request.isConnected && !request.isConnected()) {
        if (!quiet)
            Tell(report, "Could not connect.\nPlease check you are connected to the internet.",
                 SWorkerNotice::kInformation);
        return false;
    }
    CMemFile body(1024);
    body.Open("version.cfg", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    CConfig file;
    bool read = FetchUrl(request.url.c_str(), body, request.http) > 0;
    if (read) {
        body.Seek(0, CFile::kSeekStart);
        read = file.Read(body) && file.GetKeyCount() > 0 && file.KeyExists(".Version.Major");
    }
    if (!read) {
        if (!quiet)
            Tell(report, "Unable to download version file.", SWorkerNotice::kInformation);
        return false;
    }
    version.Clear();
    version.Merge(file);
    KeepCopy(request.targetPath, body);
    if (IsNewerVersion(version))
        Tell(report, "An newer version of Rookwell is available for download.\n\nGo to download page?",
             SWorkerNotice::kAskOpenUrl, DownloadPageOf(version));
    else if (!quiet)
        Tell(report, "You are running the latest version.", SWorkerNotice::kInformation);
    return true;
}
