#pragma once

// Places the system names, kept as the bytes it gives: the running
// program's file and the user's home and desktop folders. None of them
// goes through the toolkit's text, which changes or drops the bytes of a
// name that is not text in the current locale (LANG=C, a locale that is
// not installed, a name that is not UTF-8).

#include "foundation/String.h"

// The account's home from the password database, whatever $HOME says (a
// sudo may leave the caller's there); empty when it has none.
Zorlin::CString AccountHomeFolder();
// The account's name from the password database; empty when it has none.
Zorlin::CString AccountName();

// The full path of the running program with links resolved, or empty.
Zorlin::CString RunningProgramPath();

// $HOME when it holds an absolute path, else the account's home from the
// password database; empty when neither says.
Zorlin::CString HomeFolder();

// The user's configuration folder: $XDG_CONFIG_HOME when it names an
// absolute path, else ~/.config; a folder of another account gives way to
// the account's own (see AccountPlaces); empty without a home.
Zorlin::CString UserConfigFolder();

// The desktop folder of the XDG user folders: XDG_DESKTOP_DIR of
// "user-dirs.dirs" in $XDG_CONFIG_HOME (else ~/.config) when that folder
// exists, else ~/Desktop when it exists, else the home folder.
Zorlin::CString DesktopFolder();

// The value of one entry of a "user-dirs.dirs" text (lines such as
// XDG_DESKTOP_DIR="$HOME/Desktop"), with a leading "$HOME" made the home
// folder and backslash escapes undone. Empty when the entry is missing or
// names neither an absolute path nor one below $HOME.
Zorlin::CString ReadUserDirsEntry(const Zorlin::CString& text, const char* key, const Zorlin::CString& home);

// The folder of the user's own data: $XDG_DATA_HOME/rookwell when that
// names an absolute path, else ~/.local/share/rookwell; a folder of
// another account, or one others may change, gives way to the account's
// own (see AccountPlaces); empty when none is usable.
Zorlin::CString UserDataFolder();

// A program named with a '/' when it can be run, else the first that can
// of that name along PATH (the usual folders without one), as a shell
// finds it; empty when there is none.
Zorlin::CString FindProgramInPath(const Zorlin::CString& name);

// Whether this process may make and change entries of the folder (as the
// system decides it: a folder of another account, a read-only mount).
bool IsFolderWritable(const Zorlin::CString& folder);

// The file an install leaves in the program folder it makes. Root may
// write any folder, so the mark, not the folder's mode, says the folder
// is the system's.
extern const char* const kInstalledMarkName;

// Whether the client keeps its users, logs and packages in this program
// folder: one it may write that no install marked as the system's.
bool IsPortableProgramFolder(const Zorlin::CString& folder);
