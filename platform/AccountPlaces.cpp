#include "platform/AccountPlaces.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using Zorlin::CString;

namespace {

enum class EVerdict { kOwn, kForeign, kNotFolder };

struct SVerdict {
    EVerdict verdict = EVerdict::kOwn;
    CString why;
};

std::string Normal(const CString& path)
{
    std::string out;
    for (const char* c = path.GetText(); *c; ++c)
        if (*c != '/' || out.empty() || out.back() != '/')
            out += *c;
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

bool WritableByOthers(const struct stat& info, long privateGroup)
{
    return (info.st_mode & S_IWOTH) || ((info.st_mode & S_IWGRP) && long(info.st_gid) != privateGroup);
}

// Whether path is the account's to write below: every folder above base is
// the account's or the system's, and one that others may write keeps them
// from renaming what is not theirs (sticky); base and what lies below it
// are the account's, and no other account may change them (for a home,
// its owner alone counts). What is missing would be made by this account.
SVerdict CheckPlace(const std::string& base, const std::string& path, const SAccountFacts& facts, bool isHome)
{
    std::vector<std::string> prefixes{"/"};
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        prefixes.push_back(path.substr(0, slash));
    if (path != "/")
        prefixes.push_back(path);
    for (const std::string& prefix : prefixes) {
        struct stat info;
        if (stat(prefix.c_str(), &info) != 0) {
            if (errno == ENOENT)
                break;
            return {EVerdict::kForeign, CString((prefix + " cannot be looked into").c_str())};
        }
        if (!S_ISDIR(info.st_mode))
            return {EVerdict::kNotFolder, CString((prefix + " is not a folder").c_str())};
        const bool writable = WritableByOthers(info, facts.privateGroup);
        if (prefix.size() < base.size()) {
            if (info.st_uid != facts.uid && info.st_uid != 0)
                return {EVerdict::kForeign, CString((prefix + " belongs to another account").c_str())};
            if (writable && !(info.st_mode & S_ISVTX))
                return {EVerdict::kForeign, CString((prefix + " can be changed by other accounts").c_str())};
            continue;
        }
        if (info.st_uid != facts.uid)
            return {EVerdict::kForeign, CString((prefix + " belongs to another account").c_str())};
        if (writable && !(isHome && prefix.size() == base.size()))
            return {EVerdict::kForeign, CString((prefix + " can be written by other accounts").c_str())};
    }
    return SVerdict();
}

bool Absolute(const CString& path)
{
    return path.GetLength() > 0 && path[0] == '/';
}

struct SCandidate {
    std::string base;
    std::string path;
    bool isHome;
    const char* named;  // what named it, for the log
};

// The first candidate that is the account's; where made, one in the way
// of a file is taken too, so that its making fails and is told by its name.
CString Choose(const std::vector<SCandidate>& candidates, const SAccountFacts& facts, const char* what,
               std::vector<CString>& notes, bool made, const std::vector<std::string>& within = {})
{
    std::vector<std::string> tried;
    for (const SCandidate& candidate : candidates) {
        if (candidate.base.empty() || std::find(tried.begin(), tried.end(), candidate.path) != tried.end())
            continue;
        tried.push_back(candidate.path);
        SVerdict verdict = CheckPlace(candidate.base, candidate.path, facts, candidate.isHome);
        for (const std::string& inside : within)
            if (verdict.verdict == EVerdict::kOwn)
                verdict = CheckPlace(candidate.base, candidate.path + "/" + inside, facts, candidate.isHome);
        if (verdict.verdict == EVerdict::kOwn || (made && verdict.verdict == EVerdict::kNotFolder))
            return CString(candidate.path.c_str());
        CString note;
        note.AppendFormat("The %s %s (%s) is not used: %s.", what, candidate.path.c_str(), candidate.named,
                          verdict.why.GetText());
        notes.push_back(note);
    }
    return CString();
}

} // namespace

SAccountPlaces DecideAccountPlaces(const SAccountFacts& facts)
{
    SAccountPlaces places;
    const std::string home = Absolute(facts.home) ? Normal(facts.home) : std::string();
    const std::string account = Absolute(facts.accountHome) ? Normal(facts.accountHome) : std::string();
    places.home = Choose({{home, home, true, "HOME"}, {account, account, true, "the account's home"}}, facts,
                         "home", places.notes, false);
    const std::string own = Normal(places.home);
    const std::string config = Absolute(facts.configHome) ? Normal(facts.configHome) : std::string();
    const std::string data = Absolute(facts.dataHome) ? Normal(facts.dataHome) : std::string();
    const auto below = [](const std::string& folder, const char* name) {
        return folder.empty() ? std::string() : (folder == "/" ? "" : folder) + "/" + name;
    };
    places.configFolder = Choose({{config, config, false, "XDG_CONFIG_HOME"},
                                  {own, below(own, ".config"), true, "the home's"},
                                  {account, below(account, ".config"), true, "the account's home's"}},
                                 facts, "settings folder", places.notes, true);
    places.dataFolder = Choose({{data, below(data, "rookwell"), false, "XDG_DATA_HOME"},
                                {own, below(own, ".local/share/rookwell"), true, "the home's"},
                                {account, below(account, ".local/share/rookwell"), true, "the account's home's"}},
                               facts, "data folder", places.notes, true, {"users"});
    if (places.dataFolder.IsEmpty()) {
        places.problem = "No folder of this account can hold its games and settings.";
        for (const CString& note : places.notes)
            places.problem += CString("\n") + note;
    }
    return places;
}

SAccountFacts AccountFactsOfThisProcess()
{
    SAccountFacts facts;
    const auto variable = [](const char* name) {
        const char* value = getenv(name);
        return CString(value ? value : "");
    };
    facts.home = variable("HOME");
    facts.configHome = variable("XDG_CONFIG_HOME");
    facts.dataHome = variable("XDG_DATA_HOME");
    facts.uid = unsigned(getuid());
    std::vector<char> buffer(16384);
    struct passwd entry, *found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return facts;
    facts.accountHome = CString(found->pw_dir ? found->pw_dir : "");
    std::vector<char> groupBuffer(65536);
    struct group groupEntry, *group = nullptr;
    if (getgrgid_r(found->pw_gid, &groupEntry, groupBuffer.data(), groupBuffer.size(), &group) != 0 || !group ||
        !group->gr_name || !found->pw_name || strcmp(group->gr_name, found->pw_name) != 0)
        return facts;
    for (char** member = group->gr_mem; member && *member; ++member)
        if (strcmp(*member, found->pw_name) != 0)
            return facts;
    facts.privateGroup = long(found->pw_gid);
    return facts;
}

namespace {

std::mutex g_placesLock;
bool g_decided = false;
SAccountFacts g_facts;
SAccountPlaces g_places;

bool SameFacts(const SAccountFacts& a, const SAccountFacts& b)
{
    return a.home == b.home && a.configHome == b.configHome && a.dataHome == b.dataHome &&
           a.accountHome == b.accountHome && a.uid == b.uid && a.privateGroup == b.privateGroup;
}

} // namespace

SAccountPlaces AccountPlaces()
{
    const SAccountFacts facts = AccountFactsOfThisProcess();
    std::lock_guard<std::mutex> hold(g_placesLock);
    if (!g_decided || !SameFacts(facts, g_facts)) {
        g_places = DecideAccountPlaces(facts);
        g_facts = facts;
        g_decided = true;
    }
    return g_places;
}

bool PointEnvironmentAtAccountPlaces(const SAccountPlaces& places)
{
    bool changed = false;
    const char* home = getenv("HOME");
    if (!places.home.IsEmpty() && (!home || Normal(CString(home)) != Normal(places.home))) {
        // The display's cookie is only read there.
        const std::string cookie = home && home[0] == '/' ? std::string(home) + "/.Xauthority" : std::string();
        if (!getenv("XAUTHORITY") && !cookie.empty() && access(cookie.c_str(), R_OK) == 0)
            setenv("XAUTHORITY", cookie.c_str(), 1);
        setenv("HOME", places.home.GetText(), 1);
        changed = true;
    }
    const SAccountFacts facts = AccountFactsOfThisProcess();
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
        const char* value = getenv(name);
        if (!value || !*value)
            continue;
        const std::string folder = value[0] == '/' ? Normal(CString(value)) : std::string();
        if (!folder.empty() && CheckPlace(folder, folder, facts, false).verdict == EVerdict::kForeign) {
            unsetenv(name);
            changed = true;
        }
    }
    if (changed) {
        // What the environment names now was decided from what it named before.
        std::lock_guard<std::mutex> hold(g_placesLock);
        g_facts = AccountFactsOfThisProcess();
        g_places = places;
        g_decided = true;
    }
    return changed;
}
