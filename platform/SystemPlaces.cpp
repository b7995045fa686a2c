#include "platform/SystemPlaces.h"

#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "foundation/File.h"
#include "foundation/Win32File.h"
#include "platform/AccountPlaces.h"

using Zorlin::CString;

namespace {

// A user-dirs file is a few lines; anything longer is not one.
const uint64_t kMaxUserDirsSize = 65536;

bool IsFolder(const CString& path)
{
    struct stat info;
    return !path.IsEmpty() && stat(path.GetText(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsProgram(const CString& path)
{
    struct stat info;
    return stat(path.GetText(), &info) == 0 && S_ISREG(info.st_mode) && access(path.GetText(), X_OK) == 0;
}

CString Below(const CString& folder, const char* name)
{
    CString path = folder;
    if (path.IsEmpty() || path[path.GetLength() - 1] != '/')
        path.Append('/');
    path.Append(name);
    return path;
}

CString AbsoluteVariable(const char* name)
{
    const char* value = getenv(name);
    return value && value[0] == '/' ? CString(value) : CString();
}

CString ReadSmallFile(const CString& path)
{
    Zorlin::CWin32File file(path, Zorlin::CFile::kModeRead);
    if (!file.IsOpen() || file.GetSize() > kMaxUserDirsSize)
        return CString();
    return CString(file);
}

} // namespace

CString RunningProgramPath()
{
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0 || size_t(length) >= buffer.size() - 1)
        return CString();
    CString path;
    path.Append(buffer.data(), int(length));
    return path;
}

CString HomeFolder()
{
    CString home = AbsoluteVariable("HOME");
    return home.IsEmpty() ? AccountHomeFolder() : home;
}

namespace {

// The account's entry in the password database, as (name, home).
std::pair<CString, CString> AccountEntry()
{
    std::vector<char> buffer(16384);
    struct passwd entry, *found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return {CString(found->pw_name ? found->pw_name : ""), CString(found->pw_dir ? found->pw_dir : "")};
}

} // namespace

CString AccountHomeFolder()
{
    const CString home = AccountEntry().second;
    return home.GetLength() > 0 && home[0] == '/' ? home : CString();
}

CString AccountName()
{
    return AccountEntry().first;
}

CString ReadUserDirsEntry(const CString& text, const char* key, const CString& home)
{
    const std::string all(text.GetText(), size_t(text.GetLength()));
    const std::string prefix = std::string(key) + "=";
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos)
            end = all.size();
        std::string line = all.substr(start, end - start);
        start = end + 1;
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line.compare(first, prefix.size(), prefix) != 0)
            continue;
        std::string value = line.substr(first + prefix.size());
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t'))
            value.pop_back();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        std::string path;
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size())
                ++i;
            path += value[i];
        }
        if (path == "$HOME" || path.compare(0, 6, "$HOME/") == 0) {
            if (home.IsEmpty())
                return CString();
            CString out = home;
            out.Append(path.c_str() + 5, int(path.size() - 5));
            return out;
        }
        return !path.empty() && path[0] == '/' ? CString(path.c_str()) : CString();
    }
    return CString();
}

CString UserConfigFolder()
{
    return AccountPlaces().configFolder;
}

CString DesktopFolder()
{
    const CString home = HomeFolder();
    const CString config = UserConfigFolder();
    if (!config.IsEmpty()) {
        const CString named =
            ReadUserDirsEntry(ReadSmallFile(Below(config, "user-dirs.dirs")), "XDG_DESKTOP_DIR", home);
        if (IsFolder(named))
            return named;
    }
    const CString desktop = Below(home, "Desktop");
    return !home.IsEmpty() && IsFolder(desktop) ? desktop : home;
}

CString UserDataFolder()
{
    return AccountPlaces().dataFolder;
}

CString FindProgramInPath(const CString& name)
{
    if (std::string(name.GetText()).find('/') != std::string::npos)
        return IsProgram(name) ? name : CString();
    const char* path = getenv("PATH");
    std::string folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (folder.empty())
            folder = ".";
        CString candidate((folder + "/" + name.GetText()).c_str());
        if (IsProgram(candidate))
            return candidate;
        start = end + 1;
    }
    return CString();
}

bool IsFolderWritable(const CString& folder)
{
    return !folder.IsEmpty() && access(folder.GetText(), W_OK | X_OK) == 0;
}

const char* const kInstalledMarkName = "installed.txt";

bool IsPortableProgramFolder(const CString& folder)
{
    return IsFolderWritable(folder) && access(Below(folder, kInstalledMarkName).GetText(), F_OK) != 0;
}
