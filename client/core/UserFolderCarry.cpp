#include "client/core/UserFolderCarry.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "client/core/StartUp.h"
#include "foundation/AtomicFile.h"
#include "foundation/AtomicFolder.h"
#include "foundation/DiskDrive.h"
#include "foundation/NameText.h"

using Zorlin::CString;
using Zorlin::ListNames;

namespace {

// The kinds of package folder an older client installed into.
const char* const kPackageKinds[] = {"boards", "voices", "engines"};

// Bounds of one carry: a user folder is a few hundred files, no deep tree.
const int kMaxDepth = 32;
const long kMaxEntries = 200000;

std::string Join(const std::string& folder, const std::string& name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The path with its spelling on the disk, found ignoring case as the drive finds it.
std::string OnDisk(const std::string& path)
{
    return WithoutTrailingSlash(Zorlin::CDiskDrive::FindOnDisk(CString(path.c_str())).GetText());
}

bool Exists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

// A real folder (no link to one) of this account.
bool IsOwnFolder(const std::string& path, bool& foreign)
{
    struct stat info;
    foreign = false;
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    foreign = info.st_uid != geteuid();
    return !foreign;
}

bool SameNoCase(const std::string& a, const std::string& b)
{
    return Zorlin::KeysEqualNoCase(CString(a.c_str()), CString(b.c_str()));
}

// One tree's copy into a folder that is not in place yet.
class CTreeCopy {
public:
    CTreeCopy() : m_entries(0), m_files(0) {}

    // Copies what folder from holds into the existing folder to.
    bool Copy(const std::string& from, const std::string& to, int depth)
    {
        if (depth > kMaxDepth) {
            m_problem = "it is nested more than " + std::to_string(kMaxDepth) + " folders deep";
            return false;
        }
        std::vector<std::string> names;
        if (!ListNames(from, names)) {
            m_problem = from + " could not be read";
            return false;
        }
        for (const std::string& name : names) {
            if (++m_entries > kMaxEntries) {
                m_problem = "it holds more than " + std::to_string(kMaxEntries) + " entries";
                return false;
            }
            if (!CopyEntry(Join(from, name), Join(to, name), depth))
                return false;
        }
        return true;
    }

    long GetFiles() const { return m_files; }
    const std::vector<std::string>& GetLeftOut() const { return m_leftOut; }
    const std::string& GetProblem() const { return m_problem; }

private:
    bool CopyEntry(const std::string& source, const std::string& target, int depth)
    {
        struct stat info;
        if (lstat(source.c_str(), &info) != 0) {
            m_problem = source + " could not be read";
            return false;
        }
        // What another account put into the folder is not this user's.
        if (info.st_uid != geteuid()) {
            m_leftOut.push_back(source + " (another account's)");
            return true;
        }
        if (S_ISDIR(info.st_mode)) {
            if (mkdir(target.c_str(), 0700) != 0 || !Copy(source, target, depth + 1) ||
                chmod(target.c_str(), (info.st_mode & 07777) | S_IRWXU) != 0) {
                if (m_problem.empty())
                    m_problem = target + " could not be made";
                return false;
            }
            return true;
        }
        if (S_ISLNK(info.st_mode)) {
            std::string destination(size_t(info.st_size) + 1, '\0');
            const ssize_t length = readlink(source.c_str(), &destination[0], destination.size());
            if (length < 0 || size_t(length) >= destination.size() ||
                symlink(destination.substr(0, size_t(length)).c_str(), target.c_str()) != 0) {
                m_problem = target + " could not be made";
                return false;
            }
            return true;
        }
        if (!S_ISREG(info.st_mode)) {
            m_leftOut.push_back(source + " (no file)");
            return true;
        }
        return CopyFile(source, target, info);
    }

    // The bytes, synced before the tree is renamed into place, with the
    // old file's modes and times.
    bool CopyFile(const std::string& source, const std::string& target, const struct stat& info)
    {
        const int in = open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (in < 0) {
            m_problem = source + " could not be read";
            return false;
        }
        const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        bool copied = out >= 0;
        char buffer[65536];
        while (copied) {
            const ssize_t got = read(in, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                copied = got == 0;
                break;
            }
            for (ssize_t done = 0; copied && done < got;) {
                const ssize_t put = write(out, buffer + done, size_t(got - done));
                if (put < 0 && errno == EINTR)
                    continue;
                copied = put > 0;
                done += put > 0 ? put : 0;
            }
        }
        close(in);
        if (out >= 0) {
            const struct timespec times[2] = {info.st_atim, info.st_mtim};
            copied = copied && fchmod(out, info.st_mode & 07777) == 0 && futimens(out, times) == 0 &&
                     fsync(out) == 0;
            copied = close(out) == 0 && copied;
        }
        if (!copied) {
            m_problem = target + " could not be written";
            return false;
        }
        ++m_files;
        return true;
    }

    long m_entries;
    long m_files;
    std::vector<std::string> m_leftOut;
    std::string m_problem;
};

// One line of the report: a name with a line break stays one line.
void AddLine(std::string& report, const std::string& text)
{
    const CString escaped = Zorlin::EscapeForLog(CString(text.c_str()));
    report.append(escaped.GetText(), size_t(escaped.GetLength()));
    report += '\n';
}

// Carries the folder from to the place to, which does not exist: whole or
// not at all. The log's lines in report.
bool CarryFolder(const std::string& what, const std::string& from, const std::string& to, std::string& report)
{
    const size_t slash = to.rfind('/');
    const std::string parent = to.substr(0, slash);
    if (mkdir(parent.c_str(), 0777) != 0 && errno != EEXIST) {
        AddLine(report, "Not carried: " + what + " from " + from + " (" + parent + " could not be made)");
        return false;
    }
    Zorlin::CAtomicFolder folder;
    CTreeCopy copy;
    bool carried = folder.Open(CString(to.c_str()));
    if (!carried) {
        AddLine(report, "Not carried: " + what + " from " + from + " (" + to + " could not be begun)");
        return false;
    }
    carried = copy.Copy(from, folder.GetNewFolder().GetText(), 0);
    if (carried) {
        struct stat info;
        carried = lstat(from.c_str(), &info) == 0 &&
                  chmod(folder.GetNewFolder().GetText(), (info.st_mode & 07777) | S_IRWXU) == 0 && folder.Commit();
    }
    if (!carried) {
        folder.Abort();
        AddLine(report, "Not carried: " + what + " from " + from + " (" +
                            (copy.GetProblem().empty() ? to + " could not be put in place" : copy.GetProblem()) + ")");
        return false;
    }
    AddLine(report, "Carried " + what + " from " + from + " to " + to + " (" + std::to_string(copy.GetFiles()) +
                        " files); an older version kept it in the program folder, where it stays");
    for (const std::string& left : copy.GetLeftOut())
        AddLine(report, "  left out: " + left);
    return true;
}

bool IsShipped(const std::string& kind, const std::string& name, const std::vector<CString>& shipped)
{
    for (const CString& folder : shipped) {
        if (SameNoCase(folder.GetText(), kind + "/" + name))
            return true;
    }
    return false;
}

// Each board, voice and engine folder of this account's that an older
// client installed into the program folder and the data folder lacks.
void CarryPackages(const std::string& program, const std::string& data, const std::vector<CString>& shipped,
                   std::string& report)
{
    for (const char* kind : kPackageKinds) {
        std::vector<CString> unmended;
        Zorlin::MendFolderSwaps(CString(Join(data, kind).c_str()), unmended);
        const std::string from = OnDisk(Join(program, kind));
        std::vector<std::string> names;
        if (!ListNames(from, names))
            continue;
        for (const std::string& name : names) {
            bool foreign = false;
            const std::string source = Join(from, name);
            if (name[0] == '.' || Zorlin::IsFolderSwapName(CString(name.c_str())) || IsShipped(kind, name, shipped) ||
                !IsOwnFolder(source, foreign))
                continue;
            if (Exists(OnDisk(Join(Join(data, kind), name))))
                continue;
            const std::string what = std::string(kind) == "boards" ? "the board"
                                     : std::string(kind) == "voices" ? "the voice"
                                                                     : "the engine";
            CarryFolder(what, source, Join(Join(data, kind), name), report);
        }
    }
}

} // namespace

const std::vector<CString>& ShippedPackageFolders()
{
    static const std::vector<CString> shipped = {
#include "ShippedPackages.inc"
    };
    return shipped;
}

CString CarryOldUserFolder(const CString& programFolder, const CString& dataFolder, const CString& userName,
                           const std::vector<CString>& shipped)
{
    const std::string program = WithoutTrailingSlash(programFolder.GetText());
    const std::string data = WithoutTrailingSlash(dataFolder.GetText());
    if (program.empty() || data.empty() || program == data || !IsSafeUserName(userName))
        return CString();
    const std::string name = userName.GetText();
    const std::string users = Join(data, "users");
    // What a carry cut short left beside its place goes first.
    std::vector<CString> unmended;
    Zorlin::MendFolderSwaps(CString(users.c_str()), unmended);
    if (Exists(OnDisk(Join(users, name))))
        return CString();
    const std::string old = OnDisk(Join(Join(program, "users"), name));
    bool foreign = false;
    if (!IsOwnFolder(old, foreign)) {
        if (!foreign)
            return CString();
        std::string report;
        AddLine(report, "The folder " + old + " in the program folder is another account's; it is left alone");
        return CString(report.c_str());
    }
    std::string report;
    CarryPackages(program, data, shipped, report);
    CarryFolder("the folder of user " + name, old, Join(users, name), report);
    return CString(report.c_str());
}
