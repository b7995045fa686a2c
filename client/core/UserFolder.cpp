#include "client/core/UserFolder.h"

#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/File.h"

using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CDrive;
using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

bool MakeFolder(CDrive& drive, const CString& path, CString& problem)
{
    if (drive.MakeDirectory(CURL(path)) && drive.IsDirectory(CURL(path)))
        return true;
    // Named by its place on the disk: the drive may lie in the program
    // folder or in the user's data folder.
    CURL where(path);
    drive.GetFullPath(where, "");
    problem = "The folder \"";
    problem += where.IsEmpty() ? path.Mid(1) : CString(where);
    problem += "\" could not be made.";
    return false;
}

void CopyPhoto(CDrive& drive, const CString& target)
{
    if (drive.Exists(CURL(target)))
        return;
    CAutoPointer<CFile> source = drive.OpenFile(CURL("/assets/images/misc/nophoto.bmp"), CFile::kModeRead);
    if (!source || source->IsNull() || !source->IsOpen())
        return;
    CAutoPointer<CFile> out = drive.OpenFile(CURL(target), CFile::kModeWrite | CFile::kModeCreate);
    if (out && !out->IsNull() && out->IsOpen())
        out->CopyFrom(*source);
}

bool WriteDefaultSettings(CDrive& drive, const CString& target, CString& problem)
{
    if (drive.Exists(CURL(target)))
        return true;
    CConfig defaults;
    CAutoPointer<CFile> source = drive.OpenFile(CURL("/assets/cfg/defaultuser.cfg"), CFile::kModeRead);
    if (source && !source->IsNull() && source->IsOpen())
        defaults.Read(*source);
    defaults.GetValue(".profile.id") = "calculate";
    if (defaults.Write(drive, CURL(target), true))
        return true;
    problem = "The settings \"";
    problem += target.Mid(1);
    problem += "\" could not be written.";
    return false;
}

} // namespace

bool PrepareUserFolderOn(CDrive& drive, const CString& userName, CString& problem)
{
    problem = "";
    CString folder = CString("/users/") + userName;
    if (!MakeFolder(drive, "/users", problem) || !MakeFolder(drive, folder, problem))
        return false;
    for (const char* sub : {"/active games", "/opponents", "/played games"})
        if (!MakeFolder(drive, folder + sub, problem))
            return false;
    CopyPhoto(drive, folder + "/photo.bmp");
    return WriteDefaultSettings(drive, folder + "/user.cfg", problem);
}
