#include "foundation/UpdateMark.h"

#include <cerrno>
#include <unistd.h>

#include "foundation/AtomicFile.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/PackageFiles.h"
#include "foundation/URL.h"
#include "foundation/Win32File.h"

namespace Zorlin {

const char* const kUpdateMarkName = "updater.unfinished";

namespace {

// Folder names are one a line: package names hold no control characters.
const uint32_t kMaxMarkBytes = 1 << 20;

CString MarkPath(const CString& programFolder)
{
    return programFolder + "/" + kUpdateMarkName;
}

// A relative folder of plain names, each followed by '/'.
bool IsFolderBelow(const CString& folder)
{
    if (folder.IsEmpty() || folder[folder.GetLength() - 1] != '/')
        return false;
    int start = 0;
    for (int i = 0; i < folder.GetLength(); ++i) {
        if (folder[i] != '/')
            continue;
        if (!CURL::IsPlainName(folder.Mid(start, i - 1)))
            return false;
        start = i + 1;
    }
    return true;
}

} // namespace

bool WriteUpdateMark(const CString& programFolder, const SUpdateMark& mark)
{
    CConfig text;
    text.GetValue(".update.package") = mark.package;
    CString folders;
    for (const CString& folder : mark.folders)
        folders += folder + "\n";
    text.GetValue(".update.folders") = folders;
    return text.WriteDiskFile(MarkPath(programFolder), false);
}

bool ReadUpdateMark(const CString& programFolder, SUpdateMark& mark)
{
    mark = SUpdateMark();
    const CString path = MarkPath(programFolder);
    if (access(path.GetText(), F_OK) != 0)
        return false;
    CWin32File file(path, CFile::kModeRead);
    CConfig text;
    if (!file.IsOpen() || !text.ReadSmall(file, kMaxMarkBytes))
        return true;
    mark.package = text.GetValueOr(".update.package", "");
    const CString folders = text.GetValueOr(".update.folders", "");
    int start = 0;
    for (int i = 0; i < folders.GetLength() && mark.folders.size() < kMaxPackageEntries; ++i) {
        if (folders[i] != '\n')
            continue;
        const CString folder = i > start ? folders.Mid(start, i - 1) : CString();
        if (IsFolderBelow(folder))
            mark.folders.push_back(folder);
        start = i + 1;
    }
    return true;
}

bool ClearUpdateMark(const CString& programFolder)
{
    if (unlink(MarkPath(programFolder).GetText()) != 0 && errno != ENOENT)
        return false;
    SyncFolder(programFolder);
    return true;
}

void RemoveUpdateLeftovers(const CString& programFolder, const SUpdateMark& mark)
{
    RemoveStrayTemporariesIn(programFolder);
    // The package's spelling of a folder may differ in case from the disk's.
    CDiskDrive program(programFolder.GetText());
    for (const CString& folder : mark.folders)
        RemoveStrayTemporariesIn(program.GetDiskPath(CURL(folder)));
}

} // namespace Zorlin
