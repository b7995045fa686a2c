#include "client/core/SafeMode.h"

#include <sys/stat.h>
#include <unistd.h>

#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/File.h"

using Zorlin::CAutoPointer;
using Zorlin::CFile;
using Zorlin::CURL;

const char* const kCrashMarkerName = "running.marker";

namespace {

CURL MarkerPath()
{
    return CURL(Zorlin::CString("/") + kCrashMarkerName);
}

} // namespace

bool WriteCrashMarker(Zorlin::CDiskDrive& drive)
{
    CAutoPointer<CFile> file = drive.OpenFile(MarkerPath(), CFile::kModeWrite | CFile::kModeCreate);
    if (!file || file->IsNull() || !file->IsOpen())
        return false;
    Zorlin::CString text;
    text.AppendFormat("%d\n", (int)getpid());
    return file->WriteString(text);
}

bool HasCrashMarker(Zorlin::CDiskDrive& drive)
{
    struct stat info;
    return stat(drive.GetDiskPath(MarkerPath()).GetText(), &info) == 0 && S_ISREG(info.st_mode);
}

void RemoveCrashMarker(Zorlin::CDiskDrive& drive)
{
    unlink(drive.GetDiskPath(MarkerPath()).GetText());
}

void ApplySafeMode(Zorlin::CConfig& userSettings)
{
    userSettings.GetValue(".preferences.graphics.16bit") = "yes";
    userSettings.GetValue(".preferences.graphics.small textures") = "yes";
}
