#include "foundation/Drive.h"

#include <cerrno>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "foundation/AtomicFile.h"
#include "foundation/AutoDirectory.h"
#include "foundation/DiskDrive.h"
#include "foundation/NameText.h"
#include "foundation/Win32File.h"

namespace Zorlin {

namespace {

const int kPathReserve = 128;

void AppendBlanks(CString& out, int count)
{
    for (int i = 0; i < count; ++i)
        out += ' ';
}

} // namespace

CDrive::CDrive() : m_stack(10, 10)
{
    m_root.Reserve(kPathReserve);
    m_current.Reserve(kPathReserve);
}

CDrive::~CDrive() {}

CAutoPointer<CFile> CDrive::OpenFile(const CURL&, unsigned)
{
    return CAutoPointer<CFile>();
}

bool CDrive::Exists(const CURL&)
{
    return true;
}

bool CDrive::GetInfo(const CURL&, SFileInfo&)
{
    return true;
}

unsigned CDrive::GetFileSize(const CURL& path)
{
    CAutoPointer<CFile> file = OpenFile(path, CFile::kModeRead);
    return file && file->IsOpen() ? file->GetSize32() : 0;
}

bool CDrive::ChangeDirectory(const CURL&)
{
    return false;
}

bool CDrive::MakeDirectory(const CURL&)
{
    return false;
}

bool CDrive::ListDirectory(CArray<CString>&, bool)
{
    return true;
}

CURL CDrive::ResolveInCurrent(const CURL& path) const
{
    CURL resolved(m_current);
    resolved.Resolve(path.GetText());
    return resolved;
}

void CDrive::GetFullPath(CURL& inOut, const char* path)
{
    CURL full(m_root);
    full.Append(ResolveInCurrent(inOut));
    full.Append(path);
    inOut = full;
}

void CDrive::GetDrivePath(CURL& inOut, const char* path)
{
    CURL full("/");
    full.Append(ResolveInCurrent(inOut));
    full.Append(path);
    inOut = full;
}

void CDrive::PushDirectory()
{
    m_stack.Add(m_current);
}

bool CDrive::PopDirectory()
{
    int count = m_stack.GetCount();
    if (count == 0)
        return false;
    CURL folder(*m_stack.GetAt(count - 1));
    if (!ChangeDirectory(folder))
        return false;
    m_stack.SetSize(count - 1);
    return true;
}

void CDrive::DropDirectory()
{
    if (m_stack.GetCount() > 0)
        m_stack.SetSize(m_stack.GetCount() - 1);
}

bool CDrive::IsFile(const CURL& path)
{
    SFileInfo info = {kKindFile, 1, 0};
    return GetInfo(path, info) && (info.kind & kKindFolder) == 0;
}

bool CDrive::IsDirectory(const CURL& path)
{
    SFileInfo info = {kKindFile, 1, 0};
    return GetInfo(path, info) && (info.kind & kKindFolder) != 0;
}

// The source is opened first and, on a disk, written beside the target and
// renamed over it only once it was read whole: a damaged entry leaves an
// existing file as it was.
bool CDrive::CopyFileFrom(CDrive& source, const CURL& path)
{
    CAutoPointer<CFile> from = source.OpenFile(path, CFile::kModeRead);
    if (!from || !from->IsOpen())
        return false;
    if (CDiskDrive* disk = dynamic_cast<CDiskDrive*>(this)) {
        const CString diskPath = disk->GetDiskPath(path);
        struct stat existing;
        if (::lstat(diskPath.GetText(), &existing) != 0 && errno == ENOENT) {
            // Nothing to keep: written in place, and removed again unless whole.
            CAutoPointer<CFile> to = OpenFile(path, CFile::kModeWrite | CFile::kModeCreate);
            if (!to || !to->IsOpen())
                return false;
            if (to->CopyFrom(*from) && from->GetPosition() == from->GetSize())
                return true;
            to.Delete();
            ::unlink(diskPath.GetText());
            return false;
        }
        CAtomicFile file;
        file.SetDurable(false);
        if (!file.Open(diskPath) || !file.WriteFrom(*from) || from->GetPosition() != from->GetSize()) {
            file.Abort();
            return false;
        }
        if (!file.Commit())
            return false;
        disk->NoteCreated(diskPath);
        return true;
    }
    CAutoPointer<CFile> to = OpenFile(path, CFile::kModeWrite | CFile::kModeCreate);
    return to && to->IsOpen() && to->CopyFrom(*from);
}

namespace {

// The source file whole into a new file opened under its final name, or
// nothing: a copy that breaks off removes what it wrote.
bool WriteNewFile(CFile& from, CFile& to, const std::string& diskPath)
{
    if (to.CopyFrom(from) && from.GetPosition() == from.GetSize())
        return true;
    to.Close();
    ::unlink(diskPath.c_str());
    return false;
}

// One file of the source's current folder into a disk folder whose listing
// the drive holds (an extraction): a name the folder lacks is created
// exclusively and written in place, one it holds is replaced atomically, so
// each new file costs one open and no lookups.
bool CopyIntoListedFolder(CDiskDrive& disk, const std::string& folder, CDrive& source, const CString& name,
                          bool overwrite)
{
    std::string spelling;
    const bool listed = disk.FindListed(folder, name.GetText(), spelling);
    if (listed && !overwrite)
        return true;
    CAutoPointer<CFile> from = source.OpenFile(CURL(name), CFile::kModeRead);
    if (!from || !from->IsOpen())
        return false;
    if (!listed) {
        const std::string diskPath = folder + "/" + name.GetText();
        CWin32File to(CString(diskPath.c_str()), CFile::kModeWrite | CFile::kModeCreateNew);
        if (to.IsOpen()) {
            disk.NoteListed(folder, name.GetText());
            return WriteNewFile(*from, to, diskPath);
        }
        if (errno != EEXIST)
            return false;
        // Made by someone else since the folder was read.
        if (!overwrite)
            return true;
        spelling = name.GetText();
    }
    CAtomicFile file;
    file.SetDurable(false);
    if (!file.Open(CString((folder + "/" + spelling).c_str())) || !file.WriteFrom(*from) ||
        from->GetPosition() != from->GetSize()) {
        file.Abort();
        return false;
    }
    return file.Commit();
}

} // namespace

bool CDrive::CopyTreeFrom(CDrive& source, bool overwrite, bool foldersOnly)
{
    // Doubling: a folder of many thousand names is copied into it once.
    CArray<CString> names(16, 16, CArray<CString>::kGrowDouble);
    source.ListDirectory(names, false);
    CDiskDrive* disk = dynamic_cast<CDiskDrive*>(this);
    std::string folder = disk && !foldersOnly ? disk->ListCurrentFolder() : std::string();
    bool ok = true;
    for (int i = 0; i < names.GetCount(); ++i) {
        const CString& name = *names.GetAt(i);
        if (!CURL::IsPlainName(name) || !IsPrintableUtf8(name))
            continue;
        CURL path(name);
        if (!source.IsDirectory(path)) {
            if (foldersOnly)
                continue;
            if (!folder.empty()) {
                if (!CopyIntoListedFolder(*disk, folder, source, name, overwrite))
                    ok = false;
                continue;
            }
            if (!overwrite && Exists(path))
                continue;
            if (!CopyFileFrom(source, path))
                ok = false;
            continue;
        }
        if (!MakeDirectory(path)) {
            ok = false;
            continue;
        }
        {
            CAutoDirectory into(*this, name.GetText());
            CAutoDirectory from(source, name.GetText());
            if (into.Succeeded() && from.Succeeded()) {
                if (!CopyTreeFrom(source, overwrite, foldersOnly))
                    ok = false;
            } else {
                ok = false;
            }
        }
        // The folders below may have pushed this one's listing out of the
        // drive's cache.
        if (!folder.empty() && !disk->HasListing(folder))
            folder = disk->ListCurrentFolder();
    }
    return ok;
}

void CDrive::ListTree(CString& out, int depth)
{
    CArray<CString> names(16, 16, CArray<CString>::kGrowDouble);
    ListDirectory(names, false);
    out.SetGrowStep(256);
    for (int i = 0; i < names.GetCount(); ++i) {
        const CString& name = *names.GetAt(i);
        AppendBlanks(out, depth);
        out += name;
        out += '\n';
        if (!IsDirectory(CURL(name)))
            continue;
        CAutoDirectory into(*this, name.GetText());
        if (into.Succeeded())
            ListTree(out, depth + 1);
    }
}

} // namespace Zorlin
