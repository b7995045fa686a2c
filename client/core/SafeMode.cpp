#include "client/core/SafeMode.h"

#include <sys/stat.h>
#include <unistd.h>

#include "foundation/AtomicFile.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"

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
    Zorlin::CString text;
    text.AppendFormat("%d\n", (int)getpid());
    return Zorlin::WriteFileAtomically(drive.GetDiskPath(MarkerPath()), text.GetText(), size_t(text.GetLength()));
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
