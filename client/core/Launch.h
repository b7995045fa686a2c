#pragma once

// Opening things outside the client: web and mail addresses and documents
// of the program folder go to the launcher program, which hands them to
// the desktop. The address travels as one argument, never through a shell.

#include "foundation/String.h"

// Anything but http, https, mailto and program-folder documents is refused
// with a message; the launcher checks again before it opens.
void OpenUrl(const char* url);

// The launcher's command for an address: the program and its one argument.
// Empty when the address is refused.
bool MakeLauncherCommand(const char* url, const Zorlin::CString& programFolder, Zorlin::CString& program,
                         Zorlin::CString& argument);

// The disk path of a help page: html/<language>/Doc/<topic>.htm below the
// program folder, with the spelling found on disk.
Zorlin::CString HelpPagePath(const Zorlin::CString& language, const char* topic);
