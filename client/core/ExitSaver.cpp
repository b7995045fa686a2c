#include "client/core/ExitSaver.h"

#include <cstdio>

#include <wx/defs.h>

#include "client/core/Prompt.h"

#include "foundation/Config.h"
#include "foundation/ConfigText.h"
#include "foundation/Drive.h"
#include "foundation/File.h"

using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CDrive;
using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

void KeepBackup(CDrive& drive)
{
    CAutoPointer<CFile> damaged = drive.OpenFile(CURL("/user.cfg"), CFile::kModeRead);
    if (!damaged || damaged->IsNull() || !damaged->IsOpen())
        return;
    CAutoPointer<CFile> out = drive.OpenFile(CURL("/user.cfg.bak"), CFile::kModeWrite | CFile::kModeCreate);
    if (out && !out->IsNull() && out->IsOpen())
        out->CopyFrom(*damaged);
}

bool ReadSettingsFile(CDrive& drive, const char* path, CConfig& out, bool& found)
{
    CAutoPointer<CFile> file = drive.OpenFile(CURL(path), CFile::kModeRead);
    found = file && !file->IsNull() && file->IsOpen();
    return found && Zorlin::ReadWhole(out, *file);
}

} // namespace

SUserSettingsRead ReadUserSettings(CDrive& userDrive, CDrive& programDrive, CConfig& settings)
{
    SUserSettingsRead read;
    bool found = false;
    if (ReadSettingsFile(userDrive, "/user.cfg", settings, found) || !found)
        return read;
    read.damaged = true;
    CURL path("/user.cfg");
    userDrive.GetFullPath(path, "");
    CURL kept("/user.cfg.damaged");
    userDrive.GetFullPath(kept, "");
    read.path = path;
    if (std::rename(path.GetText(), kept.GetText()) == 0)
        read.keptAs = kept;
    read.profileLost = settings.GetValueOr(".profile.id", "").IsEmpty();
    if (read.profileLost)
        settings.GetValue(".profile.id") = "calculate";
    // The first value read wins, so the defaults fill only what was lost.
    CConfig defaults;
    bool shipped = false;
    ReadSettingsFile(programDrive, "/assets/cfg/defaultuser.cfg", defaults, shipped);
    settings.PushAbsolutePrefix("");
    defaults.ForEachValue([&](const CString& key, const CString& value) {
        if (!settings.KeyExists(key))
            settings.GetValue(key) = value;
    });
    settings.PopPrefix();
    return read;
}

CString DamagedSettingsText(const SUserSettingsRead& read)
{
    CString text = CString("Your settings could not be read whole from\n\n") + read.path + "\n\n";
    if (read.keptAs.IsEmpty())
        text += "The file could not be kept aside.\n\n";
    else
        text += CString("The file was kept as\n\n") + read.keptAs + "\n\n";
    text += "What could be read of it is kept, your statistics too where they could be read; "
            "what was lost starts again from a new player's settings.";
    if (read.profileLost)
        text += "\n\nYour profile was lost: please enter it again.";
    else
        text += "\n\nWould you like to check your profile now?";
    return text;
}

bool SaveUserSettings(CDrive& drive, const CConfig& live)
{
    CConfig merged;
    bool damaged = false;
    {
        CAutoPointer<CFile> file = drive.OpenFile(CURL("/user.cfg"), CFile::kModeRead);
        damaged = file && !file->IsNull() && file->IsOpen() && !Zorlin::ReadWhole(merged, *file);
    }
    if (damaged)
        KeepBackup(drive);
    // Merge copies what lies under the source's prefix; the whole store is
    // wanted, whatever prefix its users left set.
    CConfig source(live);
    source.PushAbsolutePrefix("");
    merged.PushAbsolutePrefix("");
    merged.Merge(source);
    return merged.Write(drive, CURL("/user.cfg"), true);
}

bool SaveUserSettingsOrTell(CDrive& drive, const CConfig& live, bool closing, wxWindow* parent)
{
    for (;;) {
        if (SaveUserSettings(drive, live))
            return true;
        Zorlin::CURL where;
        drive.GetFullPath(where, "/user.cfg");
        Zorlin::CString text = Zorlin::CString("Your settings could not be saved to\n\n") + where +
                               "\n\nThe disk may be full, or the folder may not be writable.";
        if (!closing) {
            text += "\n\nYour changes are kept and saved again when Rookwell closes.";
            GetPrompt().ShowMessage(text, "Problem", wxOK | wxICON_ERROR, parent);
            return false;
        }
        text += "\n\nTry again?";
        if (GetPrompt().ShowMessage(text, "Problem", wxYES_NO | wxICON_ERROR, parent) != wxYES)
            return false;
    }
}
