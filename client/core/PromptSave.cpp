#include <wx/defs.h>
#include <wx/filedlg.h>

#include <sys/stat.h>

#include "client/core/FileFilter.h"
#include "client/core/GameFileRules.h"
#include "client/core/Prompt.h"

using Zorlin::CString;

namespace {

bool DiskFileExists(const CString& path)
{
    struct stat info;
    return stat(path.GetText(), &info) == 0;
}

} // namespace

bool AskFileToSave(const SSaveFile& dialog, wxWindow* parent, CString& path)
{
    const CString extension = DefaultExtensionOf(dialog.filter);
    for (;;) {
        CString chosen;
        if (!GetPrompt().AskFile(dialog.title, dialog.folder, dialog.file, dialog.filter, wxFD_SAVE, parent,
                                 chosen) ||
            chosen.IsEmpty())
            return false;
        chosen = WithDefaultExtension(chosen, extension.GetText());
        if (chosen == dialog.own || !DiskFileExists(chosen)) {
            path = chosen;
            return true;
        }
        CString question = ShortFileName(chosen);
        question.Append(" already exists.\n\nDo you want to replace it?");
        if (GetPrompt().ShowMessage(question, dialog.caption, wxYES_NO | wxICON_QUESTION, parent) == wxYES) {
            path = chosen;
            return true;
        }
    }
}
