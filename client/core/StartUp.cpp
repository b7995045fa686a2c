#include "client/core/StartUp.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/AtomicFile.h"
#include "foundation/Config.h"
#include "foundation/Crc32.h"
#include "foundation/DiskDrive.h"
#include "foundation/Spawn.h"
#include "foundation/URL.h"
#include "foundation/Win32File.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

bool IsFile(const CString& path)
{
    struct stat info;
    return stat(path.GetText(), &info) == 0 && S_ISREG(info.st_mode);
}

// The folder part of a path, without its last separator.
CString FolderOf(const CString& path)
{
    std::string text = path.GetText();
    size_t slash = text.rfind('/');
    if (slash == std::string::npos)
        return CString();
    if (slash == 0)
        return CString("/");
    return CString(text.substr(0, slash).c_str());
}

bool HasSeparator(const CString& path)
{
    return std::string(path.GetText()).find('/') != std::string::npos;
}

CString JoinPath(const CString& folder, const CString& name)
{
    if (folder.IsEmpty())
        return name;
    CString result = folder;
    if (result[result.GetLength() - 1] != '/')
        result.Append('/');
    result.Append(name);
    return result;
}

int IntValue(const CConfig& settings, const char* key)
{
    return atoi(settings.GetValueOr(key, "").GetText());
}

} // namespace

CString FindAppPath(const CString& argv0, const CString& cwd, const char* envName)
{
    if (envName && *envName) {
        const char* value = getenv(envName);
        if (value && *value)
            return CString(value);
    }
    if (argv0.IsEmpty())
        return CString();
    if (argv0[0] == '/')
        return FolderOf(argv0);
    CString local = JoinPath(cwd, argv0);
    if (IsFile(local))
        return FolderOf(local);
    // A name with a separator is never looked up in PATH.
    if (HasSeparator(argv0))
        return CString();
    const char* pathList = getenv("PATH");
    std::string path(pathList ? pathList : "");
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        if (end == std::string::npos)
            end = path.size();
        CString folder(path.substr(start, end - start).c_str());
        if (!folder.IsEmpty()) {
            CString candidate = JoinPath(folder, argv0);
            if (IsFile(candidate) && access(candidate.GetText(), X_OK) == 0)
                return FolderOf(candidate);
        }
        start = end + 1;
    }
    return CString();
}

CString MakeAbsolutePath(const CString& path, const CString& folder)
{
    if (path.IsEmpty() || path[0] == '/')
        return path;
    return JoinPath(folder, path);
}

bool IsSafeUserName(const CString& name)
{
    if (!Zorlin::CURL::IsPlainName(name))
        return false;
    for (int i = 0; i < name.GetLength(); ++i) {
        unsigned char c = (unsigned char)name[i];
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    // Blanks at either end would name a folder nobody can tell apart.
    return name[0] != ' ' && name[name.GetLength() - 1] != ' ';
}

CString ChooseUserName(const CString& setuser, const CString& registryUser, const CString& chosenFolder)
{
    CString name = setuser.IsEmpty() ? registryUser : setuser;
    std::string folder = chosenFolder.GetText();
    for (char& c : folder)
        if (c == '\\')
            c = '/';
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    std::string last = folder.substr(folder.rfind('/') == std::string::npos ? 0 : folder.rfind('/') + 1);
    if (!last.empty())
        name = last.c_str();
    return IsSafeUserName(name) ? name : CString();
}

CString DefaultUserName(const CString& loginName, time_t now)
{
    CString name = loginName;
    name.Trim();
    if (name.IsEmpty()) {
        name = "user";
        name.AppendFormat("%lld", (long long)now);
    }
    return name;
}

SWindowPlacement ChooseWindowPlacement(CConfig& userSettings, const SRectangle& area)
{
    SWindowPlacement placement = {true, 0, 0, 620, 520, false};
    if (!userSettings.KeyExists("preferences.window.x")) {
        placement.centre = true;
        return placement;
    }
    placement.defaultPosition = false;
    placement.x = IntValue(userSettings, "preferences.window.x");
    placement.y = IntValue(userSettings, "preferences.window.y");
    int width = IntValue(userSettings, "preferences.window.width");
    int height = IntValue(userSettings, "preferences.window.height");
    // A work area smaller than the minimum still gets a usable window.
    placement.width = std::max(100, std::min(width, area.width));
    placement.height = std::max(100, std::min(height, area.height));
    placement.centre = placement.x + placement.width > area.left + area.width ||
                       placement.y + placement.height > area.top + area.height ||
                       placement.x < area.left || placement.y < area.top;
    return placement;
}

bool IsUpdateDue(const CString& dateText, double nowJulianDay)
{
    CString text = dateText;
    text.Trim();
    if (text.IsEmpty())
        return true;
    char* end = nullptr;
    double last = strtod(text.GetText(), &end);
    if (end == text.GetText() || !std::isfinite(last))
        return true;
    double days = std::floor(nowJulianDay) - std::floor(last);
    // A day in the future is a clock that went wrong; it must not stop checks.
    return days > 7 || days < 0;
}

CString FormatJulianDay(double julianDay)
{
    CString text;
    text.AppendFormat("%.16g", std::floor(julianDay));
    return text;
}

double JulianDayOf(time_t moment)
{
    struct tm local;
    localtime_r(&moment, &local);
    // Days since 1970-01-01 of the local date, then the Julian day of that
    // midnight (2440587.5) plus the time of day.
    struct tm midnight = local;
    midnight.tm_hour = 12;
    midnight.tm_min = 0;
    midnight.tm_sec = 0;
    time_t noonUtc = timegm(&midnight);
    double days = std::floor(double(noonUtc) / 86400.0);
    double fraction = (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
    return 2440587.5 + days + fraction;
}

bool UpdaterRunsHere(const CString& path, int limitMs, CString& reason)
{
    Zorlin::SSpawnOptions options;
    // Without a display it answers on its (silenced) error output, never
    // with a window waiting for a click.
    options.quiet = true;
    options.withoutDisplay = true;
    const Zorlin::SProgramEnd end = Zorlin::RunProgram({path}, options, limitMs);
    if (end.Succeeded())
        return true;
    reason = "";
    if (!end.started)
        reason = end.error;
    else if (end.timedOut)
        reason = "It did not end in time, and was stopped.";
    else if (end.signal != 0)
        reason.AppendFormat("It was ended by signal %d.", end.signal);
    else
        reason.AppendFormat("It ended with status %d.", end.exitCode);
    return false;
}

SUpdaterSwap SwapInNewUpdater(const CString& folder, int probeLimitMs)
{
    SUpdaterSwap swap;
    CString update = JoinPath(folder, "updater.update");
    CString current = JoinPath(folder, "updater");
    CString backup = JoinPath(folder, "updater.bak");
    if (!IsFile(update))
        return swap;
    // Archives keep no modes: the file may not be marked runnable yet.
    chmod(update.GetText(), 0755);
    if (!UpdaterRunsHere(update, probeLimitMs, swap.reason)) {
        // Tried once: a start must not wait on it again.
        unlink(update.GetText());
        swap.result = EUpdaterSwap::kRefused;
        return swap;
    }
    unlink(backup.GetText());
    bool renamed = rename(current.GetText(), backup.GetText()) == 0;
    Zorlin::CWin32File source;
    bool copied = source.Open(update, Zorlin::CFile::kModeRead) &&
                  Zorlin::WriteFileAtomically(current, source, 0755);
    source.Close();
    if (copied) {
        unlink(update.GetText());
        swap.result = EUpdaterSwap::kSwapped;
        return swap;
    }
    if (renamed)
        rename(backup.GetText(), current.GetText());
    swap.result = EUpdaterSwap::kFailed;
    return swap;
}

CString MakeFileAddress(const CString& fullPath, const char* anchor)
{
    CString path = fullPath;
    path.Replace('\\', '/');
    CString address("file://");
    if (path.IsEmpty() || path[0] != '/')
        address.Append('/');
    for (int i = 0; i < path.GetLength(); ++i) {
        char c = path[i];
        if (c == ' ')
            address.Append("%20");
        else if (c == '%')
            address.Append("%25");
        else if (c == '#')
            address.Append("%23");
        else
            address.Append(c);
    }
    if (anchor && *anchor) {
        address.Append('#');
        address.Append(anchor);
    }
    return address;
}

CString MakeUserIdFrom(const char* seed, unsigned tickCount, unsigned long now)
{
    CString text(seed ? seed : "");
    text.AppendFormat("%u", tickCount);
    CString id;
    id.AppendFormat("%X%X", (unsigned)Zorlin::Crc32String(text.GetText()), (unsigned)~uint32_t(now));
    return id;
}
