// The windows of the view code reach the frame and the live content through
// CViewHost; this is the application's own, installed at start-up.

#include "client/view/ViewHost.h"

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/Launch.h"
#include "foundation/Config.h"
#include "foundation/File.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

class CApplicationViewHost : public CViewHost {
public:
    CConfig& GetLiveContent() override
    {
        CChessApp* app = GetChessApp();
        if (app && app->m_liveContent)
            return *app->m_liveContent;
        static CConfig empty;
        empty.Clear();
        return empty;
    }

    void ReloadLiveContent() override
    {
        CChessApp* app = GetChessApp();
        if (!app || !app->m_programDrive || !app->m_liveContent)
            return;
        Zorlin::CAutoPointer<Zorlin::CFile> file =
            app->m_programDrive->OpenFile(Zorlin::CURL("/live content/live.cfg"), Zorlin::CFile::kModeRead);
        if (!file || file->IsNull() || !file->IsOpen())
            return;
        CConfig fresh;
        if (fresh.Read(*file))
            *app->m_liveContent = fresh;
    }

    void OpenUrl(const CString& address) override { ::OpenUrl(address.GetText()); }
    void ExploreFolder(const CString& diskPath) override { ::OpenUrl(diskPath.GetText()); }

    bool ExecuteCommand(const CString& name) override
    {
        CChessFrame* frame = Frame();
        return frame && frame->ExecuteCommand(name);
    }
    bool QueryCloseGame() override
    {
        CChessFrame* frame = Frame();
        return !frame || frame->CanClose();
    }
    void OpenGameFile(const CString& diskPath) override
    {
        if (CChessFrame* frame = Frame())
            frame->OpenGameFile(diskPath);
    }
    void OpenPgnFile(const CString& diskPath) override
    {
        if (CChessFrame* frame = Frame())
            frame->OpenPgnFile(diskPath);
    }
    void RebuildBrowser(bool reloadLiveContent) override
    {
        if (CChessFrame* frame = Frame())
            frame->BrowserRebuild(reloadLiveContent);
    }
    void RequestBoardRedraw() override
    {
        CChessFrame* frame = Frame();
        if (frame && frame->GetBoardCanvas())
            frame->GetBoardCanvas()->Refresh(false);
    }

private:
    static CChessFrame* Frame()
    {
        CChessApp* app = GetChessApp();
        return app ? app->m_frame : nullptr;
    }
};

} // namespace

CViewHost& GetApplicationViewHost()
{
    static CApplicationViewHost host;
    return host;
}
