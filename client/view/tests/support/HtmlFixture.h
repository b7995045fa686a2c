#pragma once
// A program folder in a temporary directory with a user folder inside it,
// and the application, frame and media as the HTML windows see them:
// settings stores, drives over the folders, and a view host that records
// what it was asked to do. Header only, so it is compiled only into the
// tests that include it.

#include <cstdlib>
#include <functional>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "client/core/AppServices.h"
#include "client/core/Console.h"
#include "client/core/MediaHost.h"
#include "client/core/MusicPlayer.h"
#include "client/view/ViewHost.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "testsupport/TempFiles.h"

namespace HtmlTest {

inline std::string MakeTempFolder() { return RookwellTest::MakeTempFolder("html"); }

inline void MakeFolders(const std::string& path)
{
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/')
            mkdir(path.substr(0, i).c_str(), 0755);
}

inline void WriteFile(const std::string& path, const std::string& text) { RookwellTest::WriteWholeFile(path, text); }
inline std::string ReadFile(const std::string& path) { return RookwellTest::ReadWholeFile(path); }
using RookwellTest::RemoveTree;

class CSilentConsole : public CConsole {
public:
    void Write(const char*) override {}
};

// Everything in one object; installs itself and uninstalls on destruction.
class CFixture;

// The media code's view of the fixture: its settings, drive and music.
class CFixtureMedia : public IMediaHost {
public:
    explicit CFixtureMedia(CFixture& fixture) : m_fixture(fixture) {}
    Zorlin::CConfig* GetUserSettings() override;
    Zorlin::CDiskDrive* GetProgramDrive() override;
    CMusicPlayer* GetMusicPlayer() override;

private:
    CFixture& m_fixture;
};

class CFixture : public CAppServices, public CViewHost {
public:
    CFixture()
        : root(MakeTempFolder()), program(root + "/program"), user(program + "/users/tester"),
          language(program + "/html/english"), media(*this)
    {
        MakeFolders(language);
        MakeFolders(user);
        programDrive = std::make_unique<Zorlin::CDiskDrive>(program.c_str());
        userDrive = std::make_unique<Zorlin::CDiskDrive>(user.c_str());
        m_previousServices = SetAppServices(this);
        m_previousHost = SetViewHost(this);
        SetMediaHost(&media);
    }
    ~CFixture() override
    {
        music.reset();
        SetMediaHost(nullptr);
        SetViewHost(m_previousHost);
        SetAppServices(m_previousServices);
        RemoveTree(root);
    }

    // Application services.
    Zorlin::CDrive& GetProgramDrive() override { return *programDrive; }
    Zorlin::CDrive& GetUserDrive() override { return *userDrive; }
    Zorlin::CConfig& GetProgramSettings() override { return programSettings; }
    Zorlin::CConfig& GetUserSettings() override { return userSettings; }
    CFrameView* GetFrameView() override { return nullptr; }
    CConsole* CreateConsole(const Zorlin::CString&) override { return new CSilentConsole(); }
    void ShowHtmlMessage(const Zorlin::CString&, const Zorlin::CString&) override {}

    // View host.
    Zorlin::CConfig& GetLiveContent() override { return liveContent; }
    void ReloadLiveContent() override { ++liveReloads; }
    void OpenUrl(const Zorlin::CString& address) override { opened.push_back(address.GetText()); }
    void ExploreFolder(const Zorlin::CString& path) override { explored.push_back(path.GetText()); }
    bool ExecuteCommand(const Zorlin::CString& name) override
    {
        commands.push_back(name.GetText());
        return true;
    }
    bool QueryCloseGame() override
    {
        ++closeQueries;
        return gameMayClose;
    }
    void OpenGameFile(const Zorlin::CString& path) override { games.push_back(path.GetText()); }
    void OpenPgnFile(const Zorlin::CString& path) override { pgns.push_back(path.GetText()); }
    void RebuildBrowser(bool reload) override
    {
        rebuilds.push_back(reload);
        if (onRebuild)
            onRebuild(reload);
    }
    void RequestBoardRedraw() override { ++redraws; }

    void WriteProgramFile(const std::string& relative, const std::string& text) { WriteFile(program + "/" + relative, text); }
    void WriteUserFile(const std::string& relative, const std::string& text) { WriteFile(user + "/" + relative, text); }

    std::string root, program, user, language;
    std::unique_ptr<Zorlin::CDiskDrive> programDrive, userDrive;
    Zorlin::CConfig programSettings, userSettings, liveContent;
    std::unique_ptr<CMusicPlayer> music;

    std::vector<std::string> opened, explored, commands, games, pgns;
    std::vector<bool> rebuilds;
    std::function<void(bool)> onRebuild;
    int liveReloads = 0, closeQueries = 0, redraws = 0, musicRequests = 0;
    bool gameMayClose = true;

    CFixtureMedia media;

private:
    CAppServices* m_previousServices = nullptr;
    CViewHost* m_previousHost = nullptr;
};

inline Zorlin::CConfig* CFixtureMedia::GetUserSettings() { return &m_fixture.userSettings; }
inline Zorlin::CDiskDrive* CFixtureMedia::GetProgramDrive() { return m_fixture.programDrive.get(); }
inline CMusicPlayer* CFixtureMedia::GetMusicPlayer()
{
    ++m_fixture.musicRequests;
    if (!m_fixture.music)
        m_fixture.music = std::make_unique<CMusicPlayer>();
    return m_fixture.music.get();
}

} // namespace HtmlTest
