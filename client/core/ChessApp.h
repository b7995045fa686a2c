#pragma once

// The application object of the client: it owns every long-lived service
// (drives, the three settings stores, music, media, voices, the console,
// the online session, the opponent list) and points at the main frame.
// Everything else reaches it through wxGetApp().

#include <memory>
#include <vector>

#include <wx/glcanvas.h>

#include "client/core/MediaHost.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/String.h"

namespace Zorlin {
class CArchiveDrive;
class CFile;
}

class CChessFrame;
class CConsoleWindow;
class CGridmoorSession;
class CHandOverQueue;
class CMediaSet;
class CMusicPlayer;
class CSingleInstance;
class COpponentList;
class CVoicePlayer;
class wxFrame;
class wxTimer;

class CChessApp : public wxGLApp, public IMediaHost {
public:
    CChessApp();
    ~CChessApp() override;

    bool OnInit() override;
    // Nothing to run after a start that handed its files to the running client.
    int OnRun() override;
    int OnExit() override;
    void OnFatalException() override;

    // IMediaHost.
    Zorlin::CConfig* GetUserSettings() override { return m_userConfig.get(); }
    Zorlin::CDiskDrive* GetProgramDrive() override { return m_programDrive.get(); }
    CMusicPlayer* GetMusicPlayer() override;

    // Writes the user settings (see SaveUserSettings); false when the file
    // could not be written. Nothing to do, and true, before they were read.
    bool SaveUserConfig();
    // Destroys the online session; afterwards none is made again.
    void CloseOnlineSession();
    // The online session, made on first use; null after it was closed or
    // when remote play has installed no way to make one.
    CGridmoorSession* GetOnlineSession();

    // Opens the help page html/<language>/Doc/<topic>.htm in the browser.
    void ShowHelp(const char* topic, const char* anchor);
    void CheckUpdatesIfDue();

    // The voice player speaking for a side (0 White, 1 Black); loads the
    // voices on first use.
    CVoicePlayer* GetVoice(int side);
    void LoadVoices();
    // The media set, made on first use; null after exit.
    CMediaSet* GetMediaSet();
    void LoadMedia();
    void LoadMusic();
    // A splash picture stands on its own: left open as the frame goes it
    // would keep the program running.
    void CloseSplashes();

    // Opens a file named on the command line, handed over, dropped or
    // chosen by the user. What is no plain file is refused at once; a PGN
    // file or a saved game asks the game in play first, as Open does.
    bool OpenTransportFile(const char* path);
    // A received network invitation: false when file holds none.
    bool OpenNetworkInvitation(Zorlin::CFile& file);
    // Restores the e-mail game of a received turn.
    void RestoreEmailGame(Zorlin::CArchiveDrive& archive);
    // Installs a package opened from packagePath; false when its kind is
    // unknown or it is malformed (the caller says so).
    bool InstallPackage(Zorlin::CArchiveDrive& package, const char* packagePath);
    // The user's profile as an archive written into out (left open).
    bool WriteProfileArchive(Zorlin::CFile& out, bool withEmail, bool withAddress);

    // An HTML message box without a parent, shown without waiting.
    void ShowHtmlMessage(const Zorlin::CString& title, const Zorlin::CString& html);

    // Called once when the frame has been drawn for the first time.
    void OnFirstFrameShown();

    // The program folder as a disk path with a trailing '/'; empty before
    // start-up found it.
    Zorlin::CString GetProgramFolder() const;

    // Fields, used directly by the rest of the client.
    std::unique_ptr<CMusicPlayer> m_musicPlayer;
    std::unique_ptr<CMediaSet> m_mediaSet;
    bool m_mediaSetGone;
    std::unique_ptr<Zorlin::CDiskDrive> m_programDrive;
    std::unique_ptr<Zorlin::CDiskDrive> m_userDrive;
    // The user's data folder when the program folder cannot be written and
    // that folder could not be made either; empty otherwise.
    Zorlin::CString m_unmadeDataFolder;
    // What this start carried over from an older client's program folder, for the console.
    Zorlin::CString m_carriedReport;
    std::unique_ptr<Zorlin::CConfig> m_programConfig;
    std::unique_ptr<Zorlin::CConfig> m_userConfig;
    std::unique_ptr<Zorlin::CConfig> m_liveContent;
    std::unique_ptr<Zorlin::CString> m_userName;
    CConsoleWindow* m_console;
    CChessFrame* m_frame;
    CGridmoorSession* m_onlineSession;
    bool m_onlineSessionGone;
    std::unique_ptr<CVoicePlayer> m_voice1;
    std::unique_ptr<CVoicePlayer> m_voice2;
    bool m_16BitColour;
    bool m_smallTextures;
    bool m_noFiltering;
    COpponentList* m_opponentList;
    bool m_voicesLoaded;

    // What remote play installs so the application can make and end the
    // online session without knowing its type.
    struct SOnlineSessionKind {
        CGridmoorSession* (*make)();
        void (*destroy)(CGridmoorSession*);
        void (*deleteList)(COpponentList*);
    };
    static void SetOnlineSessionKind(const SOnlineSessionKind& kind);

    // Ends the program as closing the main window does (SIGTERM, SIGHUP);
    // a game in play that was never saved is kept first, without asking.
    void OnTerminate();
    // Files another start handed over: once start-up is done, the window
    // comes up and the first opens as if named on our own command line.
    // Each waits for the one before it and for anything modal to close.
    void OnHandedFiles(const std::vector<Zorlin::CString>& files);
    // Files of other starts are taken during the start-up and while the
    // window stays; a closing client leaves them to the start that sent
    // them, which opens them once this client is gone.
    bool TakesHandOvers() const;
    // Writes the OpenGL strings to the console once a context is current;
    // the board canvas calls it when it first draws.
    void WriteGLInfo();
    // OnInit has run to its end.
    bool IsStartupDone() const { return m_startupDone; }

private:
    void AskForSafeMode();
    void StartSoundWithMessages();
    void WritePlayerPictures();
    void CreateMainFrame();
    // The profile dialog of a new user; false when it was cancelled.
    bool RunNewUserProfile();
    bool m_glInfoWritten;
    bool m_userSettingsRead;
    std::unique_ptr<CSingleInstance> m_singleInstance;
    bool m_handedOver;
    bool m_startupDone;
    // What other starts handed over, waiting for its turn.
    CHandOverQueue& HandOvers();
    void CarryOutHandOver(const std::vector<Zorlin::CString>& files);
    void HandOverWaits(const std::vector<Zorlin::CString>& files);
    std::unique_ptr<CHandOverQueue> m_handOvers;
    std::unique_ptr<wxTimer> m_handOverRetry;
};

// The one application object (the toolkit's instance).
CChessApp& wxGetApp();
// The application object when the running toolkit application is one; null
// in programs (tests) that run another.
CChessApp* GetChessApp();

// The start-up splash while it exists, else null.
extern wxFrame* g_startupSplash;

class CAppServices;
class CViewHost;
// The application's answers to the games and to the view windows; start-up
// installs them (SetAppServices, SetViewHost) and exit removes them.
CAppServices& GetApplicationServices();
CViewHost& GetApplicationViewHost();

// The attribute lists of the board's OpenGL pixel formats: the 16-bit list
// for depth 16, the 32-bit list for any other value.
const int* GetGLAttributes(int depth);

// The user name kept in the desktop's settings, where the toolkit's XDG
// layout keeps those of "Rookwell Lite" (the file "Rookwell Lite.conf" of
// the user's configuration folder), written there from the login name on
// first use. The settings an older client kept in ".Rookwell Lite" of the
// home folder are moved there once.
Zorlin::CString ReadRegistryUser();

// Makes or completes a user's folder below the program folder; false
// after the reason was shown to the user.
bool PrepareUserFolder(const Zorlin::CString& userName);

// A new profile identifier from seed, the tick count and the time.
void MakeUserId(const char* seed, Zorlin::CString& out);
