#include "client/core/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <wx/app.h>

#include "foundation/Spawn.h"

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

void MakeNonBlocking(int fd)
{
    if (fd >= 0)
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

void CloseDescriptor(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

class CChildProcess::CEndPollTimer : public wxTimer {
public:
    explicit CEndPollTimer(CChildProcess& owner) : m_owner(owner) {}
    void Notify() override { m_owner.CheckEnded(); }

private:
    CChildProcess& m_owner;
};

CChildProcess::CChildProcess()
{
    m_killTimer.SetOwner(this);
    Bind(wxEVT_TIMER, &CChildProcess::OnKillTimer, this);
}

CChildProcess::~CChildProcess()
{
    m_watch.Stop();
    m_endWatch.Stop();
    m_endPoll.reset();
    CloseDescriptor(m_endFd);
    CloseDescriptor(m_outFd);
    CloseDescriptor(m_errFd);
    CloseDescriptor(m_inFd);
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

    std::vector<CString> arguments;
    for (int i = 0; i < argv.GetCount(); ++i)
        arguments.push_back(*argv.GetAt(i));
    Zorlin::SSpawnOptions options;
    options.folder = folder;
    // A group in our session, with a keeper that kills it when we end,
    // however we end; the program itself is also killed by the kernel then.
    options.newGroup = true;
    options.endsWithUs = true;
    Zorlin::SChildPipes pipes;
    pid_t keeper = -1;
    const pid_t pid = Zorlin::SpawnProgram(arguments, options, error, &pipes, &keeper);
    if (pid <= 0)
        return nullptr;
    CChildProcess* process = new CChildProcess();
    LiveProcesses().insert(process);
    process->m_processId = pid;
    process->m_keeperId = keeper;
    process->m_outFd = pipes.output;
    process->m_errFd = pipes.error;
    process->m_inFd = pipes.input;
    MakeNonBlocking(process->m_outFd);
    MakeNonBlocking(process->m_errFd);
    MakeNonBlocking(process->m_inFd);
    process->WatchEnd();
    return process;
}

int CChildProcess::GetLiveCount()
{
    return int(LiveProcesses().size());
}

void CChildProcess::KillAll()
{
    // Each leads its group: its children go with it.
    for (CChildProcess* process : LiveProcesses())
        if (!process->m_ended && process->m_processId > 0)
            ::kill(pid_t(-process->m_processId), SIGKILL);
}

// ------------------------------------------------------------ bytes

int CChildProcess::ReadFrom(int fd, char* buffer, int size)
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
        return -1; // the end, or a broken pipe
    }
}

int CChildProcess::Read(char* buffer, int size)
{
    Flush();
    int n = ReadFrom(m_outFd, buffer, size);
    if (n < 0) {
        m_watch.Stop();
        CloseDescriptor(m_outFd);
    } else {
        ArmWatch();
    }
    return n;
}

int CChildProcess::ReadError(char* buffer, int size)
{
    int n = ReadFrom(m_errFd, buffer, size);
    if (n < 0)
        CloseDescriptor(m_errFd);
    return n;
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
    CloseDescriptor(m_inFd);
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
    Zorlin::StopGroup(pid_t(m_processId), m_keeperId, resting);
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
        ::kill(pid_t(-m_processId), SIGKILL);
}

void CChildProcess::WatchEnd()
{
    m_endFd = int(syscall(SYS_pidfd_open, pid_t(m_processId), 0));
    if (m_endFd >= 0) {
        if (m_endWatch.Arm(m_endFd, [this] { CheckEnded(); }))
            return;
        CloseDescriptor(m_endFd);
    }
    // A kernel without process handles: asked now and then.
    m_endPoll.reset(new CEndPollTimer(*this));
    m_endPoll->Start(kEndPollMs);
}

void CChildProcess::CheckEnded()
{
    if (m_ended)
        return;
    int status = 0;
    pid_t reaped;
    while ((reaped = waitpid(pid_t(m_processId), &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (reaped == 0) {
        // Woken before its end could be had: watched on.
        if (m_endFd >= 0)
            m_endWatch.Arm(m_endFd, [this] { CheckEnded(); });
        return;
    }
    // Reaped here, or (an error) by someone else: either way it is gone.
    m_ended = true;
    m_exitCode = reaped > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // What it leaves of its group (a child of an adapter) goes with it.
    Zorlin::EndGroup(pid_t(m_processId), m_keeperId);
    m_killTimer.Stop();
    if (m_endPoll)
        m_endPoll->Stop();
    // Its handle stays readable: watched on, it would wake us for ever.
    m_endWatch.Stop();
    CloseDescriptor(m_endFd);
    if (!m_released)
        return;
    // Called from its own watch: the event loop is done with it first.
    if (wxAppConsole* app = wxAppConsole::GetInstance()) {
        app->CallAfter([this] { delete this; });
        return;
    }
    delete this;
}
