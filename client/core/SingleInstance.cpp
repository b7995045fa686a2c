#include "client/core/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/app.h>
#include <wx/ipc.h>
#include <wx/log.h>
#include <wx/snglinst.h>
#include <wx/utils.h>

#include "client/core/WxText.h"
#include "foundation/Crc32.h"

using Zorlin::CString;

namespace {

const char kTopic[] = "open";
// Leads every hand-over, so a stray writer to the socket is told apart.
const char kHandOverTag[] = "rookwell-files";
// A socket's path must fit the system's address (108 bytes on Linux).
const int kMaxSocketPath = 100;
// How long a start keeps trying to reach a client that is itself starting.
const int kHandOverTries = 50;
const int kHandOverRetryMs = 100;
// After this many tries a lock nobody holds is taken for a dead one's.
const int kTriesBeforeStaleCheck = 10;

bool IsPrivateFolder(const CString& path)
{
    struct stat info;
    return lstat(path.GetText(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & 077) == 0;
}

class CHandOverConnection : public wxConnection {
public:
    explicit CHandOverConnection(const CSingleInstance::FilesHandler& onFiles) : m_onFiles(onFiles) {}

    bool OnExecute(const wxString&, const void* data, size_t size, wxIPCFormat) override
    {
        std::vector<CString> files;
        if (!ReadHandOver(static_cast<const char*>(data), size, files)) {
            fprintf(stderr, "A hand-over of %zu bytes was refused: it is not one of ours.\n", size);
            return false;
        }
        // Answered at once; the files open once the socket's event is done.
        CSingleInstance::FilesHandler handler = m_onFiles;
        wxTheApp->CallAfter([handler, files] { handler(files); });
        return true;
    }

    // Answered after the hand-over before it, so the sender knows it arrived.
    const void* OnRequest(const wxString&, const wxString&, size_t* size, wxIPCFormat) override
    {
        static const char kDone[] = "done";
        if (size)
            *size = sizeof kDone;
        return kDone;
    }

private:
    CSingleInstance::FilesHandler m_onFiles;
};

} // namespace

class CHandOverServer : public wxServer {
public:
    explicit CHandOverServer(const CSingleInstance::FilesHandler& onFiles) : m_onFiles(onFiles) {}

    wxConnectionBase* OnAcceptConnection(const wxString& topic) override
    {
        return topic == kTopic ? new CHandOverConnection(m_onFiles) : nullptr;
    }

private:
    CSingleInstance::FilesHandler m_onFiles;
};

CString RuntimeFolder()
{
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/') {
        struct stat info;
        CString folder(runtime);
        if (stat(runtime, &info) == 0 && S_ISDIR(info.st_mode) && folder.GetLength() < kMaxSocketPath - 40)
            return folder;
    }
    CString own;
    own.AppendFormat("/tmp/rookwell-%u", unsigned(getuid()));
    if (mkdir(own.GetText(), 0700) != 0 && errno != EEXIST)
        return CString();
    return IsPrivateFolder(own) ? own : CString();
}

CString InstanceName(const CString& programFolder, unsigned uid)
{
    CString folder(programFolder);
    while (folder.GetLength() > 1 && folder[folder.GetLength() - 1] == '/')
        folder = folder.Mid(0, folder.GetLength() - 2);
    CString name;
    name.AppendFormat("rookwell-%u-%08x", uid,
                      unsigned(Zorlin::Crc32(folder.GetText(), size_t(folder.GetLength()))));
    return name;
}

std::vector<char> WriteHandOver(const std::vector<CString>& files)
{
    std::vector<char> bytes(kHandOverTag, kHandOverTag + sizeof kHandOverTag);
    for (const CString& file : files)
        bytes.insert(bytes.end(), file.GetText(), file.GetText() + file.GetLength() + 1);
    return bytes;
}

bool ReadHandOver(const char* data, size_t size, std::vector<CString>& files)
{
    files.clear();
    if (!data || size < sizeof kHandOverTag || size > kMaxHandOverBytes ||
        memcmp(data, kHandOverTag, sizeof kHandOverTag) != 0 || data[size - 1] != 0)
        return false;
    for (size_t at = sizeof kHandOverTag; at < size;) {
        const size_t length = strlen(data + at);
        if (length == 0 || data[at] != '/' || int(files.size()) == kMaxHandedFiles) {
            files.clear();
            return false;
        }
        files.push_back(CString(data + at));
        at += length + 1;
    }
    return true;
}

CSingleInstance::CSingleInstance(const CString& programFolder)
{
    char* real = realpath(programFolder.GetText(), nullptr);
    const CString folder = real ? CString(real) : programFolder;
    free(real);
    m_folder = RuntimeFolder();
    m_name = InstanceName(folder, unsigned(getuid()));
}

CSingleInstance::~CSingleInstance() = default;

CSingleInstance::ELock CSingleInstance::TakeLock()
{
    wxLogNull quiet;
    m_checker.reset(new wxSingleInstanceChecker);
    const bool made = m_checker->Create(ToWx(m_name + ".lock"), ToWx(m_folder));
    const ELock lock = !made ? kLockFailed : m_checker->IsAnotherRunning() ? kLockHeld : kLockTaken;
    if (lock != kLockTaken)
        m_checker.reset();
    return lock;
}

CString CSingleInstance::LockPath() const
{
    return m_folder + "/" + m_name + ".lock";
}

bool CSingleInstance::LockHeldByAnyone() const
{
    const int fd = open(LockPath().GetText(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return errno != ENOENT;
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    const bool asked = fcntl(fd, F_GETLK, &probe) == 0;
    close(fd);
    return !asked || probe.l_type != F_UNLCK;
}

bool CSingleInstance::HandOver(const std::vector<CString>& files)
{
    wxLogNull quiet;
    wxClient client;
    std::unique_ptr<wxConnectionBase> connection(
        client.MakeConnection("localhost", ToWx(m_folder + "/" + m_name + ".socket"), kTopic));
    if (!connection)
        return false;
    const std::vector<char> bytes = WriteHandOver(files);
    size_t size = 0;
    const bool handed = connection->Execute(bytes.data(), bytes.size(), wxIPC_PRIVATE) &&
                        connection->Request("done", &size, wxIPC_PRIVATE) != nullptr;
    connection->Disconnect();
    return handed;
}

bool CSingleInstance::Claim(const std::vector<CString>& files, const FilesHandler& onFiles, CString& problem)
{
    problem = "";
    if (m_folder.IsEmpty())
        return true;
    bool claimed = false;
    for (int attempt = 0; attempt < kHandOverTries && !claimed; ++attempt) {
        // Taken also when the running client has just ended.
        const ELock lock = TakeLock();
        if (lock == kLockTaken) {
            claimed = true;
            break;
        }
        // The toolkit takes a lock for a live one while its process number
        // names a process, and refuses a lock file it cannot read; a lock
        // no process holds is a dead client's either way.
        const bool held = LockHeldByAnyone();
        if (!held && (lock == kLockFailed || attempt >= kTriesBeforeStaleCheck)) {
            unlink(LockPath().GetText());
            claimed = TakeLock() == kLockTaken;
            if (!claimed && lock == kLockFailed) {
                // No lock can be had here: nothing keeps this start from running.
                fprintf(stderr, "No lock could be made in %s.\n", m_folder.GetText());
                return true;
            }
            break;
        }
        if (HandOver(files))
            return false;
        wxMilliSleep(kHandOverRetryMs);
    }
    if (!claimed) {
        problem = "Rookwell is already running, but it does not answer.\n\n"
                  "Close it, or end it if it hangs, and start Rookwell again.";
        return false;
    }
    m_server.reset(new CHandOverServer(onFiles));
    if (!m_server->Create(ToWx(m_folder + "/" + m_name + ".socket"))) {
        fprintf(stderr, "Files opened from other starts cannot be received: no socket in %s.\n",
                m_folder.GetText());
        m_server.reset();
    }
    return true;
}

void CSingleInstance::StopServing()
{
    m_server.reset();
}
