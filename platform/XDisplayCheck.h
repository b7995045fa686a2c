#pragma once

// The toolkit's OpenGL canvas is built for X11 alone and ties the toolkit
// to X11 before main runs: in a session without an X display (a Wayland
// desktop without Xwayland, a text console) the toolkit ends with its own
// terse words. The client looks first, before the toolkit starts, and says
// what it needs.

#include <vector>

#include "foundation/String.h"

// The X display the toolkit will open: the one the command line names with
// GTK's own --display option, else DISPLAY; empty when there is none.
Zorlin::CString XDisplayName(const char* display, const std::vector<Zorlin::CString>& commandLine);

// Whether the X server at name lets this process in. One that is not there,
// or that refuses the account (started with su or sudo without the
// display's permission), would leave the toolkit with its own terse words.
// The connection stays open until ReleaseXDisplay, once the toolkit has
// opened its own: a server whose last client leaves resets (a bare Xvfb or
// nested server does), and drops a connection that came in meanwhile, the
// toolkit's, which then gives up.
bool HoldXDisplay(const Zorlin::CString& name);
void ReleaseXDisplay();
// What such a start tells the user; account is the user's name.
Zorlin::CString CannotOpenXDisplayText(const Zorlin::CString& name, const Zorlin::CString& account);

// What a start without an X display tells the user.
extern const char* const kNoXDisplayText;

// Writes text to standard error and, where notify-send or zenity is found
// along PATH, shows it on the screen (a Wayland desktop has one).
void TellNoXDisplay(const char* text);
