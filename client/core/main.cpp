// The toolkit's entry point of tavrin. wxGetApp() lives with the application
// object, so the client library links without this file (its tests do).

#include "client/core/ChessApp.h"
#include "client/core/CommandLine.h"
#include "client/core/PromptLog.h"
#include "client/core/ToolkitGL.h"
#include "client/remote/RemotePlay.h"

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
    return wxEntry(argc, argv);
}
