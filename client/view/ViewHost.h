#pragma once

#include "foundation/String.h"

namespace Zorlin {
class CConfig;
class CDrive;
}

// What the HTML windows need of the main frame and the application besides
// the application services (drives and settings, client/core/AppServices.h)
// and the prompt (client/core/Prompt.h): live content, the frame's commands,
// the launcher and the board's redraw. The application installs its host at
// start-up; tests install a fake. Without one, live content is empty and
// every action does nothing.
class CViewHost {
public:
    virtual ~CViewHost() = default;

    // The live-content store (frames "News" and "Links") and its re-read
    // from "live content/live.cfg".
    virtual Zorlin::CConfig& GetLiveContent() = 0;
    virtual void ReloadLiveContent() = 0;

    // Outside the client: a web or mail address through the launcher; a
    // folder in the file manager.
    virtual void OpenUrl(const Zorlin::CString& address) = 0;
    virtual void ExploreFolder(const Zorlin::CString& diskPath) = 0;

    // The main frame: a command by name, whether the current game agrees to
    // end (it may ask to save), opening a saved game or a PGN file by its
    // full path, the side panel's rebuild and the board's redraw.
    virtual bool ExecuteCommand(const Zorlin::CString& name) = 0;
    virtual bool QueryCloseGame() = 0;
    virtual void OpenGameFile(const Zorlin::CString& diskPath) = 0;
    virtual void OpenPgnFile(const Zorlin::CString& diskPath) = 0;
    virtual void RebuildBrowser(bool reloadLiveContent) = 0;
    virtual void RequestBoardRedraw() = 0;

    // Shorthands for the application services' drives and settings.
    Zorlin::CDrive& GetProgramDrive();
    Zorlin::CDrive& GetUserDrive();
    Zorlin::CConfig& GetProgramConfig();
    Zorlin::CConfig& GetUserConfig();
};

// The host in use: the one installed, else the empty default.
CViewHost& GetViewHost();
// Installs a host (not owned; null goes back to the default) and returns
// the previous one.
CViewHost* SetViewHost(CViewHost* host);

// "true" or "yes" in any case: the one reading of a flag setting; a key
// that is missing gives the default and is not created.
bool IsSettingOn(Zorlin::CConfig& config, const char* key, bool missing = false);

// The application's background music player: paused while a window plays
// a track of its own, resumed after; made on first use.
void PauseBackgroundMusic();
void ResumeBackgroundMusic();
