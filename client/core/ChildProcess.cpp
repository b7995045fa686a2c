#include "client/core/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/utils.h>
#include <wx/wfstream.h>

#include "client/core/WxText.h"

using Zorlin::CArray;
using Zorlin::CString;

namespace {

// Input the program has not read yet is dropped beyond this.
const int kMaxPendingInput = 1 << 20;

std::set<CChildProcess*>& LiveProcesses()
{
    static std::set<CChildProcess*> live;
    return live;
}

bool IsExecutableFile(const CString& path)
{
    struct stat info;
    return stat(path.GetText(), &info) == 0 && S_ISREG(info.st_mode) && access(path.GetText(), X_OK) == 0;
}

bool IsFolder(const CString& path)
{
    struct stat info;
    return stat(path.GetText(), &info) == 0 && S_ISDIR(info.st_mode);
}

int DescriptorOf(wxInputStream* stream)
{
    wxFileInputStream* file = dynamic_cast<wxFileInputStream*>(stream);
    return file && file->GetFile() ? file->GetFile()->fd() : -1;
}

int DescriptorOf(wxOutputStream* stream)
{
    wxFileOutputStream* file = dynamic_cast<wxFileOutputStream*>(stream);
    return file && file->GetFile() ? file->GetFile()->fd() : -1;
}

void MakeNonBlocking(int fd)
{
    if (fd >= 0)
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

CChildProcess::CChildProcess() : wxProcess(nullptr, wxID_ANY)
{
    Redirect();
    m_killTimer.SetOwner(this);
    Bind(wxEVT_TIMER, &CChildProcess::OnKillTimer, this);
}

CChildProcess::~CChildProcess()
{
    m_watch.Stop();
    LiveProcesses().erase(this);
}

CChildProcess* CChildProcess::Spawn(const CArray<CString>& argv, const CString& folder, CString& error)
{
    if (argv.GetCount() == 0 || !IsExecutableFile(*argv.GetAt(0))) {
        error = "not an executable file: ";
        if (argv.GetCount() > 0)
            error.Append(*argv.GetAt(0));
        return nullptr;
    }
    if (!IsFolder(folder)) {
        error = CString("no such folder: ") + folder;
        return nullptr;
    }
    // A program that goes away while we write to it must not end the client.
    static bool ignoring = (std::signal(SIGPIPE, SIG_IGN), true);
    (void)ignoring;

    CArray<const char*> pointers;
    for (int i = 0; i < argv.GetCount(); ++i)
        pointers.Add(argv.GetAt(i)->GetText());
    pointers.Add(nullptr);

    wxExecuteEnv env;
    env.cwd = ToWx(folder);
    CChildProcess* process = new CChildProcess();
    LiveProcesses().insert(process);
    long pid = wxExecute(pointers.GetData(), wxEXEC_ASYNC | wxEXEC_MAKE_GROUP_LEADER, process, &env);
    if (pid <= 0) {
        // The toolkit never heard of the program: no end notice will come.
        delete process;
        error = CString("cannot start ") + *argv.GetAt(0);
        return nullptr;
    }
    process->m_processId = pid;
    process->TakeDescriptors();
    return process;
}

bool CChildProcess::TakeDescriptors()
{
    m_outFd = DescriptorOf(GetInputStream());
    m_errFd = DescriptorOf(GetErrorStream());
    m_inFd = DescriptorOf(GetOutputStream());
    MakeNonBlocking(m_outFd);
    MakeNonBlocking(m_errFd);
    MakeNonBlocking(m_inFd);
    return m_outFd >= 0 && m_inFd >= 0;
}

int CChildProcess::GetLiveCount()
{
    return int(LiveProcesses().size());
}

void CChildProcess::KillAll()
{
    for (CChildProcess* process : LiveProcesses())
        if (!process->m_ended && process->m_processId > 0)
            wxProcess::Kill(int(process->m_processId), wxSIGKILL, wxKILL_CHILDREN);
}

// ------------------------------------------------------------ bytes

int CChildProcess::ReadFrom(int& fd, char* buffer, int size)
{
    if (fd < 0)
        return -1;
    for (;;) {
        ssize_t n = ::read(fd, buffer, size_t(size));
        if (n > 0)
            return int(n);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return 0;
        fd = -1; // the end, or a broken pipe: the stream still owns the descriptor
        return -1;
    }
}

int CChildProcess::Read(char* buffer, int size)
{
    Flush();
    int n = ReadFrom(m_outFd, buffer, size);
    if (m_outFd < 0)
        m_watch.Stop();
    else
        ArmWatch();
    return n;
}

int CChildProcess::ReadError(char* buffer, int size)
{
    return ReadFrom(m_errFd, buffer, size);
}

bool CChildProcess::Write(const char* data, int size)
{
    if (m_inFd < 0)
        return false;
    if (m_pending.GetLength() + size > kMaxPendingInput)
        return false;
    m_pending.Append(data, size);
    Flush();
    return m_inFd >= 0;
}

void CChildProcess::Flush()
{
    int done = 0;
    while (m_inFd >= 0 && done < m_pending.GetLength()) {
        ssize_t n = ::write(m_inFd, m_pending.GetText() + done, size_t(m_pending.GetLength() - done));
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // The program closed its input: nothing more will reach it.
        CloseInput();
        m_pending = "";
        return;
    }
    if (done > 0) {
        CString rest;
        rest.Append(m_pending.GetText() + done, m_pending.GetLength() - done);
        m_pending = rest;
    }
}

void CChildProcess::CloseInput()
{
    if (m_inFd >= 0) {
        m_inFd = -1;
        CloseOutput();
    }
    m_pending = "";
}

void CChildProcess::WaitReadable(int ms)
{
    struct pollfd fds[2];
    int n = 0;
    if (m_outFd >= 0)
        fds[n++] = { m_outFd, POLLIN, 0 };
    if (m_errFd >= 0)
        fds[n++] = { m_errFd, POLLIN, 0 };
    if (n == 0) {
        if (ms > 0)
            usleep(useconds_t(ms) * 1000u);
        return;
    }
    ::poll(fds, nfds_t(n), ms);
}

// ------------------------------------------------------------ the watch

bool CChildProcess::WatchOutput(std::function<void()> onOutput)
{
    m_watch.Stop();
    m_onOutput = std::move(onOutput);
    ArmWatch();
    return m_watch.IsArmed();
}

void CChildProcess::ArmWatch()
{
    // One report per read: output left unread (a flood beyond the reader's
    // budget) is not reported again until the reader comes back.
    if (m_watch.IsArmed() || !m_onOutput || m_outFd < 0 || m_released)
        return;
    m_watch.Arm(m_outFd, m_onOutput);
}

// ------------------------------------------------------------ the end

void CChildProcess::SetResting(bool resting)
{
    if (resting == m_resting || m_ended || m_processId <= 0)
        return;
    m_resting = resting;
    // The whole group: an adapter's engine rests with it.
    ::kill(pid_t(-m_processId), resting ? SIGSTOP : SIGCONT);
}

void CChildProcess::Release()
{
    if (m_released)
        return;
    // Its end needs it running.
    SetResting(false);
    m_released = true;
    m_onOutput = nullptr;
    m_watch.Stop();
    CloseInput();
    if (m_ended) {
        delete this;
        return;
    }
    m_killTimer.StartOnce(kGraceMs);
}

void CChildProcess::OnKillTimer(wxTimerEvent&)
{
    if (!m_ended && m_processId > 0)
        wxProcess::Kill(int(m_processId), wxSIGKILL, wxKILL_CHILDREN);
}

void CChildProcess::OnTerminate(int, int status)
{
    m_ended = true;
    m_exitCode = status;
    m_killTimer.Stop();
    if (m_released)
        delete this;
}
