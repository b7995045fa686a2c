#pragma once

#include <string>

// The folder that holds this program, found from the running executable.
std::string ProgramFolder();

// Runs opener with the target as its one argument (no shell) and waits for it.
// False when it could not be started or did not end with status 0.
bool RunOpener(const char* opener, const std::string& target);

// The whole program: argv[1] is the address; further arguments are ignored.
// Always returns 1, as the client expects of it.
int LauncherMain(int argc, char** argv);
