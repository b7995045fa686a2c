// The toolkit's entry point of tavrin. wxGetApp() lives with the application
// object, so the client library links without this file (its tests do).

#include "client/core/ChessApp.h"
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

wxIMPLEMENT_WXWIN_MAIN
