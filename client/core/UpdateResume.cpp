#include "client/core/UpdateResume.h"

#include <sys/stat.h>
#include <unistd.h>

#include <wx/defs.h>

#include "client/core/Prompt.h"
#include "foundation/AtomicFile.h"
#include "foundation/UpdateMark.h"

using Zorlin::CString;

namespace {

const char* const kCaption = "Update";
const char* const kUnfinished =
    "The last update of Rookwell did not finish, so some of its files may be old and some new.\n\n";

bool IsReadableFile(const CString& path)
{
    struct stat info;
    return !path.IsEmpty() && stat(path.GetText(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.GetText(), R_OK) == 0;
}

} // namespace

void TellUpdaterSwap(const SUpdaterSwap& swap, wxWindow* parent)
{
    if (swap.result != EUpdaterSwap::kRefused)
        return;
    GetPrompt().ShowMessage(CString("The updater that came with the last update can not run on this computer, "
                                    "so Rookwell keeps the updater it had.\n\n") +
                                swap.reason,
                            kCaption, wxOK | wxICON_WARNING, parent);
}

EUnfinishedUpdate OfferUnfinishedUpdate(const CString& programFolder, wxWindow* parent, const UpdaterStarter& start)
{
    // A mark whose writer was killed before it was whole is no mark.
    Zorlin::RemoveStrayTemporaries(programFolder + "/" + Zorlin::kUpdateMarkName);
    Zorlin::SUpdateMark mark;
    if (!Zorlin::ReadUpdateMark(programFolder, mark))
        return EUnfinishedUpdate::kNone;
    Zorlin::RemoveUpdateLeftovers(programFolder, mark);

    if (!IsReadableFile(mark.package)) {
        CString text(kUnfinished);
        text += mark.package.IsEmpty() ? CString("Its package is not known.")
                                       : "Its package is no longer there:\n" + mark.package;
        text += "\n\nInstall the update again to mend Rookwell.";
        GetPrompt().ShowMessage(text, kCaption, wxOK | wxICON_WARNING, parent);
        Zorlin::ClearUpdateMark(programFolder);
        return EUnfinishedUpdate::kPackageGone;
    }
    CString question(kUnfinished);
    question += "Update package:\n" + mark.package + "\n\nRun the update again now?";
    if (GetPrompt().ShowMessage(question, kCaption, wxYES_NO | wxICON_WARNING, parent) != wxYES)
        return EUnfinishedUpdate::kLater;
    CString error;
    if (!start || !start(mark.package, error)) {
        GetPrompt().ShowMessage(CString("The updater could not be started:\n\n") + error +
                                    "\n\nThe update is still not finished.",
                                kCaption, wxOK | wxICON_ERROR, parent);
        return EUnfinishedUpdate::kNotStarted;
    }
    return EUnfinishedUpdate::kUpdaterStarted;
}
