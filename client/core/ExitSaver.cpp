#include "client/core/ExitSaver.h"

#include <wx/defs.h>

#include "client/core/Prompt.h"

#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/File.h"

using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CDrive;
using Zorlin::CFile;
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

} // namespace

bool SaveUserSettings(CDrive& drive, const CConfig& live)
{
    CConfig merged;
    bool damaged = false;
    {
        CAutoPointer<CFile> file = drive.OpenFile(CURL("/user.cfg"), CFile::kModeRead);
        damaged = file && !file->IsNull() && file->IsOpen() && !merged.Read(*file);
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
