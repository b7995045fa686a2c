#pragma once

// Small things every dialog of local play does the same way.

#include "foundation/Array.h"
#include "foundation/String.h"

namespace Zorlin {
class CDrive;
}
class wxTopLevelWindow;

// The application's window icon (the 32 x 32 picture).
void SetAppIcon(wxTopLevelWindow* window);

// The folders inside a folder of a drive ("/boards/", "/voices/"), in the
// drive's listing order. The drive's current folder is left as it was.
void ListFolders(Zorlin::CDrive& drive, const char* folder, Zorlin::CArray<Zorlin::CString>& out);

// A text file of a drive, empty when it cannot be read; at most maxBytes.
Zorlin::CString ReadTextFile(Zorlin::CDrive& drive, const Zorlin::CString& path, int maxBytes = 1 << 16);
