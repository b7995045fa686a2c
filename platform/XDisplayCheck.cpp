#include "platform/XDisplayCheck.h"

#include <X11/Xlib.h>
#include <cstdio>
#include <cstring>

#include "foundation/Spawn.h"
#include "platform/SystemPlaces.h"

using Zorlin::CString;

namespace {

// notify-send hands the text to the desktop and returns; one that hangs
// on a missing message bus is not waited for longer.
const int kNotifyLimitMs = 5000;

const char* const kTitle = "Rookwell";

bool Notified(const char* text)
{
    const CString program = FindProgramInPath("notify-send");
    if (program.IsEmpty())
        return false;
    Zorlin::SSpawnOptions options;
    options.quiet = true;
    return Zorlin::RunProgram({program, "--app-name=Rookwell", "--icon=rookwell", kTitle, text}, options,
                              kNotifyLimitMs)
        .Succeeded();
}

// zenity's box stays until the user closes it, after we have ended.
bool ShownInBox(const char* text)
{
    const CString program = FindProgramInPath("zenity");
    if (program.IsEmpty())
        return false;
    Zorlin::SSpawnOptions options;
    options.quiet = true;
    options.newSession = true;
    CString error;
    return Zorlin::SpawnProgram({program, "--error", "--no-markup", CString("--title=") + kTitle,
                                 CString("--text=") + text},
                                options, error) > 0;
}

} // namespace

const char* const kNoXDisplayText =
    "Rookwell needs an X display, and this session has none (DISPLAY is not set).\n"
    "On a Wayland desktop Xwayland gives one: install it (the package xwayland) or turn it on "
    "in the desktop's settings, log in again and start Rookwell.";

CString XDisplayName(const char* display, const std::vector<CString>& commandLine)
{
    // GTK's option wins over the environment, as GTK has it.
    for (size_t i = 1; i < commandLine.size(); ++i) {
        const char* argument = commandLine[i].GetText();
        if (std::strcmp(argument, "--") == 0)
            break;
        if (std::strcmp(argument, "--display") == 0 && i + 1 < commandLine.size())
            return commandLine[i + 1];
        if (std::strncmp(argument, "--display=", 10) == 0 && argument[10])
            return CString(argument + 10);
    }
    return CString(display ? display : "");
}

bool OpensXDisplay(const CString& name)
{
    Display* display = XOpenDisplay(name.GetText());
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

CString CannotOpenXDisplayText(const CString& name, const CString& account)
{
    CString text("Rookwell cannot open the X display ");
    text += name;
    text += ": no X server answers there, or it does not let this account in.\n"
            "Started with su or sudo, the account needs the display's permission: allow it from the desktop's "
            "account (xhost +SI:localuser:";
    text += account.IsEmpty() ? CString("NAME") : account;
    text += "), or give it the desktop's XAUTHORITY, and start Rookwell again.";
    return text;
}

void TellNoXDisplay(const char* text)
{
    std::fprintf(stderr, "rookwell: %s\n", text);
    if (!Notified(text))
        ShownInBox(text);
}
