#include "foundation/PackageFiles.h"

#include <sys/statvfs.h>

#include "foundation/Array.h"
#include "foundation/AtomicFile.h"
#include "foundation/AutoDirectory.h"
#include "foundation/AutoPointer.h"
#include "foundation/DiskDrive.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/NameText.h"
#include "foundation/URL.h"

namespace Zorlin {

namespace {

bool Walk(CDrive& package, const CString& prefix, int depth, int maxDepth, std::vector<SPackageEntry>& entries,
          CString& problem)
{
    if (depth > maxDepth) {
        problem = prefix;
        return false;
    }
    CArray<CString> names;
    package.ListDirectory(names, false);
    for (int i = 0; i < names.GetCount(); ++i) {
        const CString& name = *names.GetAt(i);
        if (!CURL::IsPlainName(name) || !IsPrintableUtf8(name)) {
            const CString path = prefix + name;
            problem = IsPrintableUtf8(path) ? path : EscapeForLog(path);
            return false;
        }
        SPackageEntry entry;
        entry.folder = package.IsDirectory(CURL(name));
        entry.path = prefix + name;
        if (!entry.folder) {
            entry.size = package.GetFileSize(CURL(name));
            entries.push_back(entry);
            continue;
        }
        entry.path += '/';
        entries.push_back(entry);
        CAutoDirectory into(package, name.GetText());
        if (!into.Succeeded()) {
            problem = entry.path;
            return false;
        }
        if (!Walk(package, entry.path, depth + 1, maxDepth, entries, problem))
            return false;
    }
    return true;
}

} // namespace

bool WalkPackage(CDrive& package, int maxDepth, std::vector<SPackageEntry>& entries, CString& problem)
{
    entries.clear();
    problem = "";
    return Walk(package, CString(), 0, maxDepth, entries, problem);
}

bool IsProgramImage(const unsigned char* head, unsigned count)
{
    const bool elf = count >= 4 && head[0] == 0x7f && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
    const bool script = count >= 2 && head[0] == '#' && head[1] == '!';
    return elf || script;
}

int ChoosePackageMode(const unsigned char* head, unsigned count, bool namedProgram)
{
    return namedProgram || IsProgramImage(head, count) ? 0755 : -1;
}

uint64_t DeclaredPackageBytes(const std::vector<SPackageEntry>& entries)
{
    uint64_t total = 0;
    for (const SPackageEntry& entry : entries)
        total += entry.folder ? 0 : entry.size;
    return total;
}

bool CheckPackageRoom(const std::vector<SPackageEntry>& entries, const CString& diskFolder, CString& problem)
{
    const uint64_t total = DeclaredPackageBytes(entries);
    const uint64_t megabyte = uint64_t(1) << 20;
    if (entries.size() > kMaxPackageEntries) {
        problem = "";
        problem.AppendFormat("The package holds %llu files and folders, more than any package may hold (%llu).",
                             (unsigned long long)entries.size(), (unsigned long long)kMaxPackageEntries);
        return false;
    }
    if (total > kMaxPackageBytes) {
        problem = "";
        problem.AppendFormat("The package says it holds %llu MB, more than any package may hold (%llu MB).",
                             (unsigned long long)((total + megabyte - 1) / megabyte),
                             (unsigned long long)(kMaxPackageBytes / megabyte));
        return false;
    }
    struct statvfs disk;
    if (::statvfs(diskFolder.GetText(), &disk) != 0)
        return true; // the writes themselves will tell
    const uint64_t free = uint64_t(disk.f_bavail) * uint64_t(disk.f_frsize);
    if (total + kPackageSpareBytes > free) {
        problem = "";
        problem.AppendFormat("The package needs %llu MB but the disk has only %llu MB free.",
                             (unsigned long long)((total + kPackageSpareBytes + megabyte - 1) / megabyte),
                             (unsigned long long)(free / megabyte));
        return false;
    }
    return true;
}

EPackageCopy CopyPackageFile(CDrive& package, const CString& from, CDiskDrive& target, const CString& to,
                             bool namedProgram, uint32_t declaredSize)
{
    CAutoPointer<CFile> source = package.OpenFile(CURL(from), CFile::kModeRead);
    if (!source || !source->IsOpen())
        return kPackageCopyFailed;
    unsigned char head[4] = {0, 0, 0, 0};
    unsigned count = 0;
    if (source->GetSize() > 0 && source->Read(head, sizeof head))
        count = source->GetLastReadCount();
    if (!source->Seek(0, CFile::kSeekStart) || source->GetPosition() != 0)
        return kPackageCopyFailed;
    if (source->GetSize() > declaredSize)
        return kPackageFileTooLong;
    CAtomicFile file;
    const CString diskPath = target.GetDiskPath(CURL(to));
    if (!file.Open(diskPath, ChoosePackageMode(head, count, namedProgram)))
        return kPackageCopyFailed;
    uint64_t written = 0;
    unsigned char block[16384];
    while (source->Read(block, sizeof block)) {
        const uint32_t got = source->GetLastReadCount();
        if (got == 0 || got > sizeof block)
            break;
        if (written + got > declaredSize) {
            file.Abort();
            return kPackageFileTooLong;
        }
        if (!file.Write(block, got)) {
            file.Abort();
            return kPackageCopyFailed;
        }
        written += got;
    }
    // A file cut short by a damaged package must not replace a whole one.
    if (written != declaredSize || source->GetPosition() != source->GetSize()) {
        file.Abort();
        return kPackageCopyFailed;
    }
    if (!file.Commit())
        return kPackageCopyFailed;
    target.NoteCreated(diskPath);
    return kPackageCopied;
}

} // namespace Zorlin
