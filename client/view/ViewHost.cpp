#include "client/view/ViewHost.h"

#include "client/core/AppServices.h"
#include "client/core/MediaHost.h"
#include "client/core/MusicPlayer.h"
#include "foundation/Config.h"

using namespace Zorlin;

namespace {

class CEmptyViewHost : public CViewHost {
public:
    CConfig& GetLiveContent() override { return m_live; }
    void ReloadLiveContent() override {}
    void OpenUrl(const CString&) override {}
    void ExploreFolder(const CString&) override {}
    bool ExecuteCommand(const CString&) override { return false; }
    bool QueryCloseGame() override { return false; }
    void OpenGameFile(const CString&) override {}
    void OpenPgnFile(const CString&) override {}
    void RebuildBrowser(bool) override {}
    void RequestBoardRedraw() override {}

private:
    CConfig m_live;
};

CViewHost* g_host = nullptr;

CMusicPlayer* BackgroundMusic()
{
    IMediaHost* media = GetMediaHost();
    return media ? media->GetMusicPlayer() : nullptr;
}

} // namespace

CDrive& CViewHost::GetProgramDrive() { return GetAppServices().GetProgramDrive(); }
CDrive& CViewHost::GetUserDrive() { return GetAppServices().GetUserDrive(); }
CConfig& CViewHost::GetProgramConfig() { return GetAppServices().GetProgramSettings(); }
CConfig& CViewHost::GetUserConfig() { return GetAppServices().GetUserSettings(); }

CViewHost& GetViewHost()
{
    if (g_host)
        return *g_host;
    static CEmptyViewHost empty;
    return empty;
}

CViewHost* SetViewHost(CViewHost* host)
{
    CViewHost* previous = g_host;
    g_host = host;
    return previous;
}

bool IsSettingOn(CConfig& config, const char* key, bool missing)
{
    if (!config.KeyExists(key))
        return missing;
    return CConfig::IsTrue(config.GetValueOr(key, ""));
}

void PauseBackgroundMusic()
{
    if (CMusicPlayer* music = BackgroundMusic())
        music->Pause();
}

void ResumeBackgroundMusic()
{
    if (CMusicPlayer* music = BackgroundMusic())
        music->Resume();
}
