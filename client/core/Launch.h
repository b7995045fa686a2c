#pragma once

// Opening things outside the client: web and mail addresses and documents
// of the program folder go to the launcher program, which hands them to
// the desktop. The address travels as one argument, never through a shell.

#include <functional>

#include "foundation/String.h"

// Anything but http, https, mailto and program-folder documents is refused
// with a message; the launcher checks again before it opens.
void OpenUrl(const char* url);
// The same; notOpened runs on the GUI thread when neither the desktop's
// opener nor a browser could open the address.
void OpenUrl(const char* url, std::function<void()> notOpened);

// The launcher's command for an address: the program and its one argument.
// Empty when the address is refused. Documents of ownFolder, the user's own
// data folder when the program folder has one, are opened as well.
bool MakeLauncherCommand(const char* url, const Zorlin::CString& programFolder, Zorlin::CString& program,
                         Zorlin::CString& argument, const Zorlin::CString& ownFolder = Zorlin::CString());

// Starts programFolder/updater on the package without waiting, with the
// client's file name for the restart: "updater <package> tavrin", each an
// argument of its own, never through a shell. False with the reason in
// error when it cannot run: missing, not runnable, or not a program for
// this computer.
bool StartUpdater(const Zorlin::CString& programFolder, const Zorlin::CString& packagePath, Zorlin::CString& error);
// The updater's command line as the console shows it.
Zorlin::CString UpdaterCommandLine(const Zorlin::CString& programFolder, const Zorlin::CString& packagePath);

// The disk path of a help page: html/<language>/Doc/<topic>.htm below the
// program folder, with the spelling found on disk.
Zorlin::CString HelpPagePath(const Zorlin::CString& language, const char* topic);
