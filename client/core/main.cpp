// The toolkit's entry point of tavrin. wxGetApp() lives with the application
// object, so the client library links without this file (its tests do).

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "client/core/ChessApp.h"
#include "client/core/CommandLine.h"
#include "client/core/PromptLog.h"
#include "client/core/ToolkitGL.h"
#include "client/remote/RemotePlay.h"
#include "foundation/NameText.h"
#include "platform/AccountPlaces.h"
#include "platform/SystemPlaces.h"
#include "platform/XDisplayCheck.h"

wxIMPLEMENT_WX_THEME_SUPPORT

wxAppConsole* wxCreateApp()
{
    wxAppConsole::CheckBuildOptions(WX_BUILD_OPTIONS_SIGNATURE, "tavrin");
    InstallPromptLogFromEnvironment();
    HoldToolkitGL();
    InstallRemotePlay();
    return new CChessApp;
}

wxAppInitializer wxTheAppInitializer((wxAppInitializerFunction)wxCreateApp);

// The toolkit's main, keeping the arguments as bytes first: the toolkit
// reads them as text of the locale, which loses file names.
int main(int argc, char** argv)
{
    wxDISABLE_DEBUG_SUPPORT();
    KeepCommandLine(argc, argv);
    // Decided once, before any library looks: what the toolkit, the GL
    // driver and the programs started from here write goes to this
    // account's folders, never to another's that HOME names (sudo -E).
    const SAccountPlaces places = AccountPlaces();
    for (const Zorlin::CString& note : places.notes)
        fprintf(stderr, "%s\n", Zorlin::EscapeForLog(note).GetText());
    PointEnvironmentAtAccountPlaces(places);
    const Zorlin::CString display = XDisplayName(getenv("DISPLAY"), GetKeptCommandLine());
    if (display.IsEmpty()) {
        TellNoXDisplay(kNoXDisplayText);
        return 1;
    }
    if (!HoldXDisplay(display)) {
        TellNoXDisplay(CannotOpenXDisplayText(display, AccountName()).GetText());
        return 1;
    }
    // The toolkit names every window's class after its argv[0]: named as
    // the menu entry, the running client is the entry's on a dock.
    std::vector<char*> toolkit(argv, argv + argc + 1);
    char entryName[] = "rookwell";
    toolkit[0] = entryName;
    return wxEntry(argc, toolkit.data());
}
