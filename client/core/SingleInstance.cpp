#include "client/core/SingleInstance.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "client/core/HandOverSender.h"
#include "client/core/HandOverServer.h"
#include "client/core/InstanceLock.h"
#include "client/core/RuntimeFolder.h"
#include "foundation/Crc32.h"
#include "foundation/NameText.h"
#include "platform/SystemPlaces.h"

using Zorlin::CString;
using Zorlin::EscapeForLog;

namespace {

typedef std::chrono::steady_clock Clock;

// How often a start looks again at a client that has no socket yet.
const int kRetryMs = 50;

const char kDoesNotAnswer[] = "Rookwell is already running, but it does not answer.\n\n"
                              "Close it, or end it if it hangs, and start Rookwell again.";
const char kCannotReach[] = "Rookwell is already running, but this start cannot reach it.\n\n"
                            "Open your files from the running Rookwell, or close it and start Rookwell again.";

const char kAnswerNotUnderstood[] = "Rookwell is already running, and the files of this start were sent to it, "
                                   "but its answer was not understood: they may not have been opened.\n\n"
                                   "Look in the running Rookwell, and open them from there if they are not.";
const char kAnswerNotUnderstoodRaise[] = "Rookwell is already running, but its answer to this start was not "
                                         "understood.\n\nClose it, or end it if it hangs, and start Rookwell "
                                         "again.";

CString Refused(const CString& why)
{
    CString text("Rookwell is already running, but it refused the files of this start: ");
    text += why.IsEmpty() ? CString("it did not say why") : why;
    text += ".\n\nOpen them from the running Rookwell.";
    return text;
}

} // namespace

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

std::vector<CString> InstanceLockFolders()
{
    // The data folder the start-up keeps the user's files in, decided once.
    const CString data = UserDataFolder();
    return data.IsEmpty() ? std::vector<CString>() : std::vector<CString>{data + "/instances"};
}

CSingleInstance::CSingleInstance(const CString& programFolder)
{
    char* real = realpath(programFolder.GetText(), nullptr);
    const CString folder = real ? CString(real) : programFolder;
    free(real);
    m_name = InstanceName(folder, unsigned(getuid()));
}

CSingleInstance::~CSingleInstance()
{
    StopServing();
}

bool CSingleInstance::Claim(const std::vector<CString>& files, const FilesHandler& onFiles, CString& problem,
                           const TakingCheck& taking)
{
    problem = "";
    for (const CString& folder : InstanceLockFolders()) {
        m_lock.reset(new CInstanceLock(folder, m_name + ".lock"));
        if (m_lock->Open())
            break;
        m_lock.reset();
    }
    const bool taken = m_lock && m_lock->Take();
    if (!taken && (!m_lock || m_lock->IsUnlockable())) {
        fprintf(stderr, "No lock can be had beside the user's data: another start of Rookwell would run beside "
                        "this one.\n");
        m_lock.reset();
        return true;
    }
    // The lock may also come free while the hand-over waits: the running
    // client has just ended.
    if (taken || !HandOver(files, problem)) {
        Serve(onFiles, taking);
        return true;
    }
    return false;
}

bool CSingleInstance::HandOver(const std::vector<CString>& files, CString& problem)
{
    const std::vector<CString> handed = FitHandOver(files);
    fputs(LeftOutText(files, handed.size()).GetText(), stderr);
    const std::vector<char> message = WriteHandOver(handed);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kWaitForClientMs);
    for (;;) {
        // Taken also when the running client has just ended.
        if (m_lock->Take())
            return false;
        const CString socket = m_lock->ReadRecord();
        if (socket == CInstanceLock::kNoSocket) {
            problem = kCannotReach;
            return true;
        }
        if (!socket.IsEmpty()) {
            CString why;
            switch (SendHandOver(socket, message, deadline, why)) {
            case EHandOverResult::kAccepted:
                // A name longer than a hand-over carries: the client was only raised.
                if (handed.empty() && !files.empty())
                    problem = Refused("the name of its file is too long");
                return true;
            case EHandOverResult::kRefused:
                fprintf(stderr, "The running client refused the hand-over: %s.\n", EscapeForLog(why).GetText());
                problem = Refused(why);
                return true;
            case EHandOverResult::kUnsafe:
                fprintf(stderr, "Nothing is handed to %s: it is not this user's.\n", EscapeForLog(socket).GetText());
                problem = kCannotReach;
                return true;
            case EHandOverResult::kNotUnderstood:
                fprintf(stderr, handed.empty() ? "The client at %s was asked to come forward, but its answer was not "
                                                 "understood.\n"
                                               : "The names were sent to %s, but its answer was not understood.\n",
                        EscapeForLog(socket).GetText());
                problem = handed.empty() ? kAnswerNotUnderstoodRaise : kAnswerNotUnderstood;
                return true;
            case EHandOverResult::kNoAnswer:
                problem = kDoesNotAnswer;
                return true;
            case EHandOverResult::kNotThere:
                break;
            }
        }
        if (Clock::now() >= deadline) {
            problem = kDoesNotAnswer;
            return true;
        }
        usleep(kRetryMs * 1000);
    }
}

void CSingleInstance::Serve(const FilesHandler& onFiles, const TakingCheck& taking)
{
    // What a client that was killed left.
    RemoveRuntimeSocket(m_lock->ReadRecord());
    m_lock->Record(CString());
    const CString folder = MakeRuntimeFolder();
    const CString socket = folder.IsEmpty() ? CString() : RuntimeSocket(folder);
    const int listener = socket.IsEmpty() ? -1 : ListenAtSocket(socket);
    if (listener < 0) {
        fprintf(stderr, "Files opened from other starts cannot be received: no private socket can be made.\n");
        if (!folder.IsEmpty())
            rmdir(folder.GetText());
        m_lock->Record(CInstanceLock::kNoSocket);
        return;
    }
    m_server.reset(new CHandOverServer(listener, onFiles, CHandOverServer::kPeerTimeLimitMs, taking));
    m_socket = socket;
    m_lock->Record(socket);
}

void CSingleInstance::StopServing()
{
    m_server.reset();
    if (!m_socket.IsEmpty()) {
        RemoveRuntimeSocket(m_socket);
        m_socket = CString();
        // Until the lock goes, another start waits as for a client starting.
        if (m_lock)
            m_lock->Record(CString());
    }
}
