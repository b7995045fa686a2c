#include "client/dialogs/DialogHost.h"

using Zorlin::CString;

namespace {

// Before the application is up: nothing is saved, shown or started.
class CInertDialogHost : public CDialogHost {
public:
    bool SaveUserSettings() override { return false; }
    CString GetUserFolderText() override { return CString(); }
    void ShowHelp(const char*, const char*) override {}
    void RescanActiveGames() override {}
    void RescanPlayedGames() override {}
    void CheckMenuItem(int, bool) override {}
    bool IsBoardEnabled() override { return false; }
    void RefreshFrame() override {}
    bool ApplyBoardSkin(const CString&) override { return false; }
    void SetBoardLinksShown(bool) override {}
    void ReloadVoices() override {}
    void StartUpdateCheck() override {}
    void StartLiveContentDownload() override {}
};

CDialogHost* g_host = nullptr;

} // namespace

CDialogHost& GetDialogHost()
{
    if (g_host)
        return *g_host;
    static CInertDialogHost inert;
    return inert;
}

CDialogHost* SetDialogHost(CDialogHost* host)
{
    CDialogHost* previous = g_host;
    g_host = host;
    return previous;
}
