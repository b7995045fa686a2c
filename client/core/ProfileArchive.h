#pragma once

// The player profile as it travels between clients: an archive with the
// manifest "contents.cfg" and, in "contents/", "profile.cfg" and the photo.
// What arrives from another machine is checked before any of it is used.

#include <cstdint>
#include <vector>

#include "foundation/String.h"

namespace Zorlin {
class CConfig;
class CDrive;
class CFile;
}

// Writes the profile of the user settings user into out (open for writing,
// left open), with the photo "photo.bmp" of userDrive when there is one.
// email is written only withEmail; "ip" only withAddress, as address. True
// when the archive was finished.
bool WriteProfileArchive(Zorlin::CFile& out, Zorlin::CConfig& user, Zorlin::CDrive& userDrive, bool withEmail,
                         bool withAddress, const Zorlin::CString& address);

// An address in host order (a.b.c.d is a << 24 | b << 16 | c << 8 | d).
typedef uint32_t IpV4Address;

// The address a profile carries: the last public one listed, else the last
// local one (10/8, 172.16/12, 192.168/16), else empty. 0.0.0.0, loopback
// (127/8) and link-local (169.254/16) addresses reach nobody and are skipped.
Zorlin::CString ChooseProfileAddress(const std::vector<IpV4Address>& addresses);
Zorlin::CString FormatAddress(IpV4Address address);
// The machine's IPv4 addresses, in the order the system lists them.
std::vector<IpV4Address> ListMachineAddresses();

// Whether a received profile id may become part of a file name: the
// characters MakeUserId produces (ASCII letters and digits), 1 to 32 of them.
bool IsProfileId(const Zorlin::CString& id);

// The longest texts a received profile keeps, in characters.
const int kMaxProfileName = 40;
const int kMaxProfileNickname = 50;
const int kMaxProfileEmail = 100;
const int kMaxProfileInformation = 1000;
// Cuts the received profile's name, nickname, email and otherinformation
// to those lengths.
void CutProfileTexts(Zorlin::CConfig& profile);

// Reads a received profile archive from file (from its start; the file stays
// the caller's): profile gets "contents/profile.cfg" and id its checked id.
// Its texts are cut (CutProfileTexts). False when the file is no profile archive, its profile is too big or
// malformed, or its id is unfit for a file name.
bool ReadProfileArchive(Zorlin::CFile& file, Zorlin::CConfig& profile, Zorlin::CString& id);
// What the user and the log are told of a received profile that
// ReadProfileArchive refused.
extern const char* const kProfileRefused;
