#include "client/remote/MapiMail.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/utils.h>

#include "client/core/AppServices.h"
#include "client/core/ChildProcess.h"
#include "foundation/Array.h"
#include "foundation/AtomicFile.h"
#include "foundation/Config.h"
#include "foundation/Win32File.h"
#include "platform/SystemPlaces.h"
#include "foundation/NameText.h"

using Zorlin::CArray;
using Zorlin::CString;

namespace {

const char* const kDefaultCommand = "xdg-email";
// What the command says on its outputs is logged up to this much.
const int kMaxLoggedOutput = 4096;

const char kFolderPrefix[] = "rookwell-mail-";

std::string TempFolder()
{
    const char* temp = getenv("TMPDIR");
    return temp && *temp ? temp : "/tmp";
}

// The folder names the process that made it, so that a later start can
// tell a folder still in use from one left behind.
CString MakeMailFolder()
{
    std::string pattern = TempFolder() + "/" + kFolderPrefix + std::to_string(long(getpid())) + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    return mkdtemp(buffer.data()) ? CString(buffer.data()) : CString();
}

// An attachment folder: its files and the numbered folders of repeated
// names, one level down. Links are removed, never followed.
void RemoveMailFolder(const std::string& path, int depth = 0)
{
    if (DIR* folder = opendir(path.c_str())) {
        while (dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string inner = path + "/" + name;
            struct stat info;
            if (lstat(inner.c_str(), &info) != 0)
                continue;
            if (S_ISDIR(info.st_mode)) {
                if (depth < 1)
                    RemoveMailFolder(inner, depth + 1);
            } else {
                unlink(inner.c_str());
            }
        }
        closedir(folder);
    }
    rmdir(path.c_str());
}

// The process that made a folder of that name, 0 for a name without one.
long FolderOwner(const std::string& name)
{
    const size_t prefix = sizeof(kFolderPrefix) - 1;
    long pid = 0;
    size_t i = prefix;
    for (; i < name.size() && i < prefix + 10 && name[i] >= '0' && name[i] <= '9'; ++i)
        pid = pid * 10 + (name[i] - '0');
    return i < name.size() && name[i] == '-' ? pid : 0;
}

bool IsRunning(long pid)
{
    return pid > 0 && pid != long(getpid()) && (kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

void LogOutput(CChildProcess& process, CString& log, int& logged)
{
    char buffer[512];
    for (int n; (n = process.Read(buffer, sizeof(buffer))) > 0 || (n = process.ReadError(buffer, sizeof(buffer))) > 0;) {
        const int room = kMaxLoggedOutput - logged;
        if (room > 0)
            log.Append(buffer, n < room ? n : room);
        logged += n;
    }
}

// Commands that outlived their Send: left running with the mail and the
// folder of its attachments.
struct SStillRunning {
    CChildProcess* process;
    std::string folder;
};
std::vector<SStillRunning>& StillRunning()
{
    static std::vector<SStillRunning> running;
    return running;
}

} // namespace

int CMapiMail::ReleaseFinished()
{
    std::vector<SStillRunning>& running = StillRunning();
    for (size_t i = 0; i < running.size();) {
        if (running[i].process->HasEnded()) {
            running[i].process->Release();
            // The mail program is done with the copies.
            RemoveMailFolder(running[i].folder);
            running.erase(running.begin() + long(i));
        } else {
            ++i;
        }
    }
    return int(running.size());
}

int CMapiMail::RemoveStaleFolders()
{
    const std::string temp = TempFolder();
    DIR* folder = opendir(temp.c_str());
    if (!folder)
        return 0;
    std::vector<std::string> stale;
    while (dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name.compare(0, sizeof(kFolderPrefix) - 1, kFolderPrefix) != 0)
            continue;
        struct stat info;
        const std::string path = temp + "/" + name;
        // Only our own folders, and only those of clients that have gone.
        if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
            !IsRunning(FolderOwner(name)))
            stale.push_back(path);
    }
    closedir(folder);
    for (const std::string& path : stale)
        RemoveMailFolder(path);
    return int(stale.size());
}

CMapiMail::CMapiMail() : m_usable(false), m_showDialog(false), m_waitMs(kWaitMs)
{
    CString name = GetAppServices().GetProgramSettings().GetValueOr(".mail.command", "");
    name.Trim();
    if (name.IsEmpty())
        name = kDefaultCommand;
    m_command = FindProgramInPath(name);
    m_usable = !m_command.IsEmpty();
    if (m_usable)
        m_log.AppendFormat("Mail command %s\n", Zorlin::EscapeForLog(m_command).GetText());
    else
        m_log.AppendFormat("Mail command %s not found\n", Zorlin::EscapeForLog(name).GetText());
}

bool CMapiMail::IsMailAddress(const CString& address)
{
    const int n = address.GetLength();
    if (n < 3 || n > 254 || address[0] == '-')
        return false;
    int at = -1;
    for (int i = 0; i < n; ++i) {
        const unsigned char c = (unsigned char)address[i];
        if (c <= ' ' || c == 127 || c == '"' || c == '\'' || c == '<' || c == '>' || c == '\\' || c == ',' ||
            c == ';')
            return false;
        if (c == '@') {
            if (at >= 0)
                return false;
            at = i;
        }
    }
    return at > 0 && at < n - 1;
}

CString CMapiMail::SafeFileName(const CString& wanted)
{
    const std::string whole(wanted.GetText());
    const size_t slash = whole.rfind('/');
    const CString name(slash == std::string::npos ? whole.c_str() : whole.c_str() + slash + 1);
    CString safe;
    for (int i = 0; i < name.GetLength(); ++i) {
        const unsigned char c = (unsigned char)name[i];
        safe.Append(c < ' ' || c == 127 || c == '\\' ? '_' : char(c));
    }
    while (!safe.IsEmpty() && safe[0] == '.')
        safe = safe.Mid(1);
    if (safe.GetLength() > 128)
        safe = safe.Mid(safe.GetLength() - 128);
    return safe.IsEmpty() ? CString("attachment") : safe;
}

std::vector<CString> CMapiMail::MakeArguments(const std::vector<CString>& copies) const
{
    std::vector<CString> args;
    args.push_back(m_command);
    if (!m_subject.IsEmpty()) {
        args.push_back("--subject");
        args.push_back(m_subject);
    }
    if (!m_body.IsEmpty()) {
        args.push_back("--body");
        args.push_back(m_body);
    }
    std::vector<CString> to;
    for (const SRecipient& recipient : m_recipients) {
        if (!IsMailAddress(recipient.address))
            return std::vector<CString>();
        if (recipient.recipientClass == 1 || recipient.recipientClass == 2) {
            args.push_back(recipient.recipientClass == 1 ? "--cc" : "--bcc");
            args.push_back(recipient.address);
        } else {
            to.push_back(recipient.address);
        }
    }
    for (const CString& copy : copies) {
        args.push_back("--attach");
        args.push_back(copy);
    }
    args.insert(args.end(), to.begin(), to.end());
    return args;
}

bool CMapiMail::Send()
{
    ReleaseFinished();
    if (!m_usable)
        return false;
    if (m_recipients.empty() && !m_showDialog) {
        m_log.Append("No Recipients\n");
        return false;
    }
    for (const SRecipient& recipient : m_recipients) {
        if (!IsMailAddress(recipient.address)) {
            m_log.AppendFormat("Not a mail address: %s\n", Zorlin::EscapeForLog(recipient.address).GetText());
            return false;
        }
    }

    // The copies stay: the mail program may read them after the command
    // has returned.
    const CString folder = MakeMailFolder();
    if (folder.IsEmpty()) {
        m_log.Append("No folder for the attachments\n");
        return false;
    }
    std::vector<CString> copies;
    std::vector<CString> used;
    for (const SAttachment& attachment : m_attachments) {
        const CString name = SafeFileName(attachment.fileName.IsEmpty() ? attachment.path : attachment.fileName);
        CString target = folder + "/";
        // A second file of the same name goes into a folder of its own.
        bool repeated = false;
        for (const CString& other : used)
            repeated = repeated || other == name;
        if (repeated) {
            CString sub = target;
            sub.AppendFormat("%d", int(copies.size()));
            mkdir(sub.GetText(), 0700);
            target = sub + "/";
        }
        target += name;
        used.push_back(name);
        Zorlin::CWin32File source(attachment.path, Zorlin::CFile::kModeRead);
        if (!source.IsOpen() || !Zorlin::WriteFileAtomically(target, source)) {
            m_log.AppendFormat("Could not attach %s\n", Zorlin::EscapeForLog(attachment.path).GetText());
            RemoveMailFolder(folder.GetText());
            return false;
        }
        copies.push_back(target);
    }

    const std::vector<CString> args = MakeArguments(copies);
    CArray<CString> argv;
    for (const CString& arg : args)
        argv.Add(arg);
    CString error;
    CChildProcess* process = CChildProcess::Spawn(argv, folder, error);
    if (!process) {
        m_log.AppendFormat("%s\n", error.GetText());
        RemoveMailFolder(folder.GetText());
        return false;
    }
    process->CloseInput();

    // Like the mail library's call, this holds the caller until the mail
    // program answers; the toolkit's events go on meanwhile.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_waitMs);
    int logged = 0;
    while (!process->HasEnded() && std::chrono::steady_clock::now() < until) {
        LogOutput(*process, m_log, logged);
        if (wxEventLoopBase* loop = wxEventLoopBase::GetActive())
            loop->DispatchTimeout(10);
        else
            wxMilliSleep(10);
        if (wxAppConsole* app = wxAppConsole::GetInstance())
            app->ProcessPendingEvents();
    }
    LogOutput(*process, m_log, logged);
    if (!process->HasEnded()) {
        // Still composing: the mail is in the program's hands. It is not
        // killed; a later Send frees what is left of it.
        m_log.Append("Mail program still running\n");
        StillRunning().push_back(SStillRunning{process, folder.GetText()});
        return true;
    }
    const int status = process->GetExitCode();
    process->Release();
    m_log.AppendFormat("Send Result= %08X\n", unsigned(status));
    // A refused mail leaves nobody to read the copies.
    if (status != 0)
        RemoveMailFolder(folder.GetText());
    return status == 0;
}
