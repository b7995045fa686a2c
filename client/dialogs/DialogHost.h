#pragma once

// What the dialogs need of the application beyond the services games use
// (client/core/AppServices.h: drives, settings, the frame and the board) and
// the view host (client/view/ViewHost.h: browser rebuild, launcher, frame
// commands). The application installs its own at start-up; until then an
// inert stand-in answers, and tests install a fake.

#include "foundation/String.h"

class CDialogHost {
public:
    virtual ~CDialogHost() = default;

    // Writes user.cfg: the file as it is on disk with the settings store
    // merged over it. False when it could not be written.
    virtual bool SaveUserSettings() = 0;
    // The user's folder as the profile dialog's title shows it.
    virtual Zorlin::CString GetUserFolderText() = 0;
    // A help page of the language folder, at an anchor when one is given.
    virtual void ShowHelp(const char* topic, const char* anchor) = 0;

    // The side panel rescans the active games; the played games it shows
    // again from their shared list, which the caller brought up to date.
    virtual void RescanActiveGames() = 0;
    virtual void RescanPlayedGames() = 0;
    // A check item of the main menu.
    virtual void CheckMenuItem(int id, bool checked) = 0;
    // Whether the board canvas takes input (it is disabled while inactive).
    virtual bool IsBoardEnabled() = 0;
    // Refreshes the whole main frame.
    virtual void RefreshFrame() = 0;

    // Loads the board skin of a pack of "/boards/" into a new scene and puts
    // it on the canvas; false (the old scene stays) when it cannot be read.
    virtual bool ApplyBoardSkin(const Zorlin::CString& pack) = 0;
    // Shows or hides the links drawn around the board, and redraws.
    virtual void SetBoardLinksShown(bool shown) = 0;
    // Reloads both sides' voices from the user settings.
    virtual void ReloadVoices() = 0;

    // The background update check and the live-content download, with
    // their messages.
    virtual void StartUpdateCheck() = 0;
    virtual void StartLiveContentDownload() = 0;
};

CDialogHost& GetDialogHost();
// Installs a host (not owned) and returns the previous one; null goes back to
// the inert stand-in.
CDialogHost* SetDialogHost(CDialogHost* host);

// The application's host, answered from the application object and the main
// frame (client/dialogs/AppDialogHost.cpp); start-up installs it.
CDialogHost& GetApplicationDialogHost();
