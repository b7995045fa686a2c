#include "client/remote/OpponentList.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "client/core/AppServices.h"
#include "client/core/PhotoFit.h"
#include "client/core/ProfileArchive.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/AtomicFile.h"
#include "foundation/Buffer.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"
#include "foundation/Win32File.h"
#include "foundation/NameText.h"

using Zorlin::CArchiveDrive;
using Zorlin::CArray;
using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CDrive;
using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

const char* const kFolder = "/opponents/";

std::string LowerKey(const CString& id)
{
    std::string key(id.GetText());
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return key;
}

CString DiskPath(CDrive& drive, const CString& path)
{
    CURL full(path);
    drive.GetFullPath(full, nullptr);
    return full;
}

bool EndsWithNoCase(const CString& text, const char* ending)
{
    const int n = int(std::char_traits<char>::length(ending));
    return text.GetLength() >= n && Zorlin::KeysEqualNoCase(text.Mid(text.GetLength() - n), CString(ending));
}

} // namespace

// ------------------------------------------------------------ one opponent

COpponentProfile::COpponentProfile(CDrive& userDrive, const CString& id)
    : m_drive(userDrive), m_id(id), m_number(-1), m_loaded(false)
{
}

CString COpponentProfile::GetPath() const
{
    return CString(kFolder) + m_id + ".cfg";
}

CString COpponentProfile::GetPhotoPath() const
{
    return CString(kFolder) + m_id + ".bmp";
}

bool COpponentProfile::Load()
{
    if (m_loaded)
        return true;
    CAutoPointer<CFile> file = m_drive.OpenFile(CURL(GetPath()), CFile::kModeRead);
    if (file && !file->IsNull() && file->IsOpen()) {
        if (file->GetSize() > COpponentList::kMaxProfileFile)
            return false;
        CConfig read;
        if (!read.Read(*file))
            return false;
        // What the program set before the file was read wins, as in Read.
        read.Merge(m_profile);
        m_profile = read;
    }
    m_loaded = true;
    return true;
}

bool COpponentProfile::Save()
{
    m_drive.MakeDirectory(CURL(kFolder));
    return m_profile.Write(m_drive, CURL(GetPath()), true);
}

void COpponentProfile::OpenPhoto(CAutoPointer<CFile>& out)
{
    // Read again under the picture limit: a file stored by an older version
    // may be any picture at all.
    Zorlin::CBuffer bmp;
    CAutoPointer<CFile> stored = m_drive.OpenFile(CURL(GetPhotoPath()), CFile::kModeRead);
    if (stored && !stored->IsNull() && stored->IsOpen() && FitPhotoFile(*stored, bmp)) {
        Zorlin::CMemFile* photo = new Zorlin::CMemFile();
        photo->Open(CString("photo.bmp"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
        photo->Write(bmp);
        photo->Seek(0, CFile::kSeekStart);
        out.Reset(photo);
        return;
    }
    out = GetAppServices().GetProgramDrive().OpenFile(CURL("/assets/images/misc/nophoto.bmp"), CFile::kModeRead);
}

// ------------------------------------------------------------ the list

COpponentList::COpponentList(CDrive& userDrive) : m_drive(userDrive), m_numberCount(0) {}

COpponentProfile& COpponentList::FindOrAdd(const CString& id)
{
    std::unique_ptr<COpponentProfile>& slot = m_entries[LowerKey(id)];
    if (!slot)
        slot.reset(new COpponentProfile(m_drive, id));
    return *slot;
}

void COpponentList::GiveNumber(COpponentProfile& entry)
{
    if (entry.m_number >= 0)
        return;
    entry.m_number = m_numberCount++;
    m_numbers[entry.m_number] = entry.m_id;
}

int COpponentList::Load()
{
    CArray<CString> names;
    m_drive.PushDirectory();
    const bool listed = m_drive.ChangeDirectory(CURL(kFolder)) && m_drive.ListDirectory(names, false);
    m_drive.PopDirectory();
    if (!listed)
        return 0;
    int taken = 0;
    for (int i = 0; i < names.GetCount(); ++i) {
        const CString& name = *names.GetAt(i);
        // A backup such as "x.cfg.old" has an id with a dot: not taken.
        if (!EndsWithNoCase(name, ".cfg"))
            continue;
        const CString id = name.Mid(0, name.GetLength() - 5);
        if (!IsProfileId(id))
            continue;
        GiveNumber(FindOrAdd(id));
        ++taken;
    }
    return taken;
}

void COpponentList::Remove(int number)
{
    auto found = m_numbers.find(number);
    if (found == m_numbers.end())
        return;
    const std::string key = LowerKey(found->second);
    auto entry = m_entries.find(key);
    if (entry != m_entries.end()) {
        std::remove(DiskPath(m_drive, entry->second->GetPath()).GetText());
        std::remove(DiskPath(m_drive, entry->second->GetPhotoPath()).GetText());
        m_entries.erase(entry);
    }
    m_numbers.erase(found);
}

COpponentProfile* COpponentList::Find(const CString& id)
{
    auto found = m_entries.find(LowerKey(id));
    return found == m_entries.end() ? nullptr : found->second.get();
}

COpponentProfile* COpponentList::GetByNumber(int number)
{
    auto found = m_numbers.find(number);
    return found == m_numbers.end() ? nullptr : Find(found->second);
}

COpponentProfile* COpponentList::Install(CFile& profileArchive)
{
    CConfig package;
    CString id;
    if (!ReadProfileArchive(profileArchive, package, id))
        return nullptr;
    COpponentProfile& entry = FindOrAdd(id);
    if (!entry.Load())
        return nullptr; // an unreadable file is not replaced by a partial one
    entry.m_profile.PushAbsolutePrefix("profile");
    entry.m_profile.Merge(package);
    entry.m_profile.PopPrefix();
    // The checked id, whatever spelling of the key the package used.
    entry.m_profile.GetValue(".profile.id") = id;

    m_drive.MakeDirectory(CURL(kFolder));
    CArchiveDrive archive;
    if (profileArchive.Seek(0, CFile::kSeekStart) && archive.Open(&profileArchive, nullptr, false)) {
        CAutoPointer<CFile> photo = archive.OpenFile(CURL("/contents/photo.bmp"), CFile::kModeRead);
        Zorlin::CBuffer bmp;
        if (photo && !photo->IsNull() && photo->IsOpen()) {
            // Stored only as the 96 x 72 photo it is shown as; a picture the
            // codecs refuse leaves the stored one as it was.
            if (FitPhotoFile(*photo, bmp))
                Zorlin::WriteFileAtomically(DiskPath(m_drive, entry.GetPhotoPath()), bmp.GetData(),
                                            size_t(bmp.GetSize()));
            else
                std::fprintf(stderr, "Photo of opponent %s refused\n", Zorlin::EscapeForLog(id).GetText());
        }
    }
    GiveNumber(entry);
    return entry.Save() ? &entry : nullptr;
}

COpponentProfile* COpponentList::InstallOpponentProfile(const CString& packagePath)
{
    Zorlin::CWin32File file(packagePath, CFile::kModeRead);
    return file.IsOpen() ? Install(file) : nullptr;
}

CString ReadProfilePackage(const CString& packagePath, CString& id)
{
    id = "";
    Zorlin::CWin32File file(packagePath, CFile::kModeRead);
    CConfig profile;
    CString read;
    if (!file.IsOpen() || !ReadProfileArchive(file, profile, read))
        return CString();
    id = read;
    return profile.GetValueOr("name", "");
}
