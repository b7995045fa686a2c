#pragma once

#include <string>

#include "launcher/LinkPolicy.h"

// The folder that holds this program, found from the running executable.
std::string ProgramFolder();

// Runs opener with the target as its one argument (no shell) and waits for it.
// False when it could not be started or did not end with status 0.
bool RunOpener(const char* opener, const std::string& target);

// The whole program: argv[1] is the address; further arguments are ignored.
// Returns 1, as the client expects of it, or
// LinkPolicy::kNotOpened. Without a
// working xdg-open the browsers named by $BROWSER (separated by ':') and
// x-www-browser are tried in turn.
int LauncherMain(int argc, char** argv);
