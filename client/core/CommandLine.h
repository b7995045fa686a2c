#pragma once

// The command line as the system gave it. The toolkit turns its arguments
// into text in the current locale: without a UTF-8 locale every byte of a
// name that is not ASCII comes out changed, and with one a name that is
// not UTF-8 is dropped. File names are bytes, so main keeps the arguments
// before the toolkit sees them and the start-up takes its files from there.

#include <vector>

#include "foundation/String.h"

// Called by main with its own arguments, before the toolkit starts.
void KeepCommandLine(int argc, char** argv);
// What main kept: the program's name first; empty when main kept nothing
// (a test that starts the application object itself).
const std::vector<Zorlin::CString>& GetKeptCommandLine();

// The arguments after the program's name that the toolkit left to the
// application, as the system's bytes. raw is the whole command line as
// kept; toolkit is what the toolkit left of it, the program's name first,
// as UTF-8 text. The toolkit takes its own options out (GTK's --display and
// the like), drops names it cannot read as text and changes the rest; an
// argument is the toolkit's own when it is printable UTF-8 and matches none
// of what the toolkit left. When the two cannot be matched up every raw argument
// counts.
std::vector<Zorlin::CString> ApplicationArguments(const std::vector<Zorlin::CString>& raw,
                                                  const std::vector<Zorlin::CString>& toolkit);

// The files named among the arguments: each that is no option (does not
// start with '-'), and every one after "--".
std::vector<Zorlin::CString> FileArguments(const std::vector<Zorlin::CString>& arguments);
