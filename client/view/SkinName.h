#pragma once

#include "foundation/String.h"

// True for a file name from a skin's description that stays inside the
// skin: relative, no drive or device, no ".." component and no empty one.
// Skins come from other people; a name like "../../users/x.cfg" must not
// reach files elsewhere in the program folder.
bool IsPackageFileName(const Zorlin::CString& name);
