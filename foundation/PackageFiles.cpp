#include "foundation/PackageFiles.h"

#include "foundation/Array.h"
#include "foundation/AtomicFile.h"
#include "foundation/AutoDirectory.h"
#include "foundation/AutoPointer.h"
#include "foundation/DiskDrive.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
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
        if (!CURL::IsPlainName(name)) {
            problem = prefix + name;
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

bool CopyPackageFile(CDrive& package, const CString& from, CDiskDrive& target, const CString& to, bool namedProgram)
{
    CAutoPointer<CFile> source = package.OpenFile(CURL(from), CFile::kModeRead);
    if (!source || !source->IsOpen())
        return false;
    unsigned char head[4] = {0, 0, 0, 0};
    unsigned count = 0;
    if (source->GetSize() > 0 && source->Read(head, sizeof head))
        count = source->GetLastReadCount();
    if (!source->Seek(0, CFile::kSeekStart) || source->GetPosition() != 0)
        return false;
    CAtomicFile file;
    const CString diskPath = target.GetDiskPath(CURL(to));
    if (!file.Open(diskPath, ChoosePackageMode(head, count, namedProgram)))
        return false;
    // The atomic writer stops quietly at a short read; a file cut short by a
    // damaged package must not replace a whole one.
    if (!file.WriteFrom(*source) || source->GetPosition() != source->GetSize()) {
        file.Abort();
        return false;
    }
    if (!file.Commit())
        return false;
    target.NoteCreated(diskPath);
    return true;
}

} // namespace Zorlin
