// The client's start-up: program folder, user, settings, sound, the main
// frame with its console, the first file and the periodic update check.

#include "client/core/ChessApp.h"

#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <wx/cmdline.h>
#include <wx/dirdlg.h>
#include <wx/display.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

#include "client/core/AppServices.h"
#include "client/core/ExitSaver.h"
#include "client/core/AppTexts.h"
#include "client/core/ChessFrame.h"
#include "client/core/ChessView.h"
#include "client/core/CommandLine.h"
#include "client/core/Game.h"
#include "client/core/GameFileRules.h"
#include "client/core/HandOverQueue.h"
#include "client/core/DownloadThread.h"
#include "client/core/Internet.h"
#include "client/core/Launch.h"
#include "client/core/MediaSet.h"
#include "client/core/MusicPlayer.h"
#include "client/core/PackageInstaller.h"
#include "client/core/Prompt.h"
#include "client/core/SafeMode.h"
#include "client/core/SampleBoardSound.h"
#include "client/core/SingleInstance.h"
#include "client/core/Sound.h"
#include "client/core/StartUp.h"
#include "client/core/StartupSplash.h"
#include "client/core/ToolkitGL.h"
#include "client/core/UpdateCheckThread.h"
#include "client/core/UpdateResume.h"
#include "client/core/UpdateRecord.h"
#include "client/core/UserFolderCarry.h"
#include "client/core/UserFolderSweep.h"
#include "client/core/VoicePlayer.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/GameOverOptions.h"
#include "client/dialogs/ProfileDialog.h"
#include "client/view/BumpSplashWindow.h"
#include "client/view/ConsoleWindow.h"
#include "client/view/ViewHost.h"
#include "foundation/Buffer.h"
#include "foundation/BufferFile.h"
#include "foundation/File.h"
#include "foundation/NameText.h"
#include "foundation/UpdateMark.h"
#include "platform/AccountPlaces.h"
#include "platform/SystemPlaces.h"
#include "platform/XDisplayCheck.h"

using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

// Taken while the program's statics are made, just after it was loaded.
const std::chrono::steady_clock::time_point g_processStart = std::chrono::steady_clock::now();

long MillisecondsSinceProcessStart()
{
    using namespace std::chrono;
    return (long)duration_cast<milliseconds>(steady_clock::now() - g_processStart).count();
}

CString Support(const char* text)
{
    CString message(text);
    message += kSupportAddress;
    return message;
}

void ShowAroundSplash(const CString& text, const char* caption, long style, wxWindow* parent)
{
    if (g_startupSplash)
        g_startupSplash->Show(false);
    GetPrompt().ShowMessage(text, caption, style, parent);
    if (g_startupSplash)
        g_startupSplash->Show(true);
}

void DestroySplash()
{
    if (g_startupSplash) {
        g_startupSplash->Destroy();
        g_startupSplash = nullptr;
    }
}

CString CurrentFolder()
{
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? CString(buffer) : CString();
}

// The folder of the running program: the one the environment names (a
// program folder kept apart from its programs, as the tests do), else the
// executable's own (links resolved), else what the command line says.
CString FindProgramFolder(const CString& argv0, const CString& cwd)
{
    const char* forced = getenv("ROOKWELL_PROGRAM_FOLDER");
    if (forced && *forced)
        return CString(forced);
    const CString executable = RunningProgramPath();
    const int slash = executable.ReverseFind('/');
    if (slash > 0)
        return executable.Mid(0, slash - 1);
    return FindAppPath(argv0, cwd, "");
}

// This run's arguments after the program's name, as the system's bytes:
// those main kept, less what the toolkit took for itself.
std::vector<CString> ArgumentsOfThisRun(const wxCmdLineArgsArray& argv, int argc)
{
    std::vector<CString> toolkit;
    for (int i = 0; i < argc; ++i)
        toolkit.push_back(FromWx(argv[i]));
    const std::vector<CString>& kept = GetKeptCommandLine();
    if (kept.empty())
        return std::vector<CString>(toolkit.size() > 1 ? toolkit.begin() + 1 : toolkit.end(), toolkit.end());
    return ApplicationArguments(kept, toolkit);
}

bool ReadConfig(Zorlin::CDrive& drive, const char* path, CConfig& out)
{
    CAutoPointer<CFile> file = drive.OpenFile(CURL(path), CFile::kModeRead);
    return file && !file->IsNull() && file->IsOpen() && out.Read(*file);
}

// A damaged settings file: the user learns what was kept and may check the
// profile (a lost one is asked for again as a new user's).
void TellDamagedSettings(const SUserSettingsRead& read)
{
    const CString text = DamagedSettingsText(read);
    if (read.profileLost) {
        GetPrompt().ShowMessage(text, "Settings", wxOK | wxICON_WARNING, nullptr);
        return;
    }
    if (GetPrompt().ShowMessage(text, "Settings", wxYES_NO | wxICON_WARNING, nullptr) != wxYES)
        return;
    CProfileDialog dialog(nullptr);
    dialog.ShowModal();
}

// The folder selector of the user dialog; scripted prompts answer it as a
// file question.
CString AskUserFolder(const CString& startFolder)
{
    if (dynamic_cast<CWxPrompt*>(&GetPrompt())) {
        wxDirDialog dialog(nullptr, "Select user folder", ToWx(startFolder),
                           wxDD_DEFAULT_STYLE | wxDD_NEW_DIR_BUTTON);
        return dialog.ShowModal() == wxID_OK ? FromWx(dialog.GetPath()) : CString();
    }
    CString path;
    return GetPrompt().AskFile("Select user folder", startFolder, "", "", wxDD_NEW_DIR_BUTTON, nullptr, path)
               ? path
               : CString();
}

// What the last update left: a new updater, or an update that did not
// finish. False when the updater was started to finish it and we must end.
bool TakeLastUpdate(const CString& programFolder)
{
    const bool hidden = g_startupSplash && (access((programFolder + "/updater.update").GetText(), F_OK) == 0 ||
                                            access((programFolder + "/" + Zorlin::kUpdateMarkName).GetText(),
                                                   F_OK) == 0);
    if (hidden)
        g_startupSplash->Show(false);
    TellUpdaterSwap(SwapInNewUpdater(programFolder), nullptr);
    const EUnfinishedUpdate unfinished =
        OfferUnfinishedUpdate(programFolder, nullptr, [&programFolder](const CString& package, CString& error) {
            return StartUpdater(programFolder, package, error);
        });
    if (hidden && g_startupSplash)
        g_startupSplash->Show(true);
    return unfinished != EUnfinishedUpdate::kUpdaterStarted;
}

// The user's data folder, as the lock took it: none of another account's,
// and the start ends saying so when there is none.
bool TakeOwnFolder(Zorlin::CDiskDrive& programDrive)
{
    const SAccountPlaces places = AccountPlaces();
    if (places.dataFolder.IsEmpty()) {
        fprintf(stderr, "%s\n", places.problem.GetText());
        GetPrompt().ShowMessage(CString("Rookwell cannot start.\n\n") + places.problem +
                                    "\n\nFor technical support email " + kSupportAddress,
                                "Problem", wxOK | wxICON_WARNING, nullptr);
        return false;
    }
    if (programDrive.SetOwnFolder(places.dataFolder)) {
        // The user's files and logs are found where they are written, never
        // in the program folder beneath.
        programDrive.KeepOwnOnly("/users");
        programDrive.KeepOwnOnly("/logs");
    }
    return true;
}

void OnTerminateSignal(int)
{
    if (CChessApp* app = GetChessApp())
        app->CallAfter([app] { app->OnTerminate(); });
}

} // namespace

bool CChessApp::OnInit()
{
    setlocale(LC_NUMERIC, "C");
    ReleaseToolkitGL();
    // The toolkit's connection keeps the X server from resetting now.
    ReleaseXDisplay();
    SetMediaHost(this);
    SetAppServices(&GetApplicationServices());
    SetViewHost(&GetApplicationViewHost());
    SetDialogHost(&GetApplicationDialogHost());
    InstallBumpSplashOpener();
    UseSamplesForBoardSounds();

    // The parser says how to use the program when asked; the files come
    // from the system's bytes, which the toolkit's text may have lost.
    wxCmdLineParser parser(argc, argv);
    parser.AddSwitch("", "client", "accepted and not used");
    parser.AddSwitch("", "server", "accepted and not used");
    parser.AddParam("input file", wxCMD_LINE_VAL_STRING, wxCMD_LINE_PARAM_OPTIONAL | wxCMD_LINE_PARAM_MULTIPLE);
    parser.Parse(false);
    const std::vector<CString> arguments = ArgumentsOfThisRun(argv, argc);
    const std::vector<CString> files = FileArguments(arguments);
    // The command line's files name places relative to where we were started.
    CString startFolder = CurrentFolder();
    std::vector<CString> absoluteFiles;
    for (const CString& file : files)
        absoluteFiles.push_back(MakeAbsolutePath(file, startFolder));
    CString firstFile;
    if (!absoluteFiles.empty())
        firstFile = absoluteFiles[0];
    bool hasArguments = !arguments.empty();

    const std::vector<CString>& kept = GetKeptCommandLine();
    CString appPath = FindProgramFolder(kept.empty() ? FromWx(argv[0]) : kept[0], startFolder);
    if (!appPath.IsEmpty() && chdir(appPath.GetText()) != 0)
        appPath = startFolder;

    // One client per program folder: a second one would take the first's
    // crash marker for a crash and write its settings over the first's.
    m_singleInstance.reset(new CSingleInstance(appPath.IsEmpty() ? CurrentFolder() : appPath));
    CString unreachable;
    if (!m_singleInstance->Claim(
            absoluteFiles, [this](const std::vector<CString>& handed) { OnHandedFiles(handed); }, unreachable,
            [this] { return TakesHandOvers(); })) {
        m_singleInstance.reset();
        if (!unreachable.IsEmpty())
            GetPrompt().ShowMessage(unreachable, "Rookwell", wxOK | wxICON_WARNING, nullptr);
        m_handedOver = true;
        return true;
    }
    wxInitAllImageHandlers();
    SetSignalHandler(SIGTERM, OnTerminateSignal);
    SetSignalHandler(SIGHUP, OnTerminateSignal);

    m_programDrive.reset(new Zorlin::CDiskDrive(appPath.IsEmpty() ? "." : appPath.GetText()));
    // A program folder installed for every user: what this user's client
    // writes goes to their own data folder, laid over the program's. Root's
    // too: whoever installed it changes it, never a client.
    const bool portable = IsPortableProgramFolder(m_programDrive->GetRoot());
    if (!portable && !TakeOwnFolder(*m_programDrive))
        return false;
    g_startupSplash = OpenStartupSplash(*m_programDrive, "/assets/images/splash/load splash.jpg");
    if (portable && !TakeLastUpdate(m_programDrive->GetRoot())) {
        DestroySplash();
        return false;
    }

    // Neither the program folder nor the user's data folder can be written:
    // the user's folder cannot be prepared, and the message names the latter.
    if (m_programDrive->GetOwnFolder().IsEmpty() && !IsFolderWritable(m_programDrive->GetRoot()))
        m_unmadeDataFolder = UserDataFolder();
    m_programConfig.reset(new CConfig);
    ReadConfig(*m_programDrive, "/cfg/app.cfg", *m_programConfig);
    if (m_programConfig->GetKeyCount() == 0) {
        ShowAroundSplash(Support("Rookwell couldn't find an important file!\n\nYou may have to re-install.\n\n"
                                 "For technical support email "),
                         "Problem", wxOK | wxICON_WARNING, nullptr);
        return false;
    }
    // Before any engine, board or voice is read: an install cut short
    // leaves each of them whole, old or new.
    const CString unmended = MendInterruptedInstalls(*m_programDrive);
    if (!unmended.IsEmpty())
        ShowAroundSplash(unmended, "Problem", wxOK | wxICON_WARNING, nullptr);

    CString setuser = m_programConfig->GetValueOr(".setuser", "");
    CString registryUser = setuser.IsEmpty() ? ReadRegistryUser() : CString();
    CString chosen;
    if (CConfig::IsTrue(m_programConfig->GetValueOr(".userdialog", ""))) {
        m_programDrive->MakeDirectory(CURL("/users"));
        chosen = AskUserFolder(m_programDrive->GetDiskPath(CURL("/users")));
    }
    m_userName.reset(new CString(ChooseUserName(setuser, registryUser, chosen)));
    if (m_userName->IsEmpty()) {
        DestroySplash();
        GetPrompt().ShowMessage(Support("Rookwell has encountered a problem and can not continue.\n\n"
                                        "Error: No user set\n\nFor technical support email "),
                                "Problem", wxOK | wxICON_WARNING, nullptr);
        return false;
    }

    // What an older client kept for this user in the program folder.
    if (!m_programDrive->GetOwnFolder().IsEmpty())
        m_carriedReport = CarryOldUserFolder(m_programDrive->GetRoot(), m_programDrive->GetOwnFolder(), *m_userName,
                                             ShippedPackageFolders());
    if (!PrepareUserFolder(*m_userName)) {
        DestroySplash();
        return false;
    }
    m_userDrive.reset(new Zorlin::CDiskDrive(m_programDrive->GetDiskPath(CURL(CString("/users/") + *m_userName))
                                                 .GetText()));
    m_programDrive->MakeDirectory(CURL("/logs"));
    // What saves cut short by a kill left; only this client writes here now.
    SweepUserFolder(m_userDrive->GetRoot());

    m_liveContent.reset(new CConfig);
    if (!ReadConfig(*m_programDrive, "/live content/live.cfg", *m_liveContent))
        ReadConfig(*m_programDrive, "/assets/cfg/defaultlive.cfg", *m_liveContent);
    m_userConfig.reset(new CConfig);
    const SUserSettingsRead settingsRead = ReadUserSettings(*m_userDrive, *m_programDrive, *m_userConfig);
    m_userSettingsRead = true;
    // A game counted before a kill cut its keeping short: counted only when
    // the sweep kept it. A failed save leaves it for the exit's.
    if (SettleNotedGameCount(*m_userDrive, *m_userConfig))
        SaveUserSettings(*m_userDrive, *m_userConfig);

    if (HasCrashMarker(*m_userDrive))
        AskForSafeMode();
    WriteCrashMarker(*m_userDrive);

    if (settingsRead.damaged) {
        if (g_startupSplash)
            g_startupSplash->Show(false);
        TellDamagedSettings(settingsRead);
        if (g_startupSplash)
            g_startupSplash->Show(true);
    }

    if (KeysEqualNoCase(m_userConfig->GetValueOr(".profile.id", ""), "calculate")) {
        if (g_startupSplash)
            g_startupSplash->Show(false);
        if (!RunNewUserProfile()) {
            DestroySplash();
            return false;
        }
        if (g_startupSplash)
            g_startupSplash->Show(true);
    }

    m_16BitColour = CConfig::IsTrue(m_userConfig->GetValueOr(".preferences.graphics.16bit", ""));
    m_smallTextures = CConfig::IsTrue(m_userConfig->GetValueOr(".preferences.graphics.small textures", ""));
    m_noFiltering = CConfig::IsTrue(m_userConfig->GetValueOr(".preferences.graphics.DisableFiltering", ""));

    StartSoundWithMessages();
    LoadMusic();
    WritePlayerPictures();
    m_voice1.reset(new CVoicePlayer);
    m_voice2.reset(new CVoicePlayer);

    CreateMainFrame();
    if (!m_frame)
        return false;
    // There is always a current game: an empty one until the user starts one.
    if (CChessView* view = m_frame->GetChessView()) {
        CGame* first = new CGame();
        first->Setup();
        view->ResetView(first, false, false);
    }

    m_frame->UpdateGamePanel();
    // A game named on the command line is shown on the board: the frame
    // comes up with the board drawn, not grey until the file has opened.
    const bool onBoard = !firstFile.IsEmpty() && OpensOnBoard(firstFile);
    if (onBoard)
        m_frame->ShowOnBoard();
    else
        m_frame->Show(true);
    m_frame->Raise();
    m_frame->BrowserRebuild(true);

    {
        wxBusyCursor busy;
        if (!hasArguments) {
            wxStopWatch wait;
            while (wait.Time() < 1000 && m_frame) {
                Yield(true);
                wxMilliSleep(10);
            }
        }
        DestroySplash();
    }
    if (!m_frame)
        return false;

    if (!hasArguments) {
        // Game, Exit during that second: the close comes next, and a title
        // picture would be left standing on its own.
        LoadMedia();
        CMediaSet* media = m_frame->IsClosing() ? nullptr : GetMediaSet();
        if (media) {
            CString track("assets/sounds/");
            track += m_programConfig->GetValueOr(".music.title", "");
            media->GetSplash(CMediaSet::kTitle).Show(track.GetText());
        }
    } else {
        GetMusicPlayer()->Resume();
    }
    if (!firstFile.IsEmpty())
        OpenTransportFile(firstFile.GetText());
    if (onBoard && m_frame)
        m_frame->KeepBoardIfAsked();
    m_startupDone = true;
    // What other starts handed over meanwhile, in the order it came.
    HandOvers().Open();
    CheckUpdatesIfDue();
    if (m_console) {
        CString line;
        line.AppendFormat("Start-up took %ld ms\n", MillisecondsSinceProcessStart());
        m_console->Write(line.GetText());
    }
    return true;
}

int CChessApp::OnRun()
{
    return m_handedOver ? 0 : wxGLApp::OnRun();
}

void CChessApp::AskForSafeMode()
{
    wxWindow* parent = nullptr;
    if (g_startupSplash)
        g_startupSplash->Show(false);
    bool yes = GetPrompt().ShowMessage("Rookwell did not close properly the last time it ran.\n\n"
                                       "Would you like to change the settings to run Rookwell\nin safe mode?",
                                       "Safe Mode", wxYES_NO | wxICON_ERROR, parent) == wxYES;
    if (yes) {
        ApplySafeMode(*m_userConfig);
        if (!m_userDrive || !SaveUserSettings(*m_userDrive, *m_userConfig)) {
            GetPrompt().ShowMessage("Unable to change settings!", "Problem", wxOK | wxICON_ERROR, parent);
        } else {
            GetPrompt().ShowMessage(Support("Safe Mode is now active.\n\nIf this problem persists please contact "),
                                    "Safe Mode", wxOK | wxICON_INFORMATION, parent);
        }
    } else {
        GetPrompt().ShowMessage(Support("If this problem persists please contact "), "Safe Mode",
                                wxOK | wxICON_INFORMATION, parent);
    }
    ShowHelp("troubleshooting", nullptr);
    if (g_startupSplash)
        g_startupSplash->Show(true);
}

void CChessApp::StartSoundWithMessages()
{
    try {
        if (StartSound(*m_userConfig) == ESoundStart::kFailed)
            ShowAroundSplash("Failed to start sound.\n\nRookwell will continue without sound.", "No Sound",
                             wxOK | wxICON_INFORMATION, nullptr);
    } catch (...) {
        MarkSoundNotReady();
        ShowAroundSplash("Problem starting up sound.\n\nRookwell will attempt to continue without sound.",
                         "Sound Problem", wxOK | wxICON_INFORMATION, nullptr);
    }
}

void CChessApp::WritePlayerPictures()
{
    LoadMedia();
    CMediaSet* media = GetMediaSet();
    if (!media || media->GetNoPhoto().GetWidth() <= 0 || !m_userDrive)
        return;
    Zorlin::CBuffer bytes;
    Zorlin::CBufferFile picture(&bytes, 1);
    if (media->GetNoPhoto().Save(picture, "bmp") != 0)
        return;
    for (bool white : {true, false}) {
        picture.Seek(0, CFile::kSeekStart);
        WritePlayerPicture(*m_userDrive, white, picture);
    }
}

void CChessApp::CreateMainFrame()
{
    SRectangle area = {0, 0, 1024, 768};
    if (wxDisplay::GetCount() > 0) {
        wxRect client = wxDisplay(0u).GetClientArea();
        area = {client.x, client.y, client.width, client.height};
    }
    SWindowPlacement place = ChooseWindowPlacement(*m_userConfig, area);
    wxBusyCursor busy;
    wxPoint position = place.defaultPosition ? wxDefaultPosition : wxPoint(place.x, place.y);
    m_frame = new CChessFrame("Rookwell", position, wxSize(place.width, place.height));
    SetTopWindow(m_frame);
    if (place.centre)
        m_frame->Centre(wxBOTH);

    m_console = new CConsoleWindow(m_frame, "Rookwell - Console");
    CString text;
    text.AppendFormat("Rookwell - v%d.%d (%s)\n", kVersionMajor, kVersionMinor, kEditionWord);
    text += "Built on " __DATE__ " at " __TIME__ "\n";
    text += FromWx(wxVERSION_STRING);
    text += "\nOS is ";
    text += FromWx(wxGetOsDescription());
    text += "\n";
    m_console->Write(text.GetText());
    m_console->Write((CString("App path is ") + Zorlin::EscapeForLog(GetProgramFolder()) + "\n").GetText());
    for (const CString& note : AccountPlaces().notes)
        m_console->Write((Zorlin::EscapeForLog(note) + "\n").GetText());
    if (m_programDrive && !m_programDrive->GetOwnFolder().IsEmpty())
        m_console->Write((CString("Your games and settings are kept in ") + Zorlin::EscapeForLog(m_programDrive->GetOwnFolder()) + "\n")
                             .GetText());
    m_console->Write(m_carriedReport.GetText());
    m_console->Write((CString("UserID is ") + Zorlin::EscapeForLog(FromWx(wxGetUserId())) + "\n").GetText());
    int depth = wxDisplayDepth();
    CString depthLine;
    depthLine.AppendFormat("Display Depth is %d bpp\n", depth);
    m_console->Write(depthLine.GetText());
    if (depth < 15)
        ShowAroundSplash("Your desktop is in 8 bit mode.\nRookwell may run very slowly.\n"
                         "Please change your desktop to 16bit or higher.",
                         "Desktop is in 8 bit mode.", wxOK | wxICON_WARNING, m_frame);
}

void CChessApp::OnFirstFrameShown()
{
    if (!m_console)
        return;
    CString line;
    line.AppendFormat("First frame drawn after %ld ms\n", MillisecondsSinceProcessStart());
    m_console->Write(line.GetText());
}

void CChessApp::CheckUpdatesIfDue()
{
    if (!m_userConfig || !m_programDrive)
        return;
    bool app = CConfig::IsTrue(m_userConfig->GetValueOr(".preferences.updates.app", ""));
    bool browser = CConfig::IsTrue(m_userConfig->GetValueOr(".preferences.updates.browser", ""));
    if ((!app || !IsInternetConnected(VersionFileAddress())) &&
        (!browser || !IsInternetConnected(LiveContentAddress())))
        return;
    CConfig record;
    ReadConfig(*m_programDrive, "/cfg/update.cfg", record);
    time_t now = time(nullptr);
    double today = JulianDayOf(now);
    if (!IsUpdateDue(record.GetValueOr(".date", ""), today))
        return;
    char stamp[128];
    struct tm local;
    localtime_r(&now, &local);
    strftime(stamp, sizeof stamp, "%c", &local);
    // The day is written by the downloads once they all succeeded.
    std::function<void(bool)> recorder = MakeUpdateRecorder(
        int(app) + int(browser), ProgramFolderPath("cfg/update.cfg"), FormatJulianDay(today).GetText(), stamp);
    if (app) {
        CUpdateCheckThread* check = new CUpdateCheckThread(true);
        check->SetFinished(recorder);
        if (!check->Start())
            recorder(false);
    }
    if (browser && !StartLiveContentDownload(true, recorder))
        recorder(false);
}
