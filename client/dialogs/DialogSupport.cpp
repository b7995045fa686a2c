#include "client/dialogs/DialogSupport.h"

#include <wx/icon.h>
#include <wx/toplevel.h>

#include "client/dialogs/Icons.h"
#include "foundation/AtomicFolder.h"
#include "foundation/AutoPointer.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

using namespace Zorlin;

void SetAppIcon(wxTopLevelWindow* window)
{
    wxIcon icon;
    icon.CopyFromBitmap(GetAppIcon(0));
    window->SetIcon(icon);
}

void ListFolders(CDrive& drive, const char* folder, CArray<CString>& out)
{
    drive.PushDirectory();
    if (drive.ChangeDirectory(CURL(folder))) {
        CArray<CString> names;
        drive.ListDirectory(names, false);
        for (int i = 0; i < names.GetCount(); ++i) {
            const CString& name = *names.GetAt(i);
            // An install under way builds its folder beside the old one.
            if (CURL::IsPlainName(name) && !IsFolderSwapName(name) && drive.IsDirectory(CURL(name)))
                out.Add(name);
        }
    }
    drive.PopDirectory();
}

CString ReadTextFile(CDrive& drive, const CString& path, int maxBytes)
{
    CAutoPointer<CFile> file = drive.OpenFile(CURL(path), CFile::kModeRead);
    CString text;
    if (!file || !file->IsOpen())
        return text;
    char block[4096];
    while (text.GetLength() < maxBytes && file->Read(block, sizeof block) && file->GetLastReadCount() > 0)
        text.Append(block, int(file->GetLastReadCount()));
    if (text.GetLength() > maxBytes)
        text.Truncate(maxBytes);
    return text;
}
