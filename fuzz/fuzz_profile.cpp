// Installs arbitrary bytes as a received profile package into a real user
// folder that already holds a friend's profile: the way e-mail and network
// games store it (COpponentList::Install) and the way the online search
// does (OnlineSearch::ReadProfile, StoreOpponent). A refused package leaves
// every file as it was; a taken one writes only its own id's two files in
// "opponents", under an id fit for a file name, and reads back.
//
// Input: the package, or kMembers, the profile text and the photo (see
// FuzzSupport.h).

#include "FuzzSupport.h"

#include "client/core/ProfileArchive.h"
#include "client/remote/OnlineSearchProtocol.h"
#include "client/remote/OpponentList.h"
#include "foundation/Buffer.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/MemFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <unistd.h>

using namespace Zorlin;
using FuzzSupport::Check;
namespace fs = std::filesystem;

namespace {

using TFolder = std::map<std::string, std::string>; // path under the folder, bytes

// A folder of our own for the run, removed at its end; in memory where the
// system has it, since every store syncs its files.
char g_root[] = "/dev/shm/rookwell-fuzz-profile-XXXXXX";

void RemoveRoot()
{
    std::error_code ignored;
    fs::remove_all(g_root, ignored);
}

std::string Root()
{
    static bool made = [] {
        if (!mkdtemp(g_root)) {
            std::strcpy(g_root, "/tmp/rookwell-fuzz-profile-XXXXXX");
            Check(mkdtemp(g_root) != nullptr);
        }
        std::atexit(RemoveRoot);
        return true;
    }();
    Check(made);
    return std::string(g_root) + "/";
}

TFolder Snapshot(const std::string& root)
{
    TFolder files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        const std::string path = fs::relative(entry.path(), root).string();
        if (!entry.is_regular_file()) {
            files[path + "/"] = "";
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        files[path] = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = char(std::tolower((unsigned char)c));
    return text;
}

// Only the files of id in "opponents" differ (and the folder itself may be new).
void CheckOnlyOwnFiles(const TFolder& before, const TFolder& after, const CString& id)
{
    Check(IsProfileId(id));
    const std::string own = Lower(std::string("opponents/") + id.GetText());
    auto allowed = [&](const std::string& path) {
        const std::string lower = Lower(path);
        return lower == own + ".cfg" || lower == own + ".bmp" || lower == "opponents/";
    };
    for (const auto& file : after) {
        auto old = before.find(file.first);
        if (old == before.end() || old->second != file.second)
            Check(allowed(file.first));
    }
    for (const auto& file : before)
        Check(after.count(file.first) == 1 || allowed(file.first));
}

// A user folder with a friend already stored, made again only when the
// last input changed it; its files as they are.
TFolder MakeFolder(const std::string& root)
{
    static std::map<std::string, TFolder> made;
    auto known = made.find(root);
    if (known != made.end() && fs::exists(root)) {
        TFolder now = Snapshot(root);
        if (now == known->second)
            return now;
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::create_directories(root);
    CDiskDrive senderDrive("/nonexistent/rookwell-fuzz-sender/");
    CConfig user;
    user.GetValue(".Profile.name") = "A Friend";
    user.GetValue(".profile.ID") = "Friend1";
    user.GetValue(".profile.email") = "friend@example.org";
    CMemFile package;
    package.Open(CString("friend"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    Check(WriteProfileArchive(package, user, senderDrive, true, false, CString()));
    CDiskDrive drive(root.c_str());
    COpponentList list(drive);
    Check(list.Install(package) != nullptr);
    return made[root] = Snapshot(root);
}

std::string Contents(CMemFile& file)
{
    std::string bytes(file.GetSize(), '\0');
    file.Seek(0, CFile::kSeekStart);
    if (!bytes.empty())
        Check(file.Read(&bytes[0], unsigned(bytes.size())));
    return bytes;
}

CMemFile* FileOf(const uint8_t* data, size_t size)
{
    CMemFile* file = new CMemFile();
    file->Open(CString("package"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    if (size > 0)
        file->Write(data, unsigned(size));
    file->Seek(0, CFile::kSeekStart);
    return file;
}

void InstallAsMailOrNetwork(const uint8_t* data, size_t size, const std::string& root)
{
    const TFolder before = MakeFolder(root);
    CDiskDrive drive(root.c_str());
    COpponentList list(drive);
    Check(list.Load() == 1);
    CAutoPointer<CFile> package(FileOf(data, size));
    COpponentProfile* entry = list.Install(*package);
    const TFolder after = Snapshot(root);
    if (!entry) {
        Check(after == before);
        return;
    }
    CheckOnlyOwnFiles(before, after, entry->GetId());
    // The stored profile is found and read by the next run.
    COpponentList again(drive);
    Check(again.Load() >= 1);
    COpponentProfile* stored = again.Find(entry->GetId());
    Check(stored && stored->Load());
}

void InstallAsOnline(const uint8_t* data, size_t size, const std::string& root)
{
    const TFolder before = MakeFolder(root);
    CDiskDrive drive(root.c_str());
    CDiskDrive program("/nonexistent/rookwell-fuzz-program/");
    CAutoPointer<CFile> package(FileOf(data, size));
    CConfig profile;
    CBuffer bmp;
    if (!OnlineSearch::ReadProfile(*package, profile, bmp, program)) {
        Check(Snapshot(root) == before);
        return;
    }
    const bool stored = OnlineSearch::StoreOpponent(profile, bmp, drive);
    const TFolder after = Snapshot(root);
    if (!stored) {
        Check(after == before);
        return;
    }
    CString id = profile.GetValueOr("ID", "");
    id.Trim();
    CheckOnlyOwnFiles(before, after, id);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (4u << 20))
        return 0;
    const std::string root = Root();
    if (size > 0 && data[0] == FuzzSupport::kMembers) {
        // The profile and its photo, packed as e-mail and network games send
        // them and as the online search does.
        const std::vector<std::string> parts = FuzzSupport::SplitMembers(data + 1, size - 1);
        CAutoPointer<CMemFile> mail(FuzzSupport::PackMembers("profile", parts, {{"contents", "profile.cfg"}, {"contents", "photo.bmp"}}));
        const std::string mailBytes = Contents(*mail);
        InstallAsMailOrNetwork(reinterpret_cast<const uint8_t*>(mailBytes.data()), mailBytes.size(), root + "mail/");
        CAutoPointer<CMemFile> online(FuzzSupport::PackMembers("gridmoorprofile", parts, {{"", "profile.cfg"}, {"", "photo.jpg"}, {"", "photo.bmp"}}));
        const std::string onlineBytes = Contents(*online);
        InstallAsOnline(reinterpret_cast<const uint8_t*>(onlineBytes.data()), onlineBytes.size(), root + "online/");
        return 0;
    }
    InstallAsMailOrNetwork(data, size, root + "mail/");
    InstallAsOnline(data, size, root + "online/");
    return 0;
}
