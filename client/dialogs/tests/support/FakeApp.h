#pragma once
// A stand-in for the application around the dialogs: real program and user
// folders in a temporary directory, real settings stores, and a record of
// every action the dialogs ask of the frame, the side panel and the board.
// It installs itself as the application services, the view host and the
// dialog host, and puts the previous ones back when it goes.

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "client/core/AppServices.h"
#include "client/core/Console.h"
#include "client/dialogs/DialogHost.h"
#include "client/view/ViewHost.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"

class CFakeApp {
public:
    CFakeApp()
        : m_root(MakeRoot()), programPath(m_root + "/program/"), userPath(m_root + "/program/users/tester/"),
          programDrive(MakeFolder(programPath).c_str()), userDrive(MakeFolder(userPath).c_str()),
          m_services(*this), m_view(*this), m_dialogs(*this)
    {
        m_oldServices = SetAppServices(&m_services);
        m_oldView = SetViewHost(&m_view);
        m_oldDialogs = SetDialogHost(&m_dialogs);
    }
    ~CFakeApp()
    {
        SetDialogHost(m_oldDialogs);
        SetViewHost(m_oldView);
        SetAppServices(m_oldServices);
        std::system(("rm -rf '" + m_root + "'").c_str());
    }
    CFakeApp(const CFakeApp&) = delete;
    CFakeApp& operator=(const CFakeApp&) = delete;

    // A file below the program folder, with the folders it needs.
    void WriteProgramFile(const std::string& relative, const std::string& text)
    {
        WriteFile(programPath + relative, text);
    }
    void WriteFile(const std::string& path, const std::string& text)
    {
        for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            mkdir(path.substr(0, slash).c_str(), 0755);
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Called(const std::string& action) const
    {
        for (const std::string& c : calls)
            if (c == action)
                return true;
        return false;
    }
    int CountCalls(const std::string& action) const
    {
        int n = 0;
        for (const std::string& c : calls)
            n += c == action;
        return n;
    }
    std::string Setting(const char* key) { return userSettings.GetValueOr(key, "(missing)").GetText(); }

private:
    static std::string MakeRoot()
    {
        char name[] = "/tmp/rookwell-fakeapp-XXXXXX";
        return mkdtemp(name);
    }
    static std::string MakeFolder(const std::string& path)
    {
        for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
            mkdir(path.substr(0, slash).c_str(), 0755);
        return path;
    }

    std::string m_root;

public:
    std::string programPath;
    std::string userPath;
    Zorlin::CDiskDrive programDrive;
    Zorlin::CDiskDrive userDrive;
    Zorlin::CConfig programSettings;
    Zorlin::CConfig userSettings;
    Zorlin::CConfig liveContent;
    CFrameView* frame = nullptr;
    // What the dialogs asked for, in order: "SaveUserSettings",
    // "ApplyBoardSkin:<pack>", "Command:<name>", "RebuildBrowser:1" ...
    std::vector<std::string> calls;
    // Packs whose skin does not load.
    std::set<std::string> badBoards;
    bool boardEnabled = true;
    bool saveSucceeds = true;
    std::string userFolderText = "users/tester";

private:
    class CNullConsole : public CConsole {
    public:
        void Write(const char*) override {}
    };

    class CServices : public CAppServices {
    public:
        explicit CServices(CFakeApp& app) : m_app(app) {}
        Zorlin::CDrive& GetProgramDrive() override { return m_app.programDrive; }
        Zorlin::CDrive& GetUserDrive() override { return m_app.userDrive; }
        Zorlin::CConfig& GetProgramSettings() override { return m_app.programSettings; }
        Zorlin::CConfig& GetUserSettings() override { return m_app.userSettings; }
        CFrameView* GetFrameView() override { return m_app.frame; }
        CConsole* CreateConsole(const Zorlin::CString&) override { return new CNullConsole(); }
        void ShowHtmlMessage(const Zorlin::CString& title, const Zorlin::CString&) override
        {
            m_app.calls.push_back(std::string("HtmlMessage:") + title.GetText());
        }

    private:
        CFakeApp& m_app;
    };

    class CView : public CViewHost {
    public:
        explicit CView(CFakeApp& app) : m_app(app) {}
        Zorlin::CConfig& GetLiveContent() override { return m_app.liveContent; }
        void ReloadLiveContent() override { m_app.calls.push_back("ReloadLiveContent"); }
        void OpenUrl(const Zorlin::CString& address) override
        {
            m_app.calls.push_back(std::string("OpenUrl:") + address.GetText());
        }
        void ExploreFolder(const Zorlin::CString&) override {}
        bool ExecuteCommand(const Zorlin::CString& name) override
        {
            m_app.calls.push_back(std::string("Command:") + name.GetText());
            return true;
        }
        bool QueryCloseGame() override { return true; }
        void OpenGameFile(const Zorlin::CString&) override {}
        void OpenPgnFile(const Zorlin::CString&) override {}
        void RebuildBrowser(bool reload) override
        {
            m_app.calls.push_back(reload ? "RebuildBrowser:1" : "RebuildBrowser:0");
        }
        void RequestBoardRedraw() override { m_app.calls.push_back("RequestBoardRedraw"); }

    private:
        CFakeApp& m_app;
    };

    class CDialogs : public CDialogHost {
    public:
        explicit CDialogs(CFakeApp& app) : m_app(app) {}
        bool SaveUserSettings() override
        {
            m_app.calls.push_back("SaveUserSettings");
            return m_app.saveSucceeds;
        }
        Zorlin::CString GetUserFolderText() override { return m_app.userFolderText.c_str(); }
        void ShowHelp(const char* topic, const char* anchor) override
        {
            m_app.calls.push_back(std::string("Help:") + topic + (anchor ? std::string("#") + anchor : ""));
        }
        void RescanActiveGames() override { m_app.calls.push_back("RescanActiveGames"); }
        void RescanPlayedGames() override { m_app.calls.push_back("RescanPlayedGames"); }
        void CheckMenuItem(int id, bool checked) override
        {
            m_app.calls.push_back("CheckMenuItem:" + std::to_string(id) + (checked ? ":1" : ":0"));
        }
        bool IsBoardEnabled() override { return m_app.boardEnabled; }
        void RefreshFrame() override { m_app.calls.push_back("RefreshFrame"); }
        bool ApplyBoardSkin(const Zorlin::CString& pack) override
        {
            m_app.calls.push_back(std::string("ApplyBoardSkin:") + pack.GetText());
            return !m_app.badBoards.count(pack.GetText());
        }
        void SetBoardLinksShown(bool shown) override
        {
            m_app.calls.push_back(shown ? "BoardLinks:1" : "BoardLinks:0");
        }
        void ReloadVoices() override { m_app.calls.push_back("ReloadVoices"); }
        void StartUpdateCheck() override { m_app.calls.push_back("StartUpdateCheck"); }
        void StartLiveContentDownload() override { m_app.calls.push_back("StartLiveContentDownload"); }

    private:
        CFakeApp& m_app;
    };

    CServices m_services;
    CView m_view;
    CDialogs m_dialogs;
    CAppServices* m_oldServices = nullptr;
    CViewHost* m_oldView = nullptr;
    CDialogHost* m_oldDialogs = nullptr;
};
