#pragma once

// The toolkit's OpenGL canvas is built for X11 alone and ties the toolkit
// to X11 before main runs: in a session without an X display (a Wayland
// desktop without Xwayland, a text console) the toolkit ends with its own
// terse words. The client looks first, before the toolkit starts, and says
// what it needs.

#include <vector>

#include "foundation/String.h"

// Whether the toolkit has an X display to open: DISPLAY names one, or the
// command line does with GTK's own --display option.
bool NamesXDisplay(const char* display, const std::vector<Zorlin::CString>& commandLine);

// What a start without an X display tells the user.
extern const char* const kNoXDisplayText;

// Writes text to standard error and, where notify-send or zenity is found
// along PATH, shows it on the screen (a Wayland desktop has one).
void TellNoXDisplay(const char* text);
