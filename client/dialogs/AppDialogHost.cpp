// What the dialogs need of the application, answered from the application
// object and the main frame.

#include "client/dialogs/DialogHost.h"

#include <wx/menu.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/view/BoardRenderer.h"
#include "client/view/ChessWindow.h"
#include "client/core/DownloadThread.h"
#include "client/core/UpdateCheckThread.h"
#include "client/view/BrowserPanel.h"

using Zorlin::CString;

namespace {

CChessFrame* Frame()
{
    CChessApp* app = GetChessApp();
    return app ? app->m_frame : nullptr;
}

CBrowserPanel* Browser()
{
    CChessFrame* frame = Frame();
    return frame ? dynamic_cast<CBrowserPanel*>(frame->GetBrowserPanel()) : nullptr;
}

class CApplicationDialogHost : public CDialogHost {
public:
    bool SaveUserSettings() override
    {
        CChessApp* app = GetChessApp();
        return app && app->SaveUserConfig();
    }
    CString GetUserFolderText() override
    {
        CChessApp* app = GetChessApp();
        if (!app || !app->m_userName || !app->m_programDrive)
            return CString();
        return app->m_programDrive->GetDiskPath(Zorlin::CURL(CString("/users/") + *app->m_userName));
    }
    void ShowHelp(const char* topic, const char* anchor) override
    {
        if (CChessApp* app = GetChessApp())
            app->ShowHelp(topic, anchor);
    }
    void RescanActiveGames() override
    {
        if (CBrowserPanel* browser = Browser())
            browser->ListActiveGames();
    }
    void RescanPlayedGames() override
    {
        if (CBrowserPanel* browser = Browser())
            browser->ShowPlayedGames();
    }
    void CheckMenuItem(int id, bool checked) override
    {
        CChessFrame* frame = Frame();
        wxMenuBar* menu = frame ? frame->GetMenuBar() : nullptr;
        if (menu && menu->FindItem(id))
            menu->Check(id, checked);
    }
    bool IsBoardEnabled() override
    {
        CChessFrame* frame = Frame();
        wxWindow* canvas = frame ? frame->GetBoardCanvas() : nullptr;
        return canvas && canvas->IsEnabled();
    }
    void RefreshFrame() override
    {
        if (CChessFrame* frame = Frame())
            frame->Refresh();
    }
    bool ApplyBoardSkin(const CString& pack) override
    {
        CChessFrame* frame = Frame();
        CChessWindow* canvas = frame ? frame->GetChessWindow() : nullptr;
        return canvas && canvas->ApplyBoardSkin(pack);
    }
    void SetBoardLinksShown(bool shown) override
    {
        CChessFrame* frame = Frame();
        CChessWindow* canvas = frame ? frame->GetChessWindow() : nullptr;
        if (!canvas || !canvas->GetScene())
            return;
        canvas->GetScene()->SetShowLinks(shown);
        canvas->RequestRedraw();
    }
    void ReloadVoices() override
    {
        if (CChessApp* app = GetChessApp())
            app->LoadVoices();
    }
    void StartUpdateCheck() override { (new CUpdateCheckThread(false))->Start(); }
    void StartLiveContentDownload() override { ::StartLiveContentDownload(false); }
};

} // namespace

CDialogHost& GetApplicationDialogHost()
{
    static CApplicationDialogHost host;
    return host;
}
