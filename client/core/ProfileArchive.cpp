#include "client/core/ProfileArchive.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "client/core/PhotoFit.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/AutoPointer.h"
#include "foundation/Buffer.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/MemFile.h"
#include "foundation/NameText.h"
#include "foundation/URL.h"

using Zorlin::CArchiveDrive;
using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CDrive;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

// A profile is a handful of short keys; more is not one.
const uint32_t kMaxProfileSize = 65536;
const int kMaxIdLength = 32;

bool AddConfig(CArchiveDrive& archive, const CConfig& store, const char* name)
{
    CMemFile memory;
    memory.Open(CString(name), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    if (!store.Write(memory, true) || !memory.Seek(0, CFile::kSeekStart))
        return false;
    return archive.AddFile(memory, nullptr, true);
}

bool InRange(IpV4Address address, IpV4Address network, int bits)
{
    const IpV4Address mask = bits == 0 ? 0 : ~IpV4Address(0) << (32 - bits);
    return (address & mask) == (network & mask);
}

IpV4Address Address(int a, int b, int c, int d)
{
    return IpV4Address(a) << 24 | IpV4Address(b) << 16 | IpV4Address(c) << 8 | IpV4Address(d);
}

} // namespace

bool WriteProfileArchive(CFile& out, CConfig& user, CDrive& userDrive, bool withEmail, bool withAddress,
                         const CString& address)
{
    CArchiveDrive archive;
    if (!archive.Create(&out, "profile", false, 8192))
        return false;

    CConfig manifest;
    manifest.GetValue("contents.major") = "Rookwell";
    manifest.GetValue("contents.minor") = "profile";
    // Spelled so since the first clients; nothing reads it.
    manifest.GetValue("descripion") = "A player profile";
    AddConfig(archive, manifest, "contents.cfg");

    archive.MakeDirectories("contents");
    archive.ChangeDirectory(CURL("contents"));
    CConfig profile;
    profile.GetValue("name") = user.GetValue(".Profile.name");
    profile.GetValue("nickname") = user.GetValue(".profile.nickname");
    profile.GetValue("otherinformation") = user.GetValue(".profile.otherinformation");
    profile.GetValue("ID") = user.GetValue(".profile.ID");
    if (withEmail)
        profile.GetValue("email") = user.GetValue(".profile.email");
    if (withAddress)
        profile.GetValue("ip") = address;
    AddConfig(archive, profile, "profile.cfg");

    // Sent as the 96 x 72 photo it is shown as, so a large photo cannot push
    // the profile past what peers and the server take.
    CAutoPointer<CFile> photo = userDrive.OpenFile(CURL("photo.bmp"), CFile::kModeRead);
    Zorlin::CBuffer bmp;
    if (photo && photo->IsOpen() && !photo->IsNull() && FitPhotoFile(*photo, bmp)) {
        CMemFile fitted;
        fitted.Open(CString("photo.bmp"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
        if (fitted.Write(bmp) && fitted.Seek(0, CFile::kSeekStart))
            archive.AddFile(fitted, "photo.bmp", true);
    }
    photo.Reset();
    return archive.Finish(false);
}

CString FormatAddress(IpV4Address address)
{
    CString text;
    text.AppendFormat("%i.%i.%i.%i", int(address >> 24), int(address >> 16 & 255), int(address >> 8 & 255),
                      int(address & 255));
    return text;
}

CString ChooseProfileAddress(const std::vector<IpV4Address>& addresses)
{
    CString local, remote;
    for (IpV4Address address : addresses) {
        if (address == 0 || InRange(address, Address(127, 0, 0, 0), 8) ||
            InRange(address, Address(169, 254, 0, 0), 16))
            continue;
        const bool isLocal = InRange(address, Address(10, 0, 0, 0), 8) ||
                             InRange(address, Address(172, 16, 0, 0), 12) ||
                             InRange(address, Address(192, 168, 0, 0), 16);
        (isLocal ? local : remote) = FormatAddress(address);
    }
    return remote.IsEmpty() ? local : remote;
}

std::vector<IpV4Address> ListMachineAddresses()
{
    std::vector<IpV4Address> addresses;
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return addresses;
    for (struct ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        const struct sockaddr_in* in = reinterpret_cast<const struct sockaddr_in*>(entry->ifa_addr);
        addresses.push_back(ntohl(in->sin_addr.s_addr));
    }
    freeifaddrs(list);
    return addresses;
}

bool IsProfileId(const CString& id)
{
    if (id.IsEmpty() || id.GetLength() > kMaxIdLength)
        return false;
    for (int i = 0; i < id.GetLength(); ++i) {
        const char c = id[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

bool ReadProfileArchive(CFile& file, CConfig& profile, CString& id)
{
    if (!file.IsOpen() || !file.Seek(0, CFile::kSeekStart))
        return false;
    CArchiveDrive archive;
    if (!archive.Open(&file, nullptr, false))
        return false;
    CAutoPointer<CFile> entry = archive.OpenFile(CURL("/contents/profile.cfg"), CFile::kModeRead);
    if (!entry || !entry->IsOpen() || entry->IsNull() || entry->GetSize() > kMaxProfileSize)
        return false;
    CConfig read;
    if (!read.Read(*entry))
        return false;
    CString received = read.GetValueOr("ID", "");
    received.Trim();
    if (!IsProfileId(received))
        return false;
    CutProfileTexts(read);
    profile = read;
    id = received;
    return true;
}

void CutProfileTexts(CConfig& profile)
{
    const struct {
        const char* key;
        int length;
    } kTexts[] = {{"name", kMaxProfileName},
                  {"nickname", kMaxProfileNickname},
                  {"email", kMaxProfileEmail},
                  {"otherinformation", kMaxProfileInformation}};
    for (const auto& text : kTexts) {
        const CString value = profile.GetValueOr(text.key, "");
        const CString cut = Zorlin::CutCharacters(value, text.length);
        // Only a key that is there can be too long: no key is added.
        if (cut.GetLength() < value.GetLength())
            profile.GetValue(text.key) = cut;
    }
}

const char* const kProfileRefused =
    "The opponent's profile was not stored: it is damaged or names its owner by an id that is not a plain "
    "profile id.";
