#include "platform/XDisplayCheck.h"

#include <X11/Xlib.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "foundation/Spawn.h"
#include "platform/SystemPlaces.h"

using Zorlin::CString;

namespace {

// notify-send hands the text to the desktop and returns; one that hangs
// on a missing message bus is not waited for longer.
const int kNotifyLimitMs = 5000;

const char* const kTitle = "Rookwell";

// The check's connection, kept until the toolkit holds its own.
Display* g_held = nullptr;

// A server that resets as another program's last connection leaves drops
// ours while it is being set up; the next attempt meets the reset server.
// One that is not there or refuses us says so at once, each time.
const int kOpenAttempts = 3;
const std::chrono::milliseconds kOpenPause(100);

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

bool HoldXDisplay(const CString& name)
{
    ReleaseXDisplay();
    for (int attempt = 0; attempt < kOpenAttempts && !g_held; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(kOpenPause);
        g_held = XOpenDisplay(name.GetText());
    }
    return g_held != nullptr;
}

void ReleaseXDisplay()
{
    if (!g_held)
        return;
    XCloseDisplay(g_held);
    g_held = nullptr;
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
