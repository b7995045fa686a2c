#pragma once

#include "foundation/String.h"

namespace Zorlin {
class CDrive;
}

// Makes the folder of a user below "users/" of the program drive, or
// completes one that lacks parts: "users/" itself, the folders "active
// games", "opponents" and "played games", "photo.bmp" from
// "/assets/images/misc/nophoto.bmp", and "user.cfg" from
// "/assets/cfg/defaultuser.cfg" with profile.id "calculate". What is there
// already is left alone. False, with the reason in problem, when a folder
// or the settings could not be made.
bool PrepareUserFolderOn(Zorlin::CDrive& programDrive, const Zorlin::CString& userName,
                         Zorlin::CString& problem);
